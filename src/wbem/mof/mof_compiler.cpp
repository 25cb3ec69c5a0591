#include "mof_compiler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "../limits.h"
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
        // Non-blocking, so that opening a FIFO cannot hang the compile; only
        // regular files are read, and no more than the limit.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return std::nullopt;
        std::unique_ptr<int, void (*)(int*)> guard(new int(fd), [](int* p) {
            ::close(*p);
            delete p;
        });
        struct stat st {};
        if (::fstat(fd, &st) != 0) return std::nullopt;
        if (!S_ISREG(st.st_mode)) throw std::runtime_error("not a regular file");
        const size_t cap = limits::mofFileBytes;
        if (size_t(st.st_size) > cap)
            throw std::runtime_error("larger than " + std::to_string(cap >> 20) + " MiB");
        std::string text;
        text.reserve(size_t(st.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw std::runtime_error(std::strerror(errno));
            }
            if (n == 0) break;
            if (text.size() + size_t(n) > cap)
                throw std::runtime_error("larger than " + std::to_string(cap >> 20) + " MiB");
            text.append(buffer, size_t(n));
        }
        return text;
    };
}

void compileFile(Repository::Transaction& tx, const std::string& path, const Options& options) {
    SourceSet sources(options.loader ? options.loader : diskLoader());
    std::optional<std::string> text;
    try {
        text = sources.load(path);
    } catch (const MofError&) {
        throw;
    } catch (const std::exception& e) {
        throw MofError(path, 0, 0, std::string("cannot read the file: ") + e.what());
    }
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
