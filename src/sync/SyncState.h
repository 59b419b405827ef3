// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a document's link remembers between syncs, in one file under the XDG state folder named
// after the document: the linked address, the stamps of both sides as the last sync left them
// (so that a sync with nothing changed reads neither), and the base of the next three-way
// reconciliation: for every shared bookmark its id in the linked file with its name, address
// and folder there. A state written by an older version is read and converted.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

// How often the window syncs a linked document while it is open, unless the link says.
inline constexpr int kDefaultSyncMinutes = 5;

// Joins the titles of a folder path (a byte no title holds).
inline constexpr char kFolderSeparator = '\x1F';

// A shared bookmark as the last sync left it, by the hashes (HashBytes) of its texts: the
// reconciliation only asks whether a text changed, and the base of a large file stays small.
struct SyncBaseEntry {
    std::uint64_t id = 0; // of its id in the linked file
    std::uint64_t name = 0;
    std::uint64_t url = 0;
    std::uint32_t folder = 0; // its folder in SyncState::folders
};

struct SyncState {
    std::string target;        // the linked file's path or address; empty: not linked
    bool synced = false;       // a sync has completed since the link was made
    std::uint64_t docSize = 0; // the document file as the last sync left it
    std::int64_t docModifiedNs = 0;
    std::uint64_t docHash = 0;
    std::uint64_t fileHash = 0; // the linked file's bytes (HashParts) as the last sync left them
    std::uint64_t fileSize = 0; // and its size and time, when the target tells them (0: not)
    std::int64_t fileModifiedNs = 0;
    int intervalMinutes = kDefaultSyncMinutes; // how often the window syncs while open
    // The folder paths of the base: the titles from the top, joined by kFolderSeparator.
    std::vector<std::string> folders;
    std::vector<SyncBaseEntry> entries;
};

// A fast 64-bit hash of bytes (not for security: it tells one state of a file from another).
std::uint64_t HashBytes(std::string_view bytes);

// The same kind of hash for bytes that come in parts: the parts do not change the value. The
// linked file's hash is taken this way, as it is written part by part.
class PartHash {
  public:
    void Add(std::string_view bytes);
    std::uint64_t Value() const;

  private:
    std::uint64_t m_hash = 0xCBF29CE484222325ull;
    std::uint64_t m_size = 0;
    char m_tail[8] = {};
    std::size_t m_tailSize = 0;
};
std::uint64_t HashParts(std::string_view bytes);

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
