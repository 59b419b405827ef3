// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and saving a 100,000-bookmark document in process (the file reader and writer, with
// the atomic write: temporary file, fsync, rename). BRINDLE_BENCH_BOOKMARKS=N sets another size;
// BRINDLE_BENCH_BRX=FILE also opens and saves that file (an import-made document, say).
// Budget at 100,000: open <= 40 ms; at 1,000,000: open <= 0.5 s, save <= 0.5 s.

#include "SyntheticCollection.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

const std::size_t kBookmarks = [] {
    const char* n = std::getenv("BRINDLE_BENCH_BOOKMARKS");
    return n ? static_cast<std::size_t>(std::strtoull(n, nullptr, 10)) : std::size_t{100000};
}();

const CBrindleDoc& Collection() {
    static const std::unique_ptr<CBrindleDoc> doc = [] {
        auto d = std::make_unique<CBrindleDoc>();
        brindle::bench::FillSyntheticCollection(*d, kBookmarks);
        d->AddMacro(kMacroUrl, "Home", "http://example.com/", 0);
        d->AddSchedule("Weekly", 633600, true);
        return d;
    }();
    return *doc;
}

// A folder for the benchmark's files, removed at exit.
const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "brindle-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        std::atexit([] { std::filesystem::remove_all(Folder()); });
        return pattern;
    }();
    return folder;
}

const std::string& SavedFile() {
    static const std::string path = [] {
        const std::string p = Folder() + "/open.brx";
        if (!brindle::WriteDocumentFile(Collection(), p))
            std::abort();
        return p;
    }();
    return path;
}

void BM_OpenDocument(benchmark::State& state) {
    const std::string& path = SavedFile();
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<CBrindleDoc>();
        state.ResumeTiming();
        const brindle::ArchiveResult r = brindle::OpenDocumentFile(*doc, path);
        if (!r || doc->Bookmarks().size() != kBookmarks)
            state.SkipWithError("open failed");
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveDocument(benchmark::State& state) {
    const CBrindleDoc& doc = Collection();
    const std::string path = Folder() + "/save.brx";
    for (auto _ : state) {
        if (!brindle::WriteDocumentFile(doc, path))
            state.SkipWithError("save failed");
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

// A given file (BRINDLE_BENCH_BRX), opened and saved again.
void BM_OpenGivenFile(benchmark::State& state) {
    const char* path = std::getenv("BRINDLE_BENCH_BRX");
    if (!path) {
        state.SkipWithError("BRINDLE_BENCH_BRX is not set");
        return;
    }
    std::size_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<CBrindleDoc>();
        state.ResumeTiming();
        if (!brindle::OpenDocumentFile(*doc, path))
            state.SkipWithError("open failed");
        count = doc->Bookmarks().size();
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["bookmarks"] = static_cast<double>(count);
}
BENCHMARK(BM_OpenGivenFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveGivenFile(benchmark::State& state) {
    const char* path = std::getenv("BRINDLE_BENCH_BRX");
    CBrindleDoc doc;
    if (!path || !brindle::OpenDocumentFile(doc, path)) {
        state.SkipWithError("BRINDLE_BENCH_BRX is not set or does not open");
        return;
    }
    const std::string out = Folder() + "/given.brx";
    for (auto _ : state)
        if (!brindle::WriteDocumentFile(doc, out))
            state.SkipWithError("save failed");
}
BENCHMARK(BM_SaveGivenFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The writer alone, into memory (no file system).
void BM_SerializeInMemory(benchmark::State& state) {
    const CBrindleDoc& doc = Collection();
    for (auto _ : state)
        benchmark::DoNotOptimize(brindle::DocumentToBytes(doc));
}
BENCHMARK(BM_SerializeInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
