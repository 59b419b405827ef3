// SPDX-License-Identifier: GPL-3.0-or-later
// Finding duplicate groups (same and likely) and the normal form alone, over the synthetic
// collection with every tenth address saved again in a variant: half with campaign parameters
// (the same page), half over http without "www." (likely the same). 100,000 bookmarks, or
// BRINDLE_BENCH_BOOKMARKS=N (e.g. 1000000; the budget there is 1 s for the whole process, see
// bench/cli_duplicates.sh).

#include "SyntheticCollection.h"

#include "store/BrindleDoc.h"
#include "store/DuplicateGroups.h"
#include "store/UrlNormalForm.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

const std::size_t kCount = [] {
    const char* n = std::getenv("BRINDLE_BENCH_BOOKMARKS");
    return n ? static_cast<std::size_t>(std::strtoull(n, nullptr, 10)) : std::size_t{100000};
}();

const CBrindleDoc& SharedDoc() {
    static CBrindleDoc* doc = [] {
        auto* d = new CBrindleDoc;
        const std::size_t variants = kCount / 10;
        auto bookmarks = brindle::bench::MakeSyntheticBookmarks(kCount - variants);
        for (const auto& b : bookmarks)
            d->AddBookmark(brindle::bench::FieldsOf(b));
        for (std::size_t i = 0; i < variants; ++i) {
            brindle::bench::SyntheticBookmark v = bookmarks[i * 9 % bookmarks.size()];
            if (i % 2 == 0)
                v.url += "?utm_source=newsletter&utm_medium=email";
            else
                v.url.replace(0, 12, "http://"); // "https://www." -> "http://"
            d->AddBookmark(brindle::bench::FieldsOf(v));
        }
        return d;
    }();
    return *doc;
}

void BM_FindSameGroups(benchmark::State& state) {
    const CBrindleDoc& doc = SharedDoc();
    std::size_t groups = 0;
    for (auto _ : state) {
        groups = brindle::FindDuplicateGroups(doc.Bookmarks(), false).size();
        benchmark::DoNotOptimize(groups);
    }
    state.counters["groups"] = static_cast<double>(groups);
    state.counters["bookmarks"] = static_cast<double>(doc.Bookmarks().size());
}
BENCHMARK(BM_FindSameGroups)->Unit(benchmark::kMillisecond);

void BM_FindSameAndLikelyGroups(benchmark::State& state) {
    const CBrindleDoc& doc = SharedDoc();
    std::size_t groups = 0;
    for (auto _ : state) {
        groups = brindle::FindDuplicateGroups(doc.Bookmarks(), true).size();
        benchmark::DoNotOptimize(groups);
    }
    state.counters["groups"] = static_cast<double>(groups);
}
BENCHMARK(BM_FindSameAndLikelyGroups)->Unit(benchmark::kMillisecond);

void BM_NormalForm(benchmark::State& state) {
    const CBrindleDoc& doc = SharedDoc();
    std::string key;
    for (auto _ : state) {
        for (const BookmarkRef b : doc.Bookmarks()) {
            brindle::SameUrlKey(b.m_strURL, key);
            benchmark::DoNotOptimize(key.data());
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(doc.Bookmarks().size()));
}
BENCHMARK(BM_NormalForm)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
