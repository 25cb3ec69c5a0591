// Any bytes as MOF text: the reader may reject them, but only with a
// WbemError, and never crash, leak or read out of bounds. Includes are served
// from the input itself, so that the fuzzer can build include graphs (cycles,
// files that include each other many times over, deep nesting): a line
// "@@NAME" starts the file NAME, which runs to the next such line; what comes
// before the first one is the file compiled.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "wbem/mof/mof_compiler.h"

namespace {

// The files the input holds after its first "\n@@", by name.
std::map<std::string, std::string, std::less<>> includedFiles(std::string_view input,
                                                              std::string_view& main) {
    std::map<std::string, std::string, std::less<>> files;
    constexpr std::string_view kMark = "\n@@";
    size_t at = input.find(kMark);
    main = input.substr(0, at);
    while (at != std::string_view::npos) {
        const size_t nameStart = at + kMark.size();
        const size_t nameEnd = std::min(input.find('\n', nameStart), input.size());
        const size_t next = input.find(kMark, nameEnd);
        const size_t end = next == std::string_view::npos ? input.size() : next;
        const std::string_view body =
            nameEnd < end ? input.substr(nameEnd + 1, end - nameEnd - 1) : std::string_view();
        files.emplace(std::string(input.substr(nameStart, nameEnd - nameStart)), std::string(body));
        at = next;
    }
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view main;
    const auto files =
        includedFiles(std::string_view(reinterpret_cast<const char*>(data), size), main);
    wbem::Repository repo;
    wbem::Repository::Transaction tx(repo);
    wbem::mof::Options options;
    options.defaultNamespace = "root\\fuzz";
    // Include names arrive as paths relative to the compiled file's folder
    // ("/" + name here): the name is what follows the last slash.
    options.loader = [&files](const std::string& path) -> std::optional<std::string> {
        const size_t slash = path.find_last_of('/');
        const auto it = files.find(std::string_view(path).substr(slash + 1));
        if (it == files.end()) return std::nullopt;
        return it->second;
    };
    try {
        wbem::mof::compileText(tx, main, "/fuzz/fuzz.mof", options);
        tx.commit();
    } catch (const wbem::WbemError&) {
    }
    return 0;
}
