// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CBookmark: one web address with its title, keywords, texts, link status and four dates.

#include "store/TimeFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Field numbers used everywhere a bookmark field is addressed (columns, masks, accessors).
enum BookmarkField : int {
    kFieldName = 0,
    kFieldURL = 1,
    kFieldKeywords = 2,
    kFieldDescription = 3,
    kFieldNotes = 4,
    kFieldStatusChecking = 5,
    kFieldSchedule = 6,
    kFieldStatus = 7,
    kFieldAddDate = 8,
    kFieldLastVisited = 9,
    kFieldLastModified = 10,
    kFieldLastChecked = 11,
    kFieldCount = 12 // the columns of the bookmark list
};

// Every column shown: one bit per field number.
inline constexpr std::uint16_t kAllColumns = (1u << kFieldCount) - 1;

// The text fields a bookmark stores (name, URL, keywords, description, notes, schedule,
// status) and the ones a string search looks in: the same seven.
inline constexpr int kTextFieldCount = 7;
inline constexpr int kSearchFieldCount = 7;

// Bits of the string-search field mask (an order of its own, not the field numbers): bit i
// selects field FieldOfSearchBit(i).
enum StringSearchBit : std::uint8_t {
    kSearchName = 1 << 0,
    kSearchURL = 1 << 1,
    kSearchKeywords = 1 << 2,
    kSearchDescription = 1 << 3,
    kSearchNotes = 1 << 4,
    kSearchSchedule = 1 << 5,
    kSearchStatus = 1 << 6,
    kSearchAllFields = (1 << kSearchFieldCount) - 1,
    // What a new document searches: the texts people type, not the schedule or status.
    kSearchNewDocumentFields =
        kSearchName | kSearchURL | kSearchKeywords | kSearchDescription | kSearchNotes
};

constexpr int FieldOfSearchBit(int bit) {
    constexpr int kFieldOf[kSearchFieldCount] = {kFieldName,        kFieldURL,   kFieldKeywords,
                                                 kFieldDescription, kFieldNotes, kFieldSchedule,
                                                 kFieldStatus};
    return kFieldOf[bit];
}

// The options of a string search: the fields it looks in (StringSearchBit) and match case.
// The macro record and the document keep them as values of their own.
struct StringSearchOptions {
    std::uint8_t fields = 0;
    bool matchCase = false;
    bool operator==(const StringSearchOptions&) const = default;
};

inline constexpr const char* kNoSchedule = "<None>";
inline constexpr const char* kStatusWaiting = "Waiting";
// The status of a bookmark added with checking switched off.
inline constexpr const char* kStatusCheckingOff = "Checking Off";
// The status "Set Status checking" gives the bookmarks it switches off (its own spelling).
inline constexpr const char* kStatusSetCheckingOff = "Checking off";

// Column title of a field number, or "?" outside 0-11.
const char* FieldTitle(int field);

// The fields of a bookmark to add, named at the call site:
// doc.AddBookmark({.name = name, .url = url, .statusChecking = 1, .addDate = now}).
// Fields left out are empty or 0.
struct BookmarkFields {
    std::string_view name = {};
    std::string_view url = {};
    std::string_view keywords = {};
    std::string_view description = {};
    std::string_view notes = {};
    std::uint16_t statusChecking = 0;
    std::string_view schedule = {};
    std::string_view status = {};
    BrxTime addDate = 0;
    BrxTime lastVisited = 0;
    BrxTime lastModified = 0;
    BrxTime lastChecked = 0;
};

class CBookmark;

// A bookmark as its readers see it: views of its eight texts beside its numbers. The document
// hands these out for its stored bookmarks (valid until its bookmarks next change), and every
// CBookmark converts to one, so that exports, the clipboard and the ordering read both alike.
struct BookmarkRef {
    std::string_view m_strName = {};
    std::string_view m_strURL = {};
    std::string_view m_strKeywords = {};
    std::string_view m_strDescription = {};
    std::string_view m_strNotes = {};
    std::uint16_t m_wStatusChecking = 0;
    std::string_view m_strSchedule = {};
    std::string_view m_strStatus = {};
    BrxTime m_tAddDate = 0;
    BrxTime m_tLastVisited = 0;
    BrxTime m_tLastModified = 0;
    BrxTime m_tLastChecked = 0;

    bool MatchText(std::string_view text, bool matchCase, std::uint8_t fieldMask) const;
    // Display text of a field; dates are formatted with an expanded time-format pattern.
    std::string GetFieldText(int field, const std::string& timePattern) const;
    // The stored time of fields 8-11, 0 for any other number.
    BrxTime GetFieldTime(int field) const;
    // The text a text field (0-4, 6, 7) holds, or nullptr for other fields.
    const std::string_view* TextField(int field) const;
    // The text selected by one bit of the string-search mask.
    std::string_view SearchField(int bit) const;
    // "Unchanged" test of the property sheet: every field but the dates.
    bool Equals(const BookmarkRef& other) const;
    bool EqualsName(const BookmarkRef& other) const { return m_strName == other.m_strName; }
};

class CBookmark {
  public:
    // Used only when a bookmark is read from a file; the reader rebuilds the keyword list.
    CBookmark() = default;
    // The one way the program builds a bookmark: the keyword text goes through SetKeywords.
    CBookmark(std::string name, std::string url, std::string_view keywords, std::string description,
              std::string notes, std::uint16_t statusChecking, std::string schedule,
              std::string status, BrxTime addDate, BrxTime lastVisited, BrxTime lastModified,
              BrxTime lastChecked);

    std::vector<std::string> m_arrKeywords; // distinct keywords, byte order; never stored
    std::string m_strName;
    std::string m_strURL;
    std::string m_strKeywords;
    std::string m_strDescription;
    std::string m_strNotes;
    std::uint16_t m_wStatusChecking = 0;
    std::string m_strSchedule;
    std::string m_strStatus;
    BrxTime m_tAddDate = 0;
    BrxTime m_tLastVisited = 0;
    BrxTime m_tLastModified = 0;
    BrxTime m_tLastChecked = 0;

    operator BookmarkRef() const;

    void SetKeywords(std::string_view text);
    void AddKeyword(std::string_view keyword);
    int RemoveKeyword(std::string_view keyword);
    int RenameKeyword(std::string_view oldKeyword, std::string_view newKeyword);
    // Rebuilds the keyword list from the stored text (split at spaces), keeping the text.
    void RebuildKeywordList();

    bool MatchText(std::string_view text, bool matchCase, std::uint8_t fieldMask) const {
        return BookmarkRef(*this).MatchText(text, matchCase, fieldMask);
    }
    std::string GetFieldText(int field, const std::string& timePattern) const {
        return BookmarkRef(*this).GetFieldText(field, timePattern);
    }
    BrxTime GetFieldTime(int field) const { return BookmarkRef(*this).GetFieldTime(field); }
    // The string a text field (0-4, 6, 7) holds, or nullptr for other fields.
    const std::string* TextField(int field) const;
    // The string selected by one bit of the string-search mask.
    const std::string& SearchField(int bit) const;

    bool Equals(const BookmarkRef& other) const { return BookmarkRef(*this).Equals(other); }
    bool EqualsName(const BookmarkRef& other) const { return m_strName == other.m_strName; }
};

// The fields of a bookmark as AddBookmark takes them (views into `b`).
BookmarkFields FieldsOf(const BookmarkRef& b);
