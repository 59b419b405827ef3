// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Global hot keys through the XDG desktop portal's GlobalShortcuts interface, for Wayland
// desktops where key grabs do not see keys typed into native Wayland windows. The stored keys
// are handed to the portal as preferred triggers (the desktop may let the user change them);
// the portal's Activated signal is reported as triggered(id) with the same ids as elsewhere.

#include "platform/HotKeys.h"

#include <QDBusConnection>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>

class QDBusMessage;

namespace brindle {

class PortalHotKeyService : public HotKeyService {
    Q_OBJECT

  public:
    explicit PortalHotKeyService(const QDBusConnection& bus, QObject* parent = nullptr);

    // Whether a portal on `bus` offers GlobalShortcuts (asks for the interface's version).
    static bool IsOffered(const QDBusConnection& bus);
    // The trigger of a stored key in the form the portal takes ("CTRL+SHIFT+e"); empty when
    // the key has no name there.
    static QString PreferredTrigger(std::uint16_t vk, std::uint16_t flags);
    // The shortcut id the portal knows hot key `id` by, and back (-1 for ids of others).
    static QString ShortcutId(int id);
    static int HotKeyId(const QString& shortcutId);

    bool IsAvailable() const override { return true; }
    // Takes the key at once; the portal is told on the next turn of the event loop, all keys
    // in one request (the portal binds a session's shortcuts as a whole).
    bool Register(int id, std::uint16_t vk, std::uint16_t flags) override;
    void Unregister(int id) override;
    void UnregisterAll() override;
    bool IsRegistered(int id) const override;

    // The portal session, empty until the portal has made it.
    QString Session() const { return m_session; }

  signals:
    // The portal answered a bind request (tests wait for it).
    void shortcutsBound(bool ok);

  private slots:
    void OnResponse(const QDBusMessage& message);
    void OnActivated(const QDBusMessage& message);

  private:
    void ScheduleBind();
    void Bind();
    void CreateSession();
    // A fresh handle token and the request path the portal will answer on; the answer is
    // listened for before the request is sent.
    QString ListenForRequest(QString& token);
    // Sends a portal request; a call that fails outright ends the request it was waiting for.
    void Send(const QDBusMessage& call);

    QDBusConnection m_bus;
    QString m_session;
    using Keys = std::map<int, std::pair<std::uint16_t, std::uint16_t>>;
    Keys m_keys;
    std::optional<Keys> m_bound;        // the set last sent to the portal
    std::map<QString, bool> m_requests; // request path -> true for CreateSession
    QString m_lastRequest;
    bool m_bindScheduled = false;
    bool m_creatingSession = false;
    int m_nextToken = 0;
};

} // namespace brindle
