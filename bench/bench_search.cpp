// Keystroke search, string search, adding, re-ordering and a plain-scan baseline at 100,000
// bookmarks.

#include "SyntheticCollection.h"

#include "store/BrindleDoc.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kCount = 100000;
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
    for (const auto& b : doc.m_arrBookmarks)
        found += std::string_view(b->m_strKeywords).find(term) != std::string_view::npos;
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
    doc.m_nSearchMode = kSearchKeyword;
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
    state.counters["hits"] = static_cast<double>(doc.m_arrKeywordHits.size());
    state.counters["keywords"] = static_cast<double>(doc.m_arrDictionary.size());
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
    doc.m_nSearchMode = kSearchString;
    for (auto _ : state)
        doc.Search("prog", false, kSearchAllFields);
    state.counters["hits"] = static_cast<double>(doc.m_arrStringHits.size());
    doc.m_nSearchMode = kSearchKeyword;
}
BENCHMARK(BM_StringSearchAllFields)->Unit(benchmark::kMillisecond);

// 100,000 bookmarks added one at a time, duplicate check included.
void BM_Add100k(benchmark::State& state) {
    const auto values = brindle::bench::MakeSyntheticBookmarks(kCount);
    for (auto _ : state) {
        auto doc = std::make_unique<CBrindleDoc>();
        for (const auto& b : values)
            doc->AddBookmark({.name = b.name,
                              .url = b.url,
                              .keywords = b.keywords,
                              .description = b.description,
                              .statusChecking = 1,
                              .schedule = kNoSchedule,
                              .status = kStatusWaiting,
                              .addDate = b.added,
                              .lastVisited = b.visited,
                              .lastModified = b.modified,
                              .lastChecked = b.checked});
        state.PauseTiming(); // freeing the collection is not part of adding
        benchmark::DoNotOptimize(doc->m_arrBookmarks.size());
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Add100k)->Unit(benchmark::kMillisecond)->Iterations(5);

// Re-ordering every hit after a header click on a text column (0) and a date column (8).
void BM_Reorder(benchmark::State& state) {
    CBrindleDoc& doc = SharedDoc();
    doc.m_nSearchMode = kSearchKeyword;
    doc.Search("", false, 0);
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        doc.m_nSortColumn = kFieldURL; // start from another order, as a user would
        doc.SortActiveHits();
        doc.m_nSortColumn = column;
        state.ResumeTiming();
        doc.SortActiveHits();
    }
    doc.m_nSortColumn = 0;
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
        std::vector<std::uint32_t> all(doc.m_arrBookmarks.size());
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

} // namespace

BENCHMARK_MAIN();
