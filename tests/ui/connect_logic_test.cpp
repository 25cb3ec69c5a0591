// The connect dialog's and the namespace chooser's rules without a window.
#include "ui/connect_logic.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace ui {
namespace {

using Names = std::vector<std::string>;

TEST(ConnectLogic, RemoteRule) {
    struct Case {
        const char* host;
        const char* localAddress;
        bool remote;
    };
    const Case cases[] = {
        {"localhost", "10.0.0.7", false},
        {"LOCALHOST", "10.0.0.7", true},  // exact comparison
        {"", "10.0.0.7", false},
        {"127.0.0.1", "10.0.0.7", false},
        {"127.0.0.5", "10.0.0.7", false},
        {"127.0.0", "10.0.0.7", false},
        {"127.0.1.1", "10.0.0.7", true},
        {"127.0.1.1", "127.0.1.1", false},  // the local address itself
        {"10.0.0.7", "10.0.0.7", false},
        {"10.0.0.70", "10.0.0.7", true},
        {"myhost", "10.0.0.7", true},  // this computer's name counts as remote
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsRemoteHost(c.host, c.localAddress), c.remote)
            << c.host << " / " << c.localAddress;
}

TEST(ConnectLogic, AddressesAndTheirText) {
    EXPECT_EQ(AddressToText(htonl(0xC0A80001)), "192.168.0.1");
    EXPECT_EQ(AddressToText(htonl(0x0A00FF07)), "10.0.255.7");
    EXPECT_EQ(AddressToText(HostAddress("10.1.2.3")), "10.1.2.3");
    EXPECT_EQ(AddressToText(HostAddress("")), "127.0.0.1") << "a failed lookup";
    EXPECT_EQ(AddressToText(LocalHostAddress()), AddressToText(HostAddress(LocalHostName())));
}

TEST(ConnectLogic, HostsFileNames) {
    const std::string debian =
        "127.0.0.1\tlocalhost\n"
        "127.0.1.1\tbuild01.example.org build01\n"
        "\n"
        "# The following lines are desirable for IPv6 capable hosts\n"
        "::1     localhost ip6-localhost ip6-loopback\n"
        "ff02::1 ip6-allnodes\n"
        "ff02::2 ip6-allrouters\n"
        "fe00::0 ip6-localnet\n"
        "ff00::0 ip6-mcastprefix\n";
    EXPECT_EQ(ParseHostsFile(debian), (Names{"localhost", "build01.example.org", "build01",
                                             "ip6-localhost", "ip6-loopback"}));

    struct Case {
        const char* text;
        Names names;
    };
    const Case cases[] = {
        {"", {}},
        {"10.0.0.2 alpha # beta\r\n10.0.0.3\tgamma\r\n", {"alpha", "gamma"}},
        {"   10.0.0.2   spaced   \n", {"spaced"}},
        {"10.0.0.2\n#10.0.0.3 commented\n", {}},  // address only; a comment
        {"alpha 10.0.0.2\nnot.an.address name\n300.1.1.1 bad\n", {}},
        {"10.0.0.2 Alpha\n10.0.0.3 ALPHA alpha beta\nfe80::1 linklocal",
         {"Alpha", "beta", "linklocal"}},
        {"10.0.0.4 last-line-without-break", {"last-line-without-break"}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseHostsFile(c.text), c.names) << c.text;
}

TEST(ConnectLogic, KnownComputers) {
    EXPECT_EQ(KnownComputers("vm", {"localhost", " server1 ", "VM", "", "server2"},
                             {"localhost", "Server1", "printer"}),
              (Names{"vm", "localhost", "server1", "server2", "printer"}));
    EXPECT_EQ(KnownComputers("", {}, {"a"}), (Names{"a"}));
}

TEST(ConnectLogic, TheProtocolAreaFollowsTheHost) {
    wbem::RemoteOptions basic;
    basic.auth = wbem::AuthMethod::Basic;
    basic.caFile = "corp.pem";
    wbem::RemoteOptions ntlm;
    ntlm.auth = wbem::AuthMethod::Ntlm;
    ntlm.allowUnencrypted = true;
    const settings::RemoteHostList remembered{{"server1", basic}, {"https://[fe80::2]", ntlm}};
    wbem::RemoteOptions defaults;
    defaults.auth = wbem::AuthMethod::Kerberos;  // as a command line may set them

    struct Case {
        const char* host;
        bool changedByHand;
        bool shown;
        const char* fill;  // "basic", "ntlm", "defaults" or "" for none
    };
    const Case cases[] = {
        {"server1", false, true, "basic"},
        {" SERVER1 ", true, true, "basic"},  // remembered wins over a hand change
        {"HTTPS://[FE80::2]", false, true, "ntlm"},
        {"server12", false, true, "defaults"},
        {"server12", true, true, ""},  // the user's choices stay for a new host
        {"server1:5985", false, true, "defaults"},
        {".", false, false, "defaults"},
        {"localhost", false, false, "defaults"},
        {"localhost", true, false, ""},
        {"", false, false, "defaults"},
        {"127.0.0.5", false, false, "defaults"},
        {"[::1]", false, false, "defaults"},
    };
    for (const Case& c : cases) {
        const ProtocolArea area = ProtocolAreaFor(c.host, remembered, defaults, c.changedByHand);
        const std::string what = std::string(c.host) + (c.changedByHand ? " (by hand)" : "");
        EXPECT_EQ(area.shown, c.shown) << what;
        const std::string fill = c.fill;
        ASSERT_EQ(area.fill.has_value(), !fill.empty()) << what;
        if (fill.empty()) continue;
        const wbem::RemoteOptions& expected = fill == "basic"  ? basic
                                              : fill == "ntlm" ? ntlm
                                                               : defaults;
        EXPECT_EQ(area.fill->auth, expected.auth) << what;
        EXPECT_EQ(area.fill->caFile, expected.caFile) << what;
        EXPECT_EQ(area.fill->allowUnencrypted, expected.allowUnencrypted) << what;
    }
}

TEST(ConnectLogic, NamespaceNamesOfAnAnswer) {
    struct Case {
        const char* answer;
        Names names;
    };
    const Case cases[] = {
        {"cimv2", {"cimv2"}},
        {"cimv2\r\nWMI\r\nRSOP", {"cimv2", "WMI", "RSOP"}},
        {"\r\n a \r\n\r\n\tb\r\n", {"a", "b"}},
        {"a\rb", {"a", "b"}},
        {"", {}},
        {" \r\n ", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(NamespaceNames(c.answer), c.names) << c.answer;
}

TEST(ConnectLogic, SkippedNamespacesAreExact) {
    for (std::string_view path : SkippedNamespaces) EXPECT_TRUE(IsSkippedNamespace(path)) << path;
    for (const char* path : {"Root\\Security", "root\\SECURITY", "Root\\RSOP",
                             "Root\\RSOP\\Computer", "Root\\RSOP\\User\\x", "Root\\ServiceModel\\"})
        EXPECT_FALSE(IsSkippedNamespace(path)) << path;
}

TEST(ConnectLogic, PathFromNodeTexts) {
    EXPECT_EQ(PathFromNodeTexts({}), "");
    EXPECT_EQ(PathFromNodeTexts({"Root"}), "Root");
    EXPECT_EQ(PathFromNodeTexts({"CIMV2", "Root"}), "Root\\CIMV2");
    EXPECT_EQ(PathFromNodeTexts({"Leaf", "Sub", "cimv2", "Root"}), "Root\\cimv2\\Sub\\Leaf");
}

TEST(ConnectLogic, RebuildDecision) {
    const NamespaceTreeKey built{"host", "user", "pw"};
    struct Case {
        NamespaceTreeKey wanted;
        int nodes;
        bool rebuild;
    };
    const Case cases[] = {
        {{"host", "user", "pw"}, 5, false}, {{"host", "user", "pw"}, 2, false},
        {{"host", "user", "pw"}, 1, true},  // only the root: an earlier failure
        {{"host", "user", "pw"}, 0, true},  {{"HOST", "user", "pw"}, 5, true},
        {{"host", "User", "pw"}, 5, true},  {{"host", "user", "pw2"}, 5, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NeedsRebuild(built, c.wanted, c.nodes), c.rebuild)
            << c.wanted.host << "/" << c.wanted.user << "/" << c.wanted.password << " " << c.nodes;
    EXPECT_TRUE(NeedsRebuild({}, {"", "", ""}, 0)) << "a new chooser has no tree";
}

}  // namespace
}  // namespace ui
