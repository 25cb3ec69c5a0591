#include "help/help_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "help/chm_file.h"

namespace {

namespace fs = std::filesystem;

class ChooseHelpFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() /
            ("cimscope-help-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void touch(const std::string& name) { std::ofstream(dir_ / name) << "x"; }
    std::string folder() const { return dir_.string() + "/"; }

    fs::path dir_;
};

TEST_F(ChooseHelpFileTest, PrefersTheMonitoringProductsFile) {
    const struct {
        bool watchpost;
        bool cimscope;
        const char* chosen;  // nullptr: none
    } cases[] = {
        {false, false, nullptr},
        {false, true, "cimscope.chm"},
        {true, false, "watchpost.chm"},
        {true, true, "watchpost.chm"},
    };
    for (const auto& c : cases) {
        fs::remove(dir_ / "watchpost.chm");
        fs::remove(dir_ / "cimscope.chm");
        if (c.watchpost) touch("watchpost.chm");
        if (c.cimscope) touch("cimscope.chm");
        EXPECT_EQ(help::ChooseHelpFile(folder()), c.chosen ? folder() + c.chosen : "")
            << c.watchpost << c.cimscope;
    }
}

TEST_F(ChooseHelpFileTest, AFolderOfThatNameIsNoHelpFile) {
    fs::create_directory(dir_ / "watchpost.chm");
    touch("cimscope.chm");
    EXPECT_EQ(help::ChooseHelpFile(folder()), folder() + "cimscope.chm");
}

TEST(SplitTopic, SeparatesFileAndPage) {
    const struct {
        const char* topic;
        const char* file;
        const char* path;
    } cases[] = {
        {"/opt/c/cimscope.chm::/HTML/wmi/index.htm", "/opt/c/cimscope.chm", "/HTML/wmi/index.htm"},
        {"/opt/a::b/cimscope.chm::/x.htm", "/opt/a::b/cimscope.chm", "/x.htm"},
        {"c.chm::HTML/x.htm", "c.chm", "/HTML/x.htm"},
        {"c.chm", "c.chm", ""},
        {"::/HTML/wmi/index.htm", "", "/HTML/wmi/index.htm"},
    };
    for (const auto& c : cases) {
        const help::HelpTopic t = help::SplitTopic(c.topic);
        EXPECT_EQ(t.file, c.file) << c.topic;
        EXPECT_EQ(t.path, c.path) << c.topic;
    }
}

TEST(NormalizeChmPath, ResolvesDotsAndKeepsInsideTheFile) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"/HTML/wmi/index.htm", "/HTML/wmi/index.htm"},
        {"HTML/wmi/index.htm", "/HTML/wmi/index.htm"},
        {"/HTML/wmi/../wmi/./images/a.png", "/HTML/wmi/images/a.png"},
        {"/HTML//wmi/x.htm", "/HTML/wmi/x.htm"},
        {"/../../etc/passwd", "/etc/passwd"},
        {"/HTML/wmi/", "/HTML/wmi/"},
        {"", "/"},
        {"..", "/"},
    };
    for (const auto& c : cases) EXPECT_EQ(help::NormalizeChmPath(c.in), c.out) << c.in;
}

}  // namespace
