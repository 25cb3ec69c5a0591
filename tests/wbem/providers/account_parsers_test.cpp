// passwd, group, shadow, /etc/environment, systemctl and /proc/modules text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "wbem/providers/account_providers.h"
#include "wbem/providers/accounts.h"
#include "wbem/providers/service_providers.h"
#include "wbem/providers/systemd_units.h"
#include "wbem/providers/thermal_provider.h"

namespace wbem {
namespace {

TEST(PasswdTest, ParsesEntriesAndSkipsMalformedLines) {
    auto users = parsePasswd(
        "root:x:0:0:root:/root:/bin/bash\n"
        "alice:x:1000:1000:Alice Smith,Room 1,555:/home/alice:/bin/zsh\r\n"
        "# comment\n"
        "+nisuser::::::\n"
        "short:x:1\n"
        "badid:x:abc:0::/:/bin/sh\n"
        "huge:x:99999999999:0::/:/bin/sh\n"
        ":x:5:5::/:/bin/sh\n"
        "\xffodd:x:1001:1001::/home/odd:/bin/sh\n");
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(users[0].name, "root");
    EXPECT_EQ(users[1].uid, 1000u);
    EXPECT_EQ(users[1].shell, "/bin/zsh");
    EXPECT_EQ(users[1].fullName(), "Alice Smith");
    EXPECT_EQ(users[2].name, "\xEF\xBF\xBDodd");
}

TEST(GroupTest, ParsesMembers) {
    auto groups = parseGroup(
        "root:x:0:\n"
        "sudo:x:27:alice,bob, carol ,\n"
        "bad:x:notanumber:alice\n"
        "cut:x:5\n");
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_TRUE(groups[0].members.empty());
    EXPECT_EQ(groups[1].members, (std::vector<std::string>{"alice", "bob", "carol"}));
    EXPECT_EQ(groups[1].gid, 27u);
}

TEST(ShadowTest, TellsLockedAndPasswordlessAccounts) {
    auto s = parseShadow(
        "root:$6$salt$hash:19000:0:99999:7:::\n"
        "locked:!$6$salt$hash:19000:0:90:7:::\n"
        "daemon:*:19000:0:99999:7:::\n"
        "nopass::19000::::::\n"
        "crlf:*\r\n"
        "cut\n");
    EXPECT_FALSE(s["root"].locked);
    EXPECT_TRUE(s["root"].hasPassword);
    EXPECT_FALSE(s["root"].expires);
    EXPECT_TRUE(s["locked"].locked);
    EXPECT_TRUE(s["locked"].hasPassword);
    EXPECT_TRUE(s["locked"].expires);
    EXPECT_FALSE(s["daemon"].hasPassword);
    EXPECT_FALSE(s["nopass"].hasPassword);
    EXPECT_FALSE(s["crlf"].hasPassword);
    EXPECT_EQ(s.count("cut"), 0u);
}

TEST(AccountPathTest, QuotesAndEscapesLikeWmi) {
    EXPECT_EQ(userSid(1000), "S-1-22-1-1000");
    EXPECT_EQ(groupSid(0), "S-1-22-2-0");
    EXPECT_EQ(accountRelPath("Win32_Group", "VM", "root"),
              "Win32_Group.Domain=\"VM\",Name=\"root\"");
    EXPECT_EQ(accountRelPath("Win32_UserAccount", "VM", "we\"ird\\"),
              "Win32_UserAccount.Domain=\"VM\",Name=\"we\\\"ird\\\\\"");
}

TEST(EnvironmentFileTest, ReadsPamEnvLines) {
    auto vars = parseEnvironmentFile(
        "# system-wide\n"
        "PATH=\"/usr/local/bin:/usr/bin\"\n"
        "export LANG=C.UTF-8\n"
        "  EDITOR = 'vim'  \n"
        "BAD KEY=1\n"
        "=nokey\n"
        "EMPTY=\n"
        "junk\n");
    ASSERT_EQ(vars.size(), 4u);
    EXPECT_EQ(vars[0], (std::pair<std::string, std::string>{"PATH", "/usr/local/bin:/usr/bin"}));
    EXPECT_EQ(vars[1], (std::pair<std::string, std::string>{"LANG", "C.UTF-8"}));
    EXPECT_EQ(vars[2], (std::pair<std::string, std::string>{"EDITOR", "vim"}));
    EXPECT_EQ(vars[3], (std::pair<std::string, std::string>{"EMPTY", ""}));
}

TEST(EnvironmentFileTest, ReadsPamEnvironmentDefaultsAndOverrides) {
    auto vars = parseEnvironmentFile(
        "EDITOR DEFAULT=vim\n"
        "PATH DEFAULT=/bin OVERRIDE=/usr/bin\n"
        "PAGER OVERRIDE=less DEFAULT=more\n"
        "NOTHING here\n");
    ASSERT_EQ(vars.size(), 3u);
    EXPECT_EQ(vars[0], (std::pair<std::string, std::string>{"EDITOR", "vim"}));
    EXPECT_EQ(vars[1], (std::pair<std::string, std::string>{"PATH", "/usr/bin"}));
    EXPECT_EQ(vars[2], (std::pair<std::string, std::string>{"PAGER", "less"}));
}

TEST(EnvironmentFileTest, ConfiguredEnvironmentOfTheSystemAndEachUser) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("cimscope-env-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    auto write = [&](const std::string& rel, const std::string& text) {
        std::filesystem::create_directories((root / rel).parent_path());
        std::ofstream(root / rel) << text;
    };
    write("etc/passwd",
          "root:x:0:0:root:/root:/bin/bash\n"
          "ann:x:1000:1000:Ann:/home/ann:/bin/bash\n"
          "daemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n"
          "twin:x:1001:1001::/home/ann:/bin/sh\n");
    write("etc/environment", "PATH=/usr/bin\nLANG=C\n");
    write("etc/environment.d/20-b.conf", "LANG=de_DE.UTF-8\n");
    write("etc/environment.d/10-a.conf", "LANG=fr_FR.UTF-8\nEDITOR=nano\n");
    write("etc/environment.d/notes.txt", "IGNORED=1\n");
    write("etc/default/locale", "LC_TIME=\"en_GB.UTF-8\"\n");
    write("home/ann/.config/environment.d/50-mine.conf", "EDITOR=vim\n");
    write("home/ann/.pam_environment", "PAGER DEFAULT=less\n");
    const auto vars = configuredEnvironment(root.string(), "VM");
    std::filesystem::remove_all(root);
    std::map<std::string, std::string> seen;
    for (const auto& v : vars) {
        EXPECT_EQ(v.system, v.userName == "<SYSTEM>") << v.name;
        EXPECT_TRUE(seen.emplace(v.userName + "|" + v.name, v.value).second) << "twice: " << v.name;
    }
    const std::map<std::string, std::string> expected = {
        {"<SYSTEM>|PATH", "/usr/bin"}, {"<SYSTEM>|LANG", "de_DE.UTF-8"},  // the last file read wins
        {"<SYSTEM>|EDITOR", "nano"},   {"<SYSTEM>|LC_TIME", "en_GB.UTF-8"},
        {"VM\\ann|EDITOR", "vim"},     {"VM\\ann|PAGER", "less"},
    };
    EXPECT_EQ(seen, expected);
}

TEST(SystemdTest, ParsesUnitListsAndShowBlocks) {
    auto names = parseUnitNames(
        "ssh.service loaded active running OpenBSD Secure Shell server\n"
        "\xE2\x97\x8F failed.service loaded failed failed A failed one\n"
        "getty@.service enabled enabled\n"
        "cron.service enabled enabled\n"
        "sockets.target loaded active active Sockets\n"
        "\n");
    EXPECT_EQ(names, (std::vector<std::string>{"ssh.service", "failed.service", "cron.service"}));

    auto units = parseShowOutput(
        "Id=ssh.service\nDescription=OpenBSD Secure Shell server\nLoadState=loaded\n"
        "ActiveState=active\nSubState=running\nUnitFileState=enabled\nUser=\nCanStop=yes\n"
        "MainPID=612\nExecMainStatus=0\n"
        "ExecStart={ path=/usr/sbin/sshd ; argv[]=/usr/sbin/sshd -D $SSHD_OPTS ; "
        "ignore_errors=no ; start_time=[n/a] ; pid=0 ; code=(null) ; status=0/0 }\n"
        "\n"
        "Id=broken.service\nLoadState=loaded\nActiveState=failed\nUnitFileState=masked\n"
        "MainPID=0\nExecMainStatus=203\nCanStop=no\n"
        "\n"
        "Description=no id here\n");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].execPath, "/usr/sbin/sshd");
    EXPECT_EQ(units[0].execArgs, "/usr/sbin/sshd -D $SSHD_OPTS");
    EXPECT_EQ(units[0].mainPid, 612u);
    EXPECT_TRUE(units[0].canStop);
    EXPECT_EQ(serviceState(units[0]), "Running");
    EXPECT_EQ(serviceStartMode(units[0]), "Auto");
    EXPECT_FALSE(units[1].mainPid);
    EXPECT_EQ(units[1].exitStatus, 203u);
    EXPECT_EQ(serviceState(units[1]), "Stopped");
    EXPECT_EQ(serviceStartMode(units[1]), "Disabled");
    ServiceUnit starting;
    starting.activeState = "activating";
    starting.unitFileState = "static";
    EXPECT_EQ(serviceState(starting), "Start Pending");
    EXPECT_EQ(serviceStartMode(starting), "Manual");
}

TEST(ModulesTest, ParsesTheKernelModuleList) {
    auto mods = parseModules(
        "virtio_net 65536 0 - Live 0x0000000000000000\n"
        "ext4 1003520 1 - Loading 0xffffffffc0000000 (E)\n"
        "short 12\n"
        "badsize x 0 - Live 0x0\n");
    ASSERT_EQ(mods.size(), 2u);
    EXPECT_EQ(mods[0].name, "virtio_net");
    EXPECT_EQ(mods[0].size, 65536u);
    EXPECT_EQ(mods[1].state, "Loading");
}

TEST(ThermalTest, ConvertsToTenthsOfKelvin) {
    EXPECT_EQ(milliCelsiusToDeciKelvin(0), 2732u);
    EXPECT_EQ(milliCelsiusToDeciKelvin(45000), 3182u);
    EXPECT_EQ(milliCelsiusToDeciKelvin(-273150), 0u);
    EXPECT_FALSE(milliCelsiusToDeciKelvin(-300000));
}

}  // namespace
}  // namespace wbem
