// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/FetchWindow.h"

#include <algorithm>
#include <utility>

namespace brindle {

FetchWindow::FetchWindow(PageFetcher& inner, std::size_t window, HostOf hostOf, HostBusy busy)
    : m_inner(inner), m_window(std::max<std::size_t>(1, window)), m_hostOf(std::move(hostOf)),
      m_busy(std::move(busy)) {
    m_inner.SetDone([this](std::uint64_t id, PageBody page) {
        if (m_running.erase(id) == 0)
            return;
        Refill(); // the next request goes out before this page is read
        Finish(id, std::move(page));
    });
}

FetchWindow::~FetchWindow() {
    m_inner.SetDone({});
}

void FetchWindow::Fetch(std::uint64_t id, const std::string& url, std::size_t maxBytes) {
    m_queue.push_back({id, url, maxBytes});
    Refill();
}

void FetchWindow::CancelAll() {
    m_queue.clear();
    m_aside.clear();
    m_asideHosts.clear();
    m_running.clear();
    m_inner.CancelAll();
}

void FetchWindow::Refill() {
    if (m_refilling)
        return;
    m_refilling = true;
    Entry entry;
    while (m_running.size() < m_window && Next(entry)) {
        m_running.insert(entry.id);
        m_inner.Fetch(entry.id, entry.url, entry.maxBytes);
    }
    m_refilling = false;
}

bool FetchWindow::Next(Entry& entry) {
    const auto take = [&](std::size_t at) {
        std::deque<Entry>& waiting = m_aside[m_asideHosts[at]];
        entry = std::move(waiting.front());
        waiting.pop_front();
        if (waiting.empty()) {
            m_aside.erase(m_asideHosts[at]);
            m_asideHosts.erase(m_asideHosts.begin() + static_cast<std::ptrdiff_t>(at));
        }
    };
    for (std::size_t at = 0; at < m_asideHosts.size(); ++at)
        if (!m_busy(m_asideHosts[at])) {
            take(at);
            return true;
        }
    while (!m_queue.empty()) {
        entry = std::move(m_queue.front());
        m_queue.pop_front();
        std::string host = m_hostOf(entry.url);
        const auto aside = m_aside.find(host);
        // Behind what waits for the same host already, so each host's pages keep their order.
        if (aside == m_aside.end() && !m_busy(host))
            return true;
        if (aside == m_aside.end())
            m_asideHosts.push_back(host);
        m_aside[host].push_back(std::move(entry));
    }
    // Only busy hosts are left: with nothing running, nothing would free one, so the first of
    // them goes and waits its turn in the fetcher below.
    if (m_running.empty() && !m_asideHosts.empty()) {
        take(0);
        return true;
    }
    return false;
}

} // namespace brindle
