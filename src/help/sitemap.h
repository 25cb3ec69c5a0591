// The table of contents of a help file: a sitemap page of nested lists whose
// items name a topic and the page it opens.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace help {

struct ContentsEntry {
    int level = 0;      // 0 for the top level; a child is one deeper than its parent
    std::string name;   // the title shown
    std::string local;  // the page inside the help file, as written ("HTML/wmi/index.htm")
};

// The entries of a sitemap in order. Unknown markup is skipped; an item
// without a name is left out; nesting deeper than the previous item plus
// one is pulled up so that every entry has a parent.
std::vector<ContentsEntry> ParseSitemap(std::string_view text);

// The contents file inside a help file: the first path ending in ".hhc".
std::string FindContentsPath(const std::vector<std::string>& paths);

}  // namespace help
