// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/HotKeyCtrl.h"

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

namespace {

// Keys that, pressed alone, belong to the dialog (focus moves, OK, Cancel) as they do around a
// hot-key control; with Ctrl or Alt they are hot keys like any other.
bool IsDialogKey(const QKeyEvent& key) {
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    switch (key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return true;
    default:
        return false;
    }
}

} // namespace

bool CHotKeyCtrl::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!IsDialogKey(*key)) {
            // Every other combination is taken here, even where it is somebody's shortcut.
            if (event->type() == QEvent::ShortcutOverride)
                event->accept();
            else
                keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CHotKeyCtrl::keyPressEvent(QKeyEvent* event) {
    if (IsDialogKey(*event)) {
        event->ignore();
        return;
    }
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
