// SPDX-License-Identifier: GPL-3.0-or-later
// The list font between its stored description and QFont, and the desktop default.

#include "platform/FontDescription.h"
#include "platform/SettingsStore.h"

#include "support/TestEnvironment.h"

#include <QFile>
#include <QFontDatabase>
#include <QSettings>

#include <gtest/gtest.h>

using namespace brindle;

namespace {

CLogFont Sample() {
    CLogFont f;
    f.lfHeight = -16;
    f.lfWeight = 700;
    f.lfItalic = 1;
    f.lfUnderline = 1;
    f.lfStrikeOut = 1;
    f.lfQuality = kNonAntialiasedQuality;
    f.lfPitchAndFamily = kFixedPitch | kFamilyModern;
    f.lfFaceName = "Liberation Mono";
    return f;
}

TEST(FontDescriptionTest, DescriptionBecomesTheFontItDescribes) {
    const QFont font = FontFromLogFont(Sample());
    EXPECT_EQ(font.family(), QStringLiteral("Liberation Mono"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 12.0); // 16 pixels at 96 dots per inch
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.italic());
    EXPECT_TRUE(font.underline());
    EXPECT_TRUE(font.strikeOut());
    EXPECT_TRUE(font.fixedPitch());
    EXPECT_EQ(font.styleHint(), QFont::Monospace);
    EXPECT_TRUE(font.styleStrategy() & QFont::NoAntialias);
}

TEST(FontDescriptionTest, RoundTripKeepsWhatAFontCarries) {
    for (std::int32_t height : {-9, -12, -13, -16, -27}) {
        CLogFont f = Sample();
        f.lfHeight = height;
        const CLogFont back = LogFontFromFont(FontFromLogFont(f));
        EXPECT_EQ(back.lfHeight, height);
        EXPECT_EQ(back.lfWeight, 700);
        EXPECT_EQ(back.lfItalic, 1);
        EXPECT_EQ(back.lfUnderline, 1);
        EXPECT_EQ(back.lfStrikeOut, 1);
        EXPECT_EQ(back.lfQuality, kNonAntialiasedQuality);
        EXPECT_EQ(back.lfPitchAndFamily, kFixedPitch | kFamilyModern);
        EXPECT_EQ(back.lfFaceName, "Liberation Mono");
    }
    for (std::uint8_t family : {kFamilyRoman, kFamilySwiss, kFamilyScript, kFamilyDecorative}) {
        CLogFont f = Sample();
        f.lfPitchAndFamily = kVariablePitch | family;
        EXPECT_EQ(LogFontFromFont(FontFromLogFont(f)).lfPitchAndFamily, kVariablePitch | family);
    }
}

TEST(FontDescriptionTest, EmptyFieldsTakeTheDesktopFont) {
    const QFont desktop = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    CLogFont f;
    f.lfWeight = 0;
    const QFont font = FontFromLogFont(f);
    EXPECT_EQ(font.family(), desktop.family());
    EXPECT_DOUBLE_EQ(font.pointSizeF(), desktop.pointSizeF());
    EXPECT_EQ(font.weight(), desktop.weight());
    EXPECT_FALSE(font.italic());
}

TEST(FontDescriptionTest, FontsInPixelsKeepTheirPixels) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(15);
    EXPECT_EQ(LogFontFromFont(font).lfHeight, -15);
}

TEST(FontDescriptionTest, FamiliesLongerThanTheDescriptionHoldsLeaveTheFaceEmpty) {
    QFont fits(QString(31, QLatin1Char('F')));
    EXPECT_EQ(LogFontFromFont(fits).lfFaceName, std::string(31, 'F'));
    QFont tooLong(QString(32, QLatin1Char('F')));
    EXPECT_EQ(LogFontFromFont(tooLong).lfFaceName, "");
    // Sixteen two-byte characters are 32 bytes.
    QFont wide(QString(16, QChar(0x00FC)));
    EXPECT_EQ(LogFontFromFont(wide).lfFaceName, "");
}

TEST(FontDescriptionTest, DefaultIsTheDesktopGeneralFont) {
    const QFont desktop = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const CLogFont f = DefaultListLogFont();
    EXPECT_LT(f.lfHeight, 0);
    EXPECT_EQ(f.lfWeight, static_cast<int>(desktop.weight()));
    if (desktop.family().toUtf8().size() <= kMaxFaceNameBytes) {
        EXPECT_EQ(f.lfFaceName, desktop.family().toStdString());
    }
    const QFont back = FontFromLogFont(f);
    EXPECT_EQ(back.family(), desktop.family());
    EXPECT_NEAR(back.pointSizeF(), desktop.pointSizeF(), 0.75);
}

TEST(UserSettingsTest, StartUpTakesDesktopDefaultsThenTheStore) {
    testutil::TempXdgHome home;
    {
        QSettings store(SettingsFilePath(), QSettings::IniFormat);
        store.setValue(QStringLiteral("Settings/font.lfHeight"), -20);
        store.setValue(QStringLiteral("Settings/bReload"), 1);
    }
    CPreferences s;
    s.m_bConfirm = 0; // not stored: back to its default
    LoadUserSettings(s);
    const CLogFont desktop = DefaultListLogFont();
    EXPECT_EQ(s.m_logFont.lfHeight, -20);
    EXPECT_EQ(s.m_logFont.lfWeight, desktop.lfWeight);
    EXPECT_EQ(s.m_logFont.lfFaceName, desktop.lfFaceName);
    EXPECT_EQ(s.m_bReload, 1);
    EXPECT_EQ(s.m_bConfirm, 1);
    EXPECT_EQ(s.m_strIEPath, "");

    s.m_nConnectMax = 2;
    EXPECT_TRUE(SaveUserSettings(s));
    CPreferences again;
    LoadUserSettings(again);
    EXPECT_EQ(again.m_nConnectMax, 2);
    EXPECT_EQ(again.m_logFont.lfHeight, -20);
}

} // namespace
