#include "ui/HotKeyCtrl.h"

#include "platform/VirtualKeys.h"

#include <QKeyEvent>

CHotKeyCtrl::CHotKeyCtrl(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true); // typed keys are taken, never inserted as text
    ShowKey();
}

void CHotKeyCtrl::SetHotKey(std::uint16_t vk, std::uint16_t flags) {
    // A key code beyond one byte cannot be held by the control.
    m_vk = vk <= 0xFF ? vk : 0;
    m_flags = m_vk ? static_cast<std::uint16_t>(flags & 0x0F) : 0;
    ShowKey();
}

std::uint16_t CHotKeyCtrl::HotKeyWord() const {
    return static_cast<std::uint16_t>((m_flags << 8) | (m_vk & 0xFF));
}

void CHotKeyCtrl::SetHotKeyWord(std::uint16_t word) {
    SetHotKey(word & 0xFF, word >> 8);
}

void CHotKeyCtrl::ShowKey() {
    const QKeySequence sequence = brindle::KeySequenceFromHotKey(m_vk, m_flags);
    setText(sequence.isEmpty() ? tr("None") : sequence.toString(QKeySequence::NativeText));
}

bool CHotKeyCtrl::event(QEvent* event) {
    // Tab and Backtab are keys like any other while the control has the focus.
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QLineEdit::event(event);
}

void CHotKeyCtrl::keyPressEvent(QKeyEvent* event) {
    const auto key = static_cast<Qt::Key>(event->key());
    const Qt::KeyboardModifiers mods =
        event->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier);
    if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && !(mods & ~Qt::KeypadModifier)) {
        SetHotKey(0, 0);
        emit hotKeyChanged();
        return;
    }
    const auto stored = brindle::HotKeyFromKeyCombination(QKeyCombination(mods, key));
    if (!stored)
        return; // a bare modifier or a key without a code: wait for the rest
    SetHotKey(stored->vk, stored->flags);
    emit hotKeyChanged();
}
