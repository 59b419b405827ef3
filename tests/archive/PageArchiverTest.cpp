// SPDX-License-Identifier: GPL-3.0-or-later
// An archiving run over a scripted fetcher: what is kept, what is not, cancelling, and a run
// whose pages are parsed on a worker.
#include "archive/PageArchiver.h"
#include "archive/PageText.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace brindle;

namespace {

// Answers from a table when told to, in the order asked.
class ScriptedFetcher : public PageFetcher {
  public:
    void Fetch(std::uint64_t id, const std::string& url, std::size_t maxBytes) override {
        asked.push_back({id, url});
        limit = maxBytes;
    }
    void CancelAll() override {
        asked.clear();
        ++cancels;
    }
    // Answers the first `n` fetches still waiting.
    void Answer(std::size_t n) {
        for (std::size_t i = 0; i < n && !asked.empty(); ++i) {
            const auto [id, url] = asked.front();
            asked.erase(asked.begin());
            Finish(id,
                   pages.count(url) ? pages[url] : PageBody{404, "", "text/html", "", "", false});
        }
    }

    std::map<std::string, PageBody> pages;
    std::vector<std::pair<std::uint64_t, std::string>> asked;
    std::size_t limit = 0;
    int cancels = 0;
};

PageBody Page(const std::string& body, const std::string& type = "text/html") {
    return {200, "", type, "", body, false};
}

} // namespace

TEST(PageArchiverTest, KeepsTheTextOfGoodPagesOnly) {
    QTemporaryDir dir;
    PageArchive archive;
    ASSERT_TRUE(archive.Open(dir.filePath("a.sqlite").toStdString(), true));
    ScriptedFetcher fetcher;
    fetcher.pages["http://ok/"] = Page("<title>Ok</title><p>good words</p>");
    fetcher.pages["http://ok/"].finalUrl = "https://ok/";
    fetcher.pages["http://img/"] = Page("GIF89a", "image/gif");
    fetcher.pages["http://bin/"] = Page(std::string("\x00\x01\x02\x03", 4));
    fetcher.pages["http://gone/"] = {410, "", "text/html", "", "<p>gone words</p>", false};

    PageArchiver run(archive, fetcher, [] { return std::int64_t{1234}; });
    std::vector<std::pair<std::string, bool>> steps;
    run.SetStep([&](const PageArchiver::Progress&, const std::string& url, int, bool kept) {
        steps.push_back({url, kept});
    });
    bool finished = false;
    run.SetFinished([&](const PageArchiver::Progress& p, const std::string& error) {
        finished = true;
        EXPECT_EQ(p.total, 5u);
        EXPECT_EQ(p.done, 5u);
        EXPECT_EQ(p.stored, 1u);
        EXPECT_EQ(error, "");
    });
    run.Start({"http://ok/", "http://img/", "http://ok/", "http://bin/", "http://gone/",
               "http://missing/", ""});
    EXPECT_EQ(fetcher.asked.size(), 5u) << "each URL asked once";
    EXPECT_EQ(fetcher.limit, kArchivePageLimit);
    fetcher.Answer(10);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(run.Running());
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[0], (std::pair<std::string, bool>{"http://ok/", true}));
    const auto page = archive.Get("http://ok/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->finalUrl, "https://ok/");
    EXPECT_EQ(page->fetched, 1234);
    EXPECT_EQ(page->text, "good words");
    EXPECT_EQ(archive.Count(), 1u) << "failed, binary and non-text pages are not kept";
}

TEST(PageArchiverTest, BatchesAreWrittenAsTheyFillAndCancelKeepsWhatArrived) {
    QTemporaryDir dir;
    PageArchive archive;
    ASSERT_TRUE(archive.Open(dir.filePath("a.sqlite").toStdString(), true));
    ScriptedFetcher fetcher;
    std::vector<std::string> urls;
    for (int i = 0; i < 200; ++i) {
        urls.push_back("http://p/" + std::to_string(i));
        fetcher.pages[urls.back()] = Page("<p>page text</p>");
    }
    PageArchiver run(archive, fetcher, [] { return std::int64_t{1}; });
    bool finished = false;
    run.SetFinished([&](const PageArchiver::Progress&, const std::string&) { finished = true; });
    run.Start(urls);
    fetcher.Answer(PageArchiver::kBatch + 3);
    EXPECT_EQ(archive.Count(), PageArchiver::kBatch) << "a full batch is in the database";
    run.Cancel();
    EXPECT_TRUE(finished);
    EXPECT_EQ(fetcher.cancels, 1);
    EXPECT_EQ(archive.Count(), PageArchiver::kBatch + 3);
    fetcher.Answer(1); // a late answer after cancelling is ignored
    EXPECT_EQ(archive.Count(), PageArchiver::kBatch + 3);
}

TEST(PageArchiverTest, AWorkerParsesAndWritesWhileResultsComeBackToTheCaller) {
    QTemporaryDir dir;
    PageArchive archive;
    ASSERT_TRUE(archive.Open(dir.filePath("a.sqlite").toStdString(), true));
    ScriptedFetcher fetcher;
    std::vector<std::string> urls;
    for (int i = 0; i < 120; ++i) {
        urls.push_back("http://p/" + std::to_string(i));
        fetcher.pages[urls.back()] = Page("<p>page text " + std::to_string(i) + "</p>");
    }
    const auto caller = std::this_thread::get_id();
    std::atomic<bool> parsedHere = false;
    PageArchiver run(archive, fetcher, [&] {
        parsedHere = parsedHere || std::this_thread::get_id() == caller;
        return std::int64_t{1};
    });
    std::mutex mutex;
    std::vector<std::function<void()>> posted;
    run.SetWorker([&](std::function<void()> f) {
        std::lock_guard lock(mutex);
        posted.push_back(std::move(f));
    });
    std::size_t steps = 0;
    bool stepsHere = true, finished = false;
    run.SetStep([&](const PageArchiver::Progress&, const std::string&, int, bool kept) {
        stepsHere = stepsHere && std::this_thread::get_id() == caller && kept;
        ++steps;
    });
    run.SetFinished([&](const PageArchiver::Progress& p, const std::string&) {
        finished = p.stored == urls.size();
    });
    run.Start(urls);
    fetcher.Answer(urls.size());
    for (int spins = 0; !finished && spins < 20000; ++spins) {
        std::vector<std::function<void()>> ready;
        {
            std::lock_guard lock(mutex);
            ready.swap(posted);
        }
        for (auto& f : ready)
            f();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(finished);
    EXPECT_EQ(steps, urls.size());
    EXPECT_TRUE(stepsHere);
    EXPECT_FALSE(parsedHere) << "pages are parsed on the worker";
    EXPECT_EQ(archive.Count(), urls.size()) << "the last, partial batch is written too";
}
