#include "help/sitemap.h"

#include <gtest/gtest.h>

namespace {

std::string item(const char* name, const char* local) {
    return std::string("<LI> <OBJECT type=\"text/sitemap\">\n  <param name=\"Name\" value=\"") +
           name + "\">\n  <param name=\"Local\" value=\"" + local + "\">\n</OBJECT>\n";
}

TEST(ParseSitemap, ReadsNestedEntriesInOrder) {
    const std::string text =
        "<HTML><BODY><OBJECT type=\"text/site properties\">"
        "<param name=\"Window Styles\" value=\"0x800025\"></OBJECT>\n<UL>" +
        item("Start", "HTML/a.htm") + "<UL>" + item("One", "HTML/b.htm") + "<UL>" +
        item("Deep", "HTML/c.htm") + "</UL>" + item("Two", "HTML/d.htm") + "</UL>" +
        item("Last", "HTML/e.htm") + "</UL></BODY></HTML>";
    const auto entries = help::ParseSitemap(text);
    const struct {
        int level;
        const char* name;
        const char* local;
    } expected[] = {{0, "Start", "HTML/a.htm"},
                    {1, "One", "HTML/b.htm"},
                    {2, "Deep", "HTML/c.htm"},
                    {1, "Two", "HTML/d.htm"},
                    {0, "Last", "HTML/e.htm"}};
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].level, expected[i].level) << i;
        EXPECT_EQ(entries[i].name, expected[i].name) << i;
        EXPECT_EQ(entries[i].local, expected[i].local) << i;
    }
}

TEST(ParseSitemap, ToleratesTheWaysSitemapsAreWritten) {
    const struct {
        const char* what;
        std::string text;
        size_t count;
        std::string firstName;
        std::string firstLocal;
        int firstLevel;
    } cases[] = {
        {"lower case, single quotes, no quotes",
         "<ul><li><object type='text/sitemap'><param name=name value='A &amp; B'>"
         "<param name=local value=x.htm></object></ul>",
         1, "A & B", "x.htm", 0},
        {"an item without a name is left out",
         "<UL>" + item("", "x.htm") + item("Named", "y.htm") + "</UL>", 1, "Named", "y.htm", 0},
        {"a list opened twice without an item is pulled up",
         "<UL><UL>" + item("Orphan", "o.htm") + "</UL></UL>", 1, "Orphan", "o.htm", 0},
        {"an object of another type is no entry",
         "<UL><LI><OBJECT type=\"text/other\"><param name=\"Name\" value=\"N\"></OBJECT></UL>", 0,
         "", "", 0},
        {"text cut off inside a tag", "<UL>" + item("Kept", "k.htm") + "<LI><OBJECT type=\"te", 1,
         "Kept", "k.htm", 0},
        {"a closing list too many", "</UL></UL><UL>" + item("After", "a.htm"), 1, "After", "a.htm",
         0},
    };
    for (const auto& c : cases) {
        const auto entries = help::ParseSitemap(c.text);
        ASSERT_EQ(entries.size(), c.count) << c.what;
        if (c.count == 0) continue;
        EXPECT_EQ(entries[0].name, c.firstName) << c.what;
        EXPECT_EQ(entries[0].local, c.firstLocal) << c.what;
        EXPECT_EQ(entries[0].level, c.firstLevel) << c.what;
    }
}

TEST(FindContentsPath, TakesTheFirstContentsFile) {
    EXPECT_EQ(help::FindContentsPath({"/#SYSTEM", "/HTML/a.htm", "/toc.HHC", "/other.hhc"}),
              "/toc.HHC");
    EXPECT_EQ(help::FindContentsPath({"/#SYSTEM", "/HTML/a.htm", "/hhc.htm"}), "");
    EXPECT_EQ(help::FindContentsPath({}), "");
}

}  // namespace
