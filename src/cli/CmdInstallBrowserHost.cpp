// SPDX-License-Identifier: GPL-3.0-or-later
// brindle-cli install-browser-host [--user|--system]: the host manifests that let the browsers
// start brindle-cli native-host for the Brindle extension.
#include "cli/Commands.h"

#include "exchange/NativeMessaging.h"
#include "store/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace brindle::cli {

namespace {

namespace fs = std::filesystem;

struct HostFolder {
    native::BrowserFamily family;
    std::string folder;
    bool always; // written even when the browser has left no folder of its own yet
};

std::string Home() {
    return QDir::homePath().toStdString();
}

std::string ConfigHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString();
}

std::vector<HostFolder> UserFolders() {
    using enum native::BrowserFamily;
    const std::string config = ConfigHome();
    std::vector<HostFolder> folders = {{Firefox, Home() + "/.mozilla/native-messaging-hosts", true},
                                       {Chromium, config + "/chromium/NativeMessagingHosts", true}};
    for (const char* browser : {"google-chrome", "google-chrome-beta", "google-chrome-unstable",
                                "BraveSoftware/Brave-Browser", "vivaldi"})
        folders.push_back({Chromium, config + "/" + browser + "/NativeMessagingHosts", false});
    return folders;
}

std::vector<HostFolder> SystemFolders() {
    using enum native::BrowserFamily;
    return {{Firefox, "/usr/lib/mozilla/native-messaging-hosts", true},
            {Chromium, "/etc/chromium/native-messaging-hosts", true},
            {Chromium, "/etc/opt/chrome/native-messaging-hosts", true},
            {Chromium, "/etc/opt/vivaldi/native-messaging-hosts", true}};
}

// brindle-native-host beside this program: the manifests name a program without arguments.
std::string DefaultHostPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return (self.parent_path() / "brindle-native-host").string();
}

int RunInstall(const Args& args, Io& io) {
    static const Command self = InstallBrowserHostCommand();
    if (args.Has("--user") && args.Has("--system"))
        return UsageError(self, io.err, "--user and --system exclude each other");
    const bool system = args.Has("--system");
    const std::string host = args.Value("--host").value_or(DefaultHostPath());
    if (host.empty() || host.front() != '/')
        return UsageError(self, io.err, "--host needs an absolute path");
    const std::string root = args.Value("--root").value_or("");
    if (args.Value("--host") == std::nullopt && root.empty() && ::access(host.c_str(), X_OK) != 0) {
        io.err << host << " was not found: give the host program with --host.\n";
        return kExitFailure;
    }

    int written = 0;
    int failed = 0;
    for (const HostFolder& target : system ? SystemFolders() : UserFolders()) {
        // A browser that never ran has no configuration folder: leave it alone.
        if (!target.always && !fs::is_directory(fs::path(target.folder).parent_path()))
            continue;
        const fs::path folder = root.empty()
                                    ? fs::path(target.folder)
                                    : fs::path(root) / fs::path(target.folder).relative_path();
        const fs::path file = folder / (std::string(native::kHostName) + ".json");
        std::error_code error;
        fs::create_directories(folder, error);
        const std::string text = native::HostManifest(target.family, host);
        if (error || WriteFileAtomically(file.string(), text) != 0) {
            io.err << "Cannot write " << file.string() << "\n";
            ++failed;
            continue;
        }
        io.out << file.string() << "\n";
        ++written;
    }
    return failed == 0 && written > 0 ? kExitOk : kExitFailure;
}

} // namespace

Command InstallBrowserHostCommand() {
    return {"install-browser-host",
            "let the browsers start the host of the Brindle extension",
            "[--user|--system] [--host PATH] [--root DIR]",
            "Writes the host manifest org.example.brindle.json, naming the host program, into\n"
            "Firefox's folder and each Chromium-family browser's (Chromium and Firefox always,\n"
            "Chrome, Brave and Vivaldi when they have a configuration folder). --user (the\n"
            "default) writes the per-user folders: ~/.mozilla/native-messaging-hosts and\n"
            "~/.config/BROWSER/NativeMessagingHosts; --system writes /usr/lib/mozilla/\n"
            "native-messaging-hosts and the browsers' folders under /etc. Each file written is\n"
            "printed; exit 1 when one could not be written.",
            {},
            {{"--user", nullptr, "the current user's folders (default)"},
             {"--system", nullptr, "the folders of every user of this machine"},
             {"--host", "PATH", "the host program (default: brindle-native-host beside this one)"},
             {"--root", "DIR", "write below DIR, as a package build does"}},
            RunInstall};
}

} // namespace brindle::cli
