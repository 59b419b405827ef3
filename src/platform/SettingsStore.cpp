// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsStore.h"

#include "platform/FontDescription.h"
#include "store/PreferenceLimits.h"

#include <QHash>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>

#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>

namespace brindle {

namespace {

const QString kGroup = QStringLiteral("Settings");

// A stored number as the 32 bits a field takes (the low byte or word for narrow fields).
// Numbers are kept as text in the INI file; anything that is not a whole decimal number in
// the 32-bit range, signed or unsigned, is of another kind.
std::optional<std::uint32_t> NumberBits(const QVariant& value) {
    qint64 number = 0;
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::QString:
        number = value.toString().trimmed().toLongLong(&ok, 10);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        number = value.toLongLong(&ok);
        break;
    case QMetaType::ULongLong: {
        const qulonglong unsignedNumber = value.toULongLong(&ok);
        ok = ok && unsignedNumber <= std::numeric_limits<std::uint32_t>::max();
        number = static_cast<qint64>(unsignedNumber);
        break;
    }
    default:
        return std::nullopt;
    }
    if (!ok || number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(number);
}

// `access` is a generic lambda giving the field of a (const or not) CPreferences.
template <typename Access>
SettingValue Number(const QString& name, qint64 defaultValue, Access access,
                    SettingDefault from = SettingDefault::Constant) {
    SettingValue value;
    value.name = name;
    value.kind = SettingKind::Number;
    value.defaultFrom = from;
    if (from == SettingDefault::Constant)
        value.defaultValue = defaultValue;
    value.get = [access](const CPreferences& s) {
        return QVariant(static_cast<qint64>(access(s)));
    };
    value.set = [access](CPreferences& s, const QVariant& stored) {
        const std::optional<std::uint32_t> bits = NumberBits(stored);
        if (!bits)
            return false;
        using Field = std::remove_cvref_t<decltype(access(s))>;
        access(s) = static_cast<Field>(*bits);
        return true;
    };
    value.copy = [access](CPreferences& to, const CPreferences& from) {
        access(to) = access(from);
    };
    return value;
}

template <typename Access>
SettingValue Text(const QString& name, const char* defaultValue, Access access,
                  SettingDefault from = SettingDefault::Constant,
                  int maxBytes = kMaxSettingTextBytes) {
    SettingValue value;
    value.name = name;
    value.kind = SettingKind::Text;
    value.defaultFrom = from;
    if (from == SettingDefault::Constant)
        value.defaultValue = QString::fromUtf8(defaultValue);
    value.get = [access](const CPreferences& s) {
        return QVariant(QString::fromStdString(access(s)));
    };
    value.set = [access, maxBytes](CPreferences& s, const QVariant& stored) {
        if (stored.typeId() != QMetaType::QString)
            return false;
        const QByteArray bytes = stored.toString().toUtf8();
        if (bytes.size() > maxBytes)
            return false;
        access(s) = bytes.toStdString();
        return true;
    };
    value.copy = [access](CPreferences& to, const CPreferences& from) {
        access(to) = access(from);
    };
    return value;
}

#define FIELD(member)                                                                              \
    [](auto& s) -> auto& {                                                                         \
        return s.member;                                                                           \
    }

std::vector<SettingValue> MakeTable() {
    std::vector<SettingValue> t;
    t.push_back(Number(QStringLiteral("bAlways"), 1, FIELD(m_bAlways)));
    t.push_back(Number(QStringLiteral("bAutoSave"), 1, FIELD(m_bAutoSave)));
    t.push_back(Number(QStringLiteral("bBackup"), 1, FIELD(m_bBackup)));
    t.push_back(Number(QStringLiteral("bCheckNew"), 1, FIELD(m_bCheckNew)));
    t.push_back(Number(QStringLiteral("bConfirm"), 1, FIELD(m_bConfirm)));
    t.push_back(Number(QStringLiteral("bHide"), 1, FIELD(m_bHide)));
    t.push_back(Number(QStringLiteral("bIEBypass"), 1, FIELD(m_bIEBypass)));
    t.push_back(Number(QStringLiteral("bInTray"), 1, FIELD(m_bInTray)));
    t.push_back(Number(QStringLiteral("bNBypass"), 1, FIELD(m_bNBypass)));
    t.push_back(Number(QStringLiteral("bReload"), 0, FIELD(m_bReload)));
    t.push_back(Number(QStringLiteral("bRepair"), 1, FIELD(m_bRepair)));
    t.push_back(Number(QStringLiteral("Port"), 80, FIELD(m_nProxyPort)));
    for (int i = 0; i < 4; ++i) {
        t.push_back(Number(
            QStringLiteral("hotkey%1_1").arg(i + 1),
            0, [i](auto& s) -> auto& { return s.m_wHotKeyVk[i]; }));
        t.push_back(Number(
            QStringLiteral("hotkey%1_2").arg(i + 1),
            0, [i](auto& s) -> auto& { return s.m_wHotKeyMods[i]; }));
    }
    t.push_back(Number(QStringLiteral("MaxInTray"), 10, FIELD(m_nMaxInTray)));
    t.push_back(Number(QStringLiteral("Prefer"), 1, FIELD(m_nPrefer)));
    t.push_back(Number(QStringLiteral("ConnectMode"), 0, FIELD(m_nConnectMode)));
    t.push_back(Number(QStringLiteral("ConnectMax"), 5, FIELD(m_nConnectMax)));
    t.push_back(Number(QStringLiteral("fontSize"), 9, FIELD(m_nFontSize)));
    t.push_back(Number(QStringLiteral("HasProxy"), 0, FIELD(m_bHasProxy)));
    t.push_back(Number(QStringLiteral("HostConnections"), 2, FIELD(m_nHostConnections)));
    t.push_back(Number(QStringLiteral("HostRate"), 4, FIELD(m_nHostRate)));
    t.push_back(Number(QStringLiteral("CheckOlderDays"), 0, FIELD(m_nCheckOlderDays)));
    constexpr auto icons = CPreferences::DefaultStatusIcons();
    for (int i = 0; i < static_cast<int>(icons.size()); ++i)
        t.push_back(Number(
            QStringLiteral("StatusIcon%1").arg(i),
            icons[i], [i](auto& s) -> auto& { return s.m_arrStatusIcons[i]; }));
    t.push_back(Text(QStringLiteral("FastKey"), "fastadd", FIELD(m_strFastKey)));
    t.push_back(Text(QStringLiteral("TimeFormat"), kDefaultTimeFormat, FIELD(m_strTimeFormat)));
    t.push_back(
        Text(QStringLiteral("IEPath"), "", FIELD(m_strIEPath), SettingDefault::DetectedPath));
    t.push_back(Text(QStringLiteral("NetscapePath"), "", FIELD(m_strNetscapePath),
                     SettingDefault::DetectedPath));
    t.push_back(
        Text(QStringLiteral("FavPath"), "", FIELD(m_strFavPath), SettingDefault::DetectedPath));
    t.push_back(Text(QStringLiteral("NBookmarkPath"), "", FIELD(m_strNBookmarkPath)));
    t.push_back(Text(QStringLiteral("Server"), "", FIELD(m_strProxyServer)));
    t.push_back(Text(QStringLiteral("User"), "", FIELD(m_strProxyUser)));
    t.push_back(Text(QStringLiteral("Ps"), "", FIELD(m_strProxyPassword)));
    t.push_back(
        Text(QStringLiteral("ArchiveService"), "https://archive.org", FIELD(m_strArchiveService)));

    const auto font = SettingDefault::DesktopFont;
    t.push_back(Number(QStringLiteral("font.lfHeight"), 0, FIELD(m_logFont.lfHeight), font));
    t.push_back(Number(QStringLiteral("font.lfWidth"), 0, FIELD(m_logFont.lfWidth), font));
    t.push_back(
        Number(QStringLiteral("font.lfEscapement"), 0, FIELD(m_logFont.lfEscapement), font));
    t.push_back(
        Number(QStringLiteral("font.lfOrientation"), 0, FIELD(m_logFont.lfOrientation), font));
    t.push_back(Number(QStringLiteral("font.lfWeight"), 0, FIELD(m_logFont.lfWeight), font));
    t.push_back(Number(QStringLiteral("font.lfItalic"), 0, FIELD(m_logFont.lfItalic), font));
    t.push_back(Number(QStringLiteral("font.lfUnderline"), 0, FIELD(m_logFont.lfUnderline), font));
    t.push_back(Number(QStringLiteral("font.lfStrikeOut"), 0, FIELD(m_logFont.lfStrikeOut), font));
    t.push_back(Number(QStringLiteral("font.lfCharSet"), 0, FIELD(m_logFont.lfCharSet), font));
    t.push_back(
        Number(QStringLiteral("font.lfOutPrecision"), 0, FIELD(m_logFont.lfOutPrecision), font));
    t.push_back(
        Number(QStringLiteral("font.lfClipPrecision"), 0, FIELD(m_logFont.lfClipPrecision), font));
    t.push_back(Number(QStringLiteral("font.lfQuality"), 0, FIELD(m_logFont.lfQuality), font));
    // Written with a small "f"; names are matched without regard to case when reading.
    t.push_back(Number(QStringLiteral("font.lfPitchAndfamily"), 0,
                       FIELD(m_logFont.lfPitchAndFamily), font));
    // A longer face name does not fit the description and is not taken (a cut name would
    // name another font or none).
    t.push_back(Text(QStringLiteral("font.lfFaceName"), "", FIELD(m_logFont.lfFaceName), font,
                     kMaxFaceNameBytes));
    return t;
}

#undef FIELD

// The keys of the current group by lower-cased name; an exact spelling wins over the others.
QHash<QString, QString> KeysIgnoringCase(QSettings& store) {
    QHash<QString, QString> keys;
    const QStringList childKeys = store.childKeys();
    for (const QString& key : childKeys) {
        const QString lower = key.toLower();
        if (!keys.contains(lower))
            keys.insert(lower, key);
    }
    return keys;
}

QVariant ReadIgnoringCase(QSettings& store, const QHash<QString, QString>& keys,
                          const QString& name) {
    if (store.contains(name))
        return store.value(name);
    const auto found = keys.constFind(name.toLower());
    return found == keys.constEnd() ? QVariant() : store.value(*found);
}

} // namespace

const std::vector<SettingValue>& SettingsTable() {
    static const std::vector<SettingValue> table = MakeTable();
    return table;
}

DesktopDefaults CurrentDesktopDefaults() {
    return {DetectPaths(), DefaultListLogFont()};
}

void ResetSettings(CPreferences& settings, const DesktopDefaults& defaults) {
    CPreferences desktop;
    desktop.m_strIEPath = defaults.paths.iePath;
    desktop.m_strNetscapePath = defaults.paths.netscapePath;
    desktop.m_strFavPath = defaults.paths.favoritesPath;
    desktop.m_logFont = defaults.listFont;
    for (const SettingValue& value : SettingsTable()) {
        if (value.defaultFrom == SettingDefault::Constant)
            value.set(settings, value.defaultValue);
        else
            value.copy(settings, desktop);
    }
}

QVariant ReadValueIgnoringCase(QSettings& store, const QString& name) {
    return ReadIgnoringCase(store, KeysIgnoringCase(store), name);
}

void LoadSettings(CPreferences& settings, QSettings& store) {
    store.beginGroup(kGroup);
    const QHash<QString, QString> keys = KeysIgnoringCase(store);
    for (const SettingValue& value : SettingsTable()) {
        const QVariant stored = ReadIgnoringCase(store, keys, value.name);
        if (stored.isValid())
            value.set(settings, stored);
    }
    store.endGroup();
    // A hand-edited file is not trusted beyond what the option sheet could have written.
    ClampPreferences(settings);
}

bool SaveSettings(const CPreferences& settings, QSettings& store) {
    store.beginGroup(kGroup);
    // One value per name: other spellings of a name (hand edits, the pitch-and-family value
    // read under a capital "F") would otherwise shadow or outlive what is written now.
    QSet<QString> names;
    QSet<QString> lowerNames;
    for (const SettingValue& value : SettingsTable()) {
        names.insert(value.name);
        lowerNames.insert(value.name.toLower());
    }
    const QStringList childKeys = store.childKeys();
    for (const QString& key : childKeys)
        if (!names.contains(key) && lowerNames.contains(key.toLower()))
            store.remove(key);
    for (const SettingValue& value : SettingsTable())
        store.setValue(value.name, value.get(settings));
    store.endGroup();
    store.sync();
    return store.status() == QSettings::NoError;
}

QString SettingsFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Brindle/Brindle.conf");
}

std::unique_ptr<QSettings> OpenSettingsStore() {
    return std::make_unique<QSettings>(SettingsFilePath(), QSettings::IniFormat);
}

void LoadUserSettings(CPreferences& settings) {
    ResetSettings(settings, CurrentDesktopDefaults());
    LoadSettings(settings, *OpenSettingsStore());
}

bool SaveUserSettings(const CPreferences& settings) {
    return SaveSettings(settings, *OpenSettingsStore());
}

} // namespace brindle
