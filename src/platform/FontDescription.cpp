// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FontDescription.h"

#include <QFontDatabase>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace brindle {

namespace {

QFont::StyleHint StyleHintOf(std::uint8_t pitchAndFamily) {
    switch (pitchAndFamily & 0xF0) {
    case kFamilyRoman:
        return QFont::Serif;
    case kFamilySwiss:
        return QFont::SansSerif;
    case kFamilyModern:
        return QFont::Monospace;
    case kFamilyScript:
        return QFont::Cursive;
    case kFamilyDecorative:
        return QFont::Decorative;
    default:
        return QFont::AnyStyle;
    }
}

std::uint8_t FamilyBitsOf(QFont::StyleHint hint) {
    switch (hint) {
    case QFont::Serif:
        return kFamilyRoman;
    case QFont::SansSerif:
        return kFamilySwiss;
    case QFont::Monospace:
    case QFont::TypeWriter:
        return kFamilyModern;
    case QFont::Cursive:
        return kFamilyScript;
    case QFont::Decorative:
        return kFamilyDecorative;
    default:
        return 0;
    }
}

} // namespace

QFont FontFromLogFont(const CLogFont& logFont) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (!logFont.lfFaceName.empty())
        font.setFamily(QString::fromStdString(logFont.lfFaceName));
    // A negative height is the character height, a positive one the cell height; both are
    // taken as the size of the font, which is near enough for a list.
    if (logFont.lfHeight != 0) {
        const double pixels = std::abs(static_cast<double>(logFont.lfHeight));
        font.setPointSizeF(pixels * 72.0 / kLogFontDpi);
    }
    if (logFont.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp(logFont.lfWeight, 1, 1000)));
    font.setItalic(logFont.lfItalic != 0);
    font.setUnderline(logFont.lfUnderline != 0);
    font.setStrikeOut(logFont.lfStrikeOut != 0);
    const bool fixed = (logFont.lfPitchAndFamily & 0x03) == kFixedPitch;
    QFont::StyleHint hint = StyleHintOf(logFont.lfPitchAndFamily);
    if (fixed && hint == QFont::AnyStyle)
        hint = QFont::Monospace;
    font.setStyleHint(hint, logFont.lfQuality == kNonAntialiasedQuality ? QFont::NoAntialias
                                                                        : QFont::PreferDefault);
    font.setFixedPitch(fixed);
    return font;
}

CLogFont LogFontFromFont(const QFont& font) {
    CLogFont logFont;
    if (font.pointSizeF() > 0)
        logFont.lfHeight =
            -static_cast<std::int32_t>(std::lround(font.pointSizeF() * kLogFontDpi / 72.0));
    else if (font.pixelSize() > 0)
        logFont.lfHeight = -font.pixelSize();
    logFont.lfWeight = static_cast<std::int32_t>(font.weight());
    logFont.lfItalic = font.italic() ? 1 : 0;
    logFont.lfUnderline = font.underline() ? 1 : 0;
    logFont.lfStrikeOut = font.strikeOut() ? 1 : 0;
    logFont.lfQuality = (font.styleStrategy() & QFont::NoAntialias) ? kNonAntialiasedQuality : 0;
    logFont.lfPitchAndFamily = static_cast<std::uint8_t>(
        (font.fixedPitch() ? kFixedPitch : kVariablePitch) | FamilyBitsOf(font.styleHint()));
    const QByteArray face = font.family().toUtf8();
    if (face.size() <= kMaxFaceNameBytes)
        logFont.lfFaceName = face.toStdString();
    return logFont;
}

CLogFont DefaultListLogFont() {
    return LogFontFromFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

} // namespace brindle
