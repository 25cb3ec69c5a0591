// Any bytes as MOF text: the reader may reject them, but only with a
// WbemError, and never crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "wbem/mof/mof_compiler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wbem::Repository repo;
    wbem::Repository::Transaction tx(repo);
    wbem::mof::Options options;
    options.defaultNamespace = "root\\fuzz";
    options.loader = [](const std::string&) { return std::optional<std::string>(); };
    try {
        wbem::mof::compileText(tx, std::string_view(reinterpret_cast<const char*>(data), size),
                               "fuzz.mof", options);
        tx.commit();
    } catch (const wbem::WbemError&) {
    }
    return 0;
}
