#include "settings/placement.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "temp_folder.h"

namespace {

using settings::PlacementRect;
using settings::ProfileFile;
using settings::RestorePlacement;
using settings::SavePlacement;
using settings::ScreenInfo;
using settings::WindowPlacement;

const ScreenInfo kScreen{1024, 768, 96};

// The window as it stands before the restore.
WindowPlacement current() {
    WindowPlacement p;
    p.flags = 0;
    p.showCmd = 1;
    p.normalPosition = {100, 50, 824, 521};  // 724 by 471 at 100,50
    return p;
}

WindowPlacement with(PlacementRect normal, settings::PlacementPoint minPos = {-1, -1},
                     settings::PlacementPoint maxPos = {-1, -1}, int32_t flags = 0) {
    WindowPlacement p = current();
    p.normalPosition = normal;
    p.minPosition = minPos;
    p.maxPosition = maxPos;
    p.flags = flags;
    return p;
}

TEST(SavePlacement, WritesTheKeysInTheirOrderAndFormats) {
    WindowPlacement p;
    p.flags = 2;
    p.showCmd = 3;
    p.minPosition = {-32000, -32000};
    p.maxPosition = {-4, -4};
    p.normalPosition = {10, 20, 734, 491};
    ProfileFile file;
    SavePlacement(file, p, {1920, 1080, 120});
    EXPECT_EQ(file.text(),
              "[TMainWin]\r\n"
              "FormVersion=0\r\n"
              "Flags=2\r\n"
              "ShowCmd=3\r\n"
              "PixelsPerInch=120\r\n"
              "MinMaxPos(1920x1080)=-32000,-32000,-4,-4\r\n"
              "MinMaxPos=-32000,-32000,-4,-4\r\n"
              "NormPos(1920x1080)=10,20,734,491\r\n"
              "NormPos=10,20,734,491\r\n"
              "Visible=0\r\n");
}

TEST(SavePlacement, ASecondSaveRewritesInPlaceAndKeepsOtherScreens) {
    ProfileFile file =
        ProfileFile::fromText("[TMainWin]\r\nNormPos(800x600)=1,1,50,50\r\nNormPos=1,1,50,50\r\n");
    SavePlacement(file, with({5, 6, 700, 500}), kScreen);
    EXPECT_EQ(file.readString("TMainWin", "NormPos(800x600)", ""), "1,1,50,50");
    EXPECT_EQ(file.readString("TMainWin", "NormPos(1024x768)", ""), "5,6,700,500");
    EXPECT_EQ(file.readString("TMainWin", "NormPos", ""), "5,6,700,500");
}

TEST(RestorePlacement, RoundTripsThroughAFile) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    WindowPlacement saved = with({-300, 40, 500, 700}, {-32000, -32000}, {-8, -8}, 2);
    saved.showCmd = 3;
    ProfileFile file = ProfileFile::load(path);
    SavePlacement(file, saved, kScreen);
    ASSERT_TRUE(file.save());

    auto restored = RestorePlacement(ProfileFile::load(path), kScreen, current());
    ASSERT_TRUE(restored.has_value());
    WindowPlacement expected = saved;
    expected.showCmd = current().showCmd;  // the show state is never restored
    EXPECT_EQ(*restored, expected);
}

struct RestoreCase {
    const char* what;
    std::string section;  // lines of [TMainWin]
    std::optional<WindowPlacement> expected;
};

TEST(RestorePlacement, FollowsTheStoredKeys) {
    const RestoreCase cases[] = {
        {"nothing stored", "", std::nullopt},
        {"bare keys", "MinMaxPos=1,2,3,4\nNormPos=10,20,300,400\n",
         with({10, 20, 300, 400}, {1, 2}, {3, 4})},
        {"this screen's keys win over bare ones",
         "NormPos(1024x768)=10,20,300,400\nNormPos=1,1,9,9\n", with({10, 20, 300, 400})},
        {"another screen's keys are not used", "NormPos(800x600)=10,20,300,400\nNormPos=1,1,9,9\n",
         with({1, 1, 9, 9})},
        {"an empty screen key falls back to the bare key", "NormPos(1024x768)=\nNormPos=1,1,9,9\n",
         with({1, 1, 9, 9})},
        {"only another screen's keys: nothing", "NormPos(800x600)=10,20,300,400\n", std::nullopt},
        {"format version below 0", "FormVersion=-1\nNormPos=10,20,300,400\n", std::nullopt},
        {"format version 0 or above", "FormVersion=3\nNormPos=10,20,300,400\n",
         with({10, 20, 300, 400})},
        {"another resolution", "PixelsPerInch=120\nNormPos=10,20,300,400\n", std::nullopt},
        {"the same resolution", "PixelsPerInch=96\nNormPos=10,20,300,400\n",
         with({10, 20, 300, 400})},
        {"left not less than right", "NormPos=300,20,300,400\n", std::nullopt},
        {"flags are restored", "Flags=2\nNormPos=10,20,300,400\n",
         with({10, 20, 300, 400}, {-1, -1}, {-1, -1}, 2)},
        {"show state is not restored", "ShowCmd=3\nNormPos=10,20,300,400\n",
         with({10, 20, 300, 400})},
        {"missing NormPos fields come from the window", "NormPos=10,20\n",
         with({10, 20, 824, 521})},
        {"bad NormPos fields come from the window", "NormPos=x,20,y,400\n",
         with({100, 20, 824, 400})},
        {"missing and bad MinMaxPos fields are 0", "MinMaxPos=5,x\n",
         with({100, 50, 824, 521}, {5, 0}, {0, 0})},
        {"commas and blanks separate fields", "NormPos= 10 ,20  30,,40 \n", with({10, 20, 30, 40})},
        {"fields past the fourth are ignored", "NormPos=10,20,300,400,7\n",
         with({10, 20, 300, 400})},
        {"quoted values", "NormPos=\"10,20,300,400\"\n", with({10, 20, 300, 400})},
        {"names ignore case", "normpos(1024X768)=10,20,300,400\n", with({10, 20, 300, 400})},
    };
    for (const auto& c : cases) {
        ProfileFile file = ProfileFile::fromText("[TMainWin]\n" + c.section);
        EXPECT_EQ(RestorePlacement(file, kScreen, current()), c.expected) << c.what;
    }
}

TEST(RestorePlacement, AMissingFileRestoresNothing) {
    TempFolder folder;
    EXPECT_EQ(RestorePlacement(ProfileFile::load(folder.file("cimscope.ini")), kScreen, current()),
              std::nullopt);
}

}  // namespace
