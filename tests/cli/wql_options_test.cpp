#include "cli/wql_options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/text_table.h"

using cli::parseWqlOptions;

TEST(WqlOptions, ReadsEveryOption) {
    std::string error;
    auto o = parseWqlOptions(
        {"-HOST:srv", "-namespace:root\\x", "-user:u", "-pswd:p:w", "-authlevel:6", "-mof:a.mof",
         "-mof:b.mof", "-out:o.txt", "-Format:CSV", "-sort:Name:desc", "select * from C"},
        error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->host, "srv");
    EXPECT_EQ(o->nspace, "root\\x");
    EXPECT_EQ(o->user, "u");
    EXPECT_EQ(o->password, "p:w");
    EXPECT_EQ(o->authLevel, 6);
    EXPECT_EQ(o->mofFiles, (std::vector<std::string>{"a.mof", "b.mof"}));
    EXPECT_EQ(o->outFile, "o.txt");
    EXPECT_EQ(o->format, cli::OutputFormat::Csv);
    ASSERT_TRUE(o->sort);
    EXPECT_EQ(o->sort->column, "Name");
    EXPECT_FALSE(o->sort->ascending);
    EXPECT_EQ(o->query, "select * from C");
    EXPECT_FALSE(o->listClasses);

    o = parseWqlOptions({"select * from C"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->format, cli::OutputFormat::Table);
    EXPECT_FALSE(o->sort);
}

TEST(WqlOptions, ReadsFormatsAndSortKeys) {
    struct Case {
        const char* arg;
        cli::OutputFormat format;
        const char* column;  // nullptr: no sort
        int number;
        bool ascending;
    } cases[] = {
        {"-format:table", cli::OutputFormat::Table, nullptr, 0, true},
        {"-format:tsv", cli::OutputFormat::Tsv, nullptr, 0, true},
        {"-format:HTML", cli::OutputFormat::Html, nullptr, 0, true},
        {"-sort:Name", cli::OutputFormat::Table, "Name", 0, true},
        {"-sort:__PATH:DESC", cli::OutputFormat::Table, "__PATH", 0, false},
        {"-sort:2", cli::OutputFormat::Table, "2", 2, true},
        {"-sort:12:asc", cli::OutputFormat::Table, "12", 12, true},
    };
    for (const Case& c : cases) {
        std::string error;
        auto o = parseWqlOptions({c.arg, "q"}, error);
        ASSERT_TRUE(o) << c.arg << ": " << error;
        EXPECT_EQ(o->format, c.format) << c.arg;
        ASSERT_EQ(o->sort.has_value(), c.column != nullptr) << c.arg;
        if (!c.column) continue;
        EXPECT_EQ(o->sort->column, c.column) << c.arg;
        EXPECT_EQ(o->sort->number, c.number) << c.arg;
        EXPECT_EQ(o->sort->ascending, c.ascending) << c.arg;
    }
}

TEST(WqlOptions, ReadsTheRemoteOptions) {
    struct Case {
        std::vector<std::string> args;
        wbem::AuthMethod auth;
        const char* caFile;
        bool allowUnencrypted;
    } cases[] = {
        {{"q"}, wbem::AuthMethod::Negotiate, "", false},
        {{"-auth:basic", "q"}, wbem::AuthMethod::Basic, "", false},
        {{"-AUTH:Kerberos", "q"}, wbem::AuthMethod::Kerberos, "", false},
        {{"-auth:ntlm", "-auth:negotiate", "q"}, wbem::AuthMethod::Negotiate, "", false},
        {{"-auth:NTLM", "q"}, wbem::AuthMethod::Ntlm, "", false},
        {{"-cacert:/etc/ssl/corp ca.pem", "q"},
         wbem::AuthMethod::Negotiate,
         "/etc/ssl/corp ca.pem",
         false},
        {{"-unencrypted", "-auth:basic", "q"}, wbem::AuthMethod::Basic, "", true},
    };
    for (const Case& c : cases) {
        std::string error;
        auto o = parseWqlOptions(c.args, error);
        ASSERT_TRUE(o) << c.args[0] << ": " << error;
        EXPECT_EQ(o->remote.auth, c.auth) << c.args[0];
        EXPECT_EQ(o->remote.caFile, c.caFile) << c.args[0];
        EXPECT_EQ(o->remote.allowUnencrypted, c.allowUnencrypted) << c.args[0];
        EXPECT_EQ(o->query, "q") << c.args[0];
    }
}

TEST(WqlOptions, ABadAuthenticationMethodNamesTheGoodOnes) {
    std::string error;
    EXPECT_FALSE(parseWqlOptions({"-auth:digest", "q"}, error));
    EXPECT_EQ(error,
              "bad authentication method \"digest\": expected negotiate, basic, kerberos "
              "or ntlm");
}

TEST(WqlOptions, RejectsBadUsage) {
    const std::vector<std::vector<std::string>> bad = {
        {},                               // no query
        {"q1", "q2"},                     // two queries
        {"-classes", "select * from C"},  // both
        {"-authlevel:7", "q"},            // out of range
        {"-authlevel:x", "q"},            // not a number
        {"-mof:", "q"},                   // no file
        {"-bogus:1", "q"},                // unknown option
        {"-format:xml", "q"},             // no such format
        {"-format:", "q"},
        {"-sort:", "q"},  // no column
        {"-sort::desc", "q"},
        {"-sort:Name:up", "q"},      // no such direction
        {"-sort:0", "q"},            // numbers start at 1
        {"-sort:2x", "q"},           // neither number nor name
        {"-classes", "-sort:Name"},  // the class list is not a result
        {"-classes", "-format:csv"},
        {"-auth:digest", "q"},  // no such method
        {"-auth:", "q"},
        {"-cacert:", "q"},        // no file
        {"-unencrypted:1", "q"},  // a switch takes no value
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
