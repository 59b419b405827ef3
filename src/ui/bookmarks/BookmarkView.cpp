// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bookmarks/BookmarkView.h"

#include "store/BrindleDoc.h"
#include "store/ClipboardRecords.h"
#include "store/KeywordText.h"
#include "store/TextUtil.h"
#include "store/TimeFormat.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkMimeData.h"
#include "ui/keywords/KeywordDialogs.h"
#include "ui/options/OptionDialogs.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/CommandTable.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyle>

#include <algorithm>

CBookMarkView::CBookMarkView(CBrindleDoc& doc, brindle::CommandTable& commands, QWidget* parent)
    : QTableView(parent), m_doc(doc), m_commands(commands),
      m_model(new BookmarkListModel(doc, this)) {
    setObjectName(QStringLiteral("bookmarkList"));
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(false);
    setWordWrap(false);
    setAlternatingRowColors(true);
    setIconSize(QSize(12, 12));
    verticalHeader()->hide();
    // Fixed row heights keep a huge list virtual: nothing is measured per row.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The last column takes the room left, so a lone column does not stay narrow beside space.
    horizontalHeader()->setStretchLastSection(true);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CBookMarkView::SortByColumn);
    // The header has its own menu of columns.
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QHeaderView::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                BuildContextMenu(pos, true)->popup(horizontalHeader()->mapToGlobal(pos));
            });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit openRequested(m_model->BookmarkAt(index.row()));
    });
    ApplyColumnWidths();
}

void CBookMarkView::keyPressEvent(QKeyEvent* event) {
    // Enter opens the first selected bookmark, as a double-click does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        const std::vector<std::uint32_t> chosen = SelectedBookmarks();
        if (!chosen.empty())
            emit openRequested(chosen.front());
        return;
    }
    // The menu key and Shift+F10 open the rows' menu; not every platform makes them a context
    // menu event.
    if ((event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier) ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        PopupRowMenuAtCurrentRow();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool CBookMarkView::SelectBookmark(std::uint32_t index) {
    const auto& hits = m_doc.ActiveHits();
    const auto found = std::find(hits.begin(), hits.end(), index);
    if (found == hits.end())
        return false;
    const QModelIndex cell = m_model->index(static_cast<int>(found - hits.begin()), 0);
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect |
                                                QItemSelectionModel::Rows);
    scrollTo(cell);
    return true;
}

void CBookMarkView::ApplyColumnWidths() {
    // The table's widths, widened where the title (with room for the sort arrow) or a date in
    // the user's format would be cut off at this font.
    const QFontMetrics header(horizontalHeader()->font());
    const QFontMetrics cells(font());
    // A date with wide digits in every place (28 December 2028, 22:58:58 UTC).
    constexpr BrxTime kWideDate = 1861657138;
    const int dateWidth =
        cells.horizontalAdvance(QString::fromStdString(brindle::FormatTime(
            kWideDate, brindle::ExpandTimeFormat(m_doc.Prefs().m_strTimeFormat)))) +
        2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
    const int arrow = iconSize().width() + 16;
    for (int k = 0; k < m_model->columnCount(); ++k) {
        const int field = m_model->FieldOfColumn(k);
        int width = std::max(
            BookmarkListModel::DefaultWidth(field),
            header.horizontalAdvance(m_model->headerData(k, Qt::Horizontal).toString()) + arrow);
        if (field >= kFieldAddDate)
            width = std::max(width, dateWidth);
        setColumnWidth(k, width);
    }
}

void CBookMarkView::InitialUpdate() {
    if (m_initialised)
        RebuildColumns();
    m_initialised = true;
    if (!m_doc.Bookmarks().empty()) {
        m_doc.RerunLastSearch();
        emit macrosChanged();
    }
}

void CBookMarkView::ReloadRows() {
    m_model->Reload();
}

void CBookMarkView::RebuildColumns() {
    m_model->RebuildColumns();
    ApplyColumnWidths();
}

void CBookMarkView::SortByColumn(int column) {
    const int field = m_model->FieldOfColumn(column);
    if (field < 0)
        return;
    // Another column keeps the direction; the sorted one flips it.
    const bool ascending = m_doc.SortAscending() != 0;
    m_doc.SetSortOrder(field, column == m_model->SortColumn() ? !ascending : ascending);
    m_doc.SortActiveHits();
    emit m_model->headerDataChanged(Qt::Horizontal, 0, m_model->columnCount() - 1);
}

std::vector<std::uint32_t> CBookMarkView::SelectedBookmarks() const {
    std::vector<std::uint32_t> out;
    if (!selectionModel())
        return out;
    // Rows from the selection's ranges: a whole-list selection is one range, not 100,000
    // indexes.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    out.reserve(rows.size());
    for (int row : rows) {
        const int bookmark = m_model->BookmarkAt(row);
        if (bookmark >= 0)
            out.push_back(static_cast<std::uint32_t>(bookmark));
    }
    return out;
}

// --- Commands -----------------------------------------------------------------------------------

bool CBookMarkView::HasSelection() const {
    return selectionModel() && selectionModel()->hasSelection();
}

void CBookMarkView::AfterDelete() {
    m_doc.RerunLastSearch();
    // A string search leaves the dictionary alone; a delete must not leave gone keywords in it.
    if (m_doc.SearchMode() != kSearchKeyword) {
        m_doc.RebuildDictionary();
        m_doc.RefreshViews();
    }
}

void CBookMarkView::DeleteSelected(bool confirm) {
    if (confirm && m_doc.Prefs().m_bConfirm &&
        brindle::MessageBox::Show(this, tr("Are you sure?"), QMessageBox::Yes | QMessageBox::No,
                                  brindle::MessageBox::Icon::Question) != QMessageBox::Yes)
        return;
    if (!HasSelection())
        return;
    m_doc.ClearUndo(kUndoBookmarks);
    m_doc.DeleteBookmarks(SelectedBookmarks());
    clearSelection();
    AfterDelete();
}

void CBookMarkView::CopySelected() {
    const std::vector<std::uint32_t> selected = SelectedBookmarks();
    if (selected.empty())
        return;
    QClipboard* clipboard = QApplication::clipboard();
    if (!clipboard)
        return;
    // The records and link lists are made when a paste asks for them: at 4,308 bytes a record,
    // a large selection would be gigabytes.
    clipboard->setMimeData(new brindle::BookmarkMimeData(m_doc, selected));
}

void CBookMarkView::CutSelected() {
    CopySelected();
    DeleteSelected(false);
}

bool CBookMarkView::CanPaste() {
    const QClipboard* clipboard = QApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return data && data->hasFormat(QString::fromLatin1(kBookmarkMime));
}

void CBookMarkView::Paste() {
    const QClipboard* clipboard = QApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data || !data->hasFormat(QString::fromLatin1(kBookmarkMime)))
        return;
    auto addRecords = [this](std::string_view block) {
        for (const CBookmark& b : brindle::ReadBookmarkRecords(block))
            m_doc.AddBookmark(FieldsOf(b));
    };
    if (const auto* own = qobject_cast<const brindle::BookmarkMimeData*>(data)) {
        // A copy of this program: the same records, a slice at a time.
        constexpr std::size_t kSlice = 4096;
        std::string records;
        for (std::size_t first = 0; first < own->Count(); first += kSlice) {
            records.clear();
            own->AppendRecords(records, first, kSlice);
            addRecords(records);
        }
    } else {
        const QByteArray block = data->data(QString::fromLatin1(kBookmarkMime));
        addRecords(std::string_view(block.constData(), static_cast<std::size_t>(block.size())));
    }
    m_doc.RerunLastSearch();
}

bool CBookMarkView::CanUndo() const {
    return !m_doc.DeletedBookmarks().empty();
}

void CBookMarkView::Undo() {
    m_doc.UndoDeleteBookmarks();
}

void CBookMarkView::SelectAllRows() {
    if (m_model->rowCount() > 0)
        selectAll();
}

void CBookMarkView::MarkSelectedVisited() {
    for (std::uint32_t index : SelectedBookmarks())
        m_doc.MarkVisited(index);
    viewport()->update();
}

void CBookMarkView::CopyUrlsToClipboard() {
    std::string text;
    for (std::uint32_t index : SelectedBookmarks()) {
        text += m_doc.Bookmarks()[index].m_strURL;
        text += '\n';
    }
    // At most 65,535 bytes with the terminating zero, cut between characters.
    const std::size_t n = brindle::Utf8PrefixLength(text, 65534);
    if (QClipboard* clipboard = QApplication::clipboard())
        clipboard->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(n)));
}

void CBookMarkView::MakeCommonKeyword() {
    CChangeKeywordsDlg dialog(AllKeywords(m_doc), QString(), this);
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    const std::string text = brindle::Trim(dialog.Text().toStdString());
    const std::vector<std::uint32_t> selected = SelectedBookmarks();
    if (text.empty() || selected.empty())
        return;
    std::vector<std::string> words;
    brindle::NormalizeKeywordText(text, false, &words);
    for (std::uint32_t index : selected)
        for (const std::string& w : words)
            m_doc.AddKeyword(index, w);
    m_doc.SetModifiedFlag(true); // else the new keywords are lost at exit
    viewport()->update();
    for (const std::string& w : words)
        m_doc.AddDictionaryKeyword(w);
    m_doc.RefreshViews();
}

void CBookMarkView::ToggleColumn(int field) {
    if (field < 1 || field >= kFieldCount)
        return; // Name always stays
    m_doc.SetColumns(m_doc.Columns() ^ static_cast<std::uint16_t>(1u << field));
    RebuildColumns();
}

void CBookMarkView::ChooseColumns() {
    CColumnsDlg dialog(m_doc.Columns(), this);
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    m_doc.SetColumns(dialog.Columns());
    RebuildColumns();
}

QMenu* CBookMarkView::BuildContextMenu(const QPoint& pos, bool inHeader) {
    (void)pos;
    using brindle::ContextMenuId;
    return m_commands.BuildContextMenu(inHeader         ? ContextMenuId::BookmarkHeader
                                       : HasSelection() ? ContextMenuId::BookmarkSelection
                                                        : ContextMenuId::BookmarkEmpty,
                                       this);
}

void CBookMarkView::contextMenuEvent(QContextMenuEvent* event) {
    // Only the rows' menu comes here: the header's right-clicks go to its own menu. A mouse
    // event's position is in the viewport, a keyboard one's in this widget, so neither may be
    // matched against the header's place (the first rows would get the column menu).
    if (event->reason() == QContextMenuEvent::Keyboard) {
        PopupRowMenuAtCurrentRow();
        return;
    }
    BuildContextMenu(viewport()->mapFromGlobal(event->globalPos()), false)
        ->popup(event->globalPos());
}

void CBookMarkView::PopupRowMenuAtCurrentRow() {
    // At the current row when it is in sight, else at the top of the list.
    QRect row = visualRect(currentIndex());
    if (!row.isValid() || !viewport()->rect().intersects(row))
        row = QRect(0, 0, 1, 1);
    const QPoint at(viewport()->rect().left() + 8, row.center().y());
    BuildContextMenu(at, false)->popup(viewport()->mapToGlobal(at));
}
