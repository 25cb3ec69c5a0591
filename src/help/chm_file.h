// One open help file: its pages and pictures by their path inside the file.
// Plain reading, no widgets, so that it is tested on its own.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "help/chm_library.h"

namespace help {

class ChmFile {
  public:
    // Larger objects are refused: a damaged file must not make the viewer
    // allocate whatever length it claims.
    static constexpr unsigned long long kMaxObjectSize = 64ull << 20;

    // nullptr when the file cannot be opened as a help file.
    static std::unique_ptr<ChmFile> Open(const ChmApi& api, const std::string& path);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    const std::string& path() const { return path_; }

    // The bytes of the object at the path ("/HTML/wmi/index.htm"; letter
    // case does not matter, "." and ".." are resolved), or nullopt when the
    // file holds no such object, the path names a folder, or the object
    // cannot be read whole.
    std::optional<std::string> Read(std::string_view path) const;
    // The paths of the ordinary files inside, in the file's order.
    std::vector<std::string> List() const;

  private:
    ChmFile(const ChmApi& api, chmFile* file, std::string path);

    const ChmApi& api_;
    chmFile* file_;
    std::string path_;
};

// The path made absolute with "." and ".." segments resolved; a ".." above
// the top stays at the top. Empty input gives "/".
std::string NormalizeChmPath(std::string_view path);

}  // namespace help
