// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The list font is kept as a Windows-style font description (the "font.*" settings). These
// functions turn it into a QFont and back, and give the default: the desktop's general font.

#include "store/Preferences.h"

#include <QFont>

namespace brindle {

// Screen resolution the stored heights are counted in: a height of -12 is a 9-point font.
inline constexpr int kLogFontDpi = 96;
// Longest face name the description holds (31 bytes and a terminating zero).
inline constexpr int kMaxFaceNameBytes = 31;

// Pitch and family bits of lfPitchAndFamily.
inline constexpr std::uint8_t kFixedPitch = 1;
inline constexpr std::uint8_t kVariablePitch = 2;
inline constexpr std::uint8_t kFamilyRoman = 0x10;
inline constexpr std::uint8_t kFamilySwiss = 0x20;
inline constexpr std::uint8_t kFamilyModern = 0x30;
inline constexpr std::uint8_t kFamilyScript = 0x40;
inline constexpr std::uint8_t kFamilyDecorative = 0x50;
// lfQuality value that asks for text without anti-aliasing.
inline constexpr std::uint8_t kNonAntialiasedQuality = 3;

// The font a description stands for. Fields left at zero (height, weight, face) take the
// desktop's general font; fields a QFont has no place for (width, escapement, character set,
// precisions) are ignored.
QFont FontFromLogFont(const CLogFont& logFont);

// The description of `font`. A family name longer than kMaxFaceNameBytes does not fit and
// leaves the face empty, which stands for the desktop's font.
CLogFont LogFontFromFont(const QFont& font);

// The description of the desktop's general font (QFontDatabase::systemFont). Needs a
// QGuiApplication.
CLogFont DefaultListLogFont();

} // namespace brindle
