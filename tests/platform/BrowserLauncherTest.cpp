// SPDX-License-Identifier: GPL-3.0-or-later
// Opening pages with real (stand-in) browser programs: which program gets which address for each
// setting, once per program, and addresses that must reach the program as one literal argument.

#include "platform/BrowserLauncher.h"
#include "store/Preferences.h"
#include "support/FakeBrowsers.h"

#include <QDir>
#include <QFileInfo>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using brindle::BrowserLauncher;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using testutil::FakeBrowsers;

namespace {

constexpr auto kUrl = "http://example.com/page?a=1&b=2";

class BrowserLauncherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        browsers.Reset();
        QDir::setCurrent(browsers.Work());
    }
    // Opens kUrl (or `url`) and returns the starts logged, after waiting `expected` of them and
    // a little longer, so that a start too many would show.
    QStringList Open(int expected, const QString& url = QString::fromLatin1(kUrl)) {
        outcome = BrowserLauncher(prefs).OpenURL(url);
        browsers.WaitForStarts(expected);
        QTest::qWait(300);
        return browsers.Starts();
    }
    static QString Line(const char* program, const QString& url = QString::fromLatin1(kUrl)) {
        return FakeBrowsers::Line(QLatin1String(program), url);
    }

    FakeBrowsers& browsers = FakeBrowsers::Instance();
    CPreferences prefs; // "Prefer" 1, "bAlways" on, no program paths
    BrowserLauncher::Outcome outcome;
};

TEST_F(BrowserLauncherTest, PreferredOnlyWithAlways) {
    // Browser 1 is the desktop's default browser (xdg-open).
    EXPECT_THAT(Open(1), ElementsAre(Line("xdg-open")));
    EXPECT_TRUE(outcome.message.isEmpty());

    browsers.Reset();
    prefs.m_nPrefer = 2; // browser 2: the Firefox on PATH
    EXPECT_THAT(Open(1), ElementsAre(Line("firefox")));

    browsers.Reset();
    prefs.m_strNetscapePath = browsers.Program(QStringLiteral("navigator")).toStdString();
    EXPECT_THAT(Open(1), ElementsAre(Line("navigator")));

    browsers.Reset();
    prefs.m_nPrefer = 1;
    prefs.m_strIEPath = "navigator"; // a name found on PATH
    EXPECT_THAT(Open(1), ElementsAre(Line("navigator")));
}

TEST_F(BrowserLauncherTest, BothBrowsersWithoutAlwaysButEachProgramOnce) {
    prefs.m_bAlways = 0;
    EXPECT_THAT(Open(2), UnorderedElementsAre(Line("xdg-open"), Line("firefox")));

    // Firefox is the default browser: the page opens once.
    browsers.Reset();
    browsers.SetDefaultBrowser(QStringLiteral("firefox.desktop"),
                               browsers.Program(QStringLiteral("firefox")));
    EXPECT_EQ(BrowserLauncher::DefaultBrowserProgram(),
              browsers.Program(QStringLiteral("firefox")));
    EXPECT_THAT(Open(1), ElementsAre(Line("xdg-open")));

    // Both settings name the same program.
    browsers.Reset();
    prefs.m_strIEPath = "navigator";
    prefs.m_strNetscapePath = browsers.Program(QStringLiteral("navigator")).toStdString();
    EXPECT_THAT(Open(1), ElementsAre(Line("navigator")));
    EXPECT_EQ(outcome.launches.size(), 1u);

    // Another default browser than the Firefox: both start.
    browsers.Reset();
    browsers.SetDefaultBrowser(QStringLiteral("other.desktop"), QStringLiteral("navigator"));
    prefs.m_strIEPath.clear();
    prefs.m_strNetscapePath.clear();
    EXPECT_THAT(Open(2), UnorderedElementsAre(Line("xdg-open"), Line("firefox")));
}

TEST_F(BrowserLauncherTest, MissingPreferredBrowserFallsBackToTheDefault) {
    prefs.m_nPrefer = 2;
    prefs.m_strNetscapePath = "no-such-browser";
    EXPECT_FALSE(BrowserLauncher(prefs).SecondBrowser().Found());
    EXPECT_THAT(Open(1), ElementsAre(Line("xdg-open")));

    // Browser 1 named but missing, without "bAlways": only browser 2.
    browsers.Reset();
    prefs = CPreferences();
    prefs.m_bAlways = 0;
    prefs.m_strIEPath = (browsers.Work() + QStringLiteral("/gone")).toStdString();
    EXPECT_THAT(Open(1), ElementsAre(Line("firefox")));
}

TEST_F(BrowserLauncherTest, AddressesAreOneLiteralArgumentAndNeverOptions) {
    const QString hostile = QStringLiteral("http://x/$(touch pwned);id`touch pwned2`");
    prefs.m_nPrefer = 2;
    EXPECT_THAT(Open(1, QStringLiteral("  ") + hostile + QStringLiteral(" ")),
                ElementsAre(Line("firefox", hostile)));
    browsers.Reset();
    prefs.m_nPrefer = 1;
    EXPECT_THAT(Open(1, hostile), ElementsAre(Line("xdg-open", hostile)));
    EXPECT_FALSE(QFileInfo::exists(browsers.Work() + QStringLiteral("/pwned")));
    EXPECT_FALSE(QFileInfo::exists(browsers.Work() + QStringLiteral("/pwned2")));

    // An address that a program would read as an option is refused and said so.
    browsers.Reset();
    prefs.m_bAlways = 0;
    EXPECT_THAT(Open(0, QStringLiteral(" -remote-debugging-port=9222")), IsEmpty());
    EXPECT_TRUE(outcome.launches.empty());
    EXPECT_FALSE(outcome.message.isEmpty());

    // Blanks only: nothing at all.
    EXPECT_THAT(Open(0, QStringLiteral("   ")), IsEmpty());
    EXPECT_TRUE(outcome.message.isEmpty());
}

TEST_F(BrowserLauncherTest, AFailedStartIsSaid) {
    prefs.m_nPrefer = 2;
    prefs.m_strNetscapePath = browsers.Program(QStringLiteral("broken")).toStdString();
    Open(0);
    ASSERT_EQ(outcome.launches.size(), 1u);
    EXPECT_FALSE(outcome.launches[0].started);
    EXPECT_EQ(outcome.message,
              QStringLiteral("Cannot start ") + browsers.Program(QStringLiteral("broken")));
}

} // namespace
