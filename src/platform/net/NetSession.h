// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// NetSession: the internet session every check, bulk fetch and Fetch dialog uses. Opening it
// decides whether the machine counts as connected ("ConnectMode" 1 always does; otherwise the
// system's reachability where it reports one) and whether requests go direct or through the
// proxy of "Server" (with "Port" added when the text names none, and "User"/"Ps" as the proxy's
// credentials). The server text may name the proxy's kind: "http://", "https://", "socks4://",
// "socks4a://", "socks5://" or "socks5h://"; without one it is an HTTP proxy.
//
// Closing a session does not break requests already running on it: they keep what they were
// started with until they end.

#include "platform/net/CurlEngine.h"

#include <QObject>

#include <string>

struct CPreferences;

namespace brindle {

struct SessionSettings {
    int connectMode = 0; // 0 direct, 1 dial-up (always counts as connected)
    bool hasProxy = false;
    std::string server; // "host", "host:port" or "scheme://host:port"
    int port = 80;
    std::string user;
    std::string password;

    static SessionSettings FromPreferences(const CPreferences& prefs);
};

// A proxy as the HTTP engine takes it.
struct ProxySpec {
    std::string url; // "scheme://host:port"; "" = none, go direct
    std::string user;
    std::string password;
    bool operator==(const ProxySpec&) const = default;
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
    // The connected flag of the last open (or of the system, before any open).
    bool Online() const { return m_online; }
    // The proxy of the open session.
    const ProxySpec& Proxy() const { return m_proxy; }

    // The proxy the settings describe (no URL without "HasProxy" or with an empty server).
    static ProxySpec ProxyFor(const SessionSettings& settings);
    // Whether the system reports a connection: true unless it says there is none.
    static bool SystemReportsConnection();
    // Starts listening to the system's reachability (the window does, for its pane).
    static void LoadSystemState();

  signals:
    // "ONLINE"/"OFFLINE" may have changed.
    void onlineChanged(bool online);

  private:
    ProxySpec m_proxy;
    bool m_open = false;
    bool m_online = true;
};

} // namespace brindle
