#include "bounded_call.h"

#include <set>

namespace wbem::detail {

namespace {
std::mutex& busyMutex() {
    static auto* m = new std::mutex;  // parked threads may use it during exit
    return *m;
}
std::set<std::string>& busyKeys() {
    static auto* keys = new std::set<std::string>;  // outlives parked threads at exit
    return *keys;
}
}  // namespace

bool claimBoundedKey(const std::string& key) {
    std::lock_guard<std::mutex> lock(busyMutex());
    return busyKeys().insert(key).second;
}

void releaseBoundedKey(const std::string& key) {
    std::lock_guard<std::mutex> lock(busyMutex());
    busyKeys().erase(key);
}

}  // namespace wbem::detail
