// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/BrowserProfiles.h"

#include "exchange/BrowserSession.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/ProfileExport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle {

namespace {

QString HomeDir(const std::string& home) {
    return home.empty() ? QDir::homePath() : QString::fromStdString(home);
}

// Where Firefox keeps profiles.ini: the usual place, then Flatpak's and Snap's.
QStringList FirefoxFolders(const QString& home) {
    return {home + QStringLiteral("/.mozilla/firefox"),
            home + QStringLiteral("/.var/app/org.mozilla.firefox/.mozilla/firefox"),
            home + QStringLiteral("/snap/firefox/common/.mozilla/firefox")};
}

struct ChromiumFamily {
    const char* browser;
    const char* configFolder;  // under ~/.config
    const char* flatpakFolder; // under ~/.var/app
    const char* snapFolder;    // under ~/snap
    const char* program;       // part of the name of its program file ("chrome", "vivaldi-bin")
};

constexpr ChromiumFamily kChromiumFamily[] = {
    {"Chromium", "chromium", "org.chromium.Chromium/config/chromium", "chromium/common/chromium",
     "chrom"},
    {"Google Chrome", "google-chrome", "com.google.Chrome/config/google-chrome", nullptr, "chrome"},
    {"Brave", "BraveSoftware/Brave-Browser", "com.brave.Browser/config/BraveSoftware/Brave-Browser",
     "brave/current/.config/BraveSoftware/Brave-Browser", "brave"},
    {"Vivaldi", "vivaldi", "com.vivaldi.Vivaldi/config/vivaldi", nullptr, "vivaldi"},
};

void AddChromiumProfiles(std::vector<BrowserProfile>& out, const char* browser,
                         const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists())
        return;
    // "Default", "Profile 1", ...: every folder of the browser's that holds a Bookmarks file.
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString file = dir.filePath(sub + QStringLiteral("/Bookmarks"));
        if (QFileInfo(file).isFile())
            out.push_back({browser, sub.toStdString(), file.toStdString()});
    }
}

} // namespace

std::vector<BrowserProfile> FindBrowserProfiles(const std::string& home) {
    const QString homeDir = HomeDir(home);
    std::vector<BrowserProfile> out;
    for (const QString& folder : FirefoxFolders(homeDir)) {
        for (const NetscapeUser& user : ReadFirefoxProfiles(folder.toStdString())) {
            const std::string places = user.profileFolder + "/places.sqlite";
            if (!user.profileFolder.empty() && FileExists(places))
                out.push_back({"Firefox", user.name, places});
        }
    }
    QString config = homeDir + QStringLiteral("/.config");
    if (home.empty()) {
        const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (!xdg.isEmpty())
            config = xdg;
    }
    for (const ChromiumFamily& family : kChromiumFamily) {
        AddChromiumProfiles(out, family.browser,
                            config + QLatin1Char('/') + QLatin1String(family.configFolder));
        AddChromiumProfiles(out, family.browser,
                            homeDir + QStringLiteral("/.var/app/") +
                                QLatin1String(family.flatpakFolder));
        if (family.snapFolder)
            AddChromiumProfiles(out, family.browser,
                                homeDir + QStringLiteral("/snap/") +
                                    QLatin1String(family.snapFolder));
    }
    return out;
}

std::string DefaultFirefoxProfile(const std::string& home) {
    for (const QString& folder : FirefoxFolders(HomeDir(home))) {
        std::string chosen;
        ReadFirefoxProfiles(folder.toStdString(), &chosen);
        if (!chosen.empty())
            return chosen;
    }
    return {};
}

namespace {

// The newest of the session files Firefox writes while it runs (every 15 seconds) and when it
// closes.
std::string NewestSessionFile(const std::string& profile) {
    namespace fs = std::filesystem;
    const fs::path base(profile);
    std::string newest;
    fs::file_time_type newestTime{};
    for (const fs::path& p :
         {base / "sessionstore-backups" / "recovery.jsonlz4",
          base / "sessionstore-backups" / "recovery.baklz4", base / "sessionstore.jsonlz4"}) {
        std::error_code ec;
        const auto time = fs::last_write_time(p, ec);
        if (!ec && (newest.empty() || time > newestTime)) {
            newest = p.string();
            newestTime = time;
        }
    }
    return newest;
}

// The name of the program file process `pid` runs, or, when that cannot be read (another user's
// process), the name the process gives itself.
std::string ProgramName(const std::string& pid) {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/" + pid + "/exe", ec);
    if (!ec)
        return exe.filename().string(); // "firefox", "firefox-esr", "chrome (deleted)"
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// When process `pid` started, in seconds since 1970; -1 when unknown.
long long ProcessStartTime(const std::string& pid) {
    std::ifstream statFile("/proc/" + pid + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    // The fields after the name, which may hold blanks and parentheses of its own.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    unsigned long long ticks = 0;
    // The start time is field 22; the fields from the state (3) on follow the name.
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            ticks = std::stoull(field);
    std::ifstream procStat("/proc/stat");
    std::string line;
    long long boot = -1;
    while (std::getline(procStat, line))
        if (line.rfind("btime ", 0) == 0)
            boot = std::stoll(line.substr(6));
    const long hz = ::sysconf(_SC_CLK_TCK);
    if (boot < 0 || hz <= 0 || ticks == 0)
        return -1;
    return boot + static_cast<long long>(ticks / static_cast<unsigned long long>(hz));
}

// Whether the browser that holds the lock link `link` still runs. Firefox's profile "lock" points
// to "ADDRESS:+PID", Chromium's "SingletonLock" to "HOST-PID"; the process is looked for on this
// machine. A lock left behind by a browser that ended names a process number that may belong to
// another program by now: the process must run the browser's program (its file's name holds
// `program`), and must have started before the link was made.
bool LockHolderRunning(const std::string& link, std::string_view program) {
    std::error_code ec;
    const std::string target = std::filesystem::read_symlink(link, ec).string();
    if (ec)
        return false;
    const std::size_t digits = target.find_last_not_of("0123456789");
    const std::string pid = target.substr(digits == std::string::npos ? 0 : digits + 1);
    if (pid.empty() || pid.size() >= 10 || !std::filesystem::exists("/proc/" + pid, ec))
        return false;
    if (ProgramName(pid).find(program) == std::string::npos)
        return false;
    struct stat linkStat {};
    const long long started = ProcessStartTime(pid);
    // The boot time is in whole seconds: a little slack.
    constexpr long long kSlackSeconds = 2;
    return ::lstat(link.c_str(), &linkStat) != 0 || started < 0 ||
           started <= static_cast<long long>(linkStat.st_mtim.tv_sec) + kSlackSeconds;
}

std::string FirefoxPage(const std::string& home) {
    const std::string profile = DefaultFirefoxProfile(home);
    // A Firefox that is not running shows no page (its last session is still on disk).
    if (profile.empty() || !LockHolderRunning(profile + "/lock", "firefox"))
        return {};
    const std::string file = NewestSessionFile(profile);
    std::string bytes;
    if (file.empty() || !ReadWholeFile(file, bytes))
        return {};
    return FirefoxSessionReply(bytes);
}

// The desktop file of the default web browser, from the mimeapps.list files of the user's
// configuration ("x-scheme-handler/http" under [Default Applications]).
QString DefaultBrowserDesktopFile(const std::string& home) {
    const QString homeDir = HomeDir(home);
    QString config = homeDir + QStringLiteral("/.config");
    if (home.empty() && !qEnvironmentVariable("XDG_CONFIG_HOME").isEmpty())
        config = qEnvironmentVariable("XDG_CONFIG_HOME");
    for (const QString& list :
         {config + QStringLiteral("/mimeapps.list"),
          homeDir + QStringLiteral("/.local/share/applications/mimeapps.list")}) {
        QFile file(list);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        bool inDefaults = false;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.startsWith(QLatin1Char('[')))
                inDefaults = line == QLatin1String("[Default Applications]");
            else if (inDefaults && line.startsWith(QLatin1String("x-scheme-handler/http=")))
                return line.section(QLatin1Char('='), 1).section(QLatin1Char(';'), 0, 0).trimmed();
        }
    }
    return {};
}

// The Chromium-based browser a desktop file starts, or null.
const ChromiumFamily* ChromiumBrowserOf(const QString& desktopFile) {
    static const std::pair<const char*, int> kDesktopFiles[] = {
        {"chromium.desktop", 0},
        {"chromium-browser.desktop", 0},
        {"org.chromium.Chromium.desktop", 0},
        {"chromium_chromium.desktop", 0},
        {"google-chrome.desktop", 1},
        {"com.google.Chrome.desktop", 1},
        {"brave-browser.desktop", 2},
        {"com.brave.Browser.desktop", 2},
        {"brave_brave.desktop", 2},
        {"vivaldi-stable.desktop", 3},
        {"com.vivaldi.Vivaldi.desktop", 3}};
    for (const auto& [name, index] : kDesktopFiles)
        if (desktopFile == QLatin1String(name))
            return &kChromiumFamily[index];
    return nullptr;
}

// The newest session log of the profile the browser used last.
std::string NewestChromiumSession(const QString& browserFolder) {
    QString profile = QStringLiteral("Default");
    QFile localState(browserFolder + QStringLiteral("/Local State"));
    if (localState.open(QIODevice::ReadOnly)) {
        const QJsonObject state = QJsonDocument::fromJson(localState.readAll()).object();
        const QString lastUsed = state.value(QLatin1String("profile"))
                                     .toObject()
                                     .value(QLatin1String("last_used"))
                                     .toString();
        if (!lastUsed.isEmpty() && !lastUsed.contains(QLatin1Char('/')))
            profile = lastUsed;
    }
    const QDir dir(browserFolder + QLatin1Char('/') + profile);
    QStringList candidates;
    for (const QString& name : QDir(dir.filePath(QStringLiteral("Sessions")))
                                   .entryList({QStringLiteral("Session_*")}, QDir::Files))
        candidates << dir.filePath(QStringLiteral("Sessions/") + name);
    candidates << dir.filePath(QStringLiteral("Current Session"));
    QString newest;
    QDateTime newestTime;
    for (const QString& c : candidates) {
        const QFileInfo info(c);
        if (info.isFile() && (newest.isEmpty() || info.lastModified() > newestTime)) {
            newest = c;
            newestTime = info.lastModified();
        }
    }
    return newest.toStdString();
}

std::string DefaultChromiumPage(const std::string& home) {
    const ChromiumFamily* family = ChromiumBrowserOf(DefaultBrowserDesktopFile(home));
    if (!family)
        return {};
    const QString homeDir = HomeDir(home);
    QString config = homeDir + QStringLiteral("/.config");
    if (home.empty() && !qEnvironmentVariable("XDG_CONFIG_HOME").isEmpty())
        config = qEnvironmentVariable("XDG_CONFIG_HOME");
    QStringList folders{config + QLatin1Char('/') + QLatin1String(family->configFolder),
                        homeDir + QStringLiteral("/.var/app/") +
                            QLatin1String(family->flatpakFolder)};
    if (family->snapFolder)
        folders << homeDir + QStringLiteral("/snap/") + QLatin1String(family->snapFolder);
    for (const QString& folder : folders) {
        if (!QFileInfo(folder).isDir() ||
            !LockHolderRunning((folder + QStringLiteral("/SingletonLock")).toStdString(),
                               family->program))
            continue;
        const std::string file = NewestChromiumSession(folder);
        std::string bytes;
        if (!file.empty() && ReadWholeFile(file, bytes))
            return ChromiumSessionReply(bytes);
    }
    return {};
}

} // namespace

std::string GetBrowserPage(const std::string& service, const std::string& home) {
    if (service == "NETSCAPE")
        return FirefoxPage(home);
    if (service == "IEXPLORE")
        return DefaultChromiumPage(home);
    return {};
}

} // namespace brindle
