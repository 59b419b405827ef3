// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three macro dialogs ("Macro URL Shortcut", "Macro Keywords", "Macro Full String Search")
// and the hot-key box they share. They edit copies and hand them back on OK.

#include "store/Macro.h"

#include <QDialog>
#include <QLineEdit>

#include <cstdint>

class CCheckListCtrl;
class QCheckBox;

namespace brindle {

// A box that takes one key combination as it is typed and keeps it as a stored hot key:
// (hot-key-control modifier flags << 16) | virtual-key code, 0 for none. Backspace or Delete
// alone clears it; Tab alone moves on.
class HotKeyEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit HotKeyEdit(QWidget* parent = nullptr);
    std::uint32_t HotKey() const { return m_hotKey; }
    void SetHotKey(std::uint32_t hotKey);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

  private:
    std::uint32_t m_hotKey = 0;
};

} // namespace brindle

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
    brindle::HotKeyEdit* HotKeyBox() const { return m_hotKey; }
    CCheckListCtrl* FieldList() const { return m_fields; }
    QCheckBox* MatchCaseBox() const { return m_matchCase; }

  private:
    std::int32_t m_kind;
    QLineEdit* m_name;
    QLineEdit* m_text;
    brindle::HotKeyEdit* m_hotKey;
    CCheckListCtrl* m_fields = nullptr;
    QCheckBox* m_matchCase = nullptr;
};
