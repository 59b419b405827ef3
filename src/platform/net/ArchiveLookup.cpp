// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/ArchiveLookup.h"

#include "status/LinkResult.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace brindle {

namespace {
// An availability answer is a few hundred bytes; anything longer is not one.
constexpr std::size_t kAnswerLimit = 64 * 1024;
constexpr int kLookupTimeoutMs = 30'000;
} // namespace

ArchiveLookup::ArchiveLookup(std::string service, ProxySpec proxy, QObject* parent)
    : QObject(parent), m_engine(CurlEngine::Instance()), m_service(std::move(service)),
      m_proxy(std::move(proxy)) {
    if (m_service.empty())
        m_service = kDefaultArchiveService;
}

ArchiveLookup::~ArchiveLookup() {
    CancelAll();
}

std::string ArchiveLookup::QueryUrl(std::string_view service, std::string_view url) {
    std::string base(service);
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    const QByteArray encoded =
        QUrl::toPercentEncoding(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())));
    return base + "/wayback/available?url=" + encoded.toStdString();
}

std::optional<Snapshot> ArchiveLookup::ParseAnswer(std::string_view json) {
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())));
    const QJsonObject closest = doc.object()
                                    .value(QLatin1String("archived_snapshots"))
                                    .toObject()
                                    .value(QLatin1String("closest"))
                                    .toObject();
    if (!closest.value(QLatin1String("available")).toBool())
        return std::nullopt;
    Snapshot s;
    s.url = closest.value(QLatin1String("url")).toString().toStdString();
    s.timestamp = closest.value(QLatin1String("timestamp")).toString().toStdString();
    const QUrl address(QString::fromStdString(s.url));
    const QString scheme = address.scheme().toLower();
    // Only a web address is worth opening.
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;
    return s;
}

void ArchiveLookup::Ask(const std::string& url, Found found) {
    HttpRequest request;
    request.url = QueryUrl(m_service, url);
    request.read = HttpRequest::Read::Body;
    request.maxBytes = kAnswerLimit;
    request.decode = true;
    request.timeoutMs = kLookupTimeoutMs;
    request.proxy = m_proxy.url;
    request.proxyUser = m_proxy.user;
    request.proxyPassword = m_proxy.password;
    auto id = std::make_shared<std::uint64_t>(0);
    *id = m_engine->Submit(std::move(request), 0,
                           [this, id, found = std::move(found)](HttpAnswer answer) {
                               m_pending.erase(*id);
                               const int result = answer.error ? answer.error : answer.status;
                               if (result != 200 || answer.truncated) {
                                   found(std::nullopt, result);
                                   return;
                               }
                               found(ParseAnswer(answer.body), result);
                           });
    m_pending.insert(*id);
}

void ArchiveLookup::CancelAll() {
    for (std::uint64_t id : m_pending)
        m_engine->Cancel(id);
    m_pending.clear();
}

} // namespace brindle
