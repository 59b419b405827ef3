// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and saving a 100,000-bookmark document in process (the file reader and writer, with
// the atomic write: temporary file, fsync, rename). BRINDLE_BENCH_BOOKMARKS=N sets another size;
// BRINDLE_BENCH_BRX=FILE also opens and saves that file (an import-made document, say).
// Budget at 100,000: open <= 40 ms; at 1,000,000: open <= 0.5 s, save <= 0.5 s.
//
// The synthetic collection's texts are all ASCII. The "Imported" benchmarks use a document made
// as users make one: a generated Netscape file whose titles are a third outside ASCII, imported,
// so that the file holds many strings in the 16-bit form.

#include "NetscapeFileGenerator.h"
#include "SyntheticCollection.h"

#include "exchange/ImportFile.h"
#include "store/ArchiveText.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

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

// The import-made document, saved once per run.
const std::string& ImportedFile() {
    static const std::string path = [] {
        const std::string html = Folder() + "/mixed.html";
        const std::string text = brindle::bench::MakeNetscapeFile(kBookmarks, 1, true);
        std::ofstream(html, std::ios::binary)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
        CBrindleDoc doc;
        brindle::ImportFile(doc, html);
        const std::string p = Folder() + "/imported.brx";
        if (doc.Bookmarks().size() != kBookmarks || !brindle::WriteDocumentFile(doc, p))
            std::abort();
        std::filesystem::remove(html);
        return p;
    }();
    return path;
}

void BM_OpenImportedDocument(benchmark::State& state) {
    const std::string& path = ImportedFile();
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
BENCHMARK(BM_OpenImportedDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveImportedDocument(benchmark::State& state) {
    CBrindleDoc doc;
    if (!brindle::OpenDocumentFile(doc, ImportedFile())) {
        state.SkipWithError("open failed");
        return;
    }
    const std::string out = Folder() + "/imported-save.brx";
    for (auto _ : state)
        if (!brindle::WriteDocumentFile(doc, out))
            state.SkipWithError("save failed");
}
BENCHMARK(BM_SaveImportedDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

// 16-bit strings to UTF-8, the fast conversion and the plain one, title by title, on titles like
// the imported ones: mostly ASCII, with a word of accented Latin, Cyrillic, CJK or an emoji.
struct Utf16Titles {
    std::string bytes;
    std::vector<std::size_t> starts; // unit index of each title, and the end
};

const Utf16Titles& Titles() {
    static const Utf16Titles titles = [] {
        const std::u16string words[] = {u"Caf\u00e9", u"\u041d\u043e\u0432\u043e\u0441\u0442\u0438",
                                        u"\u6771\u4eac", u"Z\u00fcrich \U0001F680"};
        std::mt19937 rng(3);
        Utf16Titles t;
        for (int i = 0; i < 100000; ++i) {
            t.starts.push_back(t.bytes.size() / 2);
            std::u16string title = u"Programming news and tools ";
            title.append(rng() % 20, u'x');
            title += words[rng() % std::size(words)];
            for (const char16_t u : title) {
                t.bytes += static_cast<char>(u & 0xFF);
                t.bytes += static_cast<char>(u >> 8);
            }
        }
        t.starts.push_back(t.bytes.size() / 2);
        return t;
    }();
    return titles;
}

template <typename Convert> void ConvertTitles(benchmark::State& state, Convert convert) {
    const Utf16Titles& t = Titles();
    for (auto _ : state)
        for (std::size_t i = 0; i + 1 < t.starts.size(); ++i)
            convert(t.bytes.data() + 2 * t.starts[i], t.starts[i + 1] - t.starts[i]);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * t.bytes.size()));
}

void BM_Utf16ToUtf8Fast(benchmark::State& state) {
    std::unique_ptr<char[]> out(new char[brindle::Utf8BytesFor(4096)]);
    ConvertTitles(state, [&](const char* data, std::size_t units) {
        benchmark::DoNotOptimize(brindle::Utf16LEToUtf8(data, units, out.get()));
    });
}
BENCHMARK(BM_Utf16ToUtf8Fast)->Unit(benchmark::kMillisecond);

void BM_Utf16ToUtf8Reference(benchmark::State& state) {
    ConvertTitles(state, [](const char* data, std::size_t units) {
        benchmark::DoNotOptimize(brindle::Utf16LEToUtf8Reference(data, units));
    });
}
BENCHMARK(BM_Utf16ToUtf8Reference)->Unit(benchmark::kMillisecond);

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
