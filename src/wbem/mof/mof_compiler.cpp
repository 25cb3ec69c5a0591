#include "mof_compiler.h"

#include <cstdio>
#include <memory>

#include "applier.h"
#include "parser.h"
#include "source_set.h"

namespace wbem::mof {

namespace {

void compileSources(Repository::Transaction& tx, SourceSet& sources, uint32_t root,
                    const Options& options) {
    std::vector<Declaration> decls = parseSources(sources, root);
    Applier(tx, sources, options.defaultNamespace).apply(decls);
}

}  // namespace

FileLoader diskLoader() {
    return [](const std::string& path) -> std::optional<std::string> {
        std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
        if (!f) return std::nullopt;
        std::string text;
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) text.append(buffer, n);
        // A folder opens but cannot be read.
        if (std::ferror(f.get())) return std::nullopt;
        return text;
    };
}

void compileFile(Repository::Transaction& tx, const std::string& path, const Options& options) {
    SourceSet sources(options.loader ? options.loader : diskLoader());
    std::optional<std::string> text = sources.load(path);
    if (!text) throw MofError(path, 0, 0, "cannot open the file");
    uint32_t root = sources.add(path, std::move(*text));
    compileSources(tx, sources, root, options);
}

void compileText(Repository::Transaction& tx, std::string_view text, const std::string& name,
                 const Options& options) {
    SourceSet sources(options.loader ? options.loader : diskLoader());
    uint32_t root = sources.add(name, std::string(text));
    compileSources(tx, sources, root, options);
}

}  // namespace wbem::mof
