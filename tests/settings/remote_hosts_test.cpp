#include "settings/remote_hosts.h"

#include <gtest/gtest.h>

#include <string>

#include "temp_folder.h"

namespace {

using settings::FindRemoteHost;
using settings::LoadRemoteHosts;
using settings::ProfileFile;
using settings::RememberRemoteHost;
using settings::RemoteHostList;

wbem::RemoteOptions options(wbem::AuthMethod auth, std::string caFile = {},
                            bool allowUnencrypted = false) {
    wbem::RemoteOptions o;
    o.auth = auth;
    o.caFile = std::move(caFile);
    o.allowUnencrypted = allowUnencrypted;
    return o;
}

std::vector<std::string> hostsOf(const RemoteHostList& list) {
    std::vector<std::string> hosts;
    for (const auto& c : list) hosts.push_back(c.host);
    return hosts;
}

TEST(RemoteHosts, RememberingPutsTheHostFirstAndReplacesItsEntryIgnoringCase) {
    RemoteHostList list;
    EXPECT_TRUE(RememberRemoteHost(list, " server1 ", options(wbem::AuthMethod::Basic)));
    EXPECT_TRUE(RememberRemoteHost(list, "https://[fe80::2]:5986/wsman",
                                   options(wbem::AuthMethod::Kerberos)));
    EXPECT_TRUE(RememberRemoteHost(list, "SERVER1", options(wbem::AuthMethod::Ntlm, "ca.pem")));
    EXPECT_FALSE(RememberRemoteHost(list, " \t", options(wbem::AuthMethod::Basic)));
    EXPECT_EQ(hostsOf(list), (std::vector<std::string>{"SERVER1", "https://[fe80::2]:5986/wsman"}));

    struct Case {
        const char* host;
        const char* found;  // nullptr: none
    } cases[] = {
        {"server1", "SERVER1"},
        {"  Server1\t", "SERVER1"},
        {"HTTPS://[FE80::2]:5986/WSMAN", "https://[fe80::2]:5986/wsman"},
        {"server12", nullptr},
        {"server", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const settings::RemoteHostChoice* found = FindRemoteHost(list, c.host);
        ASSERT_EQ(found != nullptr, c.found != nullptr) << c.host;
        if (found) {
            EXPECT_EQ(found->host, c.found) << c.host;
        }
    }
    EXPECT_EQ(FindRemoteHost(list, "server1")->options.auth, wbem::AuthMethod::Ntlm);
    EXPECT_EQ(FindRemoteHost(list, "server1")->options.caFile, "ca.pem");
}

TEST(RemoteHosts, SurviveTheFileWithEveryChoiceAndEveryOtherLine) {
    TempFolder folder;
    const std::string path = folder.file("cimscope.ini");
    const std::string foreign =
        "[HostHistory]\r\nCount=1\r\nText0=server1\r\n\r\n[Mine]\r\nKey=\"kept\"\r\n";
    writeBytes(path, foreign);

    RemoteHostList list;
    RememberRemoteHost(list, "plain", options(wbem::AuthMethod::Negotiate));
    RememberRemoteHost(list, "https://[fe80::2]:5986",
                       options(wbem::AuthMethod::Kerberos, " /ca dir/corp.pem "));
    RememberRemoteHost(list, "server1", options(wbem::AuthMethod::Basic, "", true));
    ASSERT_TRUE(settings::WriteRemoteHosts(path, list));

    const std::string text = readBytes(path);
    EXPECT_EQ(text.substr(0, foreign.size()), foreign);
    EXPECT_NE(text.find("[RemoteHosts]\r\nCount=3\r\nHost0=server1\r\nAuth0=basic\r\nCAFile0=\r\n"
                        "Unencrypted0=1\r\n"),
              std::string::npos)
        << text;

    const RemoteHostList back = LoadRemoteHosts(ProfileFile::load(path));
    ASSERT_EQ(hostsOf(back), hostsOf(list));
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].options.auth, list[i].options.auth) << back[i].host;
        EXPECT_EQ(back[i].options.caFile, list[i].options.caFile) << back[i].host;
        EXPECT_EQ(back[i].options.allowUnencrypted, list[i].options.allowUnencrypted)
            << back[i].host;
    }
}

TEST(RemoteHosts, OnlyTheFirstHostsAreSaved) {
    RemoteHostList list;
    for (size_t i = 0; i < settings::kSavedRemoteHosts + 5; ++i)
        RememberRemoteHost(list, "host" + std::to_string(i), options(wbem::AuthMethod::Basic));
    ProfileFile file;
    settings::SaveRemoteHosts(file, list);
    const RemoteHostList back = LoadRemoteHosts(file);
    ASSERT_EQ(back.size(), settings::kSavedRemoteHosts);
    EXPECT_EQ(back.front().host, list.front().host);
    EXPECT_EQ(back.back().host, list[settings::kSavedRemoteHosts - 1].host);
}

TEST(RemoteHosts, ReadingToleratesWhatAHandEditLeaves) {
    const ProfileFile file = ProfileFile::fromText(
        "[remotehosts]\n"
        "count=6\n"
        "Host0=alpha\n"
        "Auth0=KERBEROS\n"
        "Host1=\n"  // no host: skipped
        "Auth1=basic\n"
        "Host2=beta\n"
        "Auth2=digest\n"      // unknown: negotiate
        "Unencrypted2=yes\n"  // not a number: not allowed
        "Host3=ALPHA\n"       // the same host again: the first counts
        "Auth3=ntlm\n"
        "Host5=gamma\n"
        "Unencrypted5=1\n"
        "Host6=beyond the count\n"
        "Host05=leading zero\n");
    const RemoteHostList list = LoadRemoteHosts(file);
    ASSERT_EQ(hostsOf(list), (std::vector<std::string>{"alpha", "beta", "gamma"}));
    EXPECT_EQ(list[0].options.auth, wbem::AuthMethod::Kerberos);
    EXPECT_EQ(list[1].options.auth, wbem::AuthMethod::Negotiate);
    EXPECT_FALSE(list[1].options.allowUnencrypted);
    EXPECT_EQ(list[2].options.auth, wbem::AuthMethod::Negotiate);
    EXPECT_TRUE(list[2].options.allowUnencrypted);

    EXPECT_TRUE(LoadRemoteHosts(ProfileFile::fromText("[RemoteHosts]\nHost0=x\n")).empty())
        << "no Count, no hosts";
    EXPECT_TRUE(LoadRemoteHosts(ProfileFile()).empty());
}

}  // namespace
