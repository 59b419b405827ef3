// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The column dialog ("Customize Columns") and the search option dialog ("Search Option"). Both
// edit copies and hand them back on OK; neither runs a search.

#include <QDialog>

#include <cstdint>

class CCheckListCtrl;
class QCheckBox;

class CColumnsDlg : public QDialog {
    Q_OBJECT
  public:
    CColumnsDlg(std::uint16_t columns, QWidget* parent = nullptr);
    // Name (bit 0) is always shown.
    std::uint16_t Columns() const;
    CCheckListCtrl* List() const { return m_list; }

  private:
    CCheckListCtrl* m_list;
};

class CSearchOptionDlg : public QDialog {
    Q_OBJECT
  public:
    CSearchOptionDlg(bool partialMatch, std::uint8_t fields, bool matchCase,
                     QWidget* parent = nullptr);
    bool PartialMatch() const;
    std::uint8_t Fields() const;
    bool MatchCase() const;
    CCheckListCtrl* List() const { return m_list; }
    QCheckBox* PartialBox() const { return m_partial; }
    QCheckBox* MatchCaseBox() const { return m_matchCase; }

  private:
    CCheckListCtrl* m_list;
    QCheckBox* m_partial;
    QCheckBox* m_matchCase;
};
