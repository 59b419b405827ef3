// SPDX-License-Identifier: GPL-3.0-or-later
// The fetch window over a fetcher that answers when told: how many go at once, and a busy host's
// pages going before others as soon as it is free.
#include "archive/FetchWindow.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace brindle;

namespace {

// Hosts are the URLs' first letter; a host with two fetches running is busy.
class Below : public PageFetcher {
  public:
    void Fetch(std::uint64_t id, const std::string& url, std::size_t) override {
        running[id] = url;
        asked.push_back(url);
    }
    void CancelAll() override { running.clear(); }
    bool Busy(const std::string& host) const {
        int n = 0;
        for (const auto& [id, url] : running)
            n += url.substr(0, 1) == host;
        return n >= 2;
    }
    void Answer(std::uint64_t id) {
        running.erase(id);
        Finish(id, PageBody{200, "", "text/html", "", "", false});
    }

    std::map<std::uint64_t, std::string> running;
    std::vector<std::string> asked;
};

} // namespace

TEST(FetchWindowTest, KeepsTheWindowAndGivesAFreedHostItsTurnFirst) {
    Below below;
    FetchWindow window(
        below, 3, [](const std::string& url) { return url.substr(0, 1); },
        [&](const std::string& host) { return below.Busy(host); });
    std::vector<std::uint64_t> done;
    window.SetDone([&](std::uint64_t id, PageBody) { done.push_back(id); });
    const std::vector<std::string> urls = {"b1", "b2", "b3", "c1", "b4", "d1", "e1", "f1"};
    for (std::size_t i = 0; i < urls.size(); ++i)
        window.Fetch(i, urls[i], 100);
    EXPECT_EQ(below.asked, (std::vector<std::string>{"b1", "b2", "c1"}));
    below.Answer(0); // b1: b3 waited aside and goes before d1
    below.Answer(3); // c1
    EXPECT_EQ(below.asked, (std::vector<std::string>{"b1", "b2", "c1", "b3", "d1"}));
    EXPECT_EQ(done, (std::vector<std::uint64_t>{0, 3}));
    for (std::uint64_t id : {1, 2, 4, 5, 6})
        below.Answer(id);
    EXPECT_EQ(below.asked,
              (std::vector<std::string>{"b1", "b2", "c1", "b3", "d1", "b4", "e1", "f1"}));
    for (std::uint64_t id = 0; id < urls.size(); ++id)
        if (below.running.count(id))
            below.Answer(id);
    EXPECT_EQ(done.size(), urls.size());
    EXPECT_EQ(window.Running(), 0u);
}

TEST(FetchWindowTest, AsksABusyHostWhenNothingElseRuns) {
    Below below;
    bool busy = true; // a host backing off
    FetchWindow window(
        below, 4, [](const std::string& url) { return url.substr(0, 1); },
        [&](const std::string&) { return busy; });
    window.Fetch(0, "a1", 100);
    window.Fetch(1, "a2", 100);
    EXPECT_EQ(below.asked, (std::vector<std::string>{"a1"})) << "it waits its turn below";
    below.Answer(0);
    EXPECT_EQ(below.asked, (std::vector<std::string>{"a1", "a2"}));
}
