// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The collection as "Bookmark Properties" edits it: the document's bookmarks, with the entries
// the sheet has stored replaced by edited copies. Only stored entries are copied, so opening the
// sheet on a large collection costs nothing per bookmark; OK hands the copies to the document.

#include "store/Bookmark.h"
#include "store/BrindleDoc.h"

#include <cstdint>
#include <map>
#include <string>

namespace brindle {

// What the sheet writes into an entry.
struct PropertyValues {
    std::string name;
    std::string url;
    std::string keywords;
    std::string description;
    std::string notes;
    std::uint16_t statusChecking = 0;
    std::string schedule;
    std::string status;
};

// The keyword text as the sheet stores it: lower-cased, each of . ( ) & | ! made a blank, blanks
// trimmed at both ends ("News.Sport (Daily)" -> "news sport  daily", whose words are news, sport
// and daily).
std::string SheetKeywordText(std::string_view text);

class PropertyWorkingCopy {
  public:
    explicit PropertyWorkingCopy(const CBrindleDoc& doc)
        : m_doc(doc), m_size(doc.Bookmarks().size()) {}

    std::size_t Size() const { return m_size; }
    // Entry i as the sheet shows it: the stored copy, else the document's bookmark (an empty
    // one when the collection has shrunk meanwhile).
    BookmarkRef Entry(std::uint32_t i) const;
    // The document's collection changed size while the sheet was open (another document was
    // opened): the entries no longer line up, and OK takes nothing over.
    bool Stale() const { return m_doc.Bookmarks().size() != m_size; }

    enum class StoreResult { Stored, EmptyName, SameNameAndUrl };
    // Stores `values` into entry n: the name trimmed, the keywords as SheetKeywordText gives
    // them, and "0" appended to the name while another entry has it with another URL. Nothing is
    // stored when the name is empty after trimming, another entry has the same name and URL, or
    // the working copy is stale.
    StoreResult Store(std::uint32_t n, PropertyValues values);

    std::size_t EditedCount() const { return m_edited.size(); }
    // Hands the copies to the document (which takes over the changed ones and runs the last
    // search again); the working copy is empty afterwards.
    void ApplyTo(CBrindleDoc& doc);

  private:
    // The first entry other than n named `name`, or -1.
    std::int64_t FindOtherByName(std::uint32_t n, std::string_view name) const;

    const CBrindleDoc& m_doc;
    std::size_t m_size;
    std::map<std::uint32_t, CBookmark> m_edited;
};

} // namespace brindle
