// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store: defaults, round trip, values of the wrong kind, names in any case, text
// limits, one name per field, and the per-user file.

#include "platform/SettingsStore.h"

#include "support/TestEnvironment.h"
#include "support/UnusualPreferences.h"

#include <QFile>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace brindle;

namespace {

DesktopDefaults SampleDesktop() {
    DesktopDefaults desktop;
    desktop.paths = {"/usr/bin/ie-stand-in", "/usr/bin/firefox", "/home/u/Favorites"};
    desktop.listFont.lfHeight = -12;
    desktop.listFont.lfWeight = 400;
    desktop.listFont.lfPitchAndFamily = 2;
    desktop.listFont.lfFaceName = "DejaVu Sans";
    return desktop;
}

// Every field away from its default (inside the ranges the option sheet allows), with texts that
// the INI format has to escape: a value the store's table forgets comes back as its default and
// the comparison fails.

class SettingsStoreTest : public ::testing::Test {
  protected:
    QString StorePath() const { return m_dir.path() + QStringLiteral("/Brindle.conf"); }
    void WriteStore(const QByteArray& text) {
        QFile file(StorePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray ReadStore() const {
        QFile file(StorePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    CPreferences LoadFromStore() {
        CPreferences s;
        ResetSettings(s, SampleDesktop());
        QSettings store(StorePath(), QSettings::IniFormat);
        LoadSettings(s, store);
        return s;
    }
    static CPreferences Defaults() {
        CPreferences s;
        const DesktopDefaults desktop = SampleDesktop();
        s.m_strIEPath = desktop.paths.iePath;
        s.m_strNetscapePath = desktop.paths.netscapePath;
        s.m_strFavPath = desktop.paths.favoritesPath;
        s.m_logFont = desktop.listFont;
        return s;
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsStoreTest, ResetGivesTheDocumentDefaultsAndTheDesktopValues) {
    CPreferences s = testutil::UnusualPreferences();
    ResetSettings(s, SampleDesktop());
    EXPECT_EQ(s, Defaults());
    EXPECT_EQ(s.m_arrStatusIcons[15], (3u << 16) + 15);
    EXPECT_EQ(s.m_strTimeFormat, "Y-m-D H:M:S");
}

TEST_F(SettingsStoreTest, MissingStoreLeavesEveryDefaultAndCreatesNothing) {
    EXPECT_EQ(LoadFromStore(), Defaults());
    EXPECT_FALSE(QFile::exists(StorePath()));
}

TEST_F(SettingsStoreTest, EmptyGroupLeavesEveryDefault) {
    WriteStore("[Other]\nbConfirm=0\n");
    EXPECT_EQ(LoadFromStore(), Defaults());
}

TEST_F(SettingsStoreTest, RoundTripKeepsEveryValue) {
    const CPreferences written = testutil::UnusualPreferences();
    {
        QSettings store(StorePath(), QSettings::IniFormat);
        EXPECT_TRUE(SaveSettings(written, store));
    }
    EXPECT_EQ(LoadFromStore(), written);
}

TEST_F(SettingsStoreTest, RoundTripOfDefaultsKeepsEmptyTexts) {
    const CPreferences written = Defaults();
    CPreferences withEmptyPaths = written;
    withEmptyPaths.m_strIEPath.clear();
    {
        QSettings store(StorePath(), QSettings::IniFormat);
        SaveSettings(withEmptyPaths, store);
    }
    // An empty stored text is a value like any other: it replaces the detected path.
    EXPECT_EQ(LoadFromStore(), withEmptyPaths);
}

TEST_F(SettingsStoreTest, SaveKeepsOtherGroupsAndUnknownValues) {
    WriteStore("[FirstRun]\nFirst=1\n[Settings]\nSomethingElse=keep me\n");
    {
        QSettings store(StorePath(), QSettings::IniFormat);
        SaveSettings(testutil::UnusualPreferences(), store);
    }
    QSettings store(StorePath(), QSettings::IniFormat);
    EXPECT_EQ(store.value(QStringLiteral("FirstRun/First")).toInt(), 1);
    EXPECT_EQ(store.value(QStringLiteral("Settings/SomethingElse")).toString(), "keep me");
}

TEST_F(SettingsStoreTest, AStoredTimeFormatIsKeptWhateverTheNewDefault) {
    WriteStore("[Settings]\nTimeFormat=Y-m-D H:M:S A\n");
    EXPECT_EQ(LoadFromStore().m_strTimeFormat, "Y-m-D H:M:S A");
}

TEST_F(SettingsStoreTest, ValuesOfAnotherKindKeepTheirDefaults) {
    WriteStore("[Settings]\n"
               "bConfirm=abc\n"
               "bAutoSave=\n"
               "Port=99999999999\n"
               "MaxInTray=-2147483649\n"
               "hotkey1_1=0x45\n"
               "ConnectMax=7\n"
               "FastKey=a, b\n"
               "TimeFormat=@ByteArray(D.m.y)\n"
               "StatusIcon3=1.5\n"
               "fontSize=12\n");
    const CPreferences s = LoadFromStore();
    const CPreferences d = Defaults();
    EXPECT_EQ(s.m_bConfirm, d.m_bConfirm);
    EXPECT_EQ(s.m_bAutoSave, d.m_bAutoSave);
    EXPECT_EQ(s.m_nProxyPort, d.m_nProxyPort);
    EXPECT_EQ(s.m_nMaxInTray, d.m_nMaxInTray);
    EXPECT_EQ(s.m_wHotKeyVk[0], d.m_wHotKeyVk[0]);
    EXPECT_EQ(s.m_strFastKey, d.m_strFastKey); // a list, not a text
    EXPECT_EQ(s.m_strTimeFormat, d.m_strTimeFormat);
    EXPECT_EQ(s.m_arrStatusIcons[3], d.m_arrStatusIcons[3]);
    // The good values around them are still taken.
    EXPECT_EQ(s.m_nConnectMax, 7);
    EXPECT_EQ(s.m_nFontSize, 12);
}

TEST_F(SettingsStoreTest, NumbersTakeTheirThirtyTwoBitsAndNarrowFieldsTheLowPart) {
    WriteStore("[Settings]\n"
               "font.lfHeight=4294967284\n"
               "font.lfWidth=-3\n"
               "font.lfItalic=257\n"
               "hotkey2_1=65605\n"
               "StatusIcon0=4294967295\n"
               "Port= 81 \n");
    const CPreferences s = LoadFromStore();
    EXPECT_EQ(s.m_logFont.lfHeight, -12);
    EXPECT_EQ(s.m_logFont.lfWidth, -3);
    EXPECT_EQ(s.m_logFont.lfItalic, 1);
    EXPECT_EQ(s.m_wHotKeyVk[1], 0x45);
    // Read as 32 bits, then icon 0xFFFF (no such icon) falls back to the status's own.
    EXPECT_EQ(s.m_arrStatusIcons[0], CPreferences::DefaultStatusIcons()[0]);
    EXPECT_EQ(s.m_nProxyPort, 81);
}

TEST_F(SettingsStoreTest, HandEditedValuesOutsideTheirRangesAreClamped) {
    WriteStore("[Settings]\n"
               "MaxInTray=25\n"
               "ConnectMax=-1\n"
               "Port=70000\n"
               "Prefer=7\n"
               "ConnectMode=3\n"
               "bConfirm=5\n"
               "hotkey1_1=300\n"
               "hotkey1_2=3\n"
               "hotkey2_1=69\n"
               "hotkey2_2=19\n"
               "StatusIcon5=1048581\n"  // icon 16
               "StatusIcon6=131081\n"); // icon 2 for status 9 in the entry of status 6
    const CPreferences s = LoadFromStore();
    EXPECT_EQ(s.m_nMaxInTray, 20);
    EXPECT_EQ(s.m_nConnectMax, 0);
    EXPECT_EQ(s.m_nProxyPort, 65535);
    EXPECT_EQ(s.m_nPrefer, 2); // any value but 1 is the second browser
    EXPECT_EQ(s.m_nConnectMode, 1);
    EXPECT_EQ(s.m_bConfirm, 1);
    EXPECT_EQ(s.m_wHotKeyVk[0], 0); // no key has such a code: no hot key
    EXPECT_EQ(s.m_wHotKeyMods[0], 0);
    EXPECT_EQ(s.m_wHotKeyVk[1], 0x45);
    EXPECT_EQ(s.m_wHotKeyMods[1], 3); // only Shift, Ctrl, Alt and the extended bit
    EXPECT_EQ(s.m_arrStatusIcons[5], CPreferences::DefaultStatusIcons()[5]);
    EXPECT_EQ(s.m_arrStatusIcons[6], (2u << 16) + 6);
}

TEST_F(SettingsStoreTest, NamesMatchWithoutRegardToCase) {
    WriteStore("[Settings]\n"
               "font.lfPitchAndFamily=49\n"
               "BCONFIRM=0\n"
               "fastkey=later\n");
    const CPreferences s = LoadFromStore();
    EXPECT_EQ(s.m_logFont.lfPitchAndFamily, 49);
    EXPECT_EQ(s.m_bConfirm, 0);
    EXPECT_EQ(s.m_strFastKey, "later");
}

TEST_F(SettingsStoreTest, SaveLeavesOneSpellingOfEachName) {
    WriteStore("[Settings]\nfont.lfPitchAndFamily=49\nBCONFIRM=0\n");
    CPreferences s = Defaults();
    s.m_logFont.lfPitchAndFamily = 34;
    {
        QSettings store(StorePath(), QSettings::IniFormat);
        SaveSettings(s, store);
    }
    const QByteArray text = ReadStore();
    EXPECT_TRUE(text.contains("font.lfPitchAndfamily=34")) << text.constData();
    EXPECT_FALSE(text.contains("font.lfPitchAndFamily"));
    EXPECT_FALSE(text.contains("BCONFIRM"));
    EXPECT_EQ(LoadFromStore().m_logFont.lfPitchAndFamily, 34);
}

TEST_F(SettingsStoreTest, TextsLongerThanTheReadBufferAreNotRead) {
    const QByteArray fits(254, 'x');
    const QByteArray tooLong(255, 'y');
    QByteArray umlautsFit;
    for (int i = 0; i < 127; ++i)
        umlautsFit += "\xC3\xBC"; // 254 bytes in 127 characters
    const QByteArray umlautsTooLong = umlautsFit + "\xC3\xBC";
    WriteStore("[Settings]\nFastKey=" + fits + "\nTimeFormat=" + tooLong +
               "\nServer=" + umlautsFit + "\nUser=" + umlautsTooLong + "\n");
    const CPreferences s = LoadFromStore();
    EXPECT_EQ(s.m_strFastKey, fits.toStdString());
    EXPECT_EQ(s.m_strTimeFormat, "Y-m-D H:M:S");
    EXPECT_EQ(s.m_strProxyServer, umlautsFit.toStdString());
    EXPECT_EQ(s.m_strProxyUser, "");
}

TEST_F(SettingsStoreTest, FaceNamesLongerThanTheDescriptionHoldsKeepTheDesktopFace) {
    WriteStore("[Settings]\nfont.lfFaceName=" + QByteArray(32, 'F') + "\nfont.lfHeight=-20\n");
    CPreferences s = LoadFromStore();
    EXPECT_EQ(s.m_logFont.lfFaceName, "DejaVu Sans");
    EXPECT_EQ(s.m_logFont.lfHeight, -20);

    WriteStore("[Settings]\nfont.lfFaceName=" + QByteArray(31, 'F') + "\n");
    EXPECT_EQ(LoadFromStore().m_logFont.lfFaceName, std::string(31, 'F'));
}

// Each value of the table is written under a name of its own and carries its own field: changing
// one field changes exactly its name in the store.
TEST_F(SettingsStoreTest, EachFieldReachesTheStoreUnderItsOwnName) {
    auto saved = [this](const CPreferences& s) {
        QFile::remove(StorePath());
        {
            QSettings store(StorePath(), QSettings::IniFormat);
            SaveSettings(s, store);
        }
        QSettings store(StorePath(), QSettings::IniFormat);
        store.beginGroup(QStringLiteral("Settings"));
        QMap<QString, QVariant> values;
        for (const QString& key : store.childKeys())
            values.insert(key, store.value(key));
        return values;
    };
    const CPreferences defaults = Defaults();
    const QMap<QString, QVariant> base = saved(defaults);
    QStringList names;
    for (const SettingValue& value : SettingsTable())
        names << value.name;
    QStringList stored = base.keys();
    names.sort();
    stored.sort();
    EXPECT_EQ(stored, names); // every value written, each name once, nothing else

    const CPreferences unusual = testutil::UnusualPreferences();
    int changes = 0;
    for (const SettingValue& value : SettingsTable()) {
        if (value.get(unusual) == value.get(defaults))
            continue; // the sample desktop already gives this one
        ++changes;
        CPreferences changed = defaults;
        ASSERT_TRUE(value.set(changed, value.get(unusual))) << value.name.toStdString();
        const QMap<QString, QVariant> after = saved(changed);
        QStringList differing;
        for (auto it = after.begin(); it != after.end(); ++it)
            if (base.value(it.key()) != it.value())
                differing << it.key();
        EXPECT_EQ(differing, QStringList{value.name}) << value.name.toStdString();
    }
    EXPECT_GT(changes, 60);
}

TEST(SettingsFileTest, FirstSaveCreatesTheUserStoreUnderXdgConfigHome) {
    testutil::TempXdgHome home;
    const QString expected = home.Config() + QStringLiteral("/Brindle/Brindle.conf");
    EXPECT_EQ(SettingsFilePath(), expected);

    CPreferences s;
    ResetSettings(s, SampleDesktop());
    LoadSettings(s, *OpenSettingsStore());
    EXPECT_FALSE(QFile::exists(expected));

    s.m_nConnectMax = 3;
    s.m_strFastKey = "saved";
    EXPECT_TRUE(SaveUserSettings(s));
    ASSERT_TRUE(QFile::exists(expected));

    CPreferences again;
    ResetSettings(again, SampleDesktop());
    LoadSettings(again, *OpenSettingsStore());
    EXPECT_EQ(again.m_nConnectMax, 3);
    EXPECT_EQ(again.m_strFastKey, "saved");
}

TEST(SettingsFileTest, UnwritableStoreIsReportedNotFatal) {
    QTemporaryDir dir;
    // The folder the store should go in is a file.
    QFile blocker(dir.path() + QStringLiteral("/Brindle"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    testutil::ScopedEnv config("XDG_CONFIG_HOME", dir.path().toUtf8());
    EXPECT_FALSE(SaveUserSettings(CPreferences()));
}

} // namespace
