// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/bookmarks/BookmarkListModel.h"

#include "status/StatusTable.h"
#include "store/BrindleDoc.h"

namespace {
struct ColumnInfo {
    const char* title;
    int width;
};
constexpr ColumnInfo kColumns[kFieldCount] = {
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Name"), 200},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "URL"), 250},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Keyword"), 300},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Description"), 100},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Notes"), 100},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Status Checking"), 80},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Schedule"), 80},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Status"), 80},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Add Date"), 100},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Last Visited"), 100},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Last Modified"), 100},
    {QT_TRANSLATE_NOOP("BookmarkListModel", "Last Checked"), 100}};
} // namespace

BookmarkListModel::BookmarkListModel(CBrindleDoc& doc, QObject* parent)
    : QAbstractTableModel(parent), m_doc(doc),
      m_ascending(QStringLiteral(":/icons/chevron-up.svg")),
      m_descending(QStringLiteral(":/icons/chevron-down.svg")) {
    for (int i = 0; i < 16; ++i)
        m_statusIcons.emplace_back(QStringLiteral(":/icons/status/status%1.svg").arg(i));
    RebuildColumns();
}

const char* BookmarkListModel::ColumnTitle(int field) {
    return field >= 0 && field < kFieldCount ? kColumns[field].title : "";
}

int BookmarkListModel::DefaultWidth(int field) {
    return field >= 0 && field < kFieldCount ? kColumns[field].width : 100;
}

int BookmarkListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int BookmarkListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size()) + (m_extraText ? 1 : 0);
}

int BookmarkListModel::FieldOfColumn(int column) const {
    return column >= 0 && column < static_cast<int>(m_fields.size()) ? m_fields[column] : -1;
}

int BookmarkListModel::ColumnOfField(int field) const {
    for (int k = 0; k < static_cast<int>(m_fields.size()); ++k)
        if (m_fields[k] == field)
            return k;
    return -1;
}

int BookmarkListModel::BookmarkAt(int row) const {
    const auto& hits = m_doc.ActiveHits();
    if (row < 0 || row >= m_rows || static_cast<std::size_t>(row) >= hits.size())
        return -1;
    return static_cast<int>(hits[row]);
}

QVariant BookmarkListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int field = FieldOfColumn(index.column());
    const int bookmark = BookmarkAt(index.row());
    if (m_extraText && index.column() == static_cast<int>(m_fields.size()) && bookmark >= 0 &&
        (role == Qt::DisplayRole || role == Qt::ToolTipRole))
        return m_extraText(static_cast<std::uint32_t>(bookmark));
    if (field < 0 || bookmark < 0 || static_cast<std::size_t>(bookmark) >= m_doc.Bookmarks().size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return QString::fromStdString(m_doc.GetFieldText(bookmark, field));
    if (role == Qt::DecorationRole && index.column() == 0) {
        const int icon = brindle::StatusDisplayOf(m_doc.Bookmarks()[bookmark].m_strStatus,
                                                  m_doc.Prefs().m_arrStatusIcons);
        if (icon >= 0 && icon < static_cast<int>(m_statusIcons.size()))
            return m_statusIcons[icon];
    }
    return {};
}

QVariant BookmarkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    const int field = FieldOfColumn(section);
    if (m_extraText && section == static_cast<int>(m_fields.size()) && role == Qt::DisplayRole)
        return m_extraTitle;
    if (field < 0)
        return {};
    if (role == Qt::DisplayRole)
        return tr(ColumnTitle(field));
    if (role == Qt::DecorationRole && section == SortColumn())
        return m_doc.SortAscending() ? m_ascending : m_descending;
    return {};
}

int BookmarkListModel::SortColumn() const {
    const int column = ColumnOfField(m_doc.SortColumn());
    return column < 0 ? 0 : column;
}

void BookmarkListModel::Reload() {
    beginResetModel();
    m_rows = static_cast<int>(m_doc.ActiveHits().size());
    endResetModel();
}

void BookmarkListModel::RebuildColumns() {
    beginResetModel();
    m_fields.clear();
    for (int f = 0; f < kFieldCount; ++f)
        if (m_doc.Columns() & (1u << f))
            m_fields.push_back(f);
    m_rows = static_cast<int>(m_doc.ActiveHits().size());
    endResetModel();
}

void BookmarkListModel::SetExtraColumn(const QString& title,
                                       std::function<QString(std::uint32_t)> text) {
    beginResetModel();
    m_extraTitle = title;
    m_extraText = title.isEmpty() ? nullptr : std::move(text);
    endResetModel();
}
