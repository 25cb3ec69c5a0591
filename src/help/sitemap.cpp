#include "help/sitemap.h"

#include <algorithm>
#include <cctype>

#include "wbem/text.h"

namespace help {

namespace {

// The value of attribute `name` inside one tag's text, quoted or not.
std::string attribute(std::string_view tag, std::string_view name) {
    const std::string low = wbem::lowered(tag);
    size_t at = 0;
    while ((at = low.find(name, at)) != std::string::npos) {
        const bool starts = at == 0 || std::isspace(static_cast<unsigned char>(low[at - 1]));
        size_t p = at + name.size();
        while (p < low.size() && std::isspace(static_cast<unsigned char>(low[p]))) ++p;
        if (!starts || p >= low.size() || low[p] != '=') {
            at += name.size();
            continue;
        }
        ++p;
        while (p < low.size() && std::isspace(static_cast<unsigned char>(low[p]))) ++p;
        if (p >= tag.size()) return {};
        const char quote = tag[p];
        if (quote == '"' || quote == '\'') {
            const size_t end = tag.find(quote, p + 1);
            return std::string(tag.substr(
                p + 1, end == std::string_view::npos ? std::string_view::npos : end - p - 1));
        }
        size_t end = p;
        while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) &&
               tag[end] != '>')
            ++end;
        return std::string(tag.substr(p, end - p));
    }
    return {};
}

std::string decodeEntities(std::string text) {
    static const std::pair<std::string_view, std::string_view> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        size_t at = 0;
        while ((at = text.find(from, at)) != std::string::npos) {
            text.replace(at, from.size(), to);
            at += to.size();
        }
    }
    return text;
}

}  // namespace

std::vector<ContentsEntry> ParseSitemap(std::string_view text) {
    std::vector<ContentsEntry> entries;
    int depth = 0;  // open lists
    bool inObject = false;
    ContentsEntry current;
    size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
        const size_t end = text.find('>', pos);
        if (end == std::string_view::npos) break;
        const std::string_view tag = text.substr(pos + 1, end - pos - 1);
        pos = end + 1;
        std::string low = wbem::lowered(tag.substr(0, tag.find_first_of(" \t\r\n")));
        if (low == "ul") {
            ++depth;
        } else if (low == "/ul") {
            depth = std::max(0, depth - 1);
        } else if (low == "object") {
            inObject = wbem::lowered(attribute(tag, "type")) == "text/sitemap";
            current = ContentsEntry{};
        } else if (low == "param" && inObject) {
            const std::string name = wbem::lowered(attribute(tag, "name"));
            if (name == "name") current.name = decodeEntities(attribute(tag, "value"));
            if (name == "local") current.local = decodeEntities(attribute(tag, "value"));
        } else if (low == "/object" && inObject) {
            inObject = false;
            if (current.name.empty()) continue;
            const int deepest = entries.empty() ? 0 : entries.back().level + 1;
            current.level = std::min(std::max(0, depth - 1), deepest);
            entries.push_back(current);
        }
    }
    return entries;
}

std::string FindContentsPath(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const std::string low = wbem::lowered(path);
        if (low.size() > 4 && low.compare(low.size() - 4, 4, ".hhc") == 0) return path;
    }
    return {};
}

}  // namespace help
