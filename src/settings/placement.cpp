#include "settings/placement.h"

#include <array>
#include <vector>

#include "settings/text_util.h"

namespace settings {

namespace {

constexpr std::string_view kFormVersion = "FormVersion";
constexpr std::string_view kFlags = "Flags";
constexpr std::string_view kShowCmd = "ShowCmd";
constexpr std::string_view kPixelsPerInch = "PixelsPerInch";
constexpr std::string_view kMinMaxPos = "MinMaxPos";
constexpr std::string_view kNormPos = "NormPos";
constexpr std::string_view kVisible = "Visible";

// The value under the screen-size key, else under the bare key; empty for none.
std::string readPosition(const ProfileFile& file, std::string_view key, const ScreenInfo& screen) {
    std::string value = file.readString(kPlacementSection, ScreenKey(key, screen), "");
    if (value.empty()) value = file.readString(kPlacementSection, key, "");
    return value;
}

// The first four fields separated by commas or blanks; a missing or bad field
// gives its fallback.
std::array<int32_t, 4> fourFields(std::string_view value, const std::array<int32_t, 4>& fallback) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < value.size() && fields.size() < 4) {
        size_t end = value.find_first_of(", ", pos);
        if (end == std::string_view::npos) end = value.size();
        if (end > pos) fields.push_back(value.substr(pos, end - pos));
        pos = end + 1;
    }
    std::array<int32_t, 4> out = fallback;
    for (size_t i = 0; i < fields.size(); ++i) out[i] = parseInt32(fields[i]).value_or(fallback[i]);
    return out;
}

std::string fourText(int32_t a, int32_t b, int32_t c, int32_t d) {
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
           std::to_string(d);
}

}  // namespace

std::string ScreenKey(std::string_view key, const ScreenInfo& screen) {
    return std::string(key) + "(" + std::to_string(screen.width) + "x" +
           std::to_string(screen.height) + ")";
}

std::optional<WindowPlacement> RestorePlacement(const ProfileFile& file, const ScreenInfo& screen,
                                                const WindowPlacement& current) {
    if (file.readInteger(kPlacementSection, kFormVersion, 0) < 0) return std::nullopt;
    WindowPlacement placement = current;
    placement.flags = file.readInteger(kPlacementSection, kFlags, current.flags);

    std::string minMax = readPosition(file, kMinMaxPos, screen);
    if (!minMax.empty()) {
        auto f = fourFields(minMax, {0, 0, 0, 0});
        placement.minPosition = {f[0], f[1]};
        placement.maxPosition = {f[2], f[3]};
    }
    std::string norm = readPosition(file, kNormPos, screen);
    if (!norm.empty()) {
        const PlacementRect& r = current.normalPosition;
        auto f = fourFields(norm, {r.left, r.top, r.right, r.bottom});
        placement.normalPosition = {f[0], f[1], f[2], f[3]};
    }
    int32_t ppi = file.readInteger(kPlacementSection, kPixelsPerInch, screen.pixelsPerInch);

    bool found = !minMax.empty() || !norm.empty();
    if (!found || ppi != screen.pixelsPerInch ||
        placement.normalPosition.left >= placement.normalPosition.right)
        return std::nullopt;
    return placement;
}

void SavePlacement(ProfileFile& file, const WindowPlacement& placement, const ScreenInfo& screen) {
    const auto& p = placement;
    std::string minMax =
        fourText(p.minPosition.x, p.minPosition.y, p.maxPosition.x, p.maxPosition.y);
    std::string norm = fourText(p.normalPosition.left, p.normalPosition.top, p.normalPosition.right,
                                p.normalPosition.bottom);
    file.writeInteger(kPlacementSection, kFormVersion, 0);
    file.writeInteger(kPlacementSection, kFlags, p.flags);
    file.writeInteger(kPlacementSection, kShowCmd, p.showCmd);
    file.writeInteger(kPlacementSection, kPixelsPerInch, screen.pixelsPerInch);
    file.writeString(kPlacementSection, ScreenKey(kMinMaxPos, screen), minMax);
    file.writeString(kPlacementSection, kMinMaxPos, minMax);
    file.writeString(kPlacementSection, ScreenKey(kNormPos, screen), norm);
    file.writeString(kPlacementSection, kNormPos, norm);
    file.writeString(kPlacementSection, kVisible, "0");
}

}  // namespace settings
