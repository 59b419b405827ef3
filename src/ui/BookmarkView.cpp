#include "ui/BookmarkView.h"

#include "store/BrindleDoc.h"
#include "store/ClipboardRecords.h"
#include "store/KeywordText.h"
#include "store/TextUtil.h"
#include "ui/BookmarkListModel.h"
#include "ui/CommandIds.h"
#include "ui/DialogRunner.h"
#include "ui/KeywordDialogs.h"
#include "ui/MessageBox.h"
#include "ui/OptionDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

namespace {
constexpr int kAutoSaveMs = 900000; // 15 minutes
}

CBookMarkView::CBookMarkView(CBrindleDoc& doc, QWidget* parent)
    : QTableView(parent), m_doc(doc), m_model(new BookmarkListModel(doc, this)) {
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
    horizontalHeader()->setStretchLastSection(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CBookMarkView::SortByColumn);
    // The header has its own menu of columns.
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QHeaderView::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                BuildContextMenu(pos, true)->popup(horizontalHeader()->mapToGlobal(pos));
            });

    m_saveTimer.setInterval(kAutoSaveMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &CBookMarkView::autoSaveDue);
    ApplyColumnWidths();
}

void CBookMarkView::ApplyColumnWidths() {
    for (int k = 0; k < m_model->columnCount(); ++k)
        setColumnWidth(k, BookmarkListModel::DefaultWidth(m_model->FieldOfColumn(k)));
}

void CBookMarkView::InitialUpdate() {
    if (m_initialised)
        RebuildColumns();
    m_initialised = true;
    m_saveTimer.start();
    if (!m_doc.m_arrBookmarks.empty()) {
        m_doc.RerunLastSearch();
        emit macrosChanged();
    } else if (m_doc.Prefs().m_bReload) {
        emit reloadLastFileRequested();
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
    if (column == m_model->SortColumn())
        m_doc.m_bSortAscending = !m_doc.m_bSortAscending;
    m_doc.m_nSortColumn = field;
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
    if (m_doc.m_nSearchMode != kSearchKeyword) {
        m_doc.RebuildDictionary();
        m_doc.RefreshViews();
    }
}

void CBookMarkView::DeleteSelected(bool confirm) {
    if (confirm && m_doc.Prefs().m_bConfirm &&
        brindle::MessageBox::Show(this, QStringLiteral("Are you sure?"),
                                  QMessageBox::Yes | QMessageBox::No,
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
    // The records are written straight into the clipboard's buffer: at 4,308 bytes each, a
    // large selection is hundreds of megabytes.
    QByteArray records(static_cast<qsizetype>(selected.size() * brindle::kBookmarkRecordSize),
                       Qt::Uninitialized);
    QByteArray uriList;
    std::string text;
    char* at = records.data();
    for (std::uint32_t index : selected) {
        const BookmarkRef b = m_doc.m_arrBookmarks[index];
        brindle::WriteBookmarkRecord(at, b);
        at += brindle::kBookmarkRecordSize;
        uriList.append(b.m_strURL.data(), static_cast<qsizetype>(b.m_strURL.size()));
        uriList.append("\r\n");
        text += b.m_strURL;
        text += '\n';
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kBookmarkMime), records);
    // Pasted into a browser or an editor, the bookmarks are their links.
    data->setData(QStringLiteral("text/uri-list"), uriList);
    data->setText(QString::fromStdString(text));
    clipboard->setMimeData(data);
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
    const QByteArray block = data->data(QString::fromLatin1(kBookmarkMime));
    for (const CBookmark& b : brindle::ReadBookmarkRecords(
             std::string_view(block.constData(), static_cast<std::size_t>(block.size()))))
        m_doc.AddBookmark(FieldsOf(b));
    m_doc.RerunLastSearch();
}

bool CBookMarkView::CanUndo() const {
    return !m_doc.m_arrDeletedBookmarks.empty();
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
        text += m_doc.m_arrBookmarks[index].m_strURL;
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
    m_doc.m_wColumns ^= static_cast<std::uint16_t>(1u << field);
    RebuildColumns();
}

void CBookMarkView::ChooseColumns() {
    CColumnsDlg dialog(m_doc.m_wColumns, this);
    if (brindle::DialogRunner::Run(dialog) != QDialog::Accepted)
        return;
    m_doc.m_wColumns = dialog.Columns();
    RebuildColumns();
}

QMenu* CBookMarkView::BuildContextMenu(const QPoint& pos, bool inHeader) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto item = [&](const char* text, int id, auto&& slot, bool enabled = true) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        a->setData(id);
        a->setEnabled(enabled);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    if (inHeader) {
        static const char* const kHeaderItems[] = {
            "URL",    "Keywords", "Description",  "Notes",         "Status checking", "Schedule",
            "Status", "Add Date", "Last Visited", "Last Modified", "Last Checked"};
        for (int field = 1; field < kFieldCount; ++field) {
            QAction* a = item(kHeaderItems[field - 1], cmd::HeaderColumnFirst + field - 1,
                              [this, field] { ToggleColumn(field); });
            a->setCheckable(true);
            a->setChecked((m_doc.m_wColumns & (1u << field)) != 0);
        }
        return menu;
    }
    (void)pos;
    auto request = [this](int id) { return [this, id] { emit commandRequested(id); }; };
    if (HasSelection()) {
        item("&Open Page", cmd::OpenPage, request(cmd::OpenPage), false);
        menu->addSeparator();
        item("&Cut...\tCtrl+X", cmd::Cut, [this] { CutSelected(); });
        item("Copy...\tCtrl+C", cmd::Copy, [this] { CopySelected(); });
        item(
            "Paste...\tCtrl+P", cmd::Paste, [this] { Paste(); }, CanPaste());
        item("Delete...\tDEL", cmd::Delete, [this] { DeleteSelected(); });
        menu->addSeparator();
        item("&Status Check\tF8", cmd::StatusCheck, request(cmd::StatusCheck), false);
        item("&Export...\tCtrl+E", cmd::Export, request(cmd::Export), false);
        item("Mark &Visited", cmd::MarkVisited, [this] { MarkSelectedVisited(); });
        item("Copy &Url To Clipboard", cmd::CopyUrl, [this] { CopyUrlsToClipboard(); });
        item("Make Shortcut M&acro", cmd::MacroSelectedUrl, request(cmd::MacroSelectedUrl));
        item("Make Common &Keyword", cmd::MakeCommonKeyword, [this] { MakeCommonKeyword(); });
        item("Set Sta&tus checking...", cmd::SetStatusChecking, request(cmd::SetStatusChecking),
             false);
        menu->addSeparator();
        item("&Properties", cmd::Properties, request(cmd::Properties), false);
    } else {
        item(
            "Paste", cmd::Paste, [this] { Paste(); }, CanPaste());
        item("Properties", cmd::Column, [this] { ChooseColumns(); });
    }
    return menu;
}

void CBookMarkView::contextMenuEvent(QContextMenuEvent* event) {
    const bool inHeader = horizontalHeader()->geometry().contains(event->pos());
    const QPoint at = viewport()->mapFromGlobal(event->globalPos());
    BuildContextMenu(at, inHeader)->popup(event->globalPos());
}
