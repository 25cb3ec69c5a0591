#include "help/chm_file.h"

namespace help {

std::string NormalizeChmPath(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string_view::npos) next = path.size();
        std::string_view part = path.substr(pos, next - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::string out;
    for (std::string_view part : parts) {
        out += '/';
        out += part;
    }
    // A path naming a folder keeps its closing slash.
    if (out.empty() || (!path.empty() && path.back() == '/')) out += '/';
    return out;
}

std::unique_ptr<ChmFile> ChmFile::Open(const ChmApi& api, const std::string& path) {
    chmFile* file = api.open(path.c_str());
    if (!file) return nullptr;
    return std::unique_ptr<ChmFile>(new ChmFile(api, file, path));
}

ChmFile::ChmFile(const ChmApi& api, chmFile* file, std::string path)
    : api_(api), file_(file), path_(std::move(path)) {}

ChmFile::~ChmFile() { api_.close(file_); }

std::optional<std::string> ChmFile::Read(std::string_view path) const {
    const std::string normal = NormalizeChmPath(path);
    // A folder is no object to show.
    if (normal.back() == '/' || normal.size() > CHM_MAX_PATHLEN) return std::nullopt;
    chmUnitInfo unit{};
    if (api_.resolve(file_, normal.c_str(), &unit) != CHM_RESOLVE_SUCCESS) return std::nullopt;
    if (unit.length > kMaxObjectSize) return std::nullopt;
    std::string data(static_cast<size_t>(unit.length), '\0');
    LONGUINT64 done = 0;
    while (done < unit.length) {
        const LONGINT64 got =
            api_.retrieve(file_, &unit, reinterpret_cast<unsigned char*>(data.data()) + done, done,
                          static_cast<LONGINT64>(unit.length - done));
        if (got <= 0) return std::nullopt;
        done += static_cast<LONGUINT64>(got);
    }
    return data;
}

std::vector<std::string> ChmFile::List() const {
    std::vector<std::string> paths;
    auto collect = [](chmFile*, chmUnitInfo* unit, void* context) -> int {
        static_cast<std::vector<std::string>*>(context)->emplace_back(unit->path);
        return CHM_ENUMERATOR_CONTINUE;
    };
    api_.enumerate(file_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collect, &paths);
    return paths;
}

}  // namespace help
