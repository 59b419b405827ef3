// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Exporting into the bookmark file of Netscape users (on Linux: the profiles listed in
// ~/.mozilla/firefox/profiles.ini), as a section of Brindle's own that later exports refresh.

#include "exchange/ExchangeReport.h"
#include "exchange/ExportSelection.h"

#include <string>
#include <vector>

class CBrindleDoc;

namespace brindle {

struct NetscapeUser {
    std::string name;
    std::string profileFolder; // empty when the profile names no folder
};

// The users of ~/.mozilla/firefox/profiles.ini under `home` (the user's home when empty), in the
// order of their profile numbers.
std::vector<NetscapeUser> FindNetscapeUsers(const std::string& home = std::string());

// The profiles listed in `firefoxFolder`/profiles.ini, in the order of their profile numbers;
// `defaultFolder`, when given, receives the folder of the profile Firefox starts with.
std::vector<NetscapeUser> ReadFirefoxProfiles(const std::string& firefoxFolder,
                                              std::string* defaultFolder = nullptr);

// The file Brindle writes into a profile folder.
inline constexpr const char* kProfileBookmarkFile = "bookmark.htm";

// Exports into one user's file: a complete Netscape file when the profile has none yet,
// otherwise Brindle's section of the file is added or replaced. An unknown user fails silently.
bool ExportToNetscapeUser(CBrindleDoc& doc, const std::string& userName,
                          const ExportOptions& options, ExchangeReport& report,
                          const std::string& home = std::string());

// Exports to each user in turn and adds the totals message; returns the number of successes.
int ExportToNetscapeUsers(CBrindleDoc& doc, const std::vector<std::string>& userNames,
                          const ExportOptions& options, ExchangeReport& report,
                          const std::string& home = std::string());

// "Export Information:\nTotal file number:N\nSuccessful exporting files number:M"
std::string ProfileExportTotals(int total, int successes);

// The line-level rewrite: Brindle's section after the last heading line naming Brindle is
// replaced by `entries` (links the user added there are kept after them), or a new section is
// appended. `entries` are complete entry lines.
std::vector<std::string> MergeBrindleSection(std::vector<std::string> lines,
                                             const std::string& userName,
                                             const std::vector<std::string>& entries,
                                             const std::vector<std::string>& entryUrls);

} // namespace brindle
