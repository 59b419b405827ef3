// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the document tells its views what changed. Views implement the calls they need; the
// document never knows a widget.

#include <cstddef>
#include <cstdint>

// What the status bar counts, as the document has it after a search or a refresh.
struct SearchCounts {
    std::int32_t searchMode = 1; // the document's m_nSearchMode
    std::size_t keywords = 0;    // entries of the keyword dictionary
    std::size_t hits = 0;        // entries of the active hit list
    std::size_t bookmarks = 0;   // bookmarks in the collection
    bool operator==(const SearchCounts&) const = default;
};

class DocListener {
  public:
    virtual ~DocListener() = default;
    // The bookmark list reloads its row count from the active hit list.
    virtual void ReloadRows() {}
    // The keyword list refills itself from the dictionary.
    virtual void RefillKeywords() {}
    // The macro list reloads (macros were added).
    virtual void ReloadMacros() {}
    // The document failed to open or was re-initialised: every view rebuilds.
    virtual void Rebuild() {}
    // The search mode and the counts after a search or a refresh (the views have reloaded).
    virtual void CountsChanged(const SearchCounts& counts) { (void)counts; }
};
