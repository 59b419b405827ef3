// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// XBEL 1.0, the XML Bookmark Exchange Language: a tree of folders, bookmarks, separators and
// aliases. Reading turns folders into keywords as every folder-tree reader does; writing keeps
// every field of a bookmark, the ones XBEL has no place for in an `info/metadata` element of
// our own, so that a file written here reads back to the same bookmarks.

#include "exchange/ExchangeReport.h"
#include "exchange/ExportSelection.h"
#include "exchange/ImportResult.h"
#include "store/TimeFormat.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CBrindleDoc;

namespace brindle {

// The `owner` of the metadata element that carries our fields.
inline constexpr std::string_view kXbelOwner = "Brindle";

// Files larger than this are refused before parsing: no real bookmark file comes near it.
inline constexpr std::size_t kMaxXbelBytes = std::size_t{512} << 20;

struct XbelItem {
    enum class Kind : std::uint8_t { Folder, Bookmark, Separator, Alias };
    Kind kind = Kind::Bookmark;
    bool folded = false;
    std::string id;  // the `id` attribute, as written
    std::string ref; // an alias's target id
    std::string title;
    std::string href;
    std::string desc;
    BrxTime added = 0; // 0: not given
    BrxTime visited = 0;
    BrxTime modified = 0;
    // Our own metadata, when the item carries it.
    bool hasOwnFields = false;
    std::string keywords;
    std::string notes;
    std::uint16_t statusChecking = 0;
    std::string schedule;
    std::string status;
    BrxTime lastChecked = 0;
    std::vector<XbelItem> children; // of a folder
};

struct XbelTree {
    std::string title;
    std::vector<XbelItem> items;
    // The highest id announced by the comment browser extensions keep after the root element.
    bool hasHighestId = false;
    std::uint64_t highestId = 0;
};

// The same tree in a compact form, for a linked file of many bookmarks that is read, changed and
// written whole at every sync: the items in one array (item 0 is the root), their texts in one
// buffer, and only what the shared layout writes (kind, id, title, href or an alias's ref).
struct XbelText {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

inline constexpr std::uint32_t kNoXbelNode = 0xFFFFFFFFu;

struct XbelNode {
    XbelNode() = default;
    explicit XbelNode(XbelItem::Kind of) : kind(of) {}
    XbelItem::Kind kind = XbelItem::Kind::Bookmark;
    bool removed = false; // left out when written
    BrxTime added = 0;    // of a bookmark
    std::uint32_t firstChild = kNoXbelNode;
    std::uint32_t lastChild = kNoXbelNode;
    std::uint32_t next = kNoXbelNode;
    XbelText id;
    XbelText title;
    XbelText href; // an alias's ref
};

class XbelCompactTree {
  public:
    std::string title;
    bool hasHighestId = false;
    std::uint64_t highestId = 0;
    std::vector<XbelNode> nodes = std::vector<XbelNode>(1, XbelNode(XbelItem::Kind::Folder));

    std::string_view Text(XbelText text) const { return {m_texts.data() + text.offset, text.size}; }
    // Keeps a copy of `text` (an item's new title, say).
    XbelText Store(std::string_view text);
    // Adds an item of `kind` as the last child of `parent`; returns its index.
    std::uint32_t Add(std::uint32_t parent, XbelItem::Kind kind);
    // Adds `text` to the end of a text that is being read.
    void Append(XbelText& to, std::string_view text);
    void Reserve(std::size_t items, std::size_t textBytes);

  private:
    std::string m_texts;
};

// Reads an XBEL document into the compact tree: the same checks and items as ParseXbel.
bool ParseXbel(std::string_view text, XbelCompactTree& tree, std::string* error = nullptr);
// Writes it in the shared layout, as WriteXbel(..., {.sharedLayout = true}) writes the full tree.
// `flush`, when given, takes what `out` holds (and empties it) every few hundred kilobytes and
// at the end, so that the whole text is never held at once.
void WriteXbel(const XbelCompactTree& tree, std::string& out,
               const std::function<void(std::string& out)>& flush = {});

// Parses an XBEL document. The parser never touches the network, loads no DTD and refuses files
// that declare entities (only the predefined ones and character references are read). False,
// with a short reason in `error`, when the text is not a well-formed XBEL document.
bool ParseXbel(std::string_view text, XbelTree& tree, std::string* error = nullptr);

// Whether a file that starts with `head` is an XBEL document.
bool LooksLikeXbel(std::string_view head);

struct XbelWriteOptions {
    // The layout browser extensions share: the highestId comment after the root element, a
    // numeric `id` on every folder and bookmark, and no metadata of ours.
    bool sharedLayout = false;
    bool ownFields = true; // write our metadata (ignored in the shared layout)
};

void WriteXbel(const XbelTree& tree, std::string& out, const XbelWriteOptions& options = {});

// "2024-05-01T10:20:30Z"; years outside 0000-9999 are written with a sign and more digits.
std::string FormatIsoTime(BrxTime t);
// Reads ISO 8601 date-times ("2024-05-01", "2024-05-01T10:20", "...:30.5+02:00", "...Z");
// false for anything else.
bool ParseIsoTime(std::string_view text, BrxTime& t);

// Adds the bookmarks of an XBEL tree: folder names become keywords (outermost first, then the
// title) unless the bookmark carries our own keywords.
void ImportXbelTree(CBrindleDoc& doc, const XbelTree& tree, const BookmarkSink& sink,
                    ImportResult& result);
ImportResult ReadXbelText(CBrindleDoc& doc, std::string_view text,
                          const ImportOptions& options = {});
ImportResult ImportXbel(CBrindleDoc& doc, const std::string& path,
                        const ImportOptions& options = {});

bool ExportXbel(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                ExchangeReport& report);

} // namespace brindle
