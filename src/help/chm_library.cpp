#include "help/chm_library.h"

#include <dlfcn.h>

namespace help {

namespace {

template <typename Fn>
void lookUp(void* handle, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(dlsym(handle, name));
}

}  // namespace

bool ChmLibrary::Load(const std::string& name) {
    if (handle_) return Api() != nullptr;
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return false;
    lookUp(handle_, "chm_open", api_.open);
    lookUp(handle_, "chm_close", api_.close);
    lookUp(handle_, "chm_resolve_object", api_.resolve);
    lookUp(handle_, "chm_retrieve_object", api_.retrieve);
    lookUp(handle_, "chm_enumerate", api_.enumerate);
    return Api() != nullptr;
}

void ChmLibrary::Free() {
    if (!handle_) return;
    api_ = ChmApi{};
    dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace help
