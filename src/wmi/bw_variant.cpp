#include "wmi/bw_variant.h"

#include <algorithm>
#include <charconv>
#include <exception>

#include "wbem/errors.h"

namespace wmi {

namespace {

void appendInt(std::string& out, int64_t v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

// "array[0..3 0..1]": the bounds of every dimension, never the elements.
std::string arrayText(const wbem::SafeArray& arr) {
    std::string out = "array[";
    for (size_t d = 0; d < arr.bounds.size(); ++d) {
        if (d) out += ' ';
        const wbem::ArrayBound& b = arr.bounds[d];
        appendInt(out, b.lower);
        out += "..";
        appendInt(out, static_cast<int64_t>(b.lower) + static_cast<int64_t>(b.count) - 1);
    }
    out += ']';
    return out;
}

std::string realText(double v, int digits, const UserFormats& formats, int32_t codePage) {
    const std::string& sep = formats.decimalSeparator;
    bool asciiSep = std::all_of(sep.begin(), sep.end(),
                                [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return FormatReal(v, digits, asciiSep ? sep : WideToCodePage(sep, codePage));
}

std::string render(const wbem::Variant& value, int32_t codePage, const UserFormats& formats) {
    using wbem::VarType;
    if (value.isArray()) return arrayText(value.asArray());
    switch (value.type()) {
        case VarType::Empty:
        case VarType::Null:
            return {};
        case VarType::Date:
            return WideToCodePage(FormatShortDate(value.asReal(), formats), codePage);
        case VarType::String:
            return WideToCodePage(value.asString(), codePage);
        case VarType::Int16:
        case VarType::Int32:
        case VarType::UInt8: {
            std::string out;
            appendInt(out, value.asInt());
            return out;
        }
        case VarType::Real32:
            // A single's own precision, as the system renders it: 0.1f is "0.1".
            return realText(value.asReal(), 7, formats, codePage);
        case VarType::Real64:
            return realText(value.asReal(), 15, formats, codePage);
        case VarType::Bool:
            return value.asBool() ? "True" : "False";
        case VarType::Object:
            break;  // an object has no text form
    }
    wbem::fail(wbem::hr::TypeMismatch);
}

}  // namespace

std::string RenderValue(const wbem::Variant& value, int32_t codePage) {
    return RenderValue(value, codePage, SystemUserFormats());
}

std::string RenderValue(const wbem::Variant& value, int32_t codePage, const UserFormats& formats) {
    try {
        return render(value, codePage, formats);
    } catch (const std::exception& e) {
        return e.what();
    }
}

int CountChar(std::string_view text, char c) {
    return static_cast<int>(std::count(text.begin(), text.end(), c));
}

std::string NthField(std::string_view text, int n, char sep) {
    size_t pos = 0;
    for (int passed = 0; passed < n - 1; ++passed) {
        size_t next = text.find(sep, pos);
        if (next == std::string_view::npos) return {};
        pos = next + 1;
    }
    size_t end = text.find(sep, pos);
    return std::string(text.substr(pos, end == std::string_view::npos ? text.npos : end - pos));
}

namespace {

size_t findFrom(std::string_view text, std::string_view pattern, size_t from, bool caseSensitive) {
    if (caseSensitive) return text.find(pattern, from);
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    auto it =
        std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), pattern.begin(),
                    pattern.end(), [&](char a, char b) { return lower(a) == lower(b); });
    return it == text.end() ? std::string_view::npos : static_cast<size_t>(it - text.begin());
}

}  // namespace

std::string ReplaceAll(std::string_view pattern, std::string_view replacement,
                       std::string_view text, bool caseSensitive) {
    if (pattern.empty()) return std::string(text);
    std::string out(text);
    if (findFrom(replacement, pattern, 0, caseSensitive) != std::string_view::npos) {
        // Searching again from the start would find the replacement forever:
        // replace the occurrences of the original text, left to right.
        std::string result;
        size_t pos = 0;
        for (size_t hit; (hit = findFrom(text, pattern, pos, caseSensitive)) != text.npos;
             pos = hit + pattern.size()) {
            result.append(text.substr(pos, hit - pos));
            result.append(replacement);
        }
        result.append(text.substr(pos));
        return result;
    }
    // Each round searches the new text from its start; no match can begin
    // before the last one's start minus the pattern's length, so resume there.
    size_t from = 0;
    for (size_t hit; (hit = findFrom(out, pattern, from, caseSensitive)) != std::string::npos;) {
        out.replace(hit, pattern.size(), replacement);
        from = hit >= pattern.size() - 1 ? hit - (pattern.size() - 1) : 0;
    }
    return out;
}

std::string ExtensionOf(std::string_view text, char c) {
    size_t pos = text.rfind(c);
    if (pos == std::string_view::npos) return std::string(text);
    return std::string(text.substr(pos + 1, 255));
}

}  // namespace wmi
