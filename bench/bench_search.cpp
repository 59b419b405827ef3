// SPDX-License-Identifier: GPL-3.0-or-later
// Keystroke search, string search, adding, re-ordering, deleting and undoing everything, a long
// session's memory and a plain-scan baseline at 100,000 bookmarks (BRINDLE_BENCH_BOOKMARKS=N for
// another size, e.g. 1000000).

#include "SyntheticCollection.h"

#include "store/BrindleDoc.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

namespace {

const std::size_t kCount = [] {
    const char* n = std::getenv("BRINDLE_BENCH_BOOKMARKS");
    return n ? static_cast<std::size_t>(std::strtoull(n, nullptr, 10)) : std::size_t{100000};
}();

// Resident memory of this process in bytes.
double ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096.0;
}
constexpr const char* kTyped = "java.prog";

CBrindleDoc& SharedDoc() {
    static CBrindleDoc* doc = [] {
        auto* d = new CBrindleDoc;
        brindle::bench::FillSyntheticCollection(*d, kCount);
        d->Search("", false, 0); // warm the dictionary cache as a running program would
        return d;
    }();
    return *doc;
}

// One pass over every keyword text with string_view::find: the least any keyword search must do.
std::size_t BaselineScan(const CBrindleDoc& doc, std::string_view term) {
    std::size_t found = 0;
    for (const BookmarkRef b : doc.Bookmarks())
        found += b.m_strKeywords.find(term) != std::string_view::npos;
    return found;
}

double BaselineSeconds(std::string_view term) {
    const CBrindleDoc& doc = SharedDoc();
    std::vector<double> runs;
    for (int i = 0; i < 31; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(BaselineScan(doc, term));
        runs.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::nth_element(runs.begin(), runs.begin() + 15, runs.end());
    return runs[15];
}

// Each keystroke of "java.prog": search, ordering, dictionary and status counts (the window
// makes the pane texts).
void BM_Keystroke(benchmark::State& state) {
    CBrindleDoc& doc = SharedDoc();
    doc.SetSearchMode(kSearchKeyword);
    const std::string typed(kTyped, static_cast<std::size_t>(state.range(0)));
    // The baseline looks for the word being typed, as the last term does.
    const std::string_view lastTerm = std::string_view(typed).substr(
        typed.rfind('.') == std::string::npos ? 0 : typed.rfind('.') + 1);
    const double baseline = BaselineSeconds(lastTerm.empty() ? "java" : lastTerm);
    for (auto _ : state) {
        doc.Search(typed, false, 0);
        benchmark::DoNotOptimize(doc.Counts());
    }
    state.SetLabel("\"" + typed + "\"");
    state.counters["hits"] = static_cast<double>(doc.KeywordHits().size());
    state.counters["keywords"] = static_cast<double>(doc.Dictionary().size());
    state.counters["baseline_ms"] = baseline * 1e3;
    state.counters["x_baseline"] = benchmark::Counter(
        baseline, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Keystroke)->DenseRange(1, 9)->Unit(benchmark::kMillisecond);

void BM_Baseline(benchmark::State& state) {
    const CBrindleDoc& doc = SharedDoc();
    for (auto _ : state)
        benchmark::DoNotOptimize(BaselineScan(doc, "prog"));
}
BENCHMARK(BM_Baseline)->Unit(benchmark::kMillisecond);

// String search over all seven fields, match case off.
void BM_StringSearchAllFields(benchmark::State& state) {
    CBrindleDoc& doc = SharedDoc();
    doc.SetSearchMode(kSearchString);
    for (auto _ : state)
        doc.Search("prog", false, kSearchAllFields);
    state.counters["hits"] = static_cast<double>(doc.StringHits().size());
    doc.SetSearchMode(kSearchKeyword);
}
BENCHMARK(BM_StringSearchAllFields)->Unit(benchmark::kMillisecond);

// 100,000 bookmarks added one at a time, duplicate check included.
void BM_Add100k(benchmark::State& state) {
    const auto values = brindle::bench::MakeSyntheticBookmarks(kCount);
    for (auto _ : state) {
        auto doc = std::make_unique<CBrindleDoc>();
        for (const auto& b : values)
            doc->AddBookmark(brindle::bench::FieldsOf(b));
        state.PauseTiming(); // freeing the collection is not part of adding
        benchmark::DoNotOptimize(doc->Bookmarks().size());
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Add100k)->Unit(benchmark::kMillisecond)->Iterations(5);

// Re-ordering every hit after a header click on a text column (0) and a date column (8).
void BM_Reorder(benchmark::State& state) {
    CBrindleDoc& doc = SharedDoc();
    doc.SetSearchMode(kSearchKeyword);
    doc.Search("", false, 0);
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        doc.SetSortOrder(kFieldURL,
                         doc.SortAscending() != 0); // start from another order, as a user would
        doc.SortActiveHits();
        doc.SetSortOrder(column, doc.SortAscending() != 0);
        state.ResumeTiming();
        doc.SortActiveHits();
    }
    doc.SetSortOrder(0, doc.SortAscending() != 0);
    doc.SortActiveHits();
}
BENCHMARK(BM_Reorder)->Arg(kFieldName)->Arg(kFieldAddDate)->Unit(benchmark::kMillisecond);

// Deleting every bookmark in one command, then undoing that delete.
void BM_DeleteAndUndoAll(benchmark::State& state) {
    CBrindleDoc doc;
    brindle::bench::FillSyntheticCollection(doc, kCount);
    doc.Search("", false, 0);
    double deleteMs = 0, undoMs = 0;
    for (auto _ : state) {
        std::vector<std::uint32_t> all(doc.Bookmarks().size());
        for (std::uint32_t i = 0; i < all.size(); ++i)
            all[i] = i;
        const auto t0 = std::chrono::steady_clock::now();
        doc.ClearUndo(kUndoBookmarks);
        doc.DeleteBookmarks(all);
        doc.RerunLastSearch();
        const auto t1 = std::chrono::steady_clock::now();
        doc.UndoDeleteBookmarks();
        const auto t2 = std::chrono::steady_clock::now();
        deleteMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
        undoMs = std::chrono::duration<double, std::milli>(t2 - t1).count();
    }
    state.counters["delete_ms"] = deleteMs;
    state.counters["undo_ms"] = undoMs;
}
BENCHMARK(BM_DeleteAndUndoAll)->Unit(benchmark::kMillisecond)->Iterations(2);

// A long session: cycles of a keystroke search, an edit, a delete and its undo. Memory must stay
// flat (within 10 % of where the first cycles left it).
void BM_LongSessionMemory(benchmark::State& state) {
    CBrindleDoc doc;
    brindle::bench::FillSyntheticCollection(doc, std::min<std::size_t>(kCount, 100000));
    doc.Search("", false, 0);
    const auto& vocabulary = brindle::bench::Vocabulary();
    double start = 0, end = 0;
    for (auto _ : state) {
        for (int cycle = 0; cycle < 1000; ++cycle) {
            const auto n = static_cast<std::uint32_t>(doc.Bookmarks().size());
            const std::string& word = vocabulary[static_cast<std::size_t>(cycle * 7) % 200];
            doc.SetSearchMode(cycle % 5 ? kSearchKeyword : kSearchString);
            doc.Search(word.substr(0, 1 + cycle % 4), false, kSearchAllFields);
            const std::uint32_t at = (static_cast<std::uint32_t>(cycle) * 7919u) % n;
            doc.SetFieldText(at, kFieldNotes, "note " + std::to_string(cycle));
            doc.RenameKeywordInBookmark(at, word, vocabulary[static_cast<std::size_t>(cycle) % 50]);
            std::vector<std::uint32_t> picked;
            for (std::uint32_t k = 0; k < 1000; ++k)
                picked.push_back((at + k * 97u) % n);
            doc.ClearUndo(kUndoBookmarks);
            doc.DeleteBookmarks(picked);
            doc.RerunLastSearch();
            doc.UndoDeleteBookmarks();
            if (cycle == 20)
                start = ResidentBytes(); // caches and chunks have reached their working size
        }
        end = ResidentBytes();
    }
    state.counters["start_MB"] = start / 1e6;
    state.counters["end_MB"] = end / 1e6;
    state.counters["growth_pct"] = (end - start) / start * 100.0;
    if (end > start * 1.10)
        state.SkipWithError("memory grew by more than 10 % over the session");
}
BENCHMARK(BM_LongSessionMemory)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
