#include "ui/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class CommandLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wmi::AuthenticationLevel = 2;
        wmi.SetHost("localhost");
        wmi.SetNamespace("root\\cimv2");
    }
    void TearDown() override { wmi::AuthenticationLevel = 0; }

    void apply(std::vector<std::string> arguments) { ui::ApplyCommandLine(arguments, wmi, params); }

    wmi::TWMI wmi;
    ui::CommandLineParams params;
};

TEST_F(CommandLineTest, OptionsSetTheirFieldsWithTrimmedValues) {
    apply({"-host: server ", "-namespace:root\\default", "-user:\tbob", "-pswd: se cret ",
           "-query:  select * from Win32_Process  ", "-wp:4711", "-authlevel:6"});
    EXPECT_EQ(wmi.Host, "server");
    EXPECT_EQ(wmi.Namespace, "root\\default");
    EXPECT_EQ(wmi.User, "bob");
    EXPECT_EQ(wmi.Password, "se cret");
    EXPECT_EQ(params.CommandLineQuery, "select * from Win32_Process");
    EXPECT_EQ(params.CallerWindow, 4711);
    EXPECT_EQ(wmi::AuthenticationLevel.load(), 6);
}

TEST_F(CommandLineTest, EmptyHostAndNamespaceFallBackToTheirDefaults) {
    apply({"-host:", "-namespace:  "});
    EXPECT_EQ(wmi.Host, ".");
    EXPECT_EQ(wmi.Namespace, "root\\cimv2");
}

TEST_F(CommandLineTest, OptionsMatchExactlyAndCaseSensitively) {
    apply({"-Host:server", "host:server", "--host:server", " -host:server", "-query",
           "-QUERY:select 1", "whatever"});
    EXPECT_EQ(wmi.Host, "localhost");
    EXPECT_EQ(params.CommandLineQuery, "");
}

TEST_F(CommandLineTest, BadNumbersAreIgnored) {
    struct Case {
        const char* argument;
        int32_t callerWindow;
        int32_t level;
    } cases[] = {
        {"-wp:abc", 0, 2},       {"-wp:", 0, 2},          {"-wp:12x", 0, 2},
        {"-wp:$10", 16, 2},      {"-wp: -3 ", -3, 2},     {"-authlevel:7", 0, 2},
        {"-authlevel:-1", 0, 2}, {"-authlevel:x", 0, 2},  {"-authlevel:", 0, 2},
        {"-authlevel:0", 0, 0},  {"-authlevel: 4", 0, 4}, {"-authlevel:3.0", 0, 2},
    };
    for (const auto& c : cases) {
        wmi::AuthenticationLevel = 2;
        params = {};
        apply({c.argument});
        EXPECT_EQ(params.CallerWindow, c.callerWindow) << c.argument;
        EXPECT_EQ(wmi::AuthenticationLevel.load(), c.level) << c.argument;
    }
}

TEST_F(CommandLineTest, TheLaterOfTwoEqualOptionsWins) {
    apply({"-host:first", "-query:one", "-host:second", "-query:two", "-wp:1", "-wp:abc"});
    EXPECT_EQ(wmi.Host, "second");
    EXPECT_EQ(params.CommandLineQuery, "two");
    EXPECT_EQ(params.CallerWindow, 0);
}

TEST_F(CommandLineTest, ApplyingEmptiesTheQueryFirst) {
    params.CommandLineQuery = "left over";
    apply({"-host:x"});
    EXPECT_EQ(params.CommandLineQuery, "");
}

TEST_F(CommandLineTest, RemoteOptionsHoldOverWhatIsRememberedForTheHost) {
    wbem::RemoteOptions remembered;
    remembered.auth = wbem::AuthMethod::Kerberos;
    remembered.caFile = "remembered.pem";
    remembered.allowUnencrypted = true;
    std::vector<std::string> asked;
    const ui::RememberedOptions lookup =
        [&](std::string_view host) -> std::optional<wbem::RemoteOptions> {
        asked.emplace_back(host);
        if (host == "server1") return remembered;
        return std::nullopt;
    };
    struct Case {
        std::vector<std::string> arguments;
        wbem::AuthMethod auth;
        const char* caFile;
        bool allowUnencrypted;
    } cases[] = {
        {{"-host:server1"}, wbem::AuthMethod::Kerberos, "remembered.pem", true},
        {{"-host:server1", "-auth: basic ", "-cacert:"}, wbem::AuthMethod::Basic, "", true},
        {{"-host:other"}, wbem::AuthMethod::Negotiate, "", false},
        {{"-host:other", "-auth:NTLM", "-cacert: /a b/ca.pem ", "-unencrypted"},
         wbem::AuthMethod::Ntlm,
         "/a b/ca.pem",
         true},
        {{"-auth:kerberos", "-auth:negotiate"}, wbem::AuthMethod::Negotiate, "", false},
        {{"-unencrypted ", "-Unencrypted", "-unencrypted:1", "-Auth:basic"},
         wbem::AuthMethod::Negotiate,
         "",
         false},
    };
    for (const Case& c : cases) {
        wmi.SetHost("localhost");
        wmi.remote = {};
        asked.clear();
        ui::ApplyCommandLine(c.arguments, wmi, params, lookup);
        const std::string what = c.arguments.front() + " ...";
        EXPECT_EQ(wmi.remote.auth, c.auth) << what;
        EXPECT_EQ(wmi.remote.caFile, c.caFile) << what;
        EXPECT_EQ(wmi.remote.allowUnencrypted, c.allowUnencrypted) << what;
        EXPECT_EQ(asked, std::vector<std::string>{wmi.Host}) << what;
        EXPECT_TRUE(params.UsageError.empty()) << what;
    }
}

TEST_F(CommandLineTest, AnUnknownMethodIsReportedAndChangesNothing) {
    apply({"-auth:basic", "-auth:digest", "-auth:"});
    EXPECT_EQ(wmi.remote.auth, wbem::AuthMethod::Basic);
    EXPECT_EQ(params.UsageError,
              "Unknown authentication method \"digest\" in -auth:. Use negotiate, basic, "
              "kerberos or ntlm.");
    apply({"-auth:kerberos"});
    EXPECT_EQ(wmi.remote.auth, wbem::AuthMethod::Kerberos);
    EXPECT_TRUE(params.UsageError.empty()) << "each application starts afresh";
}

}  // namespace
