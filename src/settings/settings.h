// The settings file's histories and authentication level, and the one rule by
// which every history list is kept in memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/placement.h"
#include "settings/profile_file.h"

namespace settings {

// Only the first entries of a history survive a restart; in memory it grows freely.
inline constexpr size_t kSavedHistoryEntries = 15;

using HistoryList = std::vector<std::string>;

// The lists of the four history combo boxes, most recent first. The windows
// copy their combo boxes' lists in and out.
struct Histories {
    HistoryList query;   // Query2Combo of the main window
    HistoryList search;  // FindText of the find dialog
    HistoryList host;    // HostCombo of the connect dialog, built in: "localhost"
    HistoryList nspace;  // wmiPathCombo of the connect dialog
};

// What a load does to a list before it appends the stored entries.
enum class BeforeReading {
    Empty,                   // the list is emptied
    Keep,                    // nothing is emptied
    EmptyWhenCountPositive,  // emptied only when the file holds a count above 0
};

struct HistorySection {
    std::string_view section;
    std::string_view keyPrefix;  // entries are prefix0, prefix1, ...
    BeforeReading beforeReading;
    HistoryList Histories::*list;
};

// The four histories in the order in which they are read and written.
inline constexpr std::array<HistorySection, 4> kHistorySections{{
    {"QueryHistory", "Query", BeforeReading::Empty, &Histories::query},
    {"SearchHistory", "Text", BeforeReading::Keep, &Histories::search},
    {"HostHistory", "Text", BeforeReading::EmptyWhenCountPositive, &Histories::host},
    {"NSpaceHistory", "Text", BeforeReading::Keep, &Histories::nspace},
}};

// Puts text, without surrounding blanks and control characters, at the top of
// the list, removing the first entry equal to it (exact, case-sensitive).
// Returns false, changing nothing, when nothing is left after trimming. The
// text shown in a combo box's edit field is not part of the list: the window
// keeps showing what was typed.
bool AddToHistory(HistoryList& list, std::string_view text);

// The process-wide authentication level, reached through callbacks so that
// this module does not depend on the WMI layer that owns it.
struct AuthLevelAccess {
    std::function<int32_t()> get;
    std::function<void(int32_t)> set;
};

// Fills the histories from the file (see BeforeReading) and sets the
// authentication level from "WMI" "AuthenticationLevel", the current level
// being the default. Stored entries are taken as they are, all of them; empty
// ones are skipped. A missing or unreadable file reads as empty: every read
// gives its default.
void LoadSettings(const ProfileFile& file, Histories& histories, const AuthLevelAccess& level);

// Writes "Count" and the first kSavedHistoryEntries entries of each history
// into the file in memory. Keys of an earlier, longer list stay; "Count" makes
// them ignored. The authentication level is never written.
void SaveSettings(ProfileFile& file, const Histories& histories);

// One close request: reads the file as it is now, sets the histories and the
// placement in it and writes it back in one atomic write. False when the file
// could not be read or written; it is then left as it was.
bool WriteSettingsFile(const std::string& fileName, const Histories& histories,
                       const WindowPlacement& placement, const ScreenInfo& screen);

}  // namespace settings
