// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An archiving run: asks the page fetcher for every URL, keeps the readable text of each page
// that arrives and writes it to the archive in batches (a batch is one transaction, so a run that
// is killed keeps what its committed batches hold).

#include "archive/PageArchive.h"
#include "status/PageFetcher.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
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
    void Flush();
    void Finish();

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
};

} // namespace brindle
