// SPDX-License-Identifier: GPL-3.0-or-later
// The check engine without a network: queueing a large selection and applying results, with the
// heap a queued URL costs and what a run adds beyond its queue: nothing per URL but the
// status texts the document stores.
//   bench_link [benchmark flags]

#include "status/LinkEngine.h"
#include "store/BrindleDoc.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <string>
#include <vector>

namespace {

// Bytes allocated on the heap now (what the program holds, not what the allocator keeps).
double HeapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// Holds every started slot until the benchmark answers it, as results arriving one by one.
class HeldProber : public brindle::Prober {
  public:
    void Start(int slot, const std::string&, int) override { pending.push_back(slot); }
    void Cancel(int) override {}
    void AnswerAll() {
        while (!pending.empty()) {
            const int slot = pending.back();
            pending.pop_back();
            brindle::ProbeResult r;
            r.result = (slot & 1) ? 404 : 200;
            Complete(slot, r);
        }
    }
    std::vector<int> pending;
};

void Fill(CBrindleDoc& doc, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::string name = "bookmark number " + std::to_string(i);
        const std::string url = "http://host" + std::to_string(i % 977) + ".example/path/" +
                                std::to_string(i) + ".html";
        BookmarkFields f;
        f.name = name;
        f.url = url;
        f.keywords = "bench words";
        f.statusChecking = 1;
        f.status = "Waiting";
        doc.AddBookmark(f);
    }
}

// A whole run over N bookmarks with "ConnectMax" 8: queueing, every result applied.
void BM_CheckRun(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    CPreferences prefs;
    prefs.m_nConnectMax = 8;
    CBrindleDoc doc(prefs);
    Fill(doc, n);
    std::vector<std::uint32_t> all(n);
    for (std::size_t i = 0; i < n; ++i)
        all[i] = static_cast<std::uint32_t>(i);
    HeldProber prober;
    brindle::LinkEngine engine(brindle::LinkJob::Check, doc, prober);
    double queued = 0, run = 0;
    for (auto _ : state) {
        const double before = HeapBytes();
        engine.Toggle(all);
        const double afterQueue = HeapBytes();
        while (!prober.pending.empty())
            prober.AnswerAll();
        const double afterRun = HeapBytes();
        if (state.iterations() == 0) { // the first run: later ones reuse its memory
            queued = (afterQueue - before) / static_cast<double>(n);
            run = (afterRun - afterQueue) / static_cast<double>(n);
        }
        if (engine.Running() || engine.Completed() != n)
            state.SkipWithError("the run did not complete");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
    state.counters["queue_bytes_per_url"] = queued;
    state.counters["run_growth_bytes_per_url"] = run;
}
BENCHMARK(BM_CheckRun)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
