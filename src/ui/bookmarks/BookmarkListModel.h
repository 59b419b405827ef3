// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bookmark list's rows read on demand from the document's active hit list: no per-row items,
// so 100,000 rows cost only the visible ones.

#include <QAbstractTableModel>
#include <QIcon>

#include <cstdint>
#include <functional>
#include <vector>

class CBrindleDoc;

class BookmarkListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit BookmarkListModel(CBrindleDoc& doc, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The hit list changed: the row count is read again.
    void Reload();
    // The visible-column mask changed: the columns are made again.
    void RebuildColumns();
    // A column after the fields whose text comes from `text(bookmark)` (the text search's
    // snippets); an empty title removes it.
    void SetExtraColumn(const QString& title, std::function<QString(std::uint32_t)> text);
    bool HasExtraColumn() const { return static_cast<bool>(m_extraText); }

    // The field shown in visible column k, or -1.
    int FieldOfColumn(int column) const;
    // The visible column of field f, or -1 when hidden.
    int ColumnOfField(int field) const;
    // The visible column sorted on: that of the sort field, or 0 while that field is hidden.
    int SortColumn() const;
    // The bookmark index of row r, or -1 outside the hit list.
    int BookmarkAt(int row) const;

    static const char* ColumnTitle(int field);
    static int DefaultWidth(int field);

  private:
    CBrindleDoc& m_doc;
    int m_rows = 0;
    std::vector<int> m_fields; // field of each visible column
    QString m_extraTitle;
    std::function<QString(std::uint32_t)> m_extraText;
    std::vector<QIcon> m_statusIcons;
    QIcon m_ascending;
    QIcon m_descending;
};
