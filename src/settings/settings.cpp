#include "settings/settings.h"

#include <algorithm>
#include <map>

#include "settings/text_util.h"
#include "wbem/text.h"

namespace settings {

namespace {

constexpr std::string_view kCountKey = "Count";

// The entries 0 to count-1 in index order, as reading each key in turn would
// give them, but walking only the keys present: a huge "Count" costs nothing.
std::vector<std::string> storedEntries(const ProfileFile& file, const HistorySection& h,
                                       int32_t count) {
    std::map<int32_t, std::string> byIndex;
    for (auto& entry : file.sectionEntries(h.section)) {
        auto index = numberedKeyIndex(entry.key, h.keyPrefix);
        if (index && *index < count) byIndex.try_emplace(*index, std::move(entry.value));
    }
    std::vector<std::string> out;
    for (auto& [index, value] : byIndex)
        if (!value.empty()) out.push_back(std::move(value));
    return out;
}

}  // namespace

bool AddToHistory(HistoryList& list, std::string_view text) {
    std::string_view trimmed = wbem::trimmed(text);
    if (trimmed.empty()) return false;
    auto same = std::find(list.begin(), list.end(), trimmed);
    if (same != list.end()) list.erase(same);
    list.insert(list.begin(), std::string(trimmed));
    return true;
}

void LoadSettings(const ProfileFile& file, Histories& histories, const AuthLevelAccess& level) {
    for (const HistorySection& h : kHistorySections) {
        HistoryList& list = histories.*(h.list);
        int32_t count = file.readInteger(h.section, kCountKey, 0);
        if (h.beforeReading == BeforeReading::Empty ||
            (h.beforeReading == BeforeReading::EmptyWhenCountPositive && count > 0))
            list.clear();
        for (auto& value : storedEntries(file, h, count)) list.push_back(std::move(value));
    }
    if (level.get && level.set)
        level.set(file.readInteger("WMI", "AuthenticationLevel", level.get()));
}

void SaveSettings(ProfileFile& file, const Histories& histories) {
    for (const HistorySection& h : kHistorySections) {
        const HistoryList& list = histories.*(h.list);
        size_t n = std::min(list.size(), kSavedHistoryEntries);
        file.writeInteger(h.section, kCountKey, static_cast<int32_t>(n));
        for (size_t i = 0; i < n; ++i)
            file.writeString(h.section, std::string(h.keyPrefix) + std::to_string(i), list[i]);
    }
}

bool WriteSettingsFile(const std::string& fileName, const Histories& histories,
                       const WindowPlacement& placement, const ScreenInfo& screen) {
    ProfileFile file = ProfileFile::load(fileName);
    SaveSettings(file, histories);
    SavePlacement(file, placement, screen);
    return file.save();
}

}  // namespace settings
