// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/keywords/KeywordView.h"

#include "store/BrindleDoc.h"
#include "ui/window/CommandTable.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QTimer>

KeywordListModel::KeywordListModel(CBrindleDoc& doc, QObject* parent)
    : QAbstractListModel(parent), m_doc(doc), m_icon(QStringLiteral(":/icons/tag.svg")) {}

int KeywordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

QVariant KeywordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows ||
        static_cast<std::size_t>(index.row()) >= m_doc.Dictionary().size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return QString::fromStdString(m_doc.Dictionary()[index.row()]);
    if (role == Qt::DecorationRole)
        return m_icon;
    if (role == Qt::SizeHintRole)
        return m_itemSize;
    return {};
}

Qt::ItemFlags KeywordListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return QAbstractListModel::flags(index);
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}

bool KeywordListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !onRename)
        return false;
    return onRename(index.row(), value.toString());
}

void KeywordListModel::Reload() {
    beginResetModel();
    m_rows = static_cast<int>(m_doc.Dictionary().size());
    // One size for every item (the view lays out uniform items fast): the widest keyword's,
    // within limits.
    // Measured by the longest keyword in bytes: measuring every text would cost more than the
    // search itself.
    std::size_t longest = 0;
    for (const std::string& k : m_doc.Dictionary())
        longest = std::max(longest, k.size());
    const int widest = m_metrics.averageCharWidth() * static_cast<int>(longest) * 11 / 10;
    m_itemSize = QSize(std::clamp(widest, 40, 220) + 44, m_metrics.height() + 6);
    endResetModel();
}

void KeywordListModel::SetFontMetrics(const QFontMetrics& metrics) {
    m_metrics = metrics;
}

CKeyWordView::CKeyWordView(CBrindleDoc& doc, brindle::CommandTable& commands, QWidget* parent)
    : QListView(parent), m_doc(doc), m_commands(commands),
      m_model(new KeywordListModel(doc, this)) {
    setObjectName(QStringLiteral("keywordList"));
    setModel(m_model);
    // Small icons flowing left to right, as many per line as fit.
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(500);
    m_model->SetFontMetrics(fontMetrics());
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers); // editing starts from "Rename Keyword"
    m_model->onRename = [this](int row, const QString& text) { return FinishRename(row, text); };
    // Hovering selects the keyword under the mouse.
    setMouseTracking(true);
    connect(this, &QListView::entered, this, [this](const QModelIndex& index) {
        if (index.isValid() && selectionModel())
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    });
}

void CKeyWordView::Refill() {
    m_model->Reload();
}

QString CKeyWordView::KeywordAt(int row) const {
    return m_model->data(m_model->index(row, 0), Qt::DisplayRole).toString();
}

void CKeyWordView::AppendAt(const QPoint& pos) {
    if (m_doc.SearchMode() != kSearchKeyword || m_editing)
        return;
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return;
    emit appendRequested(KeywordAt(index.row()) + QLatin1Char('.'));
}

void CKeyWordView::mousePressEvent(QMouseEvent* event) {
    if (m_doc.SearchMode() != kSearchKeyword)
        return; // ignored entirely in string mode
    if (event->button() == Qt::LeftButton)
        AppendAt(event->position().toPoint());
    QListView::mousePressEvent(event);
}

void CKeyWordView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (m_doc.SearchMode() != kSearchKeyword)
        return;
    if (event->button() == Qt::LeftButton)
        AppendAt(event->position().toPoint());
    QListView::mouseDoubleClickEvent(event);
}

// --- Commands -----------------------------------------------------------------------------------

int CKeyWordView::SelectedRow() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel() || !selectionModel()->isSelected(current))
        return -1;
    return current.row();
}

bool CKeyWordView::IsValidKeyword(const QString& text) {
    static const QString kForbidden =
        QStringLiteral("~`@!#$^%&*)(-_+=\\|{}][:;\"'<>.,?/0123456789");
    for (QChar c : text)
        if (kForbidden.contains(c))
            return false;
    return true;
}

void CKeyWordView::StartRename() {
    const int row = SelectedRow();
    if (m_doc.SearchMode() != kSearchKeyword || row < 0)
        return;
    m_editing = true;
    edit(m_model->index(row, 0));
}

void CKeyWordView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QListView::closeEditor(editor, hint);
    m_editing = false; // a cancelled edit ends here too
}

bool CKeyWordView::FinishRename(int row, const QString& typed) {
    m_editing = false;
    const std::string oldWord = KeywordAt(row).toStdString();
    const QString trimmed = typed.trimmed();
    const std::string newWord = trimmed.toStdString();
    if (newWord == oldWord || newWord.empty() || !IsValidKeyword(trimmed))
        return false; // the label keeps the old word
    m_doc.RenameKeywordEverywhere(oldWord, newWord);
    for (const std::string& term : m_doc.Terms()) {
        if (term == oldWord) {
            // The query has lost a keyword: nothing can match it any more.
            m_doc.ForgetKeywordResult();
            return true;
        }
        if (term == newWord) {
            QTimer::singleShot(0, this, [this] { m_doc.RerunLastSearch(); });
            return true;
        }
    }
    // The model is in the middle of an edit: change the list once it is over.
    QTimer::singleShot(
        0, this, [this, oldWord, newWord] { m_doc.ReplaceDictionaryKeyword(oldWord, newWord); });
    return true;
}

void CKeyWordView::DeleteSelected() {
    const int row = SelectedRow();
    if (m_doc.SearchMode() != kSearchKeyword || row < 0)
        return;
    m_doc.DeleteKeywordCommand(KeywordAt(row).toStdString());
}

void CKeyWordView::CopySelected() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    const std::string word = KeywordAt(row).toStdString().substr(0, 65534);
    if (QClipboard* clipboard = QApplication::clipboard())
        clipboard->setText(QString::fromStdString(word));
}

bool CKeyWordView::CanUndo() const {
    return m_doc.SearchMode() == kSearchKeyword && !m_doc.UndoKeywordOwners().empty();
}

void CKeyWordView::Undo() {
    if (CanUndo())
        m_doc.UndoDeleteKeyword();
}

QMenu* CKeyWordView::BuildContextMenu() {
    return m_commands.BuildContextMenu(brindle::ContextMenuId::Keyword, this);
}

void CKeyWordView::contextMenuEvent(QContextMenuEvent* event) {
    if (SelectedRow() < 0)
        return;
    BuildContextMenu()->popup(event->globalPos());
}
