// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one rule that turns the folders around a link into keywords, for every reader of a folder
// tree (Netscape files, Firefox places, Chromium bookmarks): the folder names in lower case,
// each followed by a blank, then the link's own name and its tags.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brindle {

// Folder names that may join a link's keyword text, in bytes. Real folder paths are far
// shorter; the bound keeps the work per link constant however deep a file nests its folders.
inline constexpr std::size_t kMaxFolderKeywordBytes = 1024;

class FolderKeywords {
  public:
    // Enters a folder. A name that is blank, or would pass the bound, adds nothing.
    void Push(std::string_view folderName);
    // Leaves the folder entered last; without one (an unbalanced close) nothing happens.
    void Pop();
    bool Empty() const { return m_prefix.empty(); }

    // Sets `out` to the keyword text of a link named `name` with comma-separated `tags`.
    void KeywordsFor(std::string& out, std::string_view name, std::string_view tags) const;

  private:
    std::string m_prefix;
    // For each open folder the length the prefix had before it, run-length coded: runs of
    // folders that added nothing share one mark, so even a file of nothing but list tags keeps
    // this list short.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_marks;
};

} // namespace brindle
