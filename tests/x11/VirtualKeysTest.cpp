// SPDX-License-Identifier: GPL-3.0-or-later
// The stored hot-key numbers against Qt keys and X11 key symbols. Expected values are the
// published Windows virtual-key codes and X11 keysym numbers, written out as numbers so that a
// wrong constant in the module cannot agree with itself.

#include "platform/VirtualKeys.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace brindle;

namespace {

// Every virtual-key code the module is meant to know.
std::vector<std::uint16_t> KnownVirtualKeys() {
    std::vector<std::uint16_t> codes;
    for (std::uint16_t c = 'A'; c <= 'Z'; ++c)
        codes.push_back(c);
    for (std::uint16_t c = '0'; c <= '9'; ++c)
        codes.push_back(c);
    for (std::uint16_t c = 0x70; c <= 0x87; ++c) // F1..F24
        codes.push_back(c);
    for (std::uint16_t c = 0x60; c <= 0x6F; ++c) // keypad digits and operators
        codes.push_back(c);
    for (std::uint16_t c = 0x21; c <= 0x28; ++c) // Page Up .. Down
        codes.push_back(c);
    for (std::uint16_t c = 0xBA; c <= 0xC0; ++c) // ; = , - . / `
        codes.push_back(c);
    for (std::uint16_t c = 0xDB; c <= 0xDE; ++c) // [ \ ] '
        codes.push_back(c);
    for (std::uint16_t c :
         {0x08, 0x09, 0x0C, 0x0D, 0x13, 0x14, 0x1B, 0x20, 0x2C, 0x2D, 0x2E, 0x2F, 0x90, 0x91})
        codes.push_back(c);
    return codes;
}

} // namespace

TEST(HotKeyModifiers, RegistrationFormSwapsShiftAndAltAndDropsExtended) {
    EXPECT_EQ(RegisterModsFromHotKeyFlags(1), 4); // Shift
    EXPECT_EQ(RegisterModsFromHotKeyFlags(2), 2); // Ctrl
    EXPECT_EQ(RegisterModsFromHotKeyFlags(4), 1); // Alt
    EXPECT_EQ(RegisterModsFromHotKeyFlags(3), 6); // Ctrl+Shift, as stored for Ctrl+Shift+E
    EXPECT_EQ(RegisterModsFromHotKeyFlags(8), 0);
    EXPECT_EQ(RegisterModsFromHotKeyFlags(15), 7);
    for (std::uint16_t flags = 0; flags < 16; ++flags)
        EXPECT_EQ(HotKeyFlagsFromRegisterMods(RegisterModsFromHotKeyFlags(flags)), flags & 7);
    EXPECT_EQ(HotKeyFlagsFromRegisterMods(8), 0); // the Windows key has no flag
}

TEST(HotKeyModifiers, X11MasksAreShiftControlMod1) {
    EXPECT_EQ(X11ModsFromHotKeyFlags(1), 0x01);
    EXPECT_EQ(X11ModsFromHotKeyFlags(2), 0x04);
    EXPECT_EQ(X11ModsFromHotKeyFlags(4), 0x08);
    EXPECT_EQ(X11ModsFromHotKeyFlags(3 | 8), 0x05);
    EXPECT_EQ(X11ModsFromRegisterMods(8), 0x40); // Windows key -> Super (Mod4)
    // Caps Lock (0x02), Num Lock (Mod2, 0x10) and mouse buttons (0x100..) are no hot-key flags.
    EXPECT_EQ(HotKeyFlagsFromX11Mods(0x05 | 0x02 | 0x10 | 0x100), 3);
    EXPECT_EQ(HotKeyFlagsFromX11Mods(0x08 | 0x40), 4);
}

TEST(HotKeyModifiers, QtModifiers) {
    EXPECT_EQ(QtModifiersFromHotKeyFlags(3), Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(QtModifiersFromHotKeyFlags(4 | 8), Qt::KeyboardModifiers(Qt::AltModifier));
    for (std::uint16_t flags = 0; flags < 8; ++flags)
        EXPECT_EQ(HotKeyFlagsFromQtModifiers(QtModifiersFromHotKeyFlags(flags)), flags);
    EXPECT_EQ(HotKeyFlagsFromQtModifiers(Qt::MetaModifier | Qt::KeypadModifier), 0);
}

TEST(VirtualKeyTable, KnownValues) {
    struct Case {
        std::uint16_t vk;
        QKeyCombination qt;
        std::uint32_t keysym;
    };
    const Case cases[] = {
        {0x45, QKeyCombination(Qt::Key_E), 0x65},                              // E, grabbed as 'e'
        {0x31, QKeyCombination(Qt::Key_1), 0x31},                              // 1
        {0x70, QKeyCombination(Qt::Key_F1), 0xFFBE},                           // F1
        {0x7B, QKeyCombination(Qt::Key_F12), 0xFFC9},                          // F12
        {0x87, QKeyCombination(Qt::Key_F24), 0xFFD5},                          // F24
        {0x21, QKeyCombination(Qt::Key_PageUp), 0xFF55},                       // Prior
        {0x22, QKeyCombination(Qt::Key_PageDown), 0xFF56},                     // Next
        {0x25, QKeyCombination(Qt::Key_Left), 0xFF51},                         // Left
        {0x28, QKeyCombination(Qt::Key_Down), 0xFF54},                         // Down
        {0x2D, QKeyCombination(Qt::Key_Insert), 0xFF63},                       // Insert
        {0x2E, QKeyCombination(Qt::Key_Delete), 0xFFFF},                       // Delete
        {0x20, QKeyCombination(Qt::Key_Space), 0x20},                          // Space
        {0x0D, QKeyCombination(Qt::Key_Return), 0xFF0D},                       // Return
        {0x1B, QKeyCombination(Qt::Key_Escape), 0xFF1B},                       // Escape
        {0x08, QKeyCombination(Qt::Key_Backspace), 0xFF08},                    // Backspace
        {0x09, QKeyCombination(Qt::Key_Tab), 0xFF09},                          // Tab
        {0x2C, QKeyCombination(Qt::Key_Print), 0xFF61},                        // Print Screen
        {0x13, QKeyCombination(Qt::Key_Pause), 0xFF13},                        // Pause
        {0x65, QKeyCombination(Qt::KeypadModifier, Qt::Key_5), 0xFFB5},        // keypad 5
        {0x6A, QKeyCombination(Qt::KeypadModifier, Qt::Key_Asterisk), 0xFFAA}, // keypad *
        {0x6B, QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus), 0xFFAB},     // keypad +
        {0x6D, QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus), 0xFFAD},    // keypad -
        {0x6E, QKeyCombination(Qt::KeypadModifier, Qt::Key_Period), 0xFFAE},   // keypad .
        {0x6F, QKeyCombination(Qt::KeypadModifier, Qt::Key_Slash), 0xFFAF},    // keypad /
        {0x90, QKeyCombination(Qt::Key_NumLock), 0xFF7F},
        {0xBA, QKeyCombination(Qt::Key_Semicolon), 0x3B},
        {0xBB, QKeyCombination(Qt::Key_Equal), 0x3D},
        {0xBC, QKeyCombination(Qt::Key_Comma), 0x2C},
        {0xBD, QKeyCombination(Qt::Key_Minus), 0x2D},
        {0xBE, QKeyCombination(Qt::Key_Period), 0x2E},
        {0xBF, QKeyCombination(Qt::Key_Slash), 0x2F},
        {0xC0, QKeyCombination(Qt::Key_QuoteLeft), 0x60},
        {0xDB, QKeyCombination(Qt::Key_BracketLeft), 0x5B},
        {0xDC, QKeyCombination(Qt::Key_Backslash), 0x5C},
        {0xDD, QKeyCombination(Qt::Key_BracketRight), 0x5D},
        {0xDE, QKeyCombination(Qt::Key_Apostrophe), 0x27},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "vk 0x" << std::hex << c.vk);
        EXPECT_EQ(QtKeyFromVirtualKey(c.vk), c.qt);
        EXPECT_EQ(VirtualKeyFromQtKey(c.qt.key(), c.qt.keyboardModifiers()), c.vk);
        EXPECT_EQ(X11KeysymFromVirtualKey(c.vk), c.keysym);
        EXPECT_EQ(VirtualKeyFromX11Keysym(c.keysym), c.vk);
    }
}

// A copied table line would give two codes one key: every known code must come back from its
// Qt key and its key symbol, and no two codes may share either.
TEST(VirtualKeyTable, EveryKnownCodeRoundTripsAndIsDistinct) {
    std::set<int> qtKeys;
    std::set<std::uint32_t> keysyms;
    const std::vector<std::uint16_t> codes = KnownVirtualKeys();
    for (std::uint16_t code : codes) {
        SCOPED_TRACE(testing::Message() << "vk 0x" << std::hex << code);
        const QKeyCombination qt = QtKeyFromVirtualKey(code);
        ASSERT_NE(qt.key(), Qt::Key_unknown);
        EXPECT_EQ(VirtualKeyFromQtKey(qt.key(), qt.keyboardModifiers()), code);
        qtKeys.insert(qt.toCombined());
        const std::uint32_t keysym = X11KeysymFromVirtualKey(code);
        ASSERT_NE(keysym, 0u);
        EXPECT_EQ(VirtualKeyFromX11Keysym(keysym), code);
        keysyms.insert(keysym);
    }
    EXPECT_EQ(qtKeys.size(), codes.size());
    EXPECT_EQ(keysyms.size(), codes.size());
}

TEST(VirtualKeyTable, UnknownCodesAndKeys) {
    for (std::uint16_t code : {0x00, 0x01, 0x07, 0x5B /* left Windows key */, 0xA0, 0xFF}) {
        EXPECT_EQ(QtKeyFromVirtualKey(code).key(), Qt::Key_unknown) << code;
        EXPECT_EQ(X11KeysymFromVirtualKey(code), 0u) << code;
        EXPECT_TRUE(KeySequenceFromHotKey(code, 3).isEmpty()) << code;
    }
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Shift), 0);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_VolumeUp), 0);
    EXPECT_EQ(VirtualKeyFromX11Keysym(0xFFE1 /* Shift_L */), 0);
    EXPECT_EQ(VirtualKeyFromX11Keysym(0), 0);
}

TEST(VirtualKeyTable, LettersAndShiftedSymbols) {
    // X11 lists both cases of a letter; Qt reports the shifted symbol of a US keyboard.
    EXPECT_EQ(VirtualKeyFromX11Keysym(0x45 /* E */), 0x45);
    EXPECT_EQ(VirtualKeyFromX11Keysym(0x7A /* z */), 0x5A);
    EXPECT_EQ(VirtualKeyFromX11Keysym(0xFF8D /* KP_Enter */), 0x0D);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Exclam), '1');
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_ParenRight), '0');
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Asterisk), '8');
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Question), 0xBF);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Plus), 0xBB);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_QuoteDbl), 0xDE);
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Backtab), 0x09);
    // The keypad's navigation keys (Num Lock off) are the ordinary codes.
    EXPECT_EQ(VirtualKeyFromQtKey(Qt::Key_Home, Qt::KeypadModifier), 0x24);
}

TEST(HotKeyCombination, TypedCombinationsGiveTheStoredForm) {
    const auto stored = [](QKeyCombination c) { return HotKeyFromKeyCombination(c); };
    EXPECT_EQ(stored(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_E), (StoredHotKey{0x45, 3}));
    EXPECT_EQ(stored(Qt::AltModifier | Qt::Key_F5), (StoredHotKey{0x74, 4}));
    // Extended keys as a hot-key control marks them.
    EXPECT_EQ(stored(QKeyCombination(Qt::Key_Left)), (StoredHotKey{0x25, 8}));
    EXPECT_EQ(stored(Qt::KeypadModifier | Qt::Key_Left), (StoredHotKey{0x25, 0}));
    EXPECT_EQ(stored(Qt::ControlModifier | Qt::Key_Delete), (StoredHotKey{0x2E, 2 | 8}));
    EXPECT_EQ(stored(Qt::KeypadModifier | Qt::Key_Enter), (StoredHotKey{0x0D, 8}));
    EXPECT_EQ(stored(QKeyCombination(Qt::Key_Return)), (StoredHotKey{0x0D, 0}));
    EXPECT_EQ(stored(Qt::KeypadModifier | Qt::Key_Slash), (StoredHotKey{0x6F, 8}));
    EXPECT_EQ(stored(Qt::KeypadModifier | Qt::Key_7), (StoredHotKey{0x67, 0}));
    EXPECT_EQ(stored(Qt::ShiftModifier | Qt::Key_Exclam), (StoredHotKey{0x31, 1}));
    EXPECT_FALSE(stored(Qt::ControlModifier | Qt::Key_Control).has_value());
    EXPECT_FALSE(stored(QKeyCombination(Qt::Key_unknown)).has_value());
}

TEST(HotKeyCombination, StoredFormBackToKeysAndSequences) {
    EXPECT_EQ(KeyCombinationFromHotKey(0x45, 3),
              Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_E);
    EXPECT_EQ(KeyCombinationFromHotKey(0x0D, 8), Qt::KeypadModifier | Qt::Key_Enter);
    EXPECT_EQ(KeyCombinationFromHotKey(0x25, 2 | 8), Qt::ControlModifier | Qt::Key_Left);
    EXPECT_EQ(KeySequenceFromHotKey(0x45, 3).toString(QKeySequence::PortableText),
              QStringLiteral("Ctrl+Shift+E"));
    EXPECT_EQ(KeySequenceFromHotKey(0x70, 4 | 8), QKeySequence(QStringLiteral("Alt+F1")));
    EXPECT_TRUE(KeySequenceFromHotKey(0, 0).isEmpty());
    // Every typed combination survives the trip through the stored form.
    for (QKeyCombination c :
         {Qt::ControlModifier | Qt::AltModifier | Qt::Key_Z, Qt::ShiftModifier | Qt::Key_F11,
          QKeyCombination(Qt::Key_PageDown), Qt::KeypadModifier | Qt::Key_Enter,
          Qt::KeypadModifier | Qt::Key_9, Qt::ControlModifier | Qt::Key_BracketLeft}) {
        const std::optional<StoredHotKey> s = HotKeyFromKeyCombination(c);
        ASSERT_TRUE(s.has_value());
        EXPECT_EQ(KeyCombinationFromHotKey(s->vk, s->flags), c);
    }
}
