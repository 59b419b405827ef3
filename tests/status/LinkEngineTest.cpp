// SPDX-License-Identifier: GPL-3.0-or-later
// The check and fetch engines driven by a scripted prober: launch order, slot rules, stop
// semantics, retries, and what each result writes into the bookmark.
#include "ScriptedProber.h"

#include "status/LinkEngine.h"
#include "status/LinkResult.h"
#include "store/BrindleDoc.h"
#include "support/BookmarkLookup.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using brindle::LinkEngine;
using brindle::LinkJob;
using brindle::ProbeResult;
using testutil::FindByName;
using testutil::ScriptedProber;

namespace {

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override { doc.SetPreferences(prefs); }

    void Add(const std::string& name, const std::string& url, std::uint16_t checking = 1,
             const std::string& status = "Waiting", const std::string& keywords = "") {
        BookmarkFields f;
        f.name = name;
        f.url = url;
        f.statusChecking = checking;
        f.status = status;
        f.keywords = keywords;
        ASSERT_TRUE(doc.AddBookmark(f));
    }
    void AddMany(int n) {
        for (int i = 0; i < n; ++i)
            Add("b" + std::to_string(i), "http://h/" + std::to_string(i));
    }
    LinkEngine& Make(LinkJob job) {
        LinkEngine::Callbacks cb;
        cb.broadcast = [this](std::string_view text) { texts.emplace_back(text); };
        cb.openSession = [this] { return sessionOpens; };
        cb.applied = [this](std::uint32_t index) { applied.push_back(index); };
        engine = std::make_unique<LinkEngine>(job, doc, prober, cb);
        return *engine;
    }
    std::vector<std::uint32_t> All() const {
        std::vector<std::uint32_t> all;
        for (std::uint32_t i = 0; i < doc.Bookmarks().size(); ++i)
            all.push_back(i);
        return all;
    }
    std::string Status(const std::string& name) const {
        return std::string(FindByName(doc, name)->m_strStatus);
    }

    CPreferences prefs;
    CBrindleDoc doc;
    ScriptedProber prober;
    std::unique_ptr<LinkEngine> engine;
    std::vector<std::string> texts;
    std::vector<std::uint32_t> applied;
    bool sessionOpens = true;
};

TEST_F(EngineTest, EntriesAsideForABusyHostGoWhenItIsFreedWithoutWaitingForAResult) {
    prefs.m_nConnectMax = 4;
    Add("first", "http://b/0");
    Add("a1", "http://a/1");
    Add("b1", "http://b/1");
    LinkEngine& e = Make(LinkJob::Check);
    prober.busyHosts = {"a"};
    e.Toggle(All());
    prober.Answer(0, 200);
    ASSERT_EQ(prober.starts.size(), 2u);
    EXPECT_EQ(prober.starts[1].url, "http://b/1"); // a1 waits aside
    // Host a's back-off ends while b1 is still running: a1 goes now, not after b1's result.
    prober.FreeHost("a");
    ASSERT_EQ(prober.starts.size(), 3u);
    EXPECT_EQ(prober.starts[2].url, "http://a/1");
    EXPECT_EQ(prober.Busy(), 2);
}

TEST_F(EngineTest, EntriesGoHostByHostLargestFirstAndAHostAtItsRateLetsOthersGo) {
    prefs.m_nConnectMax = 1;
    Add("first", "http://b/0");
    Add("a1", "http://a/1");
    Add("b1", "http://b/1");
    Add("a2", "http://a/2");
    Add("c1", "http://c/1");
    Add("a3", "http://a/3");
    const auto urls = [&] {
        std::vector<std::string> out;
        for (const auto& call : prober.starts)
            out.push_back(call.url);
        return out;
    };
    const auto answerAll = [&] {
        while (prober.Busy() > 0)
            prober.Answer(0, 200);
    };
    // The first entry alone, then host a (most entries) through, then b, then c.
    Make(LinkJob::Check).Toggle(All());
    answerAll();
    EXPECT_EQ(urls(), (std::vector<std::string>{"http://b/0", "http://a/1", "http://a/2",
                                                "http://a/3", "http://b/1", "http://c/1"}));
    // Host a waits for its rate: the others go first, and a is asked anyway once only it is left
    // (its entries then wait their turn in the prober).
    prober.starts.clear();
    prober.ratedHosts = {"a"};
    engine.reset(); // it lets go of the prober's completion
    Make(LinkJob::Check).Toggle(All());
    answerAll();
    EXPECT_EQ(urls(), (std::vector<std::string>{"http://b/0", "http://b/1", "http://c/1",
                                                "http://a/1", "http://a/2", "http://a/3"}));
    EXPECT_EQ(Status("a3"), "No change");
}

TEST_F(EngineTest, FirstAloneThenConnectMaxAtATimeInQueueOrder) {
    prefs.m_nConnectMax = 3;
    AddMany(10);
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    EXPECT_TRUE(e.Running());
    EXPECT_EQ(texts.front(), "SC:CHECKING");
    ASSERT_EQ(prober.starts.size(), 1u);
    EXPECT_EQ(prober.starts[0].slot, 0);
    EXPECT_EQ(prober.starts[0].url, "http://h/0");
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Status("b" + std::to_string(i)), "Checking");

    prober.Answer(0, 200);
    EXPECT_EQ(prober.Busy(), 3);
    // Keep answering the lowest busy slot; never more than three run, never above slot 2.
    while (prober.Busy() > 0) {
        EXPECT_LE(prober.Busy(), 3);
        for (int s = 0; s < 8; ++s)
            if (prober.busy[s]) {
                prober.Answer(s, 404);
                break;
            }
    }
    std::set<int> slots;
    for (std::size_t i = 0; i < prober.starts.size(); ++i) {
        slots.insert(prober.starts[i].slot);
        EXPECT_EQ(prober.starts[i].url, "http://h/" + std::to_string(i)) << "queue order";
    }
    EXPECT_EQ(slots, (std::set<int>{0, 1, 2}));
    EXPECT_EQ(prober.starts.size(), 10u);
    EXPECT_FALSE(e.Running());
    EXPECT_EQ(texts.back(), "SC:CHECK OFF");
    EXPECT_EQ(Status("b0"), "No change");
    EXPECT_EQ(Status("b9"), "Page not found");
    EXPECT_EQ(applied.size(), 10u);
}

TEST_F(EngineTest, ConnectMaxZeroRunsOneAtATimeToTheEnd) {
    prefs.m_nConnectMax = 0;
    AddMany(4);
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(prober.Busy(), 1);
        prober.Answer(0, 500);
    }
    EXPECT_FALSE(e.Running());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Status("b" + std::to_string(i)), "Server error");
}

TEST_F(EngineTest, StopEndsEverySlotAtTheNextResultAndRestoresUnprobed) {
    prefs.m_nConnectMax = 2;
    AddMany(5);
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    prober.Answer(0, 404); // b0 done; b1, b2 now run
    ASSERT_EQ(prober.Busy(), 2);
    e.Toggle({}); // stop
    EXPECT_FALSE(e.Running());
    EXPECT_EQ(texts.back(), "SC:CHECK OFF");
    prober.Answer(1, 200); // this result is dropped and slot 0 is ended with it
    EXPECT_EQ(prober.Busy(), 0);
    EXPECT_TRUE(e.Idle());
    EXPECT_EQ(Status("b0"), "Page not found");
    for (const char* name : {"b1", "b2", "b3", "b4"})
        EXPECT_EQ(Status(name), "Waiting") << name;
    EXPECT_EQ(prober.starts.size(), 3u);
}

TEST_F(EngineTest, StartingAgainWhileStoppingEndsTheOldSlotsFirst) {
    prefs.m_nConnectMax = 2;
    AddMany(3);
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    prober.Answer(0, 200); // b1 and b2 now run
    e.Toggle({});          // stop: they are still out
    e.Toggle({1});         // a new run of b1 alone
    EXPECT_EQ(prober.cancels, (std::vector<int>{0, 1}));
    ASSERT_EQ(prober.Busy(), 1);
    EXPECT_EQ(prober.starts.back().url, "http://h/1");
    EXPECT_EQ(Status("b2"), "Waiting") << "given back when its slot was ended";
    prober.Answer(0, 404);
    EXPECT_EQ(Status("b1"), "Page not found");
    EXPECT_FALSE(e.Running());
}

TEST_F(EngineTest, FetchStopsAtTheNextResult) {
    prefs.m_nConnectMax = 1;
    AddMany(3);
    LinkEngine& e = Make(LinkJob::Fetch);
    e.Toggle(All());
    e.Toggle({});
    EXPECT_FALSE(e.Running());
    prober.Answer(0, 200);
    EXPECT_TRUE(e.Idle());
    for (const char* name : {"b0", "b1", "b2"})
        EXPECT_EQ(Status(name), "Waiting") << name;
}

TEST_F(EngineTest, SkippedBookmarksAndEmptyQueue) {
    Add("off", "http://off/", 0);
    Add("nourl", "", 1);
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    EXPECT_EQ(texts, (std::vector<std::string>{"SC:CHECKING", "SC:Check OFF", "SC:CHECK OFF",
                                               "SC:CHECK OFF"}));
    EXPECT_TRUE(e.Running()) << "an empty run stays on until toggled";
    EXPECT_TRUE(prober.starts.empty());
    e.Toggle({});
    EXPECT_FALSE(e.Running());
}

TEST_F(EngineTest, NothingSelectedQueuesTheListShownSilentlySkipping) {
    Add("a", "http://a/");
    Add("off", "http://off/", 0);
    Add("c", "http://c/");
    doc.Search("", false, 0);
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle({});
    EXPECT_EQ(e.QueueLength(), 2u);
    EXPECT_EQ(texts, (std::vector<std::string>{"SC:CHECKING"}));
    EXPECT_EQ(Status("off"), "Waiting");
}

TEST_F(EngineTest, SessionFailureRestoresTheQueued) {
    sessionOpens = false;
    AddMany(2);
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    EXPECT_EQ(texts.back(), "SC:CHECK OFF");
    EXPECT_TRUE(prober.starts.empty());
    EXPECT_EQ(Status("b0"), "Waiting");
}

TEST_F(EngineTest, EditedBookmarkLosesItsResultAndDeletionsAreFollowed) {
    prefs.m_nConnectMax = 1;
    Add("x", "http://x/");
    Add("y", "http://y/");
    Add("z", "http://z/");
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    doc.SetFieldText(0, kFieldName, "x renamed");
    prober.Answer(0, 404);
    EXPECT_EQ(std::string(FindByName(doc, "x renamed")->m_strStatus), "Checking");
    doc.DeleteBookmark(0); // y and z move up one place
    prober.Answer(0, 404);
    prober.Answer(0, 401);
    EXPECT_EQ(Status("y"), "Page not found");
    EXPECT_EQ(Status("z"), "Unauthorized");
}

TEST_F(EngineTest, TwoBookmarksWithOnePairGiveEveryResultToTheFirst) {
    prefs.m_nConnectMax = 1;
    Add("twin", "http://twin/");
    Add("other", "http://other/");
    doc.SetFieldText(1, kFieldName, "twin"); // the document refuses to add a duplicate
    doc.SetFieldText(1, kFieldURL, "http://twin/");
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    prober.Answer(0, 404);
    prober.Answer(0, 500);
    EXPECT_EQ(doc.Bookmarks()[0].m_strStatus, "Server error");
    EXPECT_EQ(doc.Bookmarks()[1].m_strStatus, "Checking");
}

TEST_F(EngineTest, TransientFailuresAndRetryAfterAreAskedOnceMore) {
    prefs.m_nConnectMax = 1;
    Add("slow", "http://slow/");
    Add("busy", "http://busy/");
    Add("later", "http://later/");
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    prober.Answer(0, brindle::kErrTimeout);
    ASSERT_EQ(prober.starts.size(), 2u);
    EXPECT_EQ(prober.starts[1].url, "http://slow/");
    EXPECT_EQ(prober.starts[1].delayMs, LinkEngine::kRetryPauseMs);
    EXPECT_EQ(Status("slow"), "Checking");
    prober.Answer(0, brindle::kErrTimeout);
    EXPECT_EQ(Status("slow"), "Time Out");

    ProbeResult busy;
    busy.result = 503;
    busy.retryAfter = 2;
    prober.Answer(0, busy);
    EXPECT_EQ(prober.starts.back().delayMs, 2000);
    prober.Answer(0, 200);
    EXPECT_EQ(Status("busy"), "No change");

    ProbeResult later;
    later.result = 429;
    later.retryAfter = 3600; // too long to wait for: the answer stands
    prober.Answer(0, later);
    EXPECT_EQ(Status("later"), "Waiting");
    EXPECT_FALSE(e.Running());
}

TEST_F(EngineTest, RedirectLocationAndLastModified) {
    prefs.m_nConnectMax = 1;
    Add("moved", "http://old.example/a");
    Add("same", "http://Same.example/");
    Add("kept", "http://kept.example/");
    doc.SetFieldTime(2, kFieldLastModified, 1234);
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    ProbeResult moved;
    moved.result = 200;
    moved.location = "https://New.Example/Path?Q=1";
    moved.lastModified = 784111777;
    prober.Answer(0, moved);
    ProbeResult same;
    same.result = 200;
    same.location = "http://same.example/";
    prober.Answer(0, same);
    prober.Answer(0, 200);
    EXPECT_EQ(Status("moved"), "Changed");
    EXPECT_EQ(FindByName(doc, "moved")->m_strURL, "https://New.Example/Path?Q=1");
    EXPECT_EQ(FindByName(doc, "moved")->m_tLastModified, 784111777);
    EXPECT_EQ(Status("same"), "No change");
    EXPECT_EQ(FindByName(doc, "same")->m_strURL, "http://Same.example/");
    EXPECT_EQ(FindByName(doc, "kept")->m_tLastModified, 1234) << "no Last-Modified: kept";
    EXPECT_GT(FindByName(doc, "kept")->m_tLastChecked, 0) << "set when queued";
}

TEST_F(EngineTest, RepairOffKeepsTheUrl) {
    prefs.m_bRepair = 0;
    Add("moved", "http://old.example/a");
    LinkEngine& e = Make(LinkJob::Check);
    e.Toggle(All());
    ProbeResult moved;
    moved.result = 200;
    moved.location = "http://new.example/";
    prober.Answer(0, moved);
    EXPECT_EQ(Status("moved"), "Changed");
    EXPECT_EQ(FindByName(doc, "moved")->m_strURL, "http://old.example/a");
}

TEST_F(EngineTest, FetchWritesDescriptionKeywordsAndLocation) {
    prefs.m_nConnectMax = 1;
    Add("page", "http://p/", 0, "Waiting", "old");
    Add("bare", "http://bare/", 1, "Waiting", "");
    Add("gone", "http://gone/", 1);
    LinkEngine& e = Make(LinkJob::Fetch);
    e.Toggle(All());
    EXPECT_EQ(Status("page"), "Fetching") << "the checking flag is not consulted";
    ProbeResult page;
    page.result = 200;
    page.pageRead = true;
    page.page.title = "The Title";
    page.page.description = "A Description";
    page.page.keywords = "Alpha;Beta";
    page.location = "http://p/new";
    prober.Answer(0, page);
    ProbeResult bare;
    bare.result = 200;
    prober.Answer(0, bare);
    prober.Answer(0, 404);
    EXPECT_FALSE(e.Running());
    const auto p = FindByName(doc, "page");
    EXPECT_EQ(p->m_strStatus, "Changed");
    EXPECT_EQ(p->m_strDescription, "A Description");
    EXPECT_EQ(p->m_strKeywords, "old alpha beta");
    EXPECT_EQ(p->m_strURL, "http://p/new");
    EXPECT_EQ(Status("bare"), "No change");
    EXPECT_EQ(Status("gone"), "Page not found");
    EXPECT_TRUE(texts.empty()) << "the fetch shows no SC: texts";
    // The keyword list was rebuilt: a keyword search finds the fetched keywords.
    doc.Search("beta", false, 0);
    ASSERT_EQ(doc.KeywordHits().size(), 1u);
    EXPECT_EQ(doc.Bookmarks()[doc.KeywordHits()[0]].m_strName, "page");
}

TEST_F(EngineTest, FetchFallsBackToTheTitleForKeywords) {
    Add("t", "http://t/");
    LinkEngine& e = Make(LinkJob::Fetch);
    e.Toggle(All());
    ProbeResult r;
    r.result = 200;
    r.page.title = "My Page";
    prober.Answer(0, r);
    EXPECT_EQ(FindByName(doc, "t")->m_strKeywords, " my page");
    EXPECT_EQ(FindByName(doc, "t")->m_strName, "t") << "the bulk fetch never renames";
}

TEST(LinkResultTest, ClassificationTable) {
    using brindle::ClassifyResult;
    EXPECT_EQ(ClassifyResult(200, "http://a/", "HTTP://A/"), "No change");
    EXPECT_EQ(ClassifyResult(200, "http://a/", ""), "No change");
    EXPECT_EQ(ClassifyResult(200, "http://a/", "http://b/"), "Changed");
    const std::vector<std::pair<int, std::string>> table = {{401, "Unauthorized"},
                                                            {404, "Page not found"},
                                                            {407, "Proxy Unauthorized"},
                                                            {500, "Server error"},
                                                            {12002, "Time Out"},
                                                            {12005, "Bad URL"},
                                                            {12006, "Unchecked Scheme"},
                                                            {12007, "Server address unknown"},
                                                            {12023, "Network Failure"},
                                                            {12029, "Server not found"},
                                                            {12152, "No Response"},
                                                            {12156, "Redirect error"},
                                                            {0, "Waiting"},
                                                            {301, "Waiting"},
                                                            {403, "Waiting"},
                                                            {503, "Waiting"}};
    for (const auto& [code, text] : table)
        EXPECT_EQ(ClassifyResult(code, "u", "u"), text) << code;
    EXPECT_EQ(brindle::InternetErrorText(12002), "The request has timed out.");
    EXPECT_EQ(brindle::InternetErrorText(12006),
              "The URL scheme could not be recognized \n or is not supported.");
    EXPECT_EQ(brindle::InternetErrorText(12025), "asynchronous request could not be made.");
    EXPECT_EQ(brindle::InternetErrorText(12156), "Redirect failed");
    EXPECT_EQ(brindle::InternetErrorText(12003), "");
    EXPECT_EQ(brindle::InternetErrorText(404), "");
    EXPECT_EQ(brindle::SystemErrorText(12007), "The server name could not be resolved.");
}

} // namespace
