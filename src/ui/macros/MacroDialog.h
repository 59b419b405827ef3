// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three macro dialogs ("Macro URL Shortcut", "Macro Keywords", "Macro Full String Search")
// and the hot-key box they share. They edit copies and hand them back on OK.

#include "store/Macro.h"

#include <QDialog>
#include <QLineEdit>

#include <cstdint>

class CCheckListCtrl;
class CHotKeyCtrl;
class QCheckBox;

class CMacroDlg : public QDialog {
    Q_OBJECT
  public:
    // The dialog of `macro`'s kind (kMacroUrl, kMacroKeywords or kMacroString), filled from it.
    explicit CMacroDlg(const CMacro& macro, QWidget* parent = nullptr);

    // The macro as the dialog now has it (the hot key as the string dialog reads it back: an
    // extended-key flag alone counts as no modifier).
    CMacro Macro() const;

    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* TextEdit() const { return m_text; }
    CHotKeyCtrl* HotKeyBox() const { return m_hotKey; }
    CCheckListCtrl* FieldList() const { return m_fields; }
    QCheckBox* MatchCaseBox() const { return m_matchCase; }

  private:
    std::int32_t m_kind;
    QLineEdit* m_name;
    QLineEdit* m_text;
    CHotKeyCtrl* m_hotKey;
    CCheckListCtrl* m_fields = nullptr;
    QCheckBox* m_matchCase = nullptr;
};
