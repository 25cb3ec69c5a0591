// Turning WMI values into one line of 8-bit text, and the small text
// functions the windows share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "wbem/variant.h"
#include "wmi/user_formats.h"

namespace wmi {

// The value as one line of text. Strings are converted into codePage; the
// other tags do not depend on it. Never throws: a value that has no text form
// (an embedded object, a date out of range) renders as the error's message.
std::string RenderValue(const wbem::Variant& value, int32_t codePage);
// The same with explicit date and number formats instead of the user's.
std::string RenderValue(const wbem::Variant& value, int32_t codePage, const UserFormats& formats);

// Unicode text (UTF-8) as bytes of a Windows code page: NFC-composed first, so
// that a base letter with a combining mark becomes the precomposed letter
// where the code page has one; characters the code page cannot hold become
// "?", combining marks it cannot hold are dropped. 65001 (and the system code
// pages 0 to 3) give UTF-8. A code page without a converter gives "". Only
// the low 16 bits of codePage count.
std::string WideToCodePage(std::string_view text, int32_t codePage);

// The code page of this machine's texts: the character set of the user's
// locale (LC_ALL, LC_CTYPE, LANG) as a Windows code page, 65001 on a UTF-8
// desktop. Texts are rendered in it unless a target says otherwise.
int32_t LocalCodePage();
// The code page of a character set name as LocalCodePage chooses it: 65001
// for a set Windows has no number for and for plain ASCII (the C locale), so
// that no letter is lost where the locale never chose a narrower set.
int32_t CodePageOfCharset(std::string_view codeset);

// How many bytes of text hold c.
int CountChar(std::string_view text, char c);

// The n-th field (from 1) of text split at sep; n <= 1 is the first field, a
// field past the last one is "". Fields are not trimmed.
std::string NthField(std::string_view text, int n, char sep);

// text with every occurrence of pattern replaced; caseSensitive false compares
// ASCII letters without regard to case. An empty pattern changes nothing. A
// replacement that itself holds the pattern is inserted once per occurrence of
// the original text (never searched again), so the call always ends.
std::string ReplaceAll(std::string_view pattern, std::string_view replacement,
                       std::string_view text, bool caseSensitive);

// The text after the last c (at most 255 bytes); the whole text when c does
// not occur; "" when c is the last byte.
std::string ExtensionOf(std::string_view text, char c);

}  // namespace wmi
