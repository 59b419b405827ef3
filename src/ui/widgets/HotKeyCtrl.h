// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CHotKeyCtrl: an edit that takes the next key combination typed into it as a hot key and shows
// it ("Ctrl+Shift+E"). The key is kept in its stored form: a virtual-key code and the flags of a
// hot-key control (1 Shift, 2 Ctrl, 4 Alt, 8 extended). Backspace or Delete without modifiers
// clears it; Tab, Return and Escape without Ctrl or Alt are left to the dialog.

#include <QLineEdit>

#include <cstdint>

class CHotKeyCtrl : public QLineEdit {
    Q_OBJECT
  public:
    explicit CHotKeyCtrl(QWidget* parent = nullptr);

    void SetHotKey(std::uint16_t vk, std::uint16_t flags);
    std::uint16_t VirtualKey() const { return m_vk; }
    std::uint16_t Flags() const { return m_flags; }
    // The control's word: the key in the low byte, the flags in the high byte.
    std::uint16_t HotKeyWord() const;
    void SetHotKeyWord(std::uint16_t word);
    // The macro record's form: the flags in the high 16 bits, the key in the low 16, 0 for none.
    std::uint32_t MacroHotKey() const { return (static_cast<std::uint32_t>(m_flags) << 16) | m_vk; }
    void SetMacroHotKey(std::uint32_t hotKey) { SetHotKey(hotKey & 0xFFFF, hotKey >> 16); }

  signals:
    void hotKeyChanged();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void ShowKey();

    std::uint16_t m_vk = 0;
    std::uint16_t m_flags = 0;
};
