// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/PageArchiver.h"

#include "archive/PageText.h"

#include <unordered_set>
#include <utility>

namespace brindle {

PageArchiver::PageArchiver(PageArchive& archive, PageFetcher& fetcher,
                           std::function<std::int64_t()> now)
    : m_archive(archive), m_fetcher(fetcher), m_now(std::move(now)) {
    m_fetcher.SetDone([this](std::uint64_t id, PageBody page) { Arrived(id, std::move(page)); });
}

PageArchiver::~PageArchiver() {
    if (m_running)
        m_fetcher.CancelAll();
    m_fetcher.SetDone({});
    if (m_worker.joinable())
        OnWorker([this] { Flush(); }, true);
    else
        Flush();
    StopWorker();
}

void PageArchiver::SetWorker(Post post) {
    m_post = std::move(post);
    if (m_worker.joinable())
        return;
    m_worker = std::thread([this] {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return !m_jobs.empty(); });
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            if (!job)
                return;
            job();
        }
    });
}

void PageArchiver::OnWorker(std::function<void()> job, bool wait) {
    std::mutex done;
    std::condition_variable ran;
    bool finished = false;
    if (wait)
        job = [&, run = std::move(job)] {
            run();
            std::lock_guard lock(done);
            finished = true;
            ran.notify_one();
        };
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
    if (wait) {
        std::unique_lock lock(done);
        ran.wait(lock, [&] { return finished; });
    }
}

void PageArchiver::StopWorker() {
    if (!m_worker.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_jobs.emplace_back();
    }
    m_wake.notify_one();
    m_worker.join();
}

void PageArchiver::Start(const std::vector<std::string>& urls) {
    m_urls.clear();
    m_error.clear();
    m_progress = {};
    std::unordered_set<std::string> seen;
    for (const std::string& url : urls)
        if (!url.empty() && seen.insert(url).second)
            m_urls.push_back(url);
    m_progress.total = m_urls.size();
    m_running = !m_urls.empty();
    if (!m_running) {
        Finish();
        return;
    }
    for (std::size_t i = 0; i < m_urls.size(); ++i)
        m_fetcher.Fetch(i, m_urls[i], kArchivePageLimit);
}

void PageArchiver::Cancel() {
    if (!m_running)
        return;
    m_fetcher.CancelAll();
    Finish();
}

void PageArchiver::Arrived(std::uint64_t id, PageBody page) {
    if (!m_running || id >= m_urls.size())
        return;
    if (!m_worker.joinable()) {
        const int result = page.result;
        const bool kept = Keep(id, std::move(page));
        Report(m_urls[id], result, kept);
        return;
    }
    OnWorker(
        [this, id, page = std::move(page), alive = std::weak_ptr<int>(m_alive)]() mutable {
            const int result = page.result;
            const bool kept = Keep(id, std::move(page));
            m_post([this, id, result, kept, alive] {
                if (alive.lock())
                    Report(m_urls[id], result, kept);
            });
        },
        false);
}

bool PageArchiver::Keep(std::uint64_t id, PageBody page) {
    bool kept = false;
    if (page.result >= 200 && page.result < 300) {
        PageText text = ExtractPageText(page.body, page.contentType, page.charset);
        if (text.ok) {
            ArchivedPage archived;
            archived.url = m_urls[id];
            archived.finalUrl = page.finalUrl.empty() ? m_urls[id] : std::move(page.finalUrl);
            archived.fetched = m_now();
            archived.title = std::move(text.title);
            archived.text = std::move(text.text);
            m_pending.push_back(std::move(archived));
            kept = true;
        }
    }
    if (m_pending.size() >= kBatch)
        Flush();
    return kept;
}

void PageArchiver::Report(const std::string& url, int result, bool kept) {
    if (!m_running)
        return;
    ++m_progress.done;
    if (kept)
        ++m_progress.stored;
    if (m_step)
        m_step(m_progress, url, result, kept);
    if (m_running && m_progress.done == m_progress.total)
        Finish();
}

void PageArchiver::Flush() {
    if (m_pending.empty())
        return;
    bool ok = m_archive.Begin() && m_archive.Put(m_pending) && m_archive.Commit();
    if (!ok) {
        m_error = m_archive.Error();
        m_archive.Commit(); // ends a transaction a failed write left open, if any
    }
    m_pending.clear();
}

void PageArchiver::Finish() {
    m_running = false;
    if (m_worker.joinable())
        OnWorker([this] { Flush(); }, true); // after the pages queued before it
    else
        Flush();
    if (m_finished)
        m_finished(m_progress, m_error);
}

} // namespace brindle
