// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// NetSession: the internet session every check, bulk fetch and Fetch dialog uses. Opening it
// decides whether the machine counts as connected ("ConnectMode" 1 always does; otherwise the
// system's reachability where it reports one) and whether requests go direct or through the
// proxy of "Server" (with "Port" added when the text names none, and "User"/"Ps" as the proxy's
// credentials). Every request carries the agent text "Brindle".
//
// Closing a session does not break requests already running on it: they keep their manager
// until they end.

#include <QNetworkProxy>
#include <QNetworkRequest>
#include <QObject>
#include <QUrl>

#include <array>
#include <memory>
#include <string>

struct CPreferences;
class QNetworkAccessManager;

namespace brindle {

inline constexpr const char* kUserAgent = "Brindle";

struct SessionSettings {
    int connectMode = 0; // 0 direct, 1 dial-up (always counts as connected)
    bool hasProxy = false;
    std::string server; // "host", "host:port" or "http://host:port"
    int port = 80;
    std::string user;
    std::string password;

    static SessionSettings FromPreferences(const CPreferences& prefs);
};

class NetSession : public QObject {
    Q_OBJECT
  public:
    explicit NetSession(QObject* parent = nullptr);
    ~NetSession() override;

    // Closes the current session and opens a new one with `settings`; false when none results.
    bool Open(const SessionSettings& settings);
    // Closes the session (the options were applied: the next run opens one with the new
    // values). The connected flag stays for the status bar.
    void Close();
    bool IsOpen() const { return m_open; }
    // Whether the open session goes to servers directly (no proxy): checks then use their own
    // sockets (SocketProber); through a proxy they go over QtNetwork.
    bool Direct() const { return m_open && m_proxy.type() == QNetworkProxy::NoProxy; }
    // The connected flag of the last open (or of the system, before any open).
    bool Online() const { return m_online; }

    // The manager for `lane` (a slot number, 0-7) of the open session; null when closed.
    // Requests hold it until they end. Each lane has its own manager, so that every slot has
    // a connection of its own (one manager keeps at most six per host).
    std::shared_ptr<QNetworkAccessManager> Manager(int lane);
    // A GET request for `url` with the session's agent text.
    static QNetworkRequest MakeRequest(const QUrl& url);

    // The proxy the settings describe (NoProxy without "HasProxy" or an empty server).
    static QNetworkProxy ProxyFor(const SessionSettings& settings);
    // Whether the system reports a connection: true unless it says there is none.
    static bool SystemReportsConnection();
    // Starts listening to the system's reachability (the window does, for its pane).
    static void LoadSystemState();

  signals:
    // "ONLINE"/"OFFLINE" may have changed.
    void onlineChanged(bool online);

  private:
    static constexpr int kLanes = 8;
    std::array<std::shared_ptr<QNetworkAccessManager>, kLanes> m_managers;
    QNetworkProxy m_proxy;
    bool m_open = false;
    bool m_online = true;
};

} // namespace brindle
