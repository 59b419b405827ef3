// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/VirtualKeys.h"

#include <X11/keysym.h>

#include <array>

namespace brindle {

namespace {

// One key that is not a letter, a digit or a function key.
struct KeyEntry {
    std::uint16_t vk;
    Qt::Key qtKey;
    bool keypad; // Qt reports it with Qt::KeypadModifier
    std::uint32_t keysym;
};

constexpr std::array kKeys = {
    KeyEntry{vk::Back, Qt::Key_Backspace, false, XK_BackSpace},
    KeyEntry{vk::Tab, Qt::Key_Tab, false, XK_Tab},
    KeyEntry{vk::Clear, Qt::Key_Clear, false, XK_Clear},
    KeyEntry{vk::Return, Qt::Key_Return, false, XK_Return},
    KeyEntry{vk::Pause, Qt::Key_Pause, false, XK_Pause},
    KeyEntry{vk::Capital, Qt::Key_CapsLock, false, XK_Caps_Lock},
    KeyEntry{vk::Escape, Qt::Key_Escape, false, XK_Escape},
    KeyEntry{vk::Space, Qt::Key_Space, false, XK_space},
    KeyEntry{vk::Prior, Qt::Key_PageUp, false, XK_Prior},
    KeyEntry{vk::Next, Qt::Key_PageDown, false, XK_Next},
    KeyEntry{vk::End, Qt::Key_End, false, XK_End},
    KeyEntry{vk::Home, Qt::Key_Home, false, XK_Home},
    KeyEntry{vk::Left, Qt::Key_Left, false, XK_Left},
    KeyEntry{vk::Up, Qt::Key_Up, false, XK_Up},
    KeyEntry{vk::Right, Qt::Key_Right, false, XK_Right},
    KeyEntry{vk::Down, Qt::Key_Down, false, XK_Down},
    KeyEntry{vk::Snapshot, Qt::Key_Print, false, XK_Print},
    KeyEntry{vk::Insert, Qt::Key_Insert, false, XK_Insert},
    KeyEntry{vk::Delete, Qt::Key_Delete, false, XK_Delete},
    KeyEntry{vk::Help, Qt::Key_Help, false, XK_Help},
    KeyEntry{vk::Numpad0 + 0, Qt::Key_0, true, XK_KP_0},
    KeyEntry{vk::Numpad0 + 1, Qt::Key_1, true, XK_KP_1},
    KeyEntry{vk::Numpad0 + 2, Qt::Key_2, true, XK_KP_2},
    KeyEntry{vk::Numpad0 + 3, Qt::Key_3, true, XK_KP_3},
    KeyEntry{vk::Numpad0 + 4, Qt::Key_4, true, XK_KP_4},
    KeyEntry{vk::Numpad0 + 5, Qt::Key_5, true, XK_KP_5},
    KeyEntry{vk::Numpad0 + 6, Qt::Key_6, true, XK_KP_6},
    KeyEntry{vk::Numpad0 + 7, Qt::Key_7, true, XK_KP_7},
    KeyEntry{vk::Numpad0 + 8, Qt::Key_8, true, XK_KP_8},
    KeyEntry{vk::Numpad0 + 9, Qt::Key_9, true, XK_KP_9},
    KeyEntry{vk::Multiply, Qt::Key_Asterisk, true, XK_KP_Multiply},
    KeyEntry{vk::Add, Qt::Key_Plus, true, XK_KP_Add},
    KeyEntry{vk::Separator, Qt::Key_Comma, true, XK_KP_Separator},
    KeyEntry{vk::Subtract, Qt::Key_Minus, true, XK_KP_Subtract},
    KeyEntry{vk::Decimal, Qt::Key_Period, true, XK_KP_Decimal},
    KeyEntry{vk::Divide, Qt::Key_Slash, true, XK_KP_Divide},
    KeyEntry{vk::NumLock, Qt::Key_NumLock, false, XK_Num_Lock},
    KeyEntry{vk::Scroll, Qt::Key_ScrollLock, false, XK_Scroll_Lock},
    KeyEntry{vk::Oem1, Qt::Key_Semicolon, false, XK_semicolon},
    KeyEntry{vk::OemPlus, Qt::Key_Equal, false, XK_equal},
    KeyEntry{vk::OemComma, Qt::Key_Comma, false, XK_comma},
    KeyEntry{vk::OemMinus, Qt::Key_Minus, false, XK_minus},
    KeyEntry{vk::OemPeriod, Qt::Key_Period, false, XK_period},
    KeyEntry{vk::Oem2, Qt::Key_Slash, false, XK_slash},
    KeyEntry{vk::Oem3, Qt::Key_QuoteLeft, false, XK_grave},
    KeyEntry{vk::Oem4, Qt::Key_BracketLeft, false, XK_bracketleft},
    KeyEntry{vk::Oem5, Qt::Key_Backslash, false, XK_backslash},
    KeyEntry{vk::Oem6, Qt::Key_BracketRight, false, XK_bracketright},
    KeyEntry{vk::Oem7, Qt::Key_Apostrophe, false, XK_apostrophe},
};

// What Qt reports for a key typed with Shift on a US layout, and the key it lies on.
struct ShiftedSymbol {
    Qt::Key qtKey;
    std::uint16_t vk;
};

constexpr std::array kShiftedSymbols = {
    ShiftedSymbol{Qt::Key_Exclam, '1'},
    ShiftedSymbol{Qt::Key_At, '2'},
    ShiftedSymbol{Qt::Key_NumberSign, '3'},
    ShiftedSymbol{Qt::Key_Dollar, '4'},
    ShiftedSymbol{Qt::Key_Percent, '5'},
    ShiftedSymbol{Qt::Key_AsciiCircum, '6'},
    ShiftedSymbol{Qt::Key_Ampersand, '7'},
    ShiftedSymbol{Qt::Key_Asterisk, '8'},
    ShiftedSymbol{Qt::Key_ParenLeft, '9'},
    ShiftedSymbol{Qt::Key_ParenRight, '0'},
    ShiftedSymbol{Qt::Key_Colon, vk::Oem1},
    ShiftedSymbol{Qt::Key_Plus, vk::OemPlus},
    ShiftedSymbol{Qt::Key_Less, vk::OemComma},
    ShiftedSymbol{Qt::Key_Underscore, vk::OemMinus},
    ShiftedSymbol{Qt::Key_Greater, vk::OemPeriod},
    ShiftedSymbol{Qt::Key_Question, vk::Oem2},
    ShiftedSymbol{Qt::Key_AsciiTilde, vk::Oem3},
    ShiftedSymbol{Qt::Key_BraceLeft, vk::Oem4},
    ShiftedSymbol{Qt::Key_Bar, vk::Oem5},
    ShiftedSymbol{Qt::Key_BraceRight, vk::Oem6},
    ShiftedSymbol{Qt::Key_QuoteDbl, vk::Oem7},
    ShiftedSymbol{Qt::Key_Backtab, vk::Tab},
    ShiftedSymbol{Qt::Key_Enter, vk::Return},
};

bool IsLetter(std::uint16_t code) {
    return code >= 'A' && code <= 'Z';
}
bool IsDigit(std::uint16_t code) {
    return code >= '0' && code <= '9';
}
bool IsFunctionKey(std::uint16_t code) {
    return code >= vk::F1 && code <= vk::F24;
}

const KeyEntry* FindByVirtualKey(std::uint16_t code) {
    for (const KeyEntry& entry : kKeys) {
        if (entry.vk == code)
            return &entry;
    }
    return nullptr;
}

// Page Up .. Down and Insert, Delete: typed on the navigation block they are extended, on the
// keypad (Num Lock off) they are not.
bool IsNavigationKey(std::uint16_t code) {
    return (code >= vk::Prior && code <= vk::Down) || code == vk::Insert || code == vk::Delete;
}

} // namespace

std::uint16_t RegisterModsFromHotKeyFlags(std::uint16_t flags) {
    std::uint16_t mods = 0;
    if (flags & kHotKeyShift)
        mods |= kModShift;
    if (flags & kHotKeyControl)
        mods |= kModControl;
    if (flags & kHotKeyAlt)
        mods |= kModAlt;
    return mods;
}

std::uint16_t HotKeyFlagsFromRegisterMods(std::uint16_t mods) {
    std::uint16_t flags = 0;
    if (mods & kModShift)
        flags |= kHotKeyShift;
    if (mods & kModControl)
        flags |= kHotKeyControl;
    if (mods & kModAlt)
        flags |= kHotKeyAlt;
    return flags;
}

Qt::KeyboardModifiers QtModifiersFromHotKeyFlags(std::uint16_t flags) {
    Qt::KeyboardModifiers modifiers;
    if (flags & kHotKeyShift)
        modifiers |= Qt::ShiftModifier;
    if (flags & kHotKeyControl)
        modifiers |= Qt::ControlModifier;
    if (flags & kHotKeyAlt)
        modifiers |= Qt::AltModifier;
    return modifiers;
}

std::uint16_t HotKeyFlagsFromQtModifiers(Qt::KeyboardModifiers modifiers) {
    std::uint16_t flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= kHotKeyShift;
    if (modifiers & Qt::ControlModifier)
        flags |= kHotKeyControl;
    if (modifiers & Qt::AltModifier)
        flags |= kHotKeyAlt;
    return flags;
}

std::uint16_t X11ModsFromRegisterMods(std::uint16_t mods) {
    std::uint16_t mask = 0;
    if (mods & kModShift)
        mask |= kX11ShiftMask;
    if (mods & kModControl)
        mask |= kX11ControlMask;
    if (mods & kModAlt)
        mask |= kX11Mod1Mask;
    if (mods & kModWin)
        mask |= kX11Mod4Mask;
    return mask;
}

std::uint16_t X11ModsFromHotKeyFlags(std::uint16_t flags) {
    return X11ModsFromRegisterMods(RegisterModsFromHotKeyFlags(flags));
}

std::uint16_t HotKeyFlagsFromX11Mods(std::uint16_t state) {
    std::uint16_t flags = 0;
    if (state & kX11ShiftMask)
        flags |= kHotKeyShift;
    if (state & kX11ControlMask)
        flags |= kHotKeyControl;
    if (state & kX11Mod1Mask)
        flags |= kHotKeyAlt;
    return flags;
}

bool IsExtendedVirtualKey(std::uint16_t code) {
    return IsNavigationKey(code) || code == vk::Snapshot || code == vk::NumLock ||
           code == vk::Divide;
}

QKeyCombination QtKeyFromVirtualKey(std::uint16_t code, std::uint16_t flags) {
    if (IsLetter(code) || IsDigit(code))
        return QKeyCombination(Qt::Key(code)); // Qt::Key_A.. and Qt::Key_0.. are ASCII
    if (IsFunctionKey(code))
        return QKeyCombination(Qt::Key(Qt::Key_F1 + (code - vk::F1)));
    if (code == vk::Return && (flags & kHotKeyExtended))
        return QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter);
    if (const KeyEntry* entry = FindByVirtualKey(code)) {
        return entry->keypad ? QKeyCombination(Qt::KeypadModifier, entry->qtKey)
                             : QKeyCombination(entry->qtKey);
    }
    return QKeyCombination(Qt::Key_unknown);
}

std::uint16_t VirtualKeyFromQtKey(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (keypad) {
        for (const KeyEntry& entry : kKeys) {
            if (entry.keypad && entry.qtKey == key)
                return entry.vk;
        }
    }
    // Keypad keys without a keypad entry (navigation with Num Lock off) are the plain keys.
    for (const KeyEntry& entry : kKeys) {
        if (!entry.keypad && entry.qtKey == key)
            return entry.vk;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return std::uint16_t(key);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return std::uint16_t(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return std::uint16_t(vk::F1 + (key - Qt::Key_F1));
    for (const ShiftedSymbol& symbol : kShiftedSymbols) {
        if (symbol.qtKey == key)
            return symbol.vk;
    }
    return 0;
}

QKeyCombination KeyCombinationFromHotKey(std::uint16_t code, std::uint16_t flags) {
    const QKeyCombination key = QtKeyFromVirtualKey(code, flags);
    return QKeyCombination(key.keyboardModifiers() | QtModifiersFromHotKeyFlags(flags), key.key());
}

std::optional<StoredHotKey> HotKeyFromKeyCombination(QKeyCombination combination) {
    const Qt::Key key = combination.key();
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    const std::uint16_t code = VirtualKeyFromQtKey(key, modifiers);
    if (code == 0)
        return std::nullopt;
    std::uint16_t flags = HotKeyFlagsFromQtModifiers(modifiers);
    // The navigation keys typed on the keypad (Num Lock off) are the only ones that are not
    // extended there.
    const bool onKeypad = modifiers.testFlag(Qt::KeypadModifier);
    if (key == Qt::Key_Enter ||
        (IsExtendedVirtualKey(code) && !(onKeypad && IsNavigationKey(code))))
        flags |= kHotKeyExtended;
    return StoredHotKey{code, flags};
}

QKeySequence KeySequenceFromHotKey(std::uint16_t code, std::uint16_t flags) {
    const QKeyCombination combination = KeyCombinationFromHotKey(code, flags);
    if (combination.key() == Qt::Key_unknown)
        return QKeySequence();
    return QKeySequence(combination);
}

std::uint32_t X11KeysymFromVirtualKey(std::uint16_t code) {
    if (IsLetter(code))
        return XK_a + (code - 'A');
    if (IsDigit(code))
        return XK_0 + (code - '0');
    if (IsFunctionKey(code))
        return XK_F1 + (code - vk::F1);
    if (const KeyEntry* entry = FindByVirtualKey(code))
        return entry->keysym;
    return 0;
}

std::uint16_t VirtualKeyFromX11Keysym(std::uint32_t keysym) {
    if (keysym >= XK_a && keysym <= XK_z)
        return std::uint16_t('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z)
        return std::uint16_t(keysym);
    if (keysym >= XK_0 && keysym <= XK_9)
        return std::uint16_t(keysym);
    if (keysym >= XK_F1 && keysym <= XK_F24)
        return std::uint16_t(vk::F1 + (keysym - XK_F1));
    if (keysym == XK_KP_Enter)
        return vk::Return;
    if (keysym == XK_ISO_Left_Tab)
        return vk::Tab;
    for (const KeyEntry& entry : kKeys) {
        if (entry.keysym == keysym)
            return entry.vk;
    }
    return 0;
}

} // namespace brindle
