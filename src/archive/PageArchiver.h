// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An archiving run: asks the page fetcher for every URL, keeps the readable text of each page
// that arrives and writes it to the archive in batches (a batch is one transaction, so a run that
// is killed keeps what its committed batches hold). With a worker (SetWorker), pages are parsed
// and written on a thread of their own, so a window stays responsive; the archive is then used
// from that thread only until the run finishes.

#include "archive/PageArchive.h"
#include "status/PageFetcher.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brindle {

class PageArchiver {
  public:
    struct Progress {
        std::size_t total = 0;  // pages asked
        std::size_t done = 0;   // pages answered
        std::size_t stored = 0; // pages whose text was kept
    };
    // After each page: its URL, the fetch's result (HTTP status or internet error) and whether
    // its text was kept.
    using Step =
        std::function<void(const Progress&, const std::string& url, int result, bool kept)>;
    using Finished = std::function<void(const Progress&, const std::string& error)>;

    // `now` gives the fetch date to store (seconds since 1970 UTC).
    PageArchiver(PageArchive& archive, PageFetcher& fetcher, std::function<std::int64_t()> now);
    ~PageArchiver();

    void SetStep(Step step) { m_step = std::move(step); }
    void SetFinished(Finished finished) { m_finished = std::move(finished); }
    // Parse and write on a worker thread; `post` runs a function on this archiver's thread
    // later (a queued call), which is how each page's result comes back. Before Start.
    using Post = std::function<void(std::function<void()>)>;
    void SetWorker(Post post);

    // Asks for every URL once (duplicates are asked once). `finished` comes when all answered,
    // at once when there is nothing to ask.
    void Start(const std::vector<std::string>& urls);
    // Stops asking; what arrived so far is kept.
    void Cancel();
    bool Running() const { return m_running; }
    const Progress& Status() const { return m_progress; }

    // Pages written per transaction.
    static constexpr std::size_t kBatch = 50;

  private:
    void Arrived(std::uint64_t id, PageBody page);
    // Extracts the page's text into the pending batch; true when it is kept.
    bool Keep(std::uint64_t id, PageBody page);
    void Report(const std::string& url, int result, bool kept);
    void Flush();
    void Finish();
    // Runs `job` on the worker; `wait`: returns when it has run.
    void OnWorker(std::function<void()> job, bool wait);
    void StopWorker();

    PageArchive& m_archive;
    PageFetcher& m_fetcher;
    std::function<std::int64_t()> m_now;
    Step m_step;
    Finished m_finished;
    std::vector<std::string> m_urls;
    std::vector<ArchivedPage> m_pending;
    Progress m_progress;
    std::string m_error;
    bool m_running = false;

    Post m_post;
    std::thread m_worker;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;               // empty function: the worker ends
    std::shared_ptr<int> m_alive = std::make_shared<int>(); // results posted after it ends drop
};

} // namespace brindle
