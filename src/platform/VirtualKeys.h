// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hot keys are stored as Windows numbers: a virtual-key code and the modifier flags of a
// hot-key control (settings "hotkey1_1".."hotkey4_2", macro hot keys). This module is the one
// place that turns those numbers into Qt keys, key sequences and X11 key symbols and masks, and
// back. Key names follow a US keyboard layout, as the virtual-key codes of the punctuation keys
// do.

#include <QKeyCombination>
#include <QKeySequence>

#include <cstdint>
#include <optional>

namespace brindle {

// Modifier flags of a hot-key control, as stored.
inline constexpr std::uint16_t kHotKeyShift = 1;
inline constexpr std::uint16_t kHotKeyControl = 2;
inline constexpr std::uint16_t kHotKeyAlt = 4;
inline constexpr std::uint16_t kHotKeyExtended = 8; // the key lies outside the main block

// Modifiers in the form a hot-key registration takes.
inline constexpr std::uint16_t kModAlt = 1;
inline constexpr std::uint16_t kModControl = 2;
inline constexpr std::uint16_t kModShift = 4;
inline constexpr std::uint16_t kModWin = 8;

// X11 modifier masks (core protocol key-button state).
inline constexpr std::uint16_t kX11ShiftMask = 1 << 0;
inline constexpr std::uint16_t kX11LockMask = 1 << 1;
inline constexpr std::uint16_t kX11ControlMask = 1 << 2;
inline constexpr std::uint16_t kX11Mod1Mask = 1 << 3; // Alt
inline constexpr std::uint16_t kX11Mod2Mask = 1 << 4; // Num Lock on usual keyboard maps
inline constexpr std::uint16_t kX11Mod4Mask = 1 << 6; // Super

// Virtual-key codes this module knows besides the letters ('A'..'Z') and digits ('0'..'9'),
// which are their own ASCII codes.
namespace vk {
inline constexpr std::uint16_t Back = 0x08;
inline constexpr std::uint16_t Tab = 0x09;
inline constexpr std::uint16_t Clear = 0x0C;
inline constexpr std::uint16_t Return = 0x0D;
inline constexpr std::uint16_t Pause = 0x13;
inline constexpr std::uint16_t Capital = 0x14;
inline constexpr std::uint16_t Escape = 0x1B;
inline constexpr std::uint16_t Space = 0x20;
inline constexpr std::uint16_t Prior = 0x21; // Page Up
inline constexpr std::uint16_t Next = 0x22;  // Page Down
inline constexpr std::uint16_t End = 0x23;
inline constexpr std::uint16_t Home = 0x24;
inline constexpr std::uint16_t Left = 0x25;
inline constexpr std::uint16_t Up = 0x26;
inline constexpr std::uint16_t Right = 0x27;
inline constexpr std::uint16_t Down = 0x28;
inline constexpr std::uint16_t Snapshot = 0x2C; // Print Screen
inline constexpr std::uint16_t Insert = 0x2D;
inline constexpr std::uint16_t Delete = 0x2E;
inline constexpr std::uint16_t Help = 0x2F;
inline constexpr std::uint16_t Numpad0 = 0x60; // .. Numpad9 = 0x69
inline constexpr std::uint16_t Multiply = 0x6A;
inline constexpr std::uint16_t Add = 0x6B;
inline constexpr std::uint16_t Separator = 0x6C;
inline constexpr std::uint16_t Subtract = 0x6D;
inline constexpr std::uint16_t Decimal = 0x6E;
inline constexpr std::uint16_t Divide = 0x6F;
inline constexpr std::uint16_t F1 = 0x70; // .. F24 = 0x87
inline constexpr std::uint16_t F24 = 0x87;
inline constexpr std::uint16_t NumLock = 0x90;
inline constexpr std::uint16_t Scroll = 0x91;
inline constexpr std::uint16_t Oem1 = 0xBA; // ;:
inline constexpr std::uint16_t OemPlus = 0xBB;
inline constexpr std::uint16_t OemComma = 0xBC;
inline constexpr std::uint16_t OemMinus = 0xBD;
inline constexpr std::uint16_t OemPeriod = 0xBE;
inline constexpr std::uint16_t Oem2 = 0xBF; // /?
inline constexpr std::uint16_t Oem3 = 0xC0; // `~
inline constexpr std::uint16_t Oem4 = 0xDB; // [{
inline constexpr std::uint16_t Oem5 = 0xDC; // \|
inline constexpr std::uint16_t Oem6 = 0xDD; // ]}
inline constexpr std::uint16_t Oem7 = 0xDE; // '"
} // namespace vk

// A stored hot key: virtual-key code and hot-key-control flags. A code of 0 means none.
struct StoredHotKey {
    std::uint16_t vk = 0;
    std::uint16_t flags = 0;
    friend bool operator==(const StoredHotKey&, const StoredHotKey&) = default;
};

// --- Modifiers ---

// Hot-key-control flags to registration form: Shift 1 -> 4, Ctrl 2 -> 2, Alt 4 -> 1; the
// extended-key flag has no place there and is dropped.
std::uint16_t RegisterModsFromHotKeyFlags(std::uint16_t flags);
// Registration form back to hot-key-control flags (the Windows-key bit has no flag and is
// dropped).
std::uint16_t HotKeyFlagsFromRegisterMods(std::uint16_t mods);

// Shift, Ctrl and Alt as Qt modifiers; the extended-key flag is not a modifier and is dropped.
Qt::KeyboardModifiers QtModifiersFromHotKeyFlags(std::uint16_t flags);
// Shift, Ctrl and Alt of `modifiers`; the others have no flag.
std::uint16_t HotKeyFlagsFromQtModifiers(Qt::KeyboardModifiers modifiers);

// Registration form to the X11 masks: Shift, Control, Mod1 (Alt), Mod4 (Windows key).
std::uint16_t X11ModsFromRegisterMods(std::uint16_t mods);
// The X11 masks of a stored hot key (through the registration form, as a registration does).
std::uint16_t X11ModsFromHotKeyFlags(std::uint16_t flags);
// Shift, Control and Mod1 of an X11 key-button state as hot-key-control flags; lock and
// button bits are ignored.
std::uint16_t HotKeyFlagsFromX11Mods(std::uint16_t state);

// --- Keys ---

// Whether a hot-key control marks `vk` as an extended key when it is typed: the navigation
// block, Print Screen, Num Lock, the keypad's divide key (and its Enter, which shares the
// code of Return and is told apart only by the flag).
bool IsExtendedVirtualKey(std::uint16_t vk);

// The Qt key and modifiers of a virtual key. Keypad keys carry Qt::KeypadModifier; Return with
// the extended flag is the keypad's Enter. Qt::Key_unknown for a code this module does not know.
QKeyCombination QtKeyFromVirtualKey(std::uint16_t vk, std::uint16_t flags = 0);

// The virtual key of a Qt key; Qt::KeypadModifier in `modifiers` picks the keypad code where
// there is one. Shifted symbols give their unshifted key ('!' -> '1', '?' -> '/'). 0 when
// the key has no code.
std::uint16_t VirtualKeyFromQtKey(Qt::Key key, Qt::KeyboardModifiers modifiers = {});

// The whole key combination of a stored hot key, Qt::Key_unknown inside when vk is unknown.
QKeyCombination KeyCombinationFromHotKey(std::uint16_t vk, std::uint16_t flags);
// The stored form of a typed combination, with the extended flag set as a hot-key control sets
// it; nothing when the key has no virtual-key code or is a bare modifier.
std::optional<StoredHotKey> HotKeyFromKeyCombination(QKeyCombination combination);
// The key sequence shown for a stored hot key; empty for vk 0 or an unknown code.
QKeySequence KeySequenceFromHotKey(std::uint16_t vk, std::uint16_t flags);

// The X11 key symbol a virtual key is grabbed by (letters by their lower-case symbol, as the
// first level of a keyboard map lists them); 0 (NoSymbol) when the code is unknown.
std::uint32_t X11KeysymFromVirtualKey(std::uint16_t vk);
// The virtual key of an X11 key symbol (either case of a letter); 0 when it has none.
std::uint16_t VirtualKeyFromX11Keysym(std::uint32_t keysym);

} // namespace brindle
