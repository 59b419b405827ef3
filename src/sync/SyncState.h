// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a document's link remembers between syncs, in one file under the XDG state folder named
// after the document: the linked address, the stamps of both sides as the last sync left them
// (so that a sync with nothing changed reads neither), and the base of the next three-way
// reconciliation: for every shared bookmark its id in the linked file with its name, address
// and folder there.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

// How often the window syncs a linked document while it is open, unless the link says.
inline constexpr int kDefaultSyncMinutes = 5;

// Joins the titles of a folder path (a byte no title holds).
inline constexpr char kFolderSeparator = '\x1F';

struct SyncBaseEntry {
    std::string id;
    std::string name;
    std::string url;
    std::string folder; // the folder titles from the top, joined by kFolderSeparator
};

struct SyncState {
    std::string target;        // the linked file's path or address; empty: not linked
    bool synced = false;       // a sync has completed since the link was made
    std::uint64_t docSize = 0; // the document file as the last sync left it
    std::int64_t docModifiedNs = 0;
    std::uint64_t docHash = 0;
    std::uint64_t fileHash = 0;                // the linked file's bytes as the last sync left them
    int intervalMinutes = kDefaultSyncMinutes; // how often the window syncs while open
    std::vector<SyncBaseEntry> entries;
};

// A fast 64-bit hash of bytes (not for security: it tells one state of a file from another).
std::uint64_t HashBytes(std::string_view bytes);

// The folder of the states: $XDG_STATE_HOME/brindle/links, by default ~/.local/state/...
std::string SyncStateFolder();
// The state file of the document at `documentPath` (its absolute, resolved path decides).
std::string SyncStatePath(const std::string& documentPath);

// Reads a state file; `headerOnly` stops before the entries. False when there is none or it
// cannot be read.
bool LoadSyncState(const std::string& path, SyncState& state, bool headerOnly = false);
// Writes it in one step; false when that fails.
bool SaveSyncState(const std::string& path, const SyncState& state);

// Links the document at `documentPath` to `target`. Another target than before starts afresh
// (the first sync adds each side's bookmarks to the other); the same one keeps the state.
// `known` tells which. False when the state cannot be written.
bool LinkDocument(const std::string& documentPath, const std::string& target, int intervalMinutes,
                  bool* known = nullptr);
// Forgets the link and its state; false when a state remains.
bool UnlinkDocument(const std::string& documentPath);
// The target the document is linked to; empty when none.
std::string LinkedTarget(const std::string& documentPath, int* intervalMinutes = nullptr);

} // namespace brindle
