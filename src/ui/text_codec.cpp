#include "ui/text_codec.h"

#include <unicode/ucnv.h>

#include <map>
#include <memory>
#include <mutex>

namespace ui {

namespace {

struct Cache {
    std::mutex mutex;
    std::map<int, UConverter*> converters;  // null: no converter for that code page
    ~Cache() {
        for (auto& [cp, c] : converters)
            if (c) ucnv_close(c);
    }
};

UConverter* converterFor(Cache& cache, int cp) {
    auto it = cache.converters.find(cp);
    if (it != cache.converters.end()) return it->second;
    UConverter* c = nullptr;
    for (const std::string& name : {"windows-" + std::to_string(cp), "cp" + std::to_string(cp)}) {
        UErrorCode err = U_ZERO_ERROR;
        c = ucnv_open(name.c_str(), &err);
        if (U_SUCCESS(err) && c) break;
        c = nullptr;
    }
    cache.converters.emplace(cp, c);
    return c;
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

QString fromCodePage(std::string_view bytes, int codePage) {
    codePage &= 0xFFFF;
    if (codePage == 65001 || codePage <= 3 || isAscii(bytes)) return fromSystem(bytes);
    static Cache cache;
    std::lock_guard<std::mutex> lock(cache.mutex);
    UConverter* c = converterFor(cache, codePage);
    if (!c) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString out(static_cast<qsizetype>(bytes.size()) * 2 + 1, Qt::Uninitialized);
    UErrorCode err = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(c, reinterpret_cast<UChar*>(out.data()), int32_t(out.size()),
                              bytes.data(), int32_t(bytes.size()), &err);
    if (U_FAILURE(err)) return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    out.resize(n);
    return out;
}

}  // namespace ui
