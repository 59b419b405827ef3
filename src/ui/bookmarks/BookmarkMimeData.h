// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// BookmarkMimeData: what Copy puts on the clipboard. The selected bookmarks' fields are taken at
// the moment of the copy into one block (no more of each text than the clipboard record keeps,
// the whole URL); the three formats are made from it only when a paste asks for one:
//   "application/x-brindle-bookmark": 4,308-byte "BOOKMARK" records in row order,
//   "text/uri-list": each URL followed by CR LF,
//   "text/plain": each URL followed by LF.
// A copy of a million bookmarks thus costs their texts, not 4.3 GB of records.

#include "store/Bookmark.h"

#include <QMimeData>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CBrindleDoc;

namespace brindle {

class BookmarkMimeData : public QMimeData {
    Q_OBJECT
  public:
    static constexpr const char* kBookmarkMime = "application/x-brindle-bookmark";

    // Takes the fields of `bookmarks` (indices into the document's collection, in row order).
    BookmarkMimeData(const CBrindleDoc& doc, const std::vector<std::uint32_t>& bookmarks);

    std::size_t Count() const { return m_entries.size(); }
    // Appends the records of bookmarks first .. first + count - 1 to `out`.
    void AppendRecords(std::string& out, std::size_t first, std::size_t count) const;

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

  protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

  private:
    // One bookmark: where its texts start in m_texts and how long each is.
    struct Entry {
        std::size_t at = 0;
        std::uint32_t url = 0;
        std::uint16_t name = 0, keywords = 0, description = 0, notes = 0, schedule = 0, status = 0;
        std::uint16_t statusChecking = 0;
        BrxTime addDate = 0, lastVisited = 0, lastModified = 0, lastChecked = 0;
    };
    std::string_view Url(const Entry& e) const;
    // Writes the records of entries first .. last - 1 at `out`.
    void WriteRecords(char* out, std::size_t first, std::size_t last) const;
    // The URLs, each followed by `end`.
    QByteArray UrlList(std::string_view end) const;

    std::string
        m_texts; // name, URL, keywords, description, notes, schedule, status; entry by entry
    std::vector<Entry> m_entries;
};

} // namespace brindle
