// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening pages in the user's browsers. Browser 1 (called "Internet Explorer" in the settings'
// texts) is the desktop's default browser (xdg-open, else the platform's desktop services) unless
// "IEPath" names a program; browser 2 ("Netscape
// Navigator") is the program "NetscapePath" names, else a Firefox found on PATH. "Prefer" picks
// the preferred one and "bAlways" limits a launch to it.
//
// A program is started with the address as its one argument, never through a shell; an address
// that starts with "-" is refused, so that no bookmark can pass options to a browser. When both
// browsers are the same program the page opens once.

#include <QString>
#include <QStringList>

#include <vector>

struct CPreferences;

namespace brindle {

// One of the two browsers as it was found.
struct BrowserProgram {
    enum class Kind { None, DesktopDefault, Program };
    Kind kind = Kind::None;
    QString program; // Kind::Program: the absolute path of the program file

    bool Found() const { return kind != Kind::None; }
};

class BrowserLauncher {
  public:
    // What one launch did.
    struct Launch {
        BrowserProgram browser;
        bool started = false;
    };
    struct Outcome {
        std::vector<Launch> launches;
        // A text for the prompt pane when something went wrong, else empty.
        QString message;
    };

    explicit BrowserLauncher(const CPreferences& prefs) : m_prefs(prefs) {}

    BrowserProgram FirstBrowser() const;
    BrowserProgram SecondBrowser() const;

    // Opens `url` (trimmed first; an empty text opens nothing) as the settings say.
    Outcome OpenURL(const QString& url) const;

    // The program file of the desktop's default web browser when it can be told (the handler of
    // "x-scheme-handler/http" in the freedesktop mimeapps.list files and its desktop entry's
    // Exec line), else empty.
    static QString DefaultBrowserProgram();
    // `name` as a program: an absolute path that is an executable file, or a name found on PATH;
    // empty otherwise.
    static QString ResolveProgram(const QString& name);

    // The first of `firefox`, `firefox-esr` on PATH, or empty.
    static QString FindFirefox();

  private:
    bool Start(const BrowserProgram& browser, const QString& url) const;
    // The program a browser ends up running, for telling two browsers apart.
    static QString Identity(const BrowserProgram& browser);

    const CPreferences& m_prefs;
};

} // namespace brindle
