// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/NetSession.h"

#include "store/Preferences.h"

#include <QNetworkAccessManager>
#include <QNetworkInformation>

#include <algorithm>

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

QNetworkProxy NetSession::ProxyFor(const SessionSettings& settings) {
    QString text = QString::fromStdString(settings.server).trimmed();
    if (!settings.hasProxy || text.isEmpty())
        return QNetworkProxy(QNetworkProxy::NoProxy);
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
    const int port = url.port(settings.port > 0 && settings.port < 65536 ? settings.port : 80);
    QNetworkProxy proxy(QNetworkProxy::HttpProxy, url.host(), static_cast<quint16>(port));
    if (!settings.user.empty()) {
        proxy.setUser(QString::fromStdString(settings.user));
        proxy.setPassword(QString::fromStdString(settings.password));
    }
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
    for (auto& manager : m_managers)
        manager.reset();
    m_open = false;
}

std::shared_ptr<QNetworkAccessManager> NetSession::Manager(int lane) {
    if (!m_open)
        return {};
    auto& manager = m_managers[static_cast<std::size_t>(std::clamp(lane, 0, kLanes - 1))];
    if (!manager) {
        auto* m = new QNetworkAccessManager;
        // Redirects are followed by the prober itself (it counts them and keeps the last URL).
        m->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        m->setProxy(m_proxy);
        manager = std::shared_ptr<QNetworkAccessManager>(
            m, [](QNetworkAccessManager* p) { p->deleteLater(); });
    }
    return manager;
}

QNetworkRequest NetSession::MakeRequest(const QUrl& url) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kUserAgent));
    // Pages come uncompressed, as the classic client asked for them: a fetch reads a bounded
    // part of a page, and a compressed answer could expand without bound before that.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    // Connections are kept per host; HTTP/2 would multiplex, which the slot limit then ignores.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    return request;
}

} // namespace brindle
