// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A prober the test answers by hand: it records what the engine asks and delivers the results
// the test gives, slot by slot.

#include "status/Prober.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testutil {

class ScriptedProber : public brindle::Prober {
  public:
    struct Call {
        int slot;
        std::string url;
        int delayMs;
    };

    void Start(int slot, const std::string& url, int delayMs) override {
        starts.push_back({slot, url, delayMs});
        busy.at(static_cast<std::size_t>(slot)) = true;
    }
    void Cancel(int slot) override {
        cancels.push_back(slot);
        busy.at(static_cast<std::size_t>(slot)) = false;
    }
    // Delivers `result` for `slot`, as the event loop would.
    void Answer(int slot, brindle::ProbeResult result) {
        busy.at(static_cast<std::size_t>(slot)) = false;
        Complete(slot, std::move(result));
    }
    void Answer(int slot, int code) {
        brindle::ProbeResult r;
        r.result = code;
        Answer(slot, std::move(r));
    }
    // Hosts ("http://HOST/...") that take no request now; freeing one tells the engine.
    bool HostBusy(const std::string& url) const override {
        const std::size_t begin = url.find("://") + 3;
        return busyHosts.count(url.substr(begin, url.find('/', begin) - begin)) > 0;
    }
    // Hosts that are not busy but would make a request wait a second for their rate.
    std::chrono::milliseconds HostReadyIn(const std::string& url) const override {
        const std::size_t begin = url.find("://") + 3;
        if (HostBusy(url))
            return kWhenFree;
        return ratedHosts.count(url.substr(begin, url.find('/', begin) - begin))
                   ? std::chrono::seconds(1)
                   : std::chrono::milliseconds::zero();
    }
    void FreeHost(const std::string& host) {
        busyHosts.erase(host);
        HostFreed();
    }
    int Busy() const {
        int n = 0;
        for (bool b : busy)
            n += b ? 1 : 0;
        return n;
    }

    std::vector<Call> starts;
    std::vector<int> cancels;
    std::set<std::string> busyHosts;
    std::set<std::string> ratedHosts;
    std::vector<bool> busy = std::vector<bool>(8, false);
};

} // namespace testutil
