// The machine's locale as WMI describes it: the Windows code page of its
// character set, its LCID and its language tag.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wbem {

// The locale the machine is set to: LC_ALL, LC_CTYPE or LANG of
// /etc/locale.conf or /etc/default/locale, else of the environment, else "C".
std::string machineLocaleName();

// The character set of a locale name ("de_DE.ISO-8859-1", "en_US.UTF-8",
// "C"), asking the C library when the locale is installed.
std::string localeCodeset(const std::string& localeName);

// Windows code page number of a character set name: 65001 for UTF-8, 28591
// for ISO-8859-1, 1252 for CP1252, ...; nullopt when Windows has none.
std::optional<unsigned> windowsCodePage(std::string_view codeset);

// Windows LCID of a locale name (0x0409 for en_US); nullopt when unknown.
// C and POSIX count as US English.
std::optional<unsigned> localeLcid(const std::string& localeName);
// BCP 47 tag ("en-US") of a locale name.
std::string localeLanguageTag(const std::string& localeName);

// Picks the locale from the lines of a locale.conf-style file: LC_ALL,
// then LC_CTYPE, then LANG; empty when none is set.
std::string localeFromConf(std::string_view text);

}  // namespace wbem
