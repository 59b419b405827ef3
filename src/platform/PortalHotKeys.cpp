// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PortalHotKeys.h"

#include "platform/VirtualKeys.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QTimer>

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
constexpr int kAskTimeoutMs = 2000;

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& arg, const PortalShortcut& s) {
    arg.beginStructure();
    arg << s.id << s.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, PortalShortcut& s) {
    arg.beginStructure();
    arg >> s.id >> s.properties;
    arg.endStructure();
    return arg;
}

// The descriptions the desktop shows beside the shortcuts.
const char* const kDescriptions[] = {
    QT_TRANSLATE_NOOP("PortalHotKeys", "Switch to Brindle"),
    QT_TRANSLATE_NOOP("PortalHotKeys", "Add Bookmark from Browser"),
    QT_TRANSLATE_NOOP("PortalHotKeys", "Fast Add Bookmark from Browser"),
    QT_TRANSLATE_NOOP("PortalHotKeys", "Add Bookmark from Clipboard")};

// XKB key symbol names of the keys that are not letters or digits.
QString KeyName(std::uint16_t vk) {
    using namespace brindle;
    if ((vk >= 'A' && vk <= 'Z'))
        return QString(QChar(vk)).toLower();
    if (vk >= '0' && vk <= '9')
        return QString(QChar(vk));
    if (vk >= vk::F1 && vk <= vk::F24)
        return QStringLiteral("F%1").arg(vk - vk::F1 + 1);
    if (vk >= vk::Numpad0 && vk <= vk::Numpad0 + 9)
        return QStringLiteral("KP_%1").arg(vk - vk::Numpad0);
    struct Name {
        std::uint16_t vk;
        const char* name;
    };
    static const Name kNames[] = {{vk::Back, "BackSpace"},
                                  {vk::Tab, "Tab"},
                                  {vk::Clear, "Clear"},
                                  {vk::Return, "Return"},
                                  {vk::Pause, "Pause"},
                                  {vk::Escape, "Escape"},
                                  {vk::Space, "space"},
                                  {vk::Prior, "Prior"},
                                  {vk::Next, "Next"},
                                  {vk::End, "End"},
                                  {vk::Home, "Home"},
                                  {vk::Left, "Left"},
                                  {vk::Up, "Up"},
                                  {vk::Right, "Right"},
                                  {vk::Down, "Down"},
                                  {vk::Snapshot, "Print"},
                                  {vk::Insert, "Insert"},
                                  {vk::Delete, "Delete"},
                                  {vk::Help, "Help"},
                                  {vk::Multiply, "KP_Multiply"},
                                  {vk::Add, "KP_Add"},
                                  {vk::Separator, "KP_Separator"},
                                  {vk::Subtract, "KP_Subtract"},
                                  {vk::Decimal, "KP_Decimal"},
                                  {vk::Divide, "KP_Divide"},
                                  {vk::Scroll, "Scroll_Lock"},
                                  {vk::Oem1, "semicolon"},
                                  {vk::OemPlus, "equal"},
                                  {vk::OemComma, "comma"},
                                  {vk::OemMinus, "minus"},
                                  {vk::OemPeriod, "period"},
                                  {vk::Oem2, "slash"},
                                  {vk::Oem3, "grave"},
                                  {vk::Oem4, "bracketleft"},
                                  {vk::Oem5, "backslash"},
                                  {vk::Oem6, "bracketright"},
                                  {vk::Oem7, "apostrophe"}};
    for (const Name& n : kNames)
        if (n.vk == vk)
            return QString::fromLatin1(n.name);
    return {};
}

QVariantMap MapOf(const QVariant& value) {
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace brindle {

PortalHotKeyService::PortalHotKeyService(const QDBusConnection& bus, QObject* parent)
    : HotKeyService(parent), m_bus(bus) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    m_bus.connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"),
                  this, SLOT(OnActivated(QDBusMessage)));
}

bool PortalHotKeyService::IsOffered(const QDBusConnection& bus) {
    if (!bus.isConnected())
        return false;
    QDBusMessage ask = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    ask << kShortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kAskTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

QString PortalHotKeyService::PreferredTrigger(std::uint16_t vk, std::uint16_t flags) {
    const QString key = KeyName(vk);
    if (key.isEmpty())
        return {};
    QString trigger;
    if (flags & kHotKeyControl)
        trigger += QStringLiteral("CTRL+");
    if (flags & kHotKeyAlt)
        trigger += QStringLiteral("ALT+");
    if (flags & kHotKeyShift)
        trigger += QStringLiteral("SHIFT+");
    return trigger + key;
}

QString PortalHotKeyService::ShortcutId(int id) {
    return QStringLiteral("brindle-hotkey-%1").arg(id);
}

int PortalHotKeyService::HotKeyId(const QString& shortcutId) {
    static const QString prefix = QStringLiteral("brindle-hotkey-");
    if (!shortcutId.startsWith(prefix))
        return -1;
    bool ok = false;
    const int id = shortcutId.mid(prefix.size()).toInt(&ok);
    return ok ? id : -1;
}

bool PortalHotKeyService::Register(int id, std::uint16_t vk, std::uint16_t flags) {
    if (PreferredTrigger(vk, flags).isEmpty()) {
        m_keys.erase(id);
        SetErrorString(tr("This key cannot be a global hot key."));
        ScheduleBind();
        return false;
    }
    for (const auto& [other, key] : m_keys) {
        if (other != id && key == std::make_pair(vk, flags)) {
            m_keys.erase(id);
            SetErrorString(tr("This key is a global hot key already."));
            ScheduleBind();
            return false;
        }
    }
    m_keys[id] = {vk, flags};
    SetErrorString({});
    ScheduleBind();
    return true;
}

void PortalHotKeyService::Unregister(int id) {
    if (m_keys.erase(id))
        ScheduleBind();
}

void PortalHotKeyService::UnregisterAll() {
    if (!m_keys.empty()) {
        m_keys.clear();
        ScheduleBind();
    }
}

bool PortalHotKeyService::IsRegistered(int id) const {
    return m_keys.count(id) != 0;
}

void PortalHotKeyService::ScheduleBind() {
    if (m_bindScheduled)
        return;
    m_bindScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bindScheduled = false;
        Bind();
    });
}

QString PortalHotKeyService::ListenForRequest(QString& token) {
    token = QStringLiteral("brindle%1").arg(++m_nextToken);
    QString sender = m_bus.baseService().mid(1); // ":1.42" -> "1_42"
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    m_bus.connect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), this,
                  SLOT(OnResponse(QDBusMessage)));
    m_lastRequest = path;
    return path;
}

void PortalHotKeyService::CreateSession() {
    if (m_creatingSession)
        return;
    m_creatingSession = true;
    QString token;
    m_requests[ListenForRequest(token)] = true;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("CreateSession"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("session_handle_token"), token);
    call << options;
    Send(call);
}

void PortalHotKeyService::Bind() {
    if (m_session.isEmpty()) {
        if (!m_keys.empty())
            CreateSession(); // binds when the session is there
        return;
    }
    // The portal may ask the user about every bind: the same set is not sent again.
    if (m_bound && *m_bound == m_keys)
        return;
    m_bound = m_keys;
    QList<PortalShortcut> shortcuts;
    for (const auto& [id, key] : m_keys) {
        const int n = id - kFirstGlobalHotKeyId;
        QVariantMap properties;
        properties.insert(QStringLiteral("description"),
                          n >= 0 && n < kGlobalHotKeyCount
                              ? QCoreApplication::translate("PortalHotKeys", kDescriptions[n])
                              : tr("Brindle hot key %1").arg(id));
        properties.insert(QStringLiteral("preferred_trigger"),
                          PreferredTrigger(key.first, key.second));
        shortcuts.append({ShortcutId(id), properties});
    }
    QString token;
    m_requests[ListenForRequest(token)] = false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("BindShortcuts"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts)
         << QString() << options;
    Send(call);
}

void PortalHotKeyService::Send(const QDBusMessage& call) {
    // The request path the answer will come on was listened for last.
    const QString path = m_lastRequest;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (!w->isError())
                    return;
                // No answer will come: forget the request.
                const auto request = m_requests.find(path);
                if (request == m_requests.end())
                    return;
                if (request->second)
                    m_creatingSession = false;
                else
                    m_bound.reset();
                m_requests.erase(request);
                m_bus.disconnect(kPortalService, path, kRequestInterface,
                                 QStringLiteral("Response"), this, SLOT(OnResponse(QDBusMessage)));
                SetErrorString(w->error().message());
                emit shortcutsBound(false);
            });
}

void PortalHotKeyService::OnResponse(const QDBusMessage& message) {
    const auto request = m_requests.find(message.path());
    if (request == m_requests.end())
        return;
    const bool isSession = request->second;
    m_requests.erase(request);
    m_bus.disconnect(kPortalService, message.path(), kRequestInterface, QStringLiteral("Response"),
                     this, SLOT(OnResponse(QDBusMessage)));
    const QList<QVariant> args = message.arguments();
    const uint response = args.value(0).toUInt();
    const QVariantMap results = MapOf(args.value(1));
    if (isSession) {
        m_creatingSession = false;
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        m_session = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                         : handle.toString();
        if (response != 0 || m_session.isEmpty()) {
            m_session.clear();
            SetErrorString(tr("The desktop refused global hot keys."));
            emit shortcutsBound(false);
            return;
        }
        Bind();
        return;
    }
    if (response != 0) {
        m_bound.reset(); // the next change asks again
        SetErrorString(tr("The desktop refused global hot keys."));
    }
    emit shortcutsBound(response == 0);
}

void PortalHotKeyService::OnActivated(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2)
        return;
    const QString session = args[0].canConvert<QDBusObjectPath>()
                                ? args[0].value<QDBusObjectPath>().path()
                                : args[0].toString();
    if (m_session.isEmpty() || session != m_session)
        return;
    const int id = HotKeyId(args[1].toString());
    if (id >= 0 && IsRegistered(id))
        emit triggered(id);
}

} // namespace brindle
