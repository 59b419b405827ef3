// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/net/PageFetchers.h"

#include "platform/net/NetProber.h"
#include "status/LinkEngine.h"
#include "status/LinkResult.h"
#include "status/PageMeta.h"

#include <cctype>

namespace brindle {

namespace {

std::string MediaType(std::string_view contentType) {
    std::string type(contentType.substr(0, contentType.find(';')));
    std::string out;
    for (char c : type)
        if (c != ' ' && c != '\t')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

HttpPageFetcher::HttpPageFetcher(const SessionSettings& settings, QObject* parent)
    : QObject(parent), m_engine(CurlEngine::Instance()), m_proxy(NetSession::ProxyFor(settings)),
      m_timeoutMs(kTransferTimeoutMs) {}

HttpPageFetcher::~HttpPageFetcher() {
    CancelAll();
}

void HttpPageFetcher::Fetch(std::uint64_t id, const std::string& url, std::size_t maxBytes) {
    if (const auto old = m_jobs.find(id); old != m_jobs.end()) {
        m_engine->Cancel(old->second.transfer);
        m_jobs.erase(old);
    }
    Job& job = m_jobs[id];
    job.url = QUrl(QString::fromStdString(url));
    job.asked = url;
    job.maxBytes = maxBytes;
    Send(id, 0);
}

void HttpPageFetcher::CancelAll() {
    ++m_epoch;
    for (auto& [id, job] : m_jobs)
        if (job.transfer)
            m_engine->Cancel(job.transfer);
    m_jobs.clear();
}

void HttpPageFetcher::Send(std::uint64_t id, int delayMs) {
    Job& job = m_jobs.at(id);
    if (const int refusal = UrlRefusal(job.url)) {
        Refuse(id, refusal);
        return;
    }
    HttpRequest request;
    request.url = job.url.toString(QUrl::FullyEncoded | QUrl::RemoveFragment).toStdString();
    request.read = HttpRequest::Read::Body;
    request.maxBytes = job.maxBytes;
    request.decode = true;
    request.textOnly = true;
    request.timeoutMs = m_timeoutMs;
    request.proxy = m_proxy.url;
    request.proxyUser = m_proxy.user;
    request.proxyPassword = m_proxy.password;
    job.transfer = m_engine->Submit(std::move(request), delayMs, [this, id](HttpAnswer answer) {
        const auto it = m_jobs.find(id);
        if (it == m_jobs.end())
            return;
        it->second.transfer = 0;
        OnAnswer(id, std::move(answer));
    });
}

void HttpPageFetcher::Refuse(std::uint64_t id, int result) {
    m_jobs.erase(id);
    const std::uint64_t epoch = m_epoch;
    // Never from inside Fetch: from the event loop, unless everything was cancelled meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, id, epoch, result] {
            if (epoch != m_epoch || m_jobs.count(id))
                return;
            PageBody page;
            page.result = result;
            Finish(id, std::move(page));
        },
        Qt::QueuedConnection);
}

void HttpPageFetcher::OnAnswer(std::uint64_t id, HttpAnswer answer) {
    Job& job = m_jobs.at(id);
    const int result = answer.error ? answer.error : answer.status;
    if (!job.retried) {
        int delay = -1;
        if (IsTransientResult(result))
            delay = LinkEngine::kRetryPauseMs;
        else if (result == 429 || result == 503) {
            const int wait = RetryAfterSeconds(answer.retryAfter);
            if (wait >= 0 && wait <= LinkEngine::kMaxRetryAfterSeconds)
                delay = wait * 1000;
        }
        if (delay >= 0) {
            job.retried = true;
            Send(id, delay);
            return;
        }
    }
    if (answer.error == 0 && IsRedirect(answer.status) && !answer.location.empty()) {
        const QUrl target = QUrl::fromEncoded(QByteArray::fromStdString(answer.location));
        if (!target.isEmpty()) {
            if (++job.redirects > kMaxRedirects) {
                PageBody page;
                page.result = kErrRedirectFailed;
                Done(id, std::move(page));
                return;
            }
            job.url = job.url.resolved(target);
            job.retried = false;
            Send(id, 0);
            return;
        }
    }
    PageBody page;
    page.result = result;
    if (answer.error == 0) {
        if (job.redirects > 0)
            page.finalUrl = job.url.toString().toStdString();
        page.contentType = MediaType(answer.contentType);
        page.charset = CharsetOfContentType(answer.contentType);
        page.body = std::move(answer.body);
        page.truncated = answer.truncated;
    }
    Done(id, std::move(page));
}

void HttpPageFetcher::Done(std::uint64_t id, PageBody page) {
    m_jobs.erase(id);
    Finish(id, std::move(page));
}

std::unique_ptr<PageFetcher> MakePageFetcher(const SessionSettings& settings) {
    return std::make_unique<HttpPageFetcher>(settings);
}

} // namespace brindle
