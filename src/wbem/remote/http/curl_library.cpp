#include "curl_library.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <string>
#include <type_traits>

#include "wbem/errors.h"

namespace wbem::http {

namespace {

// The name the library answers to at run time.
constexpr const char* kLibrary = "libcurl.so.4";

// Null when the library cannot be loaded, with the reason in `why`.
const CurlLibrary* load(std::string& why) {
    void* handle = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        why = error ? error : kLibrary;
        return nullptr;
    }
    const char* missing = nullptr;
    auto bind = [&](auto& to, const char* name) {
        to = reinterpret_cast<std::remove_reference_t<decltype(to)>>(dlsym(handle, name));
        if (!to && !missing) missing = name;
    };
    static CurlLibrary api;
    CURLcode (*globalInit)(long) = nullptr;
    bind(globalInit, "curl_global_init");
    bind(api.easy_init, "curl_easy_init");
    bind(api.easy_setopt, "curl_easy_setopt");
    bind(api.easy_perform, "curl_easy_perform");
    bind(api.easy_getinfo, "curl_easy_getinfo");
    bind(api.easy_cleanup, "curl_easy_cleanup");
    bind(api.easy_strerror, "curl_easy_strerror");
    bind(api.slist_append, "curl_slist_append");
    bind(api.slist_free_all, "curl_slist_free_all");
    if (missing) {
        why = std::string(kLibrary) + " has no " + missing;
        dlclose(handle);
        return nullptr;
    }
    // Before any handle, once: it is not safe beside other threads' transfers.
    if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        why = std::string(kLibrary) + " could not be initialised";
        return nullptr;
    }
    return &api;  // loaded for the rest of the program's life
}

}  // namespace

const CurlLibrary& curlApi() {
    static std::atomic<const CurlLibrary*> loaded{nullptr};
    if (const CurlLibrary* api = loaded.load(std::memory_order_acquire)) return *api;
    static std::mutex mutex;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!loaded.load(std::memory_order_relaxed)) {
        std::string why;
        const CurlLibrary* api = load(why);
        if (!api)
            fail(hr::Failed,
                 describeWithReason(hr::Failed, "The HTTP library could not be loaded: " + why));
        loaded.store(api, std::memory_order_release);
    }
    return *loaded.load(std::memory_order_relaxed);
}

}  // namespace wbem::http
