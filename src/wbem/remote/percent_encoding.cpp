#include "percent_encoding.h"

#include <cctype>

namespace wbem::remote {

std::string percentEncode(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    auto digit = [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
               : std::isxdigit(static_cast<unsigned char>(c))
                   ? (std::tolower(static_cast<unsigned char>(c)) - 'a' + 10)
                   : -1;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 &&
            digit(text[i + 2]) >= 0) {
            out += char(digit(text[i + 1]) * 16 + digit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace wbem::remote
