// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole pages fetched over the HTTP engine for the page archive: compressed answers are asked
// for and undone, only text types are read, and a body is cut at the limit after decoding (the
// transfer is stopped there). Redirects are followed by hand as checks follow them (at most 10);
// a time-out, refused connection or broken answer is asked once more after a short pause, and a
// 429 or 503 whose Retry-After is at most 30 seconds once more after that wait. The engine's
// politeness per host applies as to checks.

#include "platform/net/NetSession.h"
#include "status/PageFetcher.h"

#include <QObject>
#include <QUrl>

#include <memory>
#include <unordered_map>

namespace brindle {

class HttpPageFetcher : public QObject, public PageFetcher {
    Q_OBJECT
  public:
    explicit HttpPageFetcher(const SessionSettings& settings, QObject* parent = nullptr);
    ~HttpPageFetcher() override;

    void Fetch(std::uint64_t id, const std::string& url, std::size_t maxBytes) override;
    void CancelAll() override;

    void SetTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    CurlEngine& Engine() { return *m_engine; }

  private:
    struct Job {
        QUrl url;
        std::string asked;
        std::size_t maxBytes = 0;
        int redirects = 0;
        bool retried = false;
        std::uint64_t transfer = 0;
    };

    void Send(std::uint64_t id, int delayMs);
    void OnAnswer(std::uint64_t id, HttpAnswer answer);
    void Refuse(std::uint64_t id, int result);
    void Done(std::uint64_t id, PageBody page);

    std::shared_ptr<CurlEngine> m_engine;
    ProxySpec m_proxy;
    int m_timeoutMs;
    std::uint64_t m_epoch = 0; // raised by CancelAll: older refusals are dropped
    std::unordered_map<std::uint64_t, Job> m_jobs;
};

// A page fetcher over the engine with the proxy of `settings`.
std::unique_ptr<PageFetcher> MakePageFetcher(const SessionSettings& settings);

} // namespace brindle
