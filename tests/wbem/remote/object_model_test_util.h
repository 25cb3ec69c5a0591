// Small helpers for tests that drive the scripting object model of a remote
// back end: the failure a call raises, the elements of a walk, property names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "wbem/api.h"

namespace wbem::test {

// The code (and the text) a call fails with; Ok when it does not fail.
template <class F>
HResult failure(F&& f, std::string* text = nullptr) {
    try {
        f();
    } catch (const WbemError& e) {
        if (text) *text = e.what();
        return e.code();
    }
    return hr::Ok;
}

// Every element of a walk as an I; `end` receives the status that ended it.
template <class I>
std::vector<std::shared_ptr<I>> all(IEnumVariant& e, HResult* end = nullptr) {
    std::vector<std::shared_ptr<I>> out;
    ElementPtr el;
    HResult status;
    while ((status = e.Next(el)) == hr::Ok) out.push_back(std::dynamic_pointer_cast<I>(el));
    if (end) *end = status;
    return out;
}

inline std::vector<std::string> names(ISWbemPropertySet& set) {
    std::vector<std::string> out;
    for (const auto& p : all<ISWbemProperty>(*set.NewEnum())) out.push_back(p->Name());
    return out;
}

}  // namespace wbem::test
