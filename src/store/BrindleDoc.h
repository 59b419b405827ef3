// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CBrindleDoc: the single owner of every bookmark, macro and schedule, the current search with
// its result lists, the keyword dictionary and the undo lists. Every change goes through it; it
// marks itself modified and tells its views (DocListener) what to reload.

#include "store/Bookmark.h"
#include "store/BookmarkList.h"
#include "store/Dictionary.h"
#include "store/DocListener.h"
#include "store/KeywordQuery.h"
#include "store/Macro.h"
#include "store/Preferences.h"
#include "store/RecordsView.h"
#include "store/ResultOrder.h"
#include "store/Schedule.h"
#include "store/SearchIndex.h"
#include "store/Trash.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

enum SearchMode : std::int32_t { kSearchKeyword = 1, kSearchString = 2 };

class CBrindleDoc;

namespace brindle {
class DuplicateIndex;
struct MergeReport;
MergeReport MergeDocuments(const CBrindleDoc& base, const CBrindleDoc& theirs, CBrindleDoc& ours);
} // namespace brindle

// What ClearUndo forgets.
enum UndoKind : int { kUndoBookmarks = 1, kUndoMacros = 2, kUndoKeyword = 3 };

class CBrindleDoc {
  public:
    // Free-standing bookmarks: the copies the property sheet edits.
    using BookmarkCopies = std::vector<std::unique_ptr<CBookmark>>;
    using MacroList = std::vector<std::unique_ptr<CMacro>>;
    using ScheduleList = std::vector<std::unique_ptr<CSchedule>>;
    using Hits = std::vector<std::uint32_t>;

    // How the collection is looked at, as the document file stores it.
    struct ViewState {
        std::int32_t searchMode = kSearchKeyword;
        std::uint8_t stringFields = kSearchNewDocumentFields;
        std::int32_t partialMatch = 1;
        std::uint16_t columns = kAllColumns;
        std::int32_t matchCase = 0;
        std::int32_t sortAscending = 1;
        std::int32_t sortColumn = 0;
        bool operator==(const ViewState&) const = default;
    };

    // The document reads the preferences it is given (time format, backups, status icons);
    // the object must outlive the document or be replaced through SetPreferences.
    explicit CBrindleDoc(const CPreferences& prefs = CPreferences::Defaults());
    CBrindleDoc(const CBrindleDoc&) = delete;
    CBrindleDoc& operator=(const CBrindleDoc&) = delete;
    ~CBrindleDoc();

    // --- Reading the owned collections ----------------------------------------------------
    // Insertion order; an index here is a bookmark index. Every change goes through the
    // operations below.
    const brindle::BookmarkList& Bookmarks() const { return m_arrBookmarks; }
    brindle::RecordsView<CMacro> Macros() const {
        return brindle::RecordsView<CMacro>(m_arrMacros);
    }
    brindle::RecordsView<CSchedule> Schedules() const {
        return brindle::RecordsView<CSchedule>(m_arrSchedules);
    }
    // The last delete, for undo.
    const brindle::BookmarkList& DeletedBookmarks() const { return m_arrDeletedBookmarks; }
    brindle::RecordsView<CMacro> DeletedMacros() const {
        return brindle::RecordsView<CMacro>(m_arrDeletedMacros);
    }

    // --- Reading the lists that refer into the bookmarks ----------------------------------
    const Hits& KeywordHits() const { return m_arrKeywordHits; }
    const Hits& StringHits() const { return m_arrStringHits; }
    // The export copy (SelectForExport), valid until the bookmarks change.
    const std::vector<BookmarkRef>& ExportCopy() const { return m_arrSorted; }
    // The keywords of the current keyword result, in byte order.
    const std::vector<std::string>& Dictionary() const { return m_arrDictionary; }
    // The terms of the last keyword query.
    const std::vector<std::string>& Terms() const { return m_arrTerms; }
    const std::string& UndoKeyword() const { return m_strUndoKeyword; }
    const Hits& UndoKeywordOwners() const { return m_arrUndoKeywordOwners; }

    // --- Reading the search and view state (stored in the document file) -------------------
    std::int32_t SearchMode() const { return m_nSearchMode; }
    // The string-search field mask as stored; EffectiveStringFields is the one searched.
    std::uint8_t StringFields() const { return m_byStringFields; }
    // An empty stored mask searches every text field.
    std::uint8_t EffectiveStringFields() const {
        return m_byStringFields == 0 ? std::uint8_t{kSearchAllFields} : m_byStringFields;
    }
    std::int32_t PartialMatch() const { return m_bPartialMatch; }
    std::int32_t MatchCase() const { return m_bMatchCase; }
    std::uint16_t Columns() const { return m_wColumns; }
    std::int32_t SortAscending() const { return m_bSortAscending; }
    std::int32_t SortColumn() const { return m_nSortColumn; }
    ViewState CurrentViewState() const;

    // --- Reading the last search (not stored) ----------------------------------------------
    const std::string& LastSearch() const { return m_strLastSearch; }
    std::int32_t LastMatchCase() const { return m_bLastMatchCase; }
    std::uint8_t LastFields() const { return m_byLastFields; }
    bool TrailingDot() const { return m_bTrailingDot; }

    const CPreferences& Prefs() const { return *m_prefs; }
    void SetPreferences(const CPreferences& prefs) { m_prefs = &prefs; }

    // --- Views ---------------------------------------------------------------------------
    void AddListener(DocListener* listener);
    void RemoveListener(DocListener* listener);

    // --- Modified flag -------------------------------------------------------------------
    bool IsModified() const { return m_bModified; }
    // Setting the flag also tells the caches that bookmark fields may have changed.
    void SetModifiedFlag(bool modified = true);

    // --- Bookmarks -------------------------------------------------------------------------
    // Adds a bookmark unless the trimmed name is empty or the name+URL pair exists already.
    bool AddBookmark(const BookmarkFields& fields);
    // The add path of the user interface: AddBookmark, then a new bookmark that satisfies
    // the last search joins both hit lists at its sorted place and its keywords the
    // dictionary.
    bool AddBookmarkToResult(const BookmarkRef& values);
    void DeleteBookmark(std::uint32_t index);
    // Deletes many bookmarks in one pass (as DeleteBookmark for each, in the given order of
    // original indices) and takes them out of both hit lists.
    void DeleteBookmarks(const Hits& indices);
    void ClearUndo(int kind);
    void UndoDeleteBookmarks();
    // Merges each group of bookmark indices into one bookmark (groups sharing a bookmark merge
    // as one): the bookmark with the shortest https address (else the shortest address; the
    // first of equals) takes every keyword, the longest description, the notes joined, the earliest
    // add date, the latest other dates and the status of the latest check; the others leave through
    // DeleteBookmarks. One step for undo: UndoDeleteBookmarks gives the kept bookmarks their fields
    // back as well. Returns the bookmarks removed.
    std::size_t MergeBookmarks(const std::vector<Hits>& groups);
    // The bookmarks deleted since the last save, on their way to the trash (CommitTrash).
    brindle::TrashLog& Trashed() { return m_trash; }
    void MarkVisited(std::uint32_t index);
    // Field setters (each sets the modified flag). Text fields 0-4, 6, 7 are stored as given;
    // for the keyword text the keyword list is then rebuilt from it, as reading a file does.
    void SetFieldText(std::uint32_t index, int field, std::string_view text);
    // The record's SetKeywords: the keyword scan makes the text and the list.
    void SetKeywords(std::uint32_t index, std::string_view text);
    // Fields 8-11.
    void SetFieldTime(std::uint32_t index, int field, BrxTime time);
    void SetStatusChecking(std::uint32_t index, std::uint16_t value);
    // Adds one keyword to bookmark i as the keyword list rules say; sets the modified flag.
    void AddKeyword(std::uint32_t index, std::string_view keyword);
    // Takes the file's bookmarks (a document being opened).
    void ReplaceBookmarks(brindle::BookmarkList bookmarks);
    // Takes a whole file (a document being opened): its view state, bookmarks, macros and
    // schedules. The result lists and the dictionary are forgotten; the document is unmodified.
    void ReplaceContents(const ViewState& view, brindle::BookmarkList bookmarks, MacroList macros,
                         ScheduleList schedules);

    std::string GetFieldText(std::uint32_t index, int field) const;
    std::string GetSortedFieldText(std::uint32_t index, int field) const;
    BrxTime GetFieldTime(std::uint32_t index, int field) const;
    BrxTime GetSortedFieldTime(std::uint32_t index, int field) const;
    static void CopyBookmarks(const brindle::BookmarkList& source, BookmarkCopies& target);

    // Bookmark Properties without its dialog: the copies the sheet edits (a missing schedule
    // becomes "<None>" first), and taking back the edited copies on OK.
    BookmarkCopies PreparePropertyCopies(std::uint32_t index);
    // The first step alone: bookmark `index` naming no existing schedule gets "<None>".
    void PrepareProperties(std::uint32_t index);
    void ApplyPropertyCopies(BookmarkCopies& copies);

    // With `recheck` false: is the bookmark in the active hit list; with true: does it
    // satisfy the last search.
    bool MatchesSearch(std::uint32_t index, bool recheck);

    // --- Search ----------------------------------------------------------------------------
    const Hits& ActiveHits() const {
        return m_nSearchMode == kSearchKeyword ? m_arrKeywordHits : m_arrStringHits;
    }
    void Search(std::string_view text, bool matchCase, std::uint8_t fieldMask);
    void RerunLastSearch();
    // Only the hits of a search or two are wanted (the command line): keyword searches read the
    // texts where they lie instead of copying them for later keystrokes, and build no dictionary.
    void SetHitsOnly(bool on) { m_bHitsOnly = on; }
    // What Search(text, matchCase, fieldMask) in the current mode finds, as a filter for reading
    // a file (one bookmark's match never depends on the others): none when every bookmark is
    // a hit or the search needs more than the file (text search).
    std::optional<brindle::BookmarkFilter> SearchFilter(std::string_view text, bool matchCase,
                                                        std::uint8_t fieldMask) const;
    // Text search over archived pages: while set (in string mode, whose hit list it fills; the
    // file keeps only keyword or string mode), a search asks `search` for the hits in its own
    // order of relevance. Unset: the string search again.
    using TextSearch = std::function<Hits(std::string_view query)>;
    void SetTextSearch(TextSearch search) { m_textSearch = std::move(search); }
    bool TextSearchActive() const { return m_textSearch != nullptr; }
    // A search with the document's own options: in string mode its match case and its
    // effective field mask.
    void SearchWithOptions(std::string_view text);
    // Orders the active hit list by m_nSortColumn / m_bSortAscending (header click).
    void SortActiveHits();
    // Orders any list of bookmark indices the way results are ordered.
    void OrderHits(Hits& hits);
    // Search option commands (they do not run the search). A field bit toggles in the
    // effective mask, so an empty stored mask loses one field of all seven.
    void ToggleStringField(int bit);
    void TogglePartialMatch() { m_bPartialMatch = !m_bPartialMatch; }
    void ToggleMatchCase() { m_bMatchCase = !m_bMatchCase; }
    // Each sets one option as the toggles do (the document stays as modified as it was).
    void SetPartialMatch(bool partial) { m_bPartialMatch = partial ? 1 : 0; }
    void SetMatchCase(bool matchCase) { m_bMatchCase = matchCase ? 1 : 0; }
    void SetStringFields(std::uint8_t fields) { m_byStringFields = fields; }
    // The export copy, kept until the bookmarks change (SelectForExport fills it).
    const std::vector<BookmarkRef>& KeepExportCopy(std::vector<BookmarkRef> bookmarks);

    // --- View state stored in the file -------------------------------------------------------
    // The columns, the sort order, the search mode and the search options are written into the
    // file, but changing how the collection is looked at is not an edit of it: of these setters
    // only SetSearchOptions (the Search Option dialog's OK) marks the document modified. The
    // column dialog, the header menu and clicks, the mode buttons and the search band's option
    // toggles (above) leave the flag as it was. BrindleDocViewState.cpp holds the rule.
    struct SearchOptions {
        bool partialMatch = true;
        bool matchCase = false;
        std::uint8_t fields = 0;
        bool operator==(const SearchOptions&) const = default;
    };
    void SetColumns(std::uint16_t columns);
    void SetSearchMode(std::int32_t mode);
    // Sets the sort field and direction; the hit lists are ordered by the next search or sort.
    void SetSortOrder(std::int32_t column, bool ascending);
    SearchOptions CurrentSearchOptions() const;
    // All three options at once; the current search is not run again.
    void SetSearchOptions(const SearchOptions& options);
    // Every stored view setting at once, as a reload keeps them; not an edit.
    void RestoreViewState(const ViewState& view);

    // --- Keyword dictionary and keyword commands ------------------------------------------
    void RebuildDictionary();
    void AddBookmarkKeywords(std::uint32_t index);
    void AddDictionaryKeyword(std::string_view keyword);
    int FindDictionaryKeyword(std::string_view keyword) const;
    void DeleteKeywordEverywhere(std::string_view keyword);
    void DeleteKeywordCommand(std::string_view keyword);
    void RenameKeywordEverywhere(std::string_view oldKeyword, std::string_view newKeyword);
    void RenameKeywordInBookmark(std::uint32_t index, std::string_view oldKeyword,
                                 std::string_view newKeyword);
    void RenameKeywordCommand(std::string_view oldKeyword, std::string_view newKeyword);
    // After a rename in the keyword list: the list shows `newKeyword` in place of `oldKeyword`.
    void ReplaceDictionaryKeyword(std::string_view oldKeyword, std::string_view newKeyword);
    // The query lost one of its keywords: nothing matches it, the result and the list empty.
    void ForgetKeywordResult();
    void UndoDeleteKeyword();
    std::string CollectAllKeywords() const;

    // --- Macros ------------------------------------------------------------------------------
    void AddMacro(std::int32_t kind, std::string_view name, std::string_view text,
                  std::uint32_t hotKey);
    void AddStringMacro(std::string_view name, std::string_view search, std::uint32_t fields,
                        bool matchCase, std::uint32_t hotKey);
    void DeleteMacro(std::uint32_t index);
    // Editing a macro: it takes the name, texts, fields and key of `edited`; its kind stays.
    void ReplaceMacro(std::uint32_t index, const CMacro& edited);
    void UndoDeleteMacros();
    std::string GetMacroText(std::uint32_t index, int part) const;
    std::int32_t GetMacroKind(std::uint32_t index) const;
    bool GetMacroMatchCase(std::uint32_t index) const;
    std::uint32_t GetMacroFields(std::uint32_t index) const;
    StringSearchOptions GetMacroSearchOptions(std::uint32_t index) const;
    std::uint32_t GetMacroHotKey(std::uint32_t index) const;
    // "Selected URL": one URL macro per selected bookmark, from the last selected to the first.
    void AddSelectedUrlMacros(const Hits& selectedBookmarks);

    // --- Schedules -------------------------------------------------------------------------
    void AddSchedule(std::string_view name, BrxTime interval, bool isDefault);
    bool ScheduleExists(std::string_view name) const;
    std::string GetDefaultScheduleName() const;
    std::string GetScheduleName(std::uint32_t index) const;
    // The schedule a new bookmark gets: the default schedule, or "<None>" without one.
    std::string DefaultScheduleOrNone() const;
    // Schedule `index` takes the values of `schedule`; marks the document modified.
    void ReplaceSchedule(std::size_t index, const CSchedule& schedule);
    void RemoveSchedule(std::size_t index);

    // --- Views and status counts -----------------------------------------------------------
    // The search mode and the counts the status bar shows.
    SearchCounts Counts() const;
    // Reloads the bookmark list (and in keyword mode the keyword list), then tells the counts.
    void RefreshViews();

    // --- Life cycle ------------------------------------------------------------------------
    // Deletes every bookmark and macro; schedules, undo lists and settings stay.
    void DeleteContents();
    // The document failed to open or was re-initialised: every view rebuilds.
    void NotifyRebuild();

    static BrxTime Now();

  private:
    friend brindle::MergeReport
    brindle::MergeDocuments(const CBrindleDoc& base, const CBrindleDoc& theirs, CBrindleDoc& ours);

    Hits& MutableActiveHits() {
        return m_nSearchMode == kSearchKeyword ? m_arrKeywordHits : m_arrStringHits;
    }

    const std::string& TimePattern() const;
    bool IsQueryTerm(std::string_view keyword) const;
    // Replaces bookmark i's texts and keyword list (`list`: the new list, or nullptr when the
    // keyword text is unchanged and keeps its list).
    void Rewrite(std::uint32_t index, const BookmarkRef& values,
                 const std::vector<std::string>* list);
    // Bookmark i's keyword text and list after `edit(text, list)`; false when nothing changed.
    using KeywordEdit = std::function<bool(std::string& text, std::vector<std::string>& list)>;
    bool EditKeywords(std::uint32_t index, const KeywordEdit& edit);
    brindle::DuplicateIndex& Duplicates();
    bool ReAddable(brindle::BookmarkRecord& r);
    // Moves a record into the undo list (whose storage may be another).
    void KeepDeleted(const brindle::BookmarkRecord& r);
    // Rewrites the bookmark texts once garbage passes half of them.
    void MaybeCompact();
    // The undo half of MergeBookmarks that DeleteBookmarks does not keep.
    void RestoreMergedKeepers();
    void InsertIntoHits(std::uint32_t index);
    void ForgetDerivedData();
    template <typename F> void Notify(F&& call) {
        // A copy: a view may detach itself while being told.
        const std::vector<DocListener*> listeners = m_listeners;
        for (DocListener* l : listeners)
            call(*l);
    }

    // --- Owned collections ----------------------------------------------------------------
    brindle::BookmarkList m_arrBookmarks;
    MacroList m_arrMacros;
    ScheduleList m_arrSchedules;
    brindle::BookmarkList m_arrDeletedBookmarks; // the last delete, for undo
    MacroList m_arrDeletedMacros;
    brindle::TrashLog m_trash;

    // --- Lists that refer into m_arrBookmarks ---------------------------------------------
    Hits m_arrKeywordHits;
    Hits m_arrStringHits;
    TextSearch m_textSearch;
    std::vector<BookmarkRef> m_arrSorted; // export copy, valid until the bookmarks change
    // Each bookmark the last merge kept, as it was before, with the address the merge gave it.
    struct MergedKeeper {
        std::uint32_t index = 0;
        CBookmark before;
        std::string mergedUrl;
    };
    std::vector<MergedKeeper> m_mergedKeepers;
    std::vector<std::string> m_arrDictionary;
    std::vector<std::string> m_arrTerms;
    std::string m_strUndoKeyword;
    Hits m_arrUndoKeywordOwners;

    // --- Search and view state (stored in the document file) ------------------------------
    std::int32_t m_nSearchMode = kSearchKeyword;
    std::uint8_t m_byStringFields = kSearchNewDocumentFields;
    std::int32_t m_bPartialMatch = 1;
    std::int32_t m_bMatchCase = 0;
    std::uint16_t m_wColumns = kAllColumns;
    std::int32_t m_bSortAscending = 1;
    std::int32_t m_nSortColumn = 0;

    // --- The last search (not stored) -----------------------------------------------------
    std::string m_strLastSearch;
    std::int32_t m_bLastMatchCase = 0;
    std::uint8_t m_byLastFields = 0;
    bool m_bTrailingDot = false;
    bool m_bHitsOnly = false;

    const CPreferences* m_prefs;
    bool m_bModified = false;
    std::uint64_t m_changeStamp = 0; // bumped by every change that may touch names or URLs
    std::vector<DocListener*> m_listeners;
    brindle::KeywordQuery m_query;
    brindle::ResultOrder m_order;
    brindle::DictionaryBuilder m_dictionary;
    brindle::SearchIndex m_index;
    std::unique_ptr<brindle::DuplicateIndex> m_duplicates;
    mutable std::string m_cachedFormat;
    mutable std::string m_cachedPattern;
};
