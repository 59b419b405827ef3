// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CKeyWordView: the keywords of the current result as small icons; clicking one narrows the
// search by appending it to the search box.

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QIcon>
#include <QListView>
#include <QMenu>

#include <functional>

class CBrindleDoc;

namespace brindle {
class CommandTable;
} // namespace brindle

// The document's dictionary, read on demand.
class KeywordListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit KeywordListModel(CBrindleDoc& doc, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    void Reload();
    // Receives the text typed into a label; true when it was taken.
    std::function<bool(int row, const QString& text)> onRename;
    void SetFontMetrics(const QFontMetrics& metrics);

  private:
    CBrindleDoc& m_doc;
    int m_rows = 0;
    QIcon m_icon;
    QFontMetrics m_metrics{QFont()};
    QSize m_itemSize{80, 20};
};

class CKeyWordView : public QListView {
    Q_OBJECT
  public:
    // The context menu is built from `commands`.
    CKeyWordView(CBrindleDoc& doc, brindle::CommandTable& commands, QWidget* parent = nullptr);

    KeywordListModel* Model() const { return m_model; }
    void Refill();
    // The keyword at a row, or "".
    QString KeywordAt(int row) const;
    bool IsEditing() const { return m_editing; }
    // The selected keyword's row, or -1.
    int SelectedRow() const;

    // --- Commands ---------------------------------------------------------------------------
    void StartRename();
    // The end of a label edit: true when the keyword was renamed.
    bool FinishRename(int row, const QString& typed);
    void DeleteSelected();
    void CopySelected();
    void Undo();
    bool CanUndo() const;
    // A keyword the user may type: none of the characters keywords cannot hold.
    static bool IsValidKeyword(const QString& text);
    QMenu* BuildContextMenu();

  signals:
    // A keyword followed by "." for the main frame to append to the search box.
    void appendRequested(const QString& text);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void AppendAt(const QPoint& pos);

    CBrindleDoc& m_doc;
    brindle::CommandTable& m_commands;
    KeywordListModel* m_model;
    bool m_editing = false;
};
