// Opening and saving a 100,000-bookmark document in process (the file reader and writer, with
// the atomic write: temporary file, fsync, rename). Budget: open <= 150 ms, save <= 150 ms.

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

constexpr std::size_t kBookmarks = 100000;

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

void BM_OpenDocument100k(benchmark::State& state) {
    const std::string& path = SavedFile();
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<CBrindleDoc>();
        state.ResumeTiming();
        const brindle::ArchiveResult r = brindle::OpenDocumentFile(*doc, path);
        if (!r || doc->m_arrBookmarks.size() != kBookmarks)
            state.SkipWithError("open failed");
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_OpenDocument100k)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveDocument100k(benchmark::State& state) {
    const CBrindleDoc& doc = Collection();
    const std::string path = Folder() + "/save.brx";
    for (auto _ : state) {
        if (!brindle::WriteDocumentFile(doc, path))
            state.SkipWithError("save failed");
    }
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_SaveDocument100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The writer alone, into memory (no file system).
void BM_SerializeInMemory100k(benchmark::State& state) {
    const CBrindleDoc& doc = Collection();
    for (auto _ : state)
        benchmark::DoNotOptimize(brindle::DocumentToBytes(doc));
}
BENCHMARK(BM_SerializeInMemory100k)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
