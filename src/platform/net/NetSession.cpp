// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/NetSession.h"

#include "store/Preferences.h"

#include <QNetworkInformation>
#include <QStringList>
#include <QUrl>

namespace brindle {

SessionSettings SessionSettings::FromPreferences(const CPreferences& prefs) {
    SessionSettings s;
    s.connectMode = prefs.m_nConnectMode;
    s.hasProxy = prefs.m_bHasProxy != 0;
    s.server = prefs.m_strProxyServer;
    s.port = prefs.m_nProxyPort;
    s.user = prefs.m_strProxyUser;
    s.password = prefs.m_strProxyPassword;
    return s;
}

NetSession::NetSession(QObject* parent) : QObject(parent), m_online(SystemReportsConnection()) {}

NetSession::~NetSession() = default;

ProxySpec NetSession::ProxyFor(const SessionSettings& settings) {
    QString text = QString::fromStdString(settings.server).trimmed();
    if (!settings.hasProxy || text.isEmpty())
        return {};
    // A list in the "http=host:port;https=..." form: the HTTP entry, else the first.
    if (text.contains(u'=')) {
        const QStringList entries = text.split(u';', Qt::SkipEmptyParts);
        QString chosen = entries.value(0);
        for (const QString& e : entries)
            if (e.trimmed().startsWith(QLatin1String("http="), Qt::CaseInsensitive))
                chosen = e;
        text = chosen.section(u'=', 1).trimmed();
    }
    const QUrl url = QUrl::fromUserInput(
        text.contains(QLatin1String("://")) ? text : QStringLiteral("http://") + text);
    QString scheme = url.scheme().toLower();
    static const QStringList kinds = {QStringLiteral("http"),   QStringLiteral("https"),
                                      QStringLiteral("socks4"), QStringLiteral("socks4a"),
                                      QStringLiteral("socks5"), QStringLiteral("socks5h")};
    if (!kinds.contains(scheme))
        scheme = QStringLiteral("http");
    const int fallback = settings.port > 0 && settings.port < 65536 ? settings.port : 80;
    const int port = url.port(fallback);
    QString host = url.host(QUrl::FullyEncoded);
    if (host.contains(u':'))
        host = u'[' + host + u']';
    ProxySpec proxy;
    proxy.url =
        (scheme + QStringLiteral("://") + host + u':' + QString::number(port)).toStdString();
    proxy.user = settings.user;
    proxy.password = settings.user.empty() ? std::string() : settings.password;
    return proxy;
}

bool NetSession::SystemReportsConnection() {
    const QNetworkInformation* info = QNetworkInformation::instance();
    return !info || info->reachability() != QNetworkInformation::Reachability::Disconnected;
}

void NetSession::LoadSystemState() {
    if (!QNetworkInformation::instance())
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
}

bool NetSession::Open(const SessionSettings& settings) {
    Close();
    const bool online = settings.connectMode != 0 || SystemReportsConnection();
    m_proxy = ProxyFor(settings);
    m_open = true;
    if (online != m_online) {
        m_online = online;
        emit onlineChanged(online);
    }
    return true;
}

void NetSession::Close() {
    m_open = false;
}

} // namespace brindle
