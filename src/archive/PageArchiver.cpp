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
    Flush();
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
    const std::string& url = m_urls[id];
    ++m_progress.done;
    bool kept = false;
    if (page.result >= 200 && page.result < 300) {
        PageText text = ExtractPageText(page.body, page.contentType, page.charset);
        if (text.ok) {
            ArchivedPage archived;
            archived.url = url;
            archived.finalUrl = page.finalUrl.empty() ? url : std::move(page.finalUrl);
            archived.fetched = m_now();
            archived.title = std::move(text.title);
            archived.text = std::move(text.text);
            m_pending.push_back(std::move(archived));
            ++m_progress.stored;
            kept = true;
        }
    }
    if (m_pending.size() >= kBatch)
        Flush();
    if (m_step)
        m_step(m_progress, url, page.result, kept);
    if (m_running && m_progress.done == m_progress.total)
        Finish();
}

void PageArchiver::Flush() {
    if (m_pending.empty())
        return;
    bool ok = m_archive.Begin();
    for (const ArchivedPage& page : m_pending)
        ok = ok && m_archive.Put(page);
    ok = ok && m_archive.Commit();
    if (!ok) {
        m_error = m_archive.Error();
        m_archive.Commit(); // ends a transaction a failed write left open, if any
    }
    m_pending.clear();
}

void PageArchiver::Finish() {
    m_running = false;
    Flush();
    if (m_finished)
        m_finished(m_progress, m_error);
}

} // namespace brindle
