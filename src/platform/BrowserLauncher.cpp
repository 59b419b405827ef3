// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/BrowserLauncher.h"

#include "store/Preferences.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace brindle {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("BrowserLauncher", text);
}

// The value of `key` in group `group` of a freedesktop key file (desktop entries, mimeapps.list),
// or a null string.
QString KeyFileValue(const QString& path, const QString& group, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    bool inGroup = false;
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == header;
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed() == key)
            return line.mid(eq + 1).trimmed();
    }
    return {};
}

// The desktop id of the default http handler, from the mimeapps.list files in their order of
// precedence.
QString DefaultBrowserDesktopId() {
    QStringList lists;
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& list : lists) {
        const QString value = KeyFileValue(list, QStringLiteral("Default Applications"),
                                           QStringLiteral("x-scheme-handler/http"));
        for (const QString& id : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id.trimmed())
                     .isEmpty())
                return id.trimmed();
    }
    return {};
}

QString Canonical(const QString& path) {
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

} // namespace

QString BrowserLauncher::ResolveProgram(const QString& name) {
    const QString n = name.trimmed();
    if (n.isEmpty())
        return {};
    if (n.contains(QLatin1Char('/'))) {
        const QFileInfo info(n);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(n);
}

QString BrowserLauncher::FindFirefox() {
    for (const char* name : {"firefox", "firefox-esr"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString BrowserLauncher::DefaultBrowserProgram() {
    const QString id = DefaultBrowserDesktopId();
    if (id.isEmpty())
        return {};
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    const QString exec =
        KeyFileValue(entry, QStringLiteral("Desktop Entry"), QStringLiteral("Exec"));
    const QStringList words = QProcess::splitCommand(exec);
    return words.isEmpty() ? QString() : ResolveProgram(words.first());
}

BrowserProgram BrowserLauncher::FirstBrowser() const {
    const QString named = QString::fromStdString(m_prefs.m_strIEPath).trimmed();
    if (named.isEmpty())
        return {BrowserProgram::Kind::DesktopDefault, {}};
    const QString program = ResolveProgram(named);
    if (program.isEmpty())
        return {};
    return {BrowserProgram::Kind::Program, program};
}

BrowserProgram BrowserLauncher::SecondBrowser() const {
    const QString named = QString::fromStdString(m_prefs.m_strNetscapePath).trimmed();
    const QString program = named.isEmpty() ? FindFirefox() : ResolveProgram(named);
    if (program.isEmpty())
        return {};
    return {BrowserProgram::Kind::Program, program};
}

QString BrowserLauncher::Identity(const BrowserProgram& browser) {
    switch (browser.kind) {
    case BrowserProgram::Kind::Program:
        return Canonical(browser.program);
    case BrowserProgram::Kind::DesktopDefault: {
        const QString program = DefaultBrowserProgram();
        return program.isEmpty() ? QString() : Canonical(program);
    }
    case BrowserProgram::Kind::None:
        break;
    }
    return {};
}

bool BrowserLauncher::Start(const BrowserProgram& browser, const QString& url) const {
    if (browser.kind == BrowserProgram::Kind::Program)
        return QProcess::startDetached(browser.program, {url});
    // The desktop's opener, as Qt's own desktop services run it on X11 and Wayland, but with the
    // address as given (also where the platform has no desktop services, as offscreen); other
    // systems open it through their desktop services.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        return QProcess::startDetached(opener, {url});
    return QDesktopServices::openUrl(QUrl(url));
}

BrowserLauncher::Outcome BrowserLauncher::OpenURL(const QString& text) const {
    Outcome outcome;
    const QString url = text.trimmed();
    if (url.isEmpty())
        return outcome;
    if (url.startsWith(QLatin1Char('-'))) {
        outcome.message = Tr("Not opened: an address may not start with \"-\"");
        return outcome;
    }

    const BrowserProgram first = FirstBrowser();
    const BrowserProgram second = SecondBrowser();
    std::vector<BrowserProgram> chosen;
    if (m_prefs.m_bAlways) {
        chosen.push_back(m_prefs.m_nPrefer == 1 ? first : second);
    } else {
        if (first.Found())
            chosen.push_back(first);
        if (second.Found()) {
            // The same program twice would show the page twice in one browser.
            const QString id = Identity(second);
            if (!first.Found() || id.isEmpty() || Identity(first) != id)
                chosen.push_back(second);
        }
    }
    if (chosen.empty() || !chosen.front().Found())
        chosen = {{BrowserProgram::Kind::DesktopDefault, {}}};

    for (const BrowserProgram& browser : chosen) {
        const bool started = Start(browser, url);
        outcome.launches.push_back({browser, started});
        if (!started && outcome.message.isEmpty())
            outcome.message = Tr("Cannot start %1")
                                  .arg(browser.kind == BrowserProgram::Kind::Program
                                           ? QDir::toNativeSeparators(browser.program)
                                           : Tr("the default browser"));
    }
    return outcome;
}

} // namespace brindle
