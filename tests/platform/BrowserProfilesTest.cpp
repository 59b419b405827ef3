// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the browser profiles of a home folder, and the page of Firefox's latest session.

#include "support/MozLz4.h"
#include "support/RunningBrowser.h"
#include "support/TestFiles.h"

#include "platform/BrowserProfiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace brindle;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Describe(const std::vector<BrowserProfile>& profiles,
                                  const fs::path& home) {
    std::vector<std::string> out;
    for (const BrowserProfile& p : profiles)
        out.push_back(p.browser + "|" + p.profile + "|" + fs::relative(p.file, home).string());
    return out;
}

// The lock link a running browser keeps, pointing at `target`; made `ageSeconds` ago.
void Lock(const fs::path& link, const std::string& target, int ageSeconds = 0) {
    fs::create_directories(link.parent_path());
    fs::remove(link);
    fs::create_symlink(target, link);
    if (ageSeconds > 0) {
        timespec times[2] = {{::time(nullptr) - ageSeconds, 0}, {::time(nullptr) - ageSeconds, 0}};
        ::utimensat(AT_FDCWD, link.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
}

} // namespace

TEST(BrowserProfiles, FirefoxChromiumFlatpakAndSnapPlaces) {
    testutil::TempDirectory home;
    const fs::path h = home.Path();
    testutil::WriteFile(h / ".mozilla/firefox/profiles.ini",
                        "[Profile1]\nName=work\nIsRelative=1\nPath=w.work\n\n"
                        "[Profile0]\nName=default-release\nIsRelative=1\nPath=d.default\n\n"
                        "[Profile2]\nName=no-places\nIsRelative=1\nPath=n.none\n");
    testutil::WriteFile(h / ".mozilla/firefox/d.default/places.sqlite", "x");
    testutil::WriteFile(h / ".mozilla/firefox/w.work/places.sqlite", "x");
    testutil::WriteFile(h / ".var/app/org.mozilla.firefox/.mozilla/firefox/profiles.ini",
                        "[Profile0]\nName=flat\nIsRelative=1\nPath=f.flat\n");
    testutil::WriteFile(h / ".var/app/org.mozilla.firefox/.mozilla/firefox/f.flat/places.sqlite",
                        "x");
    testutil::WriteFile(h / ".config/chromium/Default/Bookmarks", "{}");
    testutil::WriteFile(h / ".config/chromium/Profile 1/Bookmarks", "{}");
    fs::create_directories(h / ".config/chromium/System Profile");
    testutil::WriteFile(h / ".config/BraveSoftware/Brave-Browser/Default/Bookmarks", "{}");
    testutil::WriteFile(h / ".var/app/com.google.Chrome/config/google-chrome/Default/Bookmarks",
                        "{}");
    testutil::WriteFile(h / "snap/chromium/common/chromium/Default/Bookmarks", "{}");

    EXPECT_THAT(
        Describe(FindBrowserProfiles(h.string()), h),
        ::testing::ElementsAre(
            "Firefox|default-release|.mozilla/firefox/d.default/places.sqlite",
            "Firefox|work|.mozilla/firefox/w.work/places.sqlite",
            "Firefox|flat|.var/app/org.mozilla.firefox/.mozilla/firefox/f.flat/places.sqlite",
            "Chromium|Default|.config/chromium/Default/Bookmarks",
            "Chromium|Profile 1|.config/chromium/Profile 1/Bookmarks",
            "Chromium|Default|snap/chromium/common/chromium/Default/Bookmarks",
            "Google "
            "Chrome|Default|.var/app/com.google.Chrome/config/google-chrome/Default/Bookmarks",
            "Brave|Default|.config/BraveSoftware/Brave-Browser/Default/Bookmarks"));

    testutil::TempDirectory empty;
    EXPECT_TRUE(FindBrowserProfiles(empty.Path().string()).empty());
}

TEST(BrowserPage, FirefoxAnswersFromTheNewestSessionOfItsDefaultProfile) {
    testutil::TempDirectory home;
    const fs::path ff = home.Path() / ".mozilla/firefox";
    // Newer Firefox names the default per installation; the Default=1 flag is older.
    testutil::WriteFile(ff / "profiles.ini",
                        "[Install4F96D1932A9F858E]\nDefault=b.second\nLocked=1\n\n"
                        "[Profile0]\nName=first\nIsRelative=1\nPath=a.first\nDefault=1\n\n"
                        "[Profile1]\nName=second\nIsRelative=1\nPath=b.second\n");
    EXPECT_EQ(DefaultFirefoxProfile(home.Path().string()), (ff / "b.second").string());
    EXPECT_EQ(GetBrowserPage("NETSCAPE", home.Path().string()), ""); // no session yet

    testutil::WriteFile(ff / "a.first/sessionstore-backups/recovery.jsonlz4",
                        testutil::FirefoxSession("http://wrong-profile/", "Wrong"));
    const fs::path backups = ff / "b.second/sessionstore-backups";
    testutil::WriteFile(backups / "recovery.baklz4",
                        testutil::FirefoxSession("http://older/", "Older"));
    testutil::WriteFile(backups / "recovery.jsonlz4",
                        testutil::FirefoxSession("http://newest/", "Newest"));
    fs::last_write_time(backups / "recovery.baklz4",
                        fs::last_write_time(backups / "recovery.jsonlz4") -
                            std::chrono::minutes(1));
    // Not running: the session on disk is an old one.
    EXPECT_EQ(GetBrowserPage("NETSCAPE", home.Path().string()), "");
    const fs::path lock = ff / "b.second/lock";
    Lock(lock, "127.0.0.1:+999999999");
    EXPECT_EQ(GetBrowserPage("NETSCAPE", home.Path().string()), "");
    // A stale lock whose process number another program has taken since.
    Lock(lock, "127.0.1.1:+" + std::to_string(::getpid()));
    EXPECT_EQ(GetBrowserPage("NETSCAPE", home.Path().string()), "");
    // ... or another Firefox, started after the lock was made.
    const testutil::RunningBrowser firefox("firefox");
    Lock(lock, firefox.LockTarget("127.0.1.1:+"), 3600);
    EXPECT_EQ(GetBrowserPage("NETSCAPE", home.Path().string()), "");
    Lock(lock, firefox.LockTarget("127.0.1.1:+"));
    EXPECT_EQ(GetBrowserPage("NETSCAPE", home.Path().string()), "\"http://newest/\",\"Newest\"");
    // The default browser stands for "IEXPLORE"; its session is not read here.
    EXPECT_EQ(GetBrowserPage("IEXPLORE", home.Path().string()), "");
    EXPECT_EQ(GetBrowserPage("OPERA", home.Path().string()), "");

    // A damaged session gives nothing.
    testutil::WriteFile(backups / "recovery.jsonlz4", "mozLz40\0garbage");
    fs::last_write_time(backups / "recovery.baklz4",
                        fs::last_write_time(backups / "recovery.jsonlz4") -
                            std::chrono::minutes(1));
    EXPECT_EQ(GetBrowserPage("NETSCAPE", home.Path().string()), "");
}

TEST(BrowserPage, AChromiumDefaultBrowserAnswersFromItsLastUsedProfile) {
    testutil::TempDirectory home;
    const fs::path h = home.Path();
    auto i32 = [](std::uint32_t v) {
        std::string out;
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
        return out;
    };
    // One window with one tab on one page.
    std::string nav = i32(7) + i32(0) + i32(19) + "http://brave.test/x";
    nav += '\0';
    nav += i32(2) + std::string("O\0K\0", 4);
    const std::string navPayload = i32(static_cast<std::uint32_t>(nav.size())) + nav;
    std::string log = "SNSS" + i32(3);
    auto command = [&](int id, const std::string& payload) {
        log += static_cast<char>((payload.size() + 1) & 0xFF);
        log += static_cast<char>((payload.size() + 1) >> 8);
        log += static_cast<char>(id);
        log += payload;
    };
    command(0, i32(1) + i32(7));
    command(6, navPayload);
    const fs::path brave = h / ".config/BraveSoftware/Brave-Browser";
    testutil::WriteFile(brave / "Local State", R"({"profile": {"last_used": "Profile 2"}})");
    testutil::WriteFile(brave / "Default/Sessions/Session_1", "SNSS");
    testutil::WriteFile(brave / "Profile 2/Sessions/Session_13300000000000000", log);

    EXPECT_EQ(GetBrowserPage("IEXPLORE", h.string()), ""); // no default browser known
    testutil::WriteFile(h / ".config/mimeapps.list",
                        "[Added Associations]\nx-scheme-handler/http=firefox.desktop;\n\n"
                        "[Default Applications]\nx-scheme-handler/http=brave-browser.desktop;\n");
    EXPECT_EQ(GetBrowserPage("IEXPLORE", h.string()), ""); // not running
    const testutil::RunningBrowser other("vivaldi-bin");
    Lock(brave / "SingletonLock", other.LockTarget("myhost-"));
    EXPECT_EQ(GetBrowserPage("IEXPLORE", h.string()), "") << "another browser has the number";
    const testutil::RunningBrowser running("brave");
    Lock(brave / "SingletonLock", running.LockTarget("myhost-"));
    EXPECT_EQ(GetBrowserPage("IEXPLORE", h.string()), "\"http://brave.test/x\",\"OK\"");
    testutil::WriteFile(h / ".config/mimeapps.list",
                        "[Default Applications]\nx-scheme-handler/http=firefox.desktop\n");
    EXPECT_EQ(GetBrowserPage("IEXPLORE", h.string()), "");
}
