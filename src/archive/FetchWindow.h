// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A page fetcher in front of another that hands on at most `window` fetches at once, in the
// order asked, except that a URL whose host is busy (it has all the requests it may have) waits
// aside while later URLs of other hosts go first, and goes as soon as its host is free again,
// before any other. Given everything at once, the engine would take hosts by turns and leave a
// host with many pages idle for most of its turns; this keeps such a host as busy as its limits
// allow, as link checks do.

#include "status/PageFetcher.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace brindle {

class FetchWindow : public PageFetcher {
  public:
    using HostOf = std::function<std::string(const std::string& url)>;
    using HostBusy = std::function<bool(const std::string& host)>;

    FetchWindow(PageFetcher& inner, std::size_t window, HostOf hostOf, HostBusy busy);
    ~FetchWindow() override;

    void Fetch(std::uint64_t id, const std::string& url, std::size_t maxBytes) override;
    void CancelAll() override;
    // Hands on what the window and the hosts allow now: after each result, and when a host is
    // freed without one (its back-off ended).
    void Refill();

    std::size_t Running() const { return m_running.size(); }

  private:
    struct Entry {
        std::uint64_t id = 0;
        std::string url;
        std::size_t maxBytes = 0;
    };
    // The next entry to hand on; false when none may go now.
    bool Next(Entry& entry);

    PageFetcher& m_inner;
    std::size_t m_window;
    HostOf m_hostOf;
    HostBusy m_busy;
    std::deque<Entry> m_queue;
    std::unordered_map<std::string, std::deque<Entry>> m_aside;
    std::vector<std::string> m_asideHosts; // in the order they were first set aside
    std::unordered_set<std::uint64_t> m_running;
    bool m_refilling = false;
};

} // namespace brindle
