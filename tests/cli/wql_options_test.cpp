#include <gtest/gtest.h>

#include <sstream>

#include "cli/text_table.h"
#include "cli/wql_options.h"

using cli::parseWqlOptions;

TEST(WqlOptions, ReadsEveryOption) {
    std::string error;
    auto o = parseWqlOptions({"-HOST:srv", "-namespace:root\\x", "-user:u", "-pswd:p:w",
                              "-authlevel:6", "-mof:a.mof", "-mof:b.mof", "-out:o.txt",
                              "select * from C"},
                             error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->host, "srv");
    EXPECT_EQ(o->nspace, "root\\x");
    EXPECT_EQ(o->user, "u");
    EXPECT_EQ(o->password, "p:w");
    EXPECT_EQ(o->authLevel, 6);
    EXPECT_EQ(o->mofFiles, (std::vector<std::string>{"a.mof", "b.mof"}));
    EXPECT_EQ(o->outFile, "o.txt");
    EXPECT_EQ(o->query, "select * from C");
    EXPECT_FALSE(o->listClasses);
}

TEST(WqlOptions, RejectsBadUsage) {
    const std::vector<std::vector<std::string>> bad = {
        {},                                   // no query
        {"q1", "q2"},                         // two queries
        {"-classes", "select * from C"},      // both
        {"-authlevel:7", "q"},                // out of range
        {"-authlevel:x", "q"},                // not a number
        {"-mof:", "q"},                       // no file
        {"-bogus:1", "q"},                    // unknown option
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(parseWqlOptions(args, error)) << (args.empty() ? "(none)" : args[0]);
        EXPECT_FALSE(error.empty());
    }
}

TEST(TextTable, AlignsByCharactersNotBytes) {
    std::ostringstream out;
    cli::writeTextTable(out, {"Name", "N"}, {"Žluť", "1", "ab", "12345", "", "7"});
    EXPECT_EQ(out.str(),
              "Name  N\n"
              "Žluť  1\n"
              "ab    12345\n"
              "      7\n");
}
