// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CCheckListCtrl: a one-column list whose items carry a check box; a press on the check box
// flips the item, a press on its text only selects it.

#include <QTreeWidget>

class CCheckListCtrl : public QTreeWidget {
    Q_OBJECT
  public:
    CCheckListCtrl(const QString& columnTitle, int columnWidth, QWidget* parent = nullptr);

    void AddItem(const QString& text, bool checked);
    bool IsChecked(int row) const;
    void SetChecked(int row, bool checked);
    int ItemCount() const { return topLevelItemCount(); }
    // Where the check box of a row is drawn, in viewport coordinates (for tests and hit tests).
    QRect CheckRect(int row) const;
};
