// The library that reads help files (chmlib), loaded by name when the
// program starts and released when it ends. Without it the program runs,
// and only the Help command says that it is missing.
#pragma once

#include <chm_lib.h>

#include <string>

namespace help {

// The library's file name, found through the system's normal search.
inline constexpr const char* kChmLibraryName = "libchm.so.1";

// The entry points the help viewer calls.
struct ChmApi {
    chmFile* (*open)(const char* path) = nullptr;
    void (*close)(chmFile* file) = nullptr;
    int (*resolve)(chmFile* file, const char* path, chmUnitInfo* unit) = nullptr;
    using Retrieve = LONGINT64(chmFile* file, chmUnitInfo* unit, unsigned char* buffer,
                               LONGUINT64 address, LONGINT64 length);
    Retrieve* retrieve = nullptr;
    int (*enumerate)(chmFile* file, int what, CHM_ENUMERATOR callback, void* context) = nullptr;

    bool complete() const { return open && close && resolve && retrieve && enumerate; }
};

class ChmLibrary {
  public:
    ChmLibrary() = default;
    ~ChmLibrary() { Free(); }
    ChmLibrary(const ChmLibrary&) = delete;
    ChmLibrary& operator=(const ChmLibrary&) = delete;

    // Loads the library and looks up its entries; does nothing when a library
    // is loaded already. True when the entries are there.
    bool Load(const std::string& name = kChmLibraryName);
    // Releases the library; every help file opened through it must be closed.
    void Free();

    bool IsLoaded() const { return handle_ != nullptr; }
    // The entries, or nullptr unless the library is loaded with all of them.
    const ChmApi* Api() const { return api_.complete() ? &api_ : nullptr; }

  private:
    void* handle_ = nullptr;
    ChmApi api_;
};

}  // namespace help
