// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CBookMarkView: the list of the current search's hits, one row per hit, one column per visible
// field, with a status icon in front of each row.

#include "ui/bookmarks/BookmarkMimeData.h"

#include <QMenu>
#include <QTableView>

class BookmarkListModel;
class CBrindleDoc;

namespace brindle {
class CommandTable;
} // namespace brindle

class CBookMarkView : public QTableView {
    Q_OBJECT
  public:
    // The context menus are built from `commands`.
    CBookMarkView(CBrindleDoc& doc, brindle::CommandTable& commands, QWidget* parent = nullptr);

    BookmarkListModel* Model() const { return m_model; }

    // The first update for a document (at start-up and after every New and Open): the last
    // search again when the document came with bookmarks.
    void InitialUpdate();
    // The hit list changed.
    void ReloadRows();
    // The visible columns changed.
    void RebuildColumns();
    // Header click on visible column k.
    void SortByColumn(int column);
    // Bookmark indices of the selected rows, in row order.
    std::vector<std::uint32_t> SelectedBookmarks() const;
    bool HasSelection() const;

    // --- Commands ---------------------------------------------------------------------------
    // Delete with the "Are you sure?" question when `confirm` and "bConfirm" are on.
    void DeleteSelected(bool confirm = true);
    void CutSelected();
    void CopySelected();
    void Paste();
    static bool CanPaste();
    void Undo();
    bool CanUndo() const;
    void SelectAllRows();
    // Makes the row of bookmark `index` (of the collection) the only selected and current one
    // and scrolls to it; false when the current result does not hold it.
    bool SelectBookmark(std::uint32_t index);
    void MarkSelectedVisited();
    void CopyUrlsToClipboard();
    void MakeCommonKeyword();
    // Header menu: shows or hides field 1-11.
    void ToggleColumn(int field);
    // The column dialog; on OK the new mask is stored and the columns rebuilt.
    void ChooseColumns();
    // The context menu that a right click at `pos` (viewport coordinates) shows.
    QMenu* BuildContextMenu(const QPoint& pos, bool inHeader);

    // The clipboard format of the bookmark records.
    static constexpr const char* kBookmarkMime = brindle::BookmarkMimeData::kBookmarkMime;

  signals:
    // The macro list should reload (the document came with its macros).
    void macrosChanged();
    // A double-click on a row or Enter: the page of bookmark `index` is to open.
    void openRequested(std::int64_t index);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void ApplyColumnWidths();
    // The rows' menu from the keyboard (menu key, Shift+F10).
    void PopupRowMenuAtCurrentRow();
    void AfterDelete();

    CBrindleDoc& m_doc;
    brindle::CommandTable& m_commands;
    BookmarkListModel* m_model;
    bool m_initialised = false;
};
