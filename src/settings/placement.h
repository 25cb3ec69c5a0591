// The main window's placement in section "TMainWin" of the settings file: the
// keys and value formats of the Windows placement record, kept for any window
// system. The window maps its geometry onto WindowPlacement and back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/profile_file.h"

namespace settings {

inline constexpr std::string_view kPlacementSection = "TMainWin";

struct PlacementPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const PlacementPoint&) const = default;
};

// Screen pixels; right and bottom lie just outside the window.
struct PlacementRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const PlacementRect&) const = default;
};

struct WindowPlacement {
    int32_t flags = 0;
    int32_t showCmd = 1;                 // 1 normal, 2 minimised, 3 maximised
    PlacementPoint minPosition{-1, -1};  // where the minimised window sits
    PlacementPoint maxPosition{-1, -1};  // where the maximised window sits
    PlacementRect normalPosition;        // the window in its normal state
    bool operator==(const WindowPlacement&) const = default;
};

struct ScreenInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t pixelsPerInch = 96;
};

// "MinMaxPos(1024x768)" for "MinMaxPos" on a 1024 by 768 screen.
std::string ScreenKey(std::string_view key, const ScreenInfo& screen);

// The placement to apply at first activation, or nullopt when the file holds
// none that fits: format version below 0, neither position stored, another
// screen resolution, or a normal position whose left is not less than its
// right. Only the position is restored: showCmd stays that of current, whose
// flags and normal position also stand in for values the file lacks.
std::optional<WindowPlacement> RestorePlacement(const ProfileFile& file, const ScreenInfo& screen,
                                                const WindowPlacement& current);

// Writes the placement keys in their fixed order; both positions go under the
// screen-size key and then under the bare key.
void SavePlacement(ProfileFile& file, const WindowPlacement& placement, const ScreenInfo& screen);

}  // namespace settings
