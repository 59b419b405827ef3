// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stand-in browsers for tests that open pages: small scripts named `xdg-open`, `firefox` and
// `navigator`, first on PATH for the whole test program, that append one line per start to a log
// (program name, number of arguments, first argument, separated by tabs). The XDG folders point
// into the same temporary folder, so the desktop's real default browser is never asked.
//
// The folder stays the same for the life of the process: Qt remembers where it found xdg-open.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <ostream>

// Readable failure messages for lists of log lines.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace testutil {

class FakeBrowsers {
  public:
    static FakeBrowsers& Instance() {
        static FakeBrowsers browsers;
        return browsers;
    }

    QString Bin() const { return m_dir.path() + QStringLiteral("/bin"); }
    QString Work() const { return m_dir.path() + QStringLiteral("/work"); }
    QString Program(const QString& name) const { return Bin() + QLatin1Char('/') + name; }
    QString LogPath() const { return m_dir.path() + QStringLiteral("/starts.log"); }

    // Forgets earlier starts and any default-browser choice.
    void Reset() {
        QFile::remove(LogPath());
        QFile::remove(m_dir.path() + QStringLiteral("/config/mimeapps.list"));
    }
    // Makes `desktopId` (whose entry runs `exec`) the default http handler.
    void SetDefaultBrowser(const QString& desktopId, const QString& exec) {
        Write(
            m_dir.path() + QStringLiteral("/data/applications/") + desktopId,
            QStringLiteral("[Desktop Entry]\nType=Application\nName=Test\nExec=%1 %u\n").arg(exec));
        Write(m_dir.path() + QStringLiteral("/config/mimeapps.list"),
              QStringLiteral("[Default Applications]\nx-scheme-handler/http=%1;\n").arg(desktopId));
    }

    // The log's lines, once at least `count` are there (or after `ms`).
    QStringList WaitForStarts(int count, int ms = 5000) const {
        QElapsedTimer timer;
        timer.start();
        QStringList lines = Starts();
        while (lines.size() < count && timer.elapsed() < ms) {
            QTest::qWait(20);
            lines = Starts();
        }
        return lines;
    }
    QStringList Starts() const {
        QFile log(LogPath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    static QString Line(const QString& program, const QString& url) {
        return program + QStringLiteral("\t1\t") + url;
    }

  private:
    FakeBrowsers() {
        QDir().mkpath(Bin());
        QDir().mkpath(Work());
        QDir().mkpath(m_dir.path() + QStringLiteral("/none"));
        for (const char* name : {"xdg-open", "firefox", "navigator"})
            Script(QLatin1String(name));
        // A program whose interpreter does not exist: it cannot be started.
        Write(Program(QStringLiteral("broken")), QStringLiteral("#!/nonexistent/sh\n"),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("PATH", (Bin() + QLatin1Char(':')).toUtf8() + qgetenv("PATH"));
        qputenv("XDG_CONFIG_HOME", (m_dir.path() + QStringLiteral("/config")).toUtf8());
        qputenv("XDG_DATA_HOME", (m_dir.path() + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", (m_dir.path() + QStringLiteral("/none")).toUtf8());
        qputenv("XDG_DATA_DIRS", (m_dir.path() + QStringLiteral("/none")).toUtf8());
        // No desktop environment: Qt then opens URLs with xdg-open.
        qunsetenv("XDG_CURRENT_DESKTOP");
        qunsetenv("DESKTOP_SESSION");
        qunsetenv("KDE_FULL_SESSION");
        qunsetenv("GNOME_DESKTOP_SESSION_ID");
    }
    void Script(const QString& name) {
        Write(Program(name),
              QStringLiteral("#!/bin/sh\nprintf '%s\\t%s\\t%s\\n' '%1' \"$#\" \"$1\" >> '%2'\n")
                  .arg(name, LogPath()),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    static void Write(const QString& path, const QString& text,
                      QFileDevice::Permissions permissions = {}) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text.toUtf8());
        file.close();
        if (permissions)
            file.setPermissions(permissions);
    }

    QTemporaryDir m_dir;
};

} // namespace testutil
