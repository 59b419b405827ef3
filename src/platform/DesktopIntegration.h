// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program leaves with the desktop and the per-user store beyond its settings: the
// ".brx" file type (a desktop entry and a MIME type in the user's XDG data folders), the
// first-run mark and the list of recent files.

#include <QString>
#include <QStringList>

class QSettings;

namespace brindle {

inline constexpr const char* kBrindleMimeType = "application/x-brindle";
// The desktop entry's name without ".desktop": the same id names the AppStream metadata and is
// the application's desktop file name (the window's app id on Wayland).
inline constexpr const char* kDesktopId = "org.example.brindle";
inline constexpr int kRecentFileCount = 4;

// The desktop entry that opens files with `programPath`: Exec is the program's path (quoted
// when it holds characters the entry format reserves) followed by " %f". With "brindle" it is
// the entry an installation puts in share/applications (res/desktop/<kDesktopId>.desktop),
// and MimePackageText is its share/mime/packages/brindle.xml: the user's copies written at
// start-up differ from those only in the program's path.
QString DesktopEntryText(const QString& programPath);
// The shared-mime-info package declaring application/x-brindle for "*.brx".
QString MimePackageText();

// Where the two files go: $XDG_DATA_HOME/applications/<kDesktopId>.desktop and
// $XDG_DATA_HOME/mime/packages/brindle.xml.
QString DesktopEntryPath();
QString MimePackagePath();

// Writes the MIME type and then, if that worked, the desktop entry; files already holding the
// right text are left alone. When something was written and `refreshDatabases` is set, the
// desktop's MIME and desktop-entry caches are rebuilt in the background if their tools exist.
// Returns whether both files are in place; callers ignore failures.
bool RegisterFileType(const QString& programPath, bool refreshDatabases = true);

// The first-run mark "FirstRun/First". When the store has no "FirstRun" values at all, writes
// First = 1 and returns true: start the import wizard. When First is 1 or cannot be read,
// returns false; any other number returns true (and is kept).
bool CheckFirstRun(QSettings& store);

// "Recent File List/File1".."File4", most recent first. Empty entries are skipped.
QStringList ReadRecentFiles(QSettings& store);
// Replaces the list with the first four non-empty entries of `files`.
void WriteRecentFiles(QSettings& store, const QStringList& files);
// `files` with `path` (made absolute) moved or added to the front, at most four entries.
QStringList AddRecentFile(const QStringList& files, const QString& path);
// The value "File1" as stored, empty when missing (the file reopened at start-up).
QString MostRecentFile(QSettings& store);

} // namespace brindle
