// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's settings in the per-user store: an INI file (group "Settings") read once at
// start-up and written whole when the options are confirmed. One table of value names, kinds
// and defaults drives resetting, loading and saving.

#include "platform/PathDetection.h"
#include "store/Preferences.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class QSettings;

namespace brindle {

// A stored text longer than this many bytes is not read (the field keeps its value).
inline constexpr int kMaxSettingTextBytes = 254;

enum class SettingKind { Number, Text };
// Where a value's default comes from.
enum class SettingDefault { Constant, DetectedPath, DesktopFont };

struct SettingValue {
    QString name;
    SettingKind kind;
    SettingDefault defaultFrom;
    QVariant defaultValue; // for SettingDefault::Constant
    // The field's value as it is written: a number (qint64) or a text (QString).
    std::function<QVariant(const CPreferences&)> get;
    // Takes a stored value; false, leaving the field alone, when the value is of another kind,
    // out of range or too long.
    std::function<bool(CPreferences&, const QVariant&)> set;
    // Copies the field from another settings object (defaults that are not constants).
    std::function<void(CPreferences&, const CPreferences&)> copy;
};

// Every value, in the order they are written.
const std::vector<SettingValue>& SettingsTable();

// What the desktop supplies for the defaults that are not constants.
struct DesktopDefaults {
    DetectedPaths paths;
    CLogFont listFont;
};
// Detects the paths and takes the desktop's general font (needs a QGuiApplication).
DesktopDefaults CurrentDesktopDefaults();

// Sets every value of the table to its default.
void ResetSettings(CPreferences& settings, const DesktopDefaults& defaults);

// Replaces each field whose value the store holds with the right kind; names are matched
// without regard to case. Values missing or unreadable keep what the field holds.
void LoadSettings(CPreferences& settings, QSettings& store);

// Writes every value of the table, in order, and flushes the store. Returns whether the store
// could be written; callers may ignore it.
bool SaveSettings(const CPreferences& settings, QSettings& store);

// $XDG_CONFIG_HOME/Brindle/Brindle.conf
QString SettingsFilePath();
// The per-user store (INI). The file is created by the first write.
std::unique_ptr<QSettings> OpenSettingsStore();

// Start-up: defaults from the desktop, then the stored values.
void LoadUserSettings(CPreferences& settings);
// Confirmed options: writes them to the per-user store.
bool SaveUserSettings(const CPreferences& settings);

// The stored value named `name` (case-insensitive) in the current group of `store`, or an
// invalid QVariant.
QVariant ReadValueIgnoringCase(QSettings& store, const QString& name);

} // namespace brindle
