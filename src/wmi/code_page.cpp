// WideToCodePage: ICU normalisation and conversion, one converter per code
// page shared by every thread that renders.
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <langinfo.h>
#include <locale.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "wbem/providers/locale_info.h"
#include "wmi/bw_variant.h"

namespace wmi {

namespace {

// Unmappable combining marks are dropped (their base letter already stands
// for them); anything else unmappable becomes the substitution character.
void dropMarkOrSubstitute(const void*, UConverterFromUnicodeArgs* args, const UChar* units,
                          int32_t length, UChar32 cp, UConverterCallbackReason reason,
                          UErrorCode* err) {
    if (reason == UCNV_UNASSIGNED && u_charType(cp) == U_NON_SPACING_MARK) {
        *err = U_ZERO_ERROR;
        return;
    }
    UCNV_FROM_U_CALLBACK_SUBSTITUTE(nullptr, args, units, length, cp, reason, err);
}

struct Converter {
    std::mutex mu;              // a UConverter serves one call at a time
    UConverter* cnv = nullptr;  // null: UTF-8, or no converter (see usable)
    bool utf8 = false;
    bool usable = false;
    bool asciiSame = false;  // 0x00..0x7F map to themselves
};

UConverter* openFor(unsigned cp) {
    const std::string n = std::to_string(cp);
    for (const std::string& name : {"windows-" + n, "cp" + n, "ibm-" + n}) {
        UErrorCode err = U_ZERO_ERROR;
        UConverter* c = ucnv_open(name.c_str(), &err);
        if (U_SUCCESS(err) && c) return c;
    }
    return nullptr;
}

bool mapsAsciiToItself(UConverter* c) {
    UChar ascii[128];
    for (int i = 0; i < 128; ++i) ascii[i] = static_cast<UChar>(i);
    char out[512];
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(c, out, sizeof out, ascii, 128, &err);
    if (U_FAILURE(err) || n != 128) return false;
    for (int i = 0; i < 128; ++i)
        if (static_cast<unsigned char>(out[i]) != i) return false;
    return true;
}

std::unique_ptr<Converter> makeConverter(unsigned cp) {
    auto conv = std::make_unique<Converter>();
    // The system code pages (ANSI, OEM, Mac, thread) are UTF-8 here.
    if (cp == 65001 || cp <= 3) {
        conv->utf8 = conv->usable = conv->asciiSame = true;
        return conv;
    }
    UConverter* c = openFor(cp);
    if (!c) return conv;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setSubstChars(c, "?", 1, &err);
    if (U_SUCCESS(err))
        ucnv_setFromUCallBack(c, dropMarkOrSubstitute, nullptr, nullptr, nullptr, &err);
    if (U_FAILURE(err)) {
        ucnv_close(c);
        return conv;
    }
    conv->cnv = c;
    conv->usable = true;
    conv->asciiSame = mapsAsciiToItself(c);
    ucnv_reset(c);
    return conv;
}

// Converters live as long as the process (a detached worker may still render
// while static objects are being destroyed at exit).
Converter& converterFor(unsigned cp) {
    // Callers render many values in one code page: skip the shared lookup.
    thread_local unsigned lastCp = 0;
    thread_local Converter* last = nullptr;
    if (last && lastCp == cp) return *last;
    static std::mutex mu;
    static auto* cache = new std::unordered_map<unsigned, std::unique_ptr<Converter>>();
    std::lock_guard lock(mu);
    auto& slot = (*cache)[cp];
    if (!slot) slot = makeConverter(cp);
    lastCp = cp;
    last = slot.get();
    return *slot;
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out(utf8.size(), u'\0');  // UTF-16 never needs more units than UTF-8 bytes
    int32_t len = 0;
    UErrorCode err = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                         &len, utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr,
                         &err);
    out.resize(U_SUCCESS(err) ? static_cast<size_t>(len) : 0);
    return out;
}

std::u16string composed(std::u16string s) {
    UErrorCode err = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&err);
    if (U_FAILURE(err)) return s;
    const auto* src = reinterpret_cast<const UChar*>(s.data());
    const auto len = static_cast<int32_t>(s.size());
    if (unorm2_quickCheck(nfc, src, len, &err) == UNORM_YES && U_SUCCESS(err)) return s;
    err = U_ZERO_ERROR;
    const int32_t need = unorm2_normalize(nfc, src, len, nullptr, 0, &err);
    std::u16string out(static_cast<size_t>(need), u'\0');
    err = U_ZERO_ERROR;
    unorm2_normalize(nfc, src, len, reinterpret_cast<UChar*>(out.data()), need, &err);
    return U_SUCCESS(err) ? out : s;
}

std::string toUtf8(const std::u16string& s) {
    std::string out(s.size() * 3, '\0');
    int32_t len = 0;
    UErrorCode err = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &len,
                       reinterpret_cast<const UChar*>(s.data()), static_cast<int32_t>(s.size()),
                       0xFFFD, nullptr, &err);
    out.resize(U_SUCCESS(err) ? static_cast<size_t>(len) : 0);
    return out;
}

std::string fromUnicode(Converter& conv, const std::u16string& s) {
    std::lock_guard lock(conv.mu);
    UConverter* c = conv.cnv;
    const auto len = static_cast<int32_t>(s.size());
    std::string out(static_cast<size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(len, ucnv_getMaxCharSize(c))),
                    '\0');
    ucnv_resetFromUnicode(c);
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(c, out.data(), static_cast<int32_t>(out.size()),
                                      reinterpret_cast<const UChar*>(s.data()), len, &err);
    out.resize(U_SUCCESS(err) ? static_cast<size_t>(n) : 0);
    return out;
}

}  // namespace

std::string WideToCodePage(std::string_view text, int32_t codePage) {
    if (text.empty()) return {};
    Converter& conv = converterFor(static_cast<uint16_t>(codePage));
    if (!conv.usable) return {};
    // NFC leaves ASCII alone and every code page in use holds it unchanged.
    if (conv.asciiSame && isAscii(text)) return std::string(text);
    std::u16string wide = composed(toUtf16(text));
    return conv.utf8 ? toUtf8(wide) : fromUnicode(conv, wide);
}

int32_t CodePageOfCharset(std::string_view codeset) {
    constexpr unsigned kAscii = 20127;
    const std::optional<unsigned> page = wbem::windowsCodePage(codeset);
    return !page || *page == kAscii ? 65001 : static_cast<int32_t>(*page);
}

int32_t LocalCodePage() {
    // The locale does not change while the program runs.
    static const int32_t page = [] {
        std::string codeset;
        if (locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0))) {
            codeset = nl_langinfo_l(CODESET, loc);
            freelocale(loc);
        }
        return CodePageOfCharset(codeset);
    }();
    return page;
}

}  // namespace wmi
