#include "platform/BrowserProfiles.h"

#include "exchange/BrowserSession.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/ProfileExport.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>

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
};

constexpr ChromiumFamily kChromiumFamily[] = {
    {"Chromium", "chromium", "org.chromium.Chromium/config/chromium", "chromium/common/chromium"},
    {"Google Chrome", "google-chrome", "com.google.Chrome/config/google-chrome", nullptr},
    {"Brave", "BraveSoftware/Brave-Browser", "com.brave.Browser/config/BraveSoftware/Brave-Browser",
     "brave/current/.config/BraveSoftware/Brave-Browser"},
    {"Vivaldi", "vivaldi", "com.vivaldi.Vivaldi/config/vivaldi", nullptr},
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

std::string FirefoxPage(const std::string& home) {
    const std::string profile = DefaultFirefoxProfile(home);
    if (profile.empty())
        return {};
    const std::string file = NewestSessionFile(profile);
    std::string bytes;
    if (file.empty() || !ReadWholeFile(file, bytes))
        return {};
    return FirefoxSessionReply(bytes);
}

} // namespace

std::string GetBrowserPage(const std::string& service, const std::string& home) {
    if (service == "NETSCAPE")
        return FirefoxPage(home);
    // "IEXPLORE" stands for the desktop's default browser. Chromium-based browsers keep their
    // session in a binary command log that is not read here, so it gives nothing (Firefox as the
    // default browser answers as "NETSCAPE": asking it twice would add its page twice).
    return {};
}

} // namespace brindle
