// Helpers shared by the MOF reader's tests: compiling small texts into a
// fresh repository and catching the error a bad text raises.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "wbem/mof/mof_compiler.h"

namespace wbem::mof::testing {

inline constexpr const char* kTestNamespace = "root\\test";

// Files by path; anything else is missing.
inline FileLoader memoryLoader(std::map<std::string, std::string> files) {
    return [files = std::move(files)](const std::string& path) -> std::optional<std::string> {
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second;
    };
}

inline Options testOptions(std::map<std::string, std::string> files = {}) {
    Options o;
    o.defaultNamespace = kTestNamespace;
    o.loader = memoryLoader(std::move(files));
    return o;
}

// Compiles `text` (as "test.mof") into root\test of a fresh repository and
// commits. Compile errors fail the test with their message.
inline std::shared_ptr<const RepositoryState> compiled(
    std::string_view text, std::map<std::string, std::string> files = {}) {
    auto repo = std::make_shared<Repository>();
    Repository::Transaction tx(*repo);
    tx.ns(kTestNamespace, true);
    try {
        compileText(tx, text, "test.mof", testOptions(std::move(files)));
    } catch (const std::exception& e) {
        ADD_FAILURE() << "compile failed: " << e.what();
        return repo->snapshot();
    }
    tx.commit();
    return repo->snapshot();
}

inline const NamespaceState& testNs(const std::shared_ptr<const RepositoryState>& state) {
    const NamespaceState* ns = state->find(kTestNamespace);
    if (!ns) throw std::runtime_error("no test namespace");
    return *ns;
}

// The error compiling `text` raises; an empty what() when it compiles.
struct Failure {
    std::string what;
    std::string message;
    std::string file;
    int line = 0;
    int column = 0;
    HResult code = 0;
};

inline Failure compileError(std::string_view text, std::map<std::string, std::string> files = {}) {
    Repository repo;
    Repository::Transaction tx(repo);
    tx.ns(kTestNamespace, true);
    try {
        compileText(tx, text, "test.mof", testOptions(std::move(files)));
    } catch (const MofError& e) {
        return Failure{e.what(), e.message(), e.file(), e.line(), e.column(), e.code()};
    }
    return {};
}

}  // namespace wbem::mof::testing
