#include "source_set.h"

#include <algorithm>
#include <limits>

#include "../limits.h"
#include "../text.h"

namespace wbem::mof {

namespace {

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2 + bytes.size() / 8);
    auto unitAt = [&](size_t i) -> uint32_t {
        auto b0 = static_cast<unsigned char>(bytes[i]);
        auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
    };
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        uint32_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            uint32_t lo = unitAt(i + 2);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    if (i < bytes.size()) appendUtf8(out, 0xFFFD);  // odd trailing byte
    return out;
}

}  // namespace

std::string normalizedPath(std::string_view path) {
    std::string p(path);
    std::replace(p.begin(), p.end(), '\\', '/');
    bool absolute = !p.empty() && p[0] == '/';
    std::vector<std::string_view> parts;
    std::string_view rest(p);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
                continue;
            }
            if (absolute) continue;  // "/.." is "/"
        }
        parts.push_back(part);
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '/';
        out += parts[i];
    }
    return out;
}

std::string_view folderOf(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

SourceSet::SourceSet(FileLoader loader) : loader_(std::move(loader)) {}

uint32_t SourceSet::add(std::string name, std::string bytes) {
    auto f = std::make_unique<SourceFile>();
    f->name = std::move(name);
    auto starts = [&](std::string_view bom) { return std::string_view(bytes).starts_with(bom); };
    if (starts("\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
    }
    if (starts("\xFF\xFE")) {
        f->text = utf16ToUtf8(std::string_view(bytes).substr(2), false);
    } else if (starts("\xFE\xFF")) {
        f->text = utf16ToUtf8(std::string_view(bytes).substr(2), true);
    } else if (isValidUtf8(bytes)) {
        f->text = std::move(bytes);
    } else {
        f->text = sanitizeUtf8(bytes);
    }
    // Positions are 32-bit offsets.
    if (f->text.size() >= std::numeric_limits<uint32_t>::max()) {
        throw MofError(f->name, 0, 0, "file too large");
    }
    totalBytes_ += f->text.size();
    files_.push_back(std::move(f));
    return static_cast<uint32_t>(files_.size() - 1);
}

void SourceSet::enterRoot(uint32_t file) { active_.push_back(normalizedPath(files_[file]->name)); }

uint32_t SourceSet::enterInclude(std::string_view target, Pos at) {
    std::string path(target);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty()) fail(at, "expected a file name in #pragma include, found \"\"");
    if (path[0] != '/') path = std::string(folderOf(files_[at.file]->name)) + path;
    path = normalizedPath(path);
    if (std::find(active_.begin(), active_.end(), path) != active_.end()) {
        fail(at, "include cycle: '" + path + "' is already being read");
    }
    if (active_.size() >= limits::mofIncludeDepth) {
        fail(at,
             "includes nested deeper than " + std::to_string(limits::mofIncludeDepth) + " files");
    }
    // Every include counts, so that files including each other many times
    // over (each twice, thirty deep) stop early instead of running for hours.
    if (++includes_ > limits::mofIncludes)
        fail(at, "more than " + std::to_string(limits::mofIncludes) + " includes in one compile");
    std::optional<std::string> bytes;
    try {
        bytes = loader_(path);
    } catch (const MofError&) {
        throw;
    } catch (const std::exception& e) {
        fail(at, "cannot read include file '" + path + "': " + e.what());
    }
    if (!bytes) fail(at, "cannot open include file '" + path + "'");
    if (totalBytes_ + bytes->size() > limits::mofTotalBytes)
        fail(at, "the files of this compile exceed " + std::to_string(limits::mofTotalBytes >> 20) +
                     " MiB");
    uint32_t index = add(path, std::move(*bytes));
    active_.push_back(std::move(path));
    return index;
}

void SourceSet::leave() { active_.pop_back(); }

Location SourceSet::locate(Pos pos) const {
    const SourceFile& f = *files_[pos.file];
    std::string_view text(f.text);
    size_t offset = std::min<size_t>(pos.offset, text.size());
    Location loc;
    loc.file = f.name;
    loc.line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
    size_t lineStart = text.rfind('\n', offset == 0 ? std::string_view::npos : offset - 1);
    lineStart = (lineStart == std::string_view::npos || offset == 0) ? 0 : lineStart + 1;
    // Columns count characters, not bytes: skip UTF-8 continuation bytes.
    loc.column = 1;
    for (size_t i = lineStart; i < offset; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++loc.column;
    }
    return loc;
}

void SourceSet::fail(Pos pos, const std::string& message, HResult code) const {
    Location loc = locate(pos);
    throw MofError(loc.file, loc.line, loc.column, message, code);
}

}  // namespace wbem::mof
