// SPDX-License-Identifier: GPL-3.0-or-later
// The view state the document file stores (columns, sort order, search mode, search options) and
// the one rule of which of its changes mark the document modified.

#include "store/BrindleDoc.h"

namespace {

enum class ViewPart { Columns, SortOrder, SearchMode, SearchOptions };

// Only the search options confirmed in their dialog count as an edit of the document; the rest
// is how the collection is looked at and leaves the modified flag as it was.
constexpr bool MarksModified(ViewPart changed) {
    return changed == ViewPart::SearchOptions;
}

void Changed(CBrindleDoc& doc, ViewPart part) {
    if (MarksModified(part))
        doc.SetModifiedFlag(true);
}

} // namespace

void CBrindleDoc::SetColumns(std::uint16_t columns) {
    m_wColumns = columns;
    Changed(*this, ViewPart::Columns);
}

void CBrindleDoc::SetSearchMode(std::int32_t mode) {
    m_nSearchMode = mode;
    Changed(*this, ViewPart::SearchMode);
}

void CBrindleDoc::SetSortOrder(std::int32_t column, bool ascending) {
    m_nSortColumn = column;
    m_bSortAscending = ascending ? 1 : 0;
    Changed(*this, ViewPart::SortOrder);
}

CBrindleDoc::SearchOptions CBrindleDoc::CurrentSearchOptions() const {
    return {.partialMatch = m_bPartialMatch != 0,
            .matchCase = m_bMatchCase != 0,
            .fields = m_byStringFields};
}

void CBrindleDoc::SetSearchOptions(const SearchOptions& options) {
    m_bPartialMatch = options.partialMatch ? 1 : 0;
    m_bMatchCase = options.matchCase ? 1 : 0;
    m_byStringFields = options.fields;
    Changed(*this, ViewPart::SearchOptions);
}

CBrindleDoc::ViewState CBrindleDoc::CurrentViewState() const {
    return {.searchMode = m_nSearchMode,
            .stringFields = m_byStringFields,
            .partialMatch = m_bPartialMatch,
            .columns = m_wColumns,
            .matchCase = m_bMatchCase,
            .sortAscending = m_bSortAscending,
            .sortColumn = m_nSortColumn};
}

void CBrindleDoc::RestoreViewState(const ViewState& view) {
    m_nSearchMode = view.searchMode;
    m_byStringFields = view.stringFields;
    m_bPartialMatch = view.partialMatch;
    m_wColumns = view.columns;
    m_bMatchCase = view.matchCase;
    m_bSortAscending = view.sortAscending;
    m_nSortColumn = view.sortColumn;
}
