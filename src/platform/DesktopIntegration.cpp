// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DesktopIntegration.h"

#include "platform/SettingsStore.h"
#include "store/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <optional>
#include <string_view>

namespace brindle {

namespace {

const QString kFirstRunGroup = QStringLiteral("FirstRun");
const QString kRecentGroup = QStringLiteral("Recent File List");

QString DataHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

// One argument of an Exec line: "%" doubled; quoted, with ", `, $ and \ escaped, when it holds
// a reserved character; then the backslashes and control characters escaped as the entry
// format escapes every string value.
QString ExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString text = argument;
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    bool needsQuotes = false;
    for (QChar c : text)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (needsQuotes) {
        QString quoted;
        for (QChar c : text) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        text = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    QString escaped;
    for (QChar c : text) {
        if (c == QLatin1Char('\\'))
            escaped += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

// Writes `text` unless the file holds it already. `written` tells whether it was written.
bool WriteIfChanged(const QString& path, const QByteArray& text, bool& written) {
    written = false;
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == text)
        return true;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // The same atomic replacement as a document save: a reader never sees half a file.
    if (WriteFileAtomically(QFile::encodeName(path).toStdString(),
                            std::string_view(text.constData(), std::size_t(text.size()))) != 0)
        return false;
    written = true;
    return true;
}

void RefreshInBackground(const QString& tool, const QString& folder) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (!program.isEmpty())
        QProcess::startDetached(program, {folder});
}

std::optional<qint64> StoredNumber(const QVariant& value) {
    bool ok = false;
    const qint64 number = value.typeId() == QMetaType::QString
                              ? value.toString().trimmed().toLongLong(&ok, 10)
                              : value.toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

} // namespace

QString DesktopEntryText(const QString& programPath) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.0\n"
                          "Name=Brindle\n"
                          "GenericName=Bookmark Manager\n"
                          "Comment=Keep, search and check web bookmarks\n"
                          "Icon=brindle\n"
                          "Exec=%1 %f\n"
                          "Terminal=false\n"
                          "MimeType=%2;\n"
                          "Categories=Network;\n"
                          "Keywords=bookmarks;links;favorites;URL;\n"
                          // The X11 window class, for desktops that match windows to entries
                          // by it rather than by the entry's name.
                          "StartupWMClass=Brindle\n")
        .arg(ExecArgument(programPath), QString::fromLatin1(kBrindleMimeType));
}

QString MimePackageText() {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
               "  <mime-type type=\"%1\">\n"
               "    <comment>Brindle bookmark file</comment>\n"
               "    <glob pattern=\"*.brx\"/>\n"
               "  </mime-type>\n"
               "</mime-info>\n")
        .arg(QString::fromLatin1(kBrindleMimeType));
}

QString DesktopEntryPath() {
    return DataHome() + QStringLiteral("/applications/") + QString::fromLatin1(kDesktopId) +
           QStringLiteral(".desktop");
}

QString MimePackagePath() {
    return DataHome() + QStringLiteral("/mime/packages/brindle.xml");
}

bool RegisterFileType(const QString& programPath, bool refreshDatabases) {
    bool mimeWritten = false;
    if (!WriteIfChanged(MimePackagePath(), MimePackageText().toUtf8(), mimeWritten))
        return false;
    bool entryWritten = false;
    const bool entryInPlace =
        WriteIfChanged(DesktopEntryPath(), DesktopEntryText(programPath).toUtf8(), entryWritten);
    if (refreshDatabases) {
        if (mimeWritten)
            RefreshInBackground(QStringLiteral("update-mime-database"),
                                DataHome() + QStringLiteral("/mime"));
        if (entryWritten)
            RefreshInBackground(QStringLiteral("update-desktop-database"),
                                DataHome() + QStringLiteral("/applications"));
    }
    return entryInPlace;
}

bool CheckFirstRun(QSettings& store) {
    store.beginGroup(kFirstRunGroup);
    if (store.childKeys().isEmpty()) {
        store.setValue(QStringLiteral("First"), 1);
        store.endGroup();
        store.sync();
        return true;
    }
    const QVariant first = ReadValueIgnoringCase(store, QStringLiteral("First"));
    store.endGroup();
    const std::optional<qint64> number = first.isValid() ? StoredNumber(first) : std::nullopt;
    return number && *number != 1;
}

QStringList ReadRecentFiles(QSettings& store) {
    QStringList files;
    store.beginGroup(kRecentGroup);
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QVariant value = ReadValueIgnoringCase(store, QStringLiteral("File%1").arg(i));
        if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
            files << value.toString();
    }
    store.endGroup();
    return files;
}

void WriteRecentFiles(QSettings& store, const QStringList& files) {
    store.beginGroup(kRecentGroup);
    store.remove(QString());
    int number = 0;
    for (const QString& file : files) {
        if (file.isEmpty())
            continue;
        if (++number > kRecentFileCount)
            break;
        store.setValue(QStringLiteral("File%1").arg(number), file);
    }
    store.endGroup();
    store.sync();
}

QStringList AddRecentFile(const QStringList& files, const QString& path) {
    if (path.isEmpty())
        return files;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList result{absolute};
    for (const QString& file : files)
        if (!file.isEmpty() && file != absolute && result.size() < kRecentFileCount)
            result << file;
    return result;
}

QString MostRecentFile(QSettings& store) {
    store.beginGroup(kRecentGroup);
    const QVariant value = ReadValueIgnoringCase(store, QStringLiteral("File1"));
    store.endGroup();
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace brindle
