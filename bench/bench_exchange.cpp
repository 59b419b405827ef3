// SPDX-License-Identifier: GPL-3.0-or-later
// Import and export at 100,000 bookmarks, the import of a generated Netscape file split into
// its steps (reading, adding to the document, saving, freeing) at 100,000 and 1,000,000 links,
// and the readers' cost on hostile inputs as they grow (each family reports its complexity: a
// reader must stay linear).

#include "NetscapeFileGenerator.h"
#include "SyntheticCollection.h"

#include "exchange/ChunkReader.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/Favorites.h"
#include "exchange/ImportFile.h"
#include "exchange/Netscape.h"
#include "exchange/Powermarks.h"
#include "exchange/Reports.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr std::size_t kCount = 100000;
namespace fs = std::filesystem;

const std::string& NetscapeText() {
    static const std::string text = brindle::bench::MakeNetscapeFile(kCount);
    return text;
}

CBrindleDoc& ExportDoc() {
    static CBrindleDoc* doc = [] {
        auto* d = new CBrindleDoc;
        brindle::bench::FillSyntheticCollection(*d, kCount);
        d->AddSchedule("Weekly", 604800, true);
        d->AddMacro(kMacroUrl, "Home", "http://home/", 0);
        return d;
    }();
    return *doc;
}

fs::path ScratchDir() {
    static const fs::path dir = [] {
        fs::path p = fs::temp_directory_path() /
                     ("brindle-bench-exchange-" + std::to_string(std::random_device{}()));
        fs::create_directories(p);
        return p;
    }();
    return dir;
}

void BM_ImportNetscape(benchmark::State& state) {
    const std::string& text = NetscapeText();
    for (auto _ : state) {
        CBrindleDoc doc;
        brindle::ImportHtmlText(doc, text);
        benchmark::DoNotOptimize(doc.Bookmarks().size());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ImportNetscape)->Unit(benchmark::kMillisecond);

void BM_ImportPowermarks(benchmark::State& state) {
    static const std::string text = [] {
        brindle::ExchangeReport report;
        const std::string path = (ScratchDir() / "import.htm").string();
        brindle::ExportPowermarks(ExportDoc(), path, brindle::ExportOptions{}, report);
        std::string bytes;
        brindle::ReadWholeFile(path, bytes);
        return bytes;
    }();
    for (auto _ : state) {
        CBrindleDoc doc;
        brindle::ImportHtmlText(doc, text);
        benchmark::DoNotOptimize(doc.Bookmarks().size());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}
BENCHMARK(BM_ImportPowermarks)->Unit(benchmark::kMillisecond);

void BM_ImportAnchors(benchmark::State& state) {
    static const std::string text = [] {
        std::string t = "<html><body><ul>\n";
        for (const auto& b : brindle::bench::MakeSyntheticBookmarks(kCount))
            t += "<li><a class=\"link\" href=\"" + b.url + "\">" + b.name + "</a></li>\n";
        return t + "</ul></body></html>\n";
    }();
    for (auto _ : state) {
        CBrindleDoc doc;
        brindle::ImportHtmlText(doc, text);
        benchmark::DoNotOptimize(doc.Bookmarks().size());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}
BENCHMARK(BM_ImportAnchors)->Unit(benchmark::kMillisecond);

// --- A generated Netscape file imported from disk, step by step --------------------------

// The generated file of `count` links, written once per run.
const std::string& NetscapeFile(std::size_t count) {
    static std::map<std::size_t, std::string> files;
    auto it = files.find(count);
    if (it == files.end()) {
        const std::string path =
            (ScratchDir() / ("links-" + std::to_string(count) + ".html")).string();
        const std::string text = brindle::bench::MakeNetscapeFile(count);
        std::ofstream(path, std::ios::binary)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
        it = files.emplace(count, path).first;
    }
    return it->second;
}

// The reading alone: the file goes through the Netscape reader, the bookmarks nowhere.
void BM_NetscapeFileRead(benchmark::State& state) {
    const std::string& path = NetscapeFile(static_cast<std::size_t>(state.range(0)));
    std::size_t links = 0;
    for (auto _ : state) {
        CBrindleDoc doc;
        links = 0;
        brindle::ImportFile(doc, path, {.sink = [&](const BookmarkFields&) {
                                ++links;
                                return true;
                            }});
        benchmark::DoNotOptimize(links);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * links));
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
}
BENCHMARK(BM_NetscapeFileRead)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// What `brindle-cli import` does in process, each step timed: reading and adding (ImportFile
// into a new document), saving (WriteDocumentFile) and freeing the document. The time shown is
// the sum; the counters give each step in milliseconds, with add_ms = import_ms minus the
// reading alone (BM_NetscapeFileRead, timed again here).
void BM_NetscapeFileImportSteps(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    const std::string& path = NetscapeFile(static_cast<std::size_t>(state.range(0)));
    const std::string saved = (ScratchDir() / "steps.brx").string();
    double read = 0, import = 0, save = 0, free = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        {
            CBrindleDoc scratch;
            brindle::ImportFile(scratch, path,
                                {.sink = [](const BookmarkFields&) { return true; }});
        }
        const auto t1 = Clock::now();
        auto doc = std::make_unique<CBrindleDoc>();
        brindle::ImportFile(*doc, path);
        const auto t2 = Clock::now();
        if (!brindle::WriteDocumentFile(*doc, saved))
            state.SkipWithError("save failed");
        const auto t3 = Clock::now();
        doc.reset();
        const auto t4 = Clock::now();
        read += ms(t0, t1);
        import += ms(t1, t2);
        save += ms(t2, t3);
        free += ms(t3, t4);
        state.SetIterationTime(std::chrono::duration<double>(t4 - t1).count());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["read_ms"] = read / n;
    state.counters["import_ms"] = import / n;
    state.counters["add_ms"] = (import - read) / n;
    state.counters["save_ms"] = save / n;
    state.counters["free_ms"] = free / n;
}
BENCHMARK(BM_NetscapeFileImportSteps)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_NetscapeFileImportSteps)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Every export at 100,000 bookmarks, sorted by name, every field ticked.
template <typename Writer> void RunExport(benchmark::State& state, Writer write, const char* file) {
    CBrindleDoc& doc = ExportDoc();
    const std::string path = (ScratchDir() / file).string();
    brindle::ExportOptions options;
    options.title = "Benchmark";
    for (auto _ : state) {
        brindle::ExchangeReport report;
        if (!write(doc, path, options, report))
            state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}

void BM_ExportNetscape(benchmark::State& state) {
    RunExport(state, brindle::ExportNetscape, "out-netscape.htm");
}
void BM_ExportPowermarks(benchmark::State& state) {
    RunExport(state, brindle::ExportPowermarks, "out-powermarks.htm");
}
void BM_ExportHtml(benchmark::State& state) {
    RunExport(state, brindle::ExportHtml, "out-report.htm");
}
void BM_ExportText(benchmark::State& state) {
    RunExport(state, brindle::ExportText, "out-report.txt");
}
void BM_ExportFavorites(benchmark::State& state) {
    RunExport(state, brindle::ExportFavorites, "favorites");
}
BENCHMARK(BM_ExportNetscape)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPowermarks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportFavorites)->Unit(benchmark::kMillisecond)->Iterations(3);

// --- Hostile inputs, growing: the complexity each family reports must be linear -----------

enum Hostile { kBrackets, kCommentOpeners, kAmpersands, kOneLineOfLinks, kNestedFolders, kGarbage };

std::string MakeHostile(Hostile kind, std::size_t size) {
    std::string t = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n";
    switch (kind) {
    case kBrackets:
        t.append(size, '<');
        break;
    case kCommentOpeners:
        while (t.size() < size)
            t += "<!--";
        break;
    case kAmpersands:
        t += "<DL><DT><A HREF=\"x\">";
        t.append(size, '&');
        t += "</A>";
        break;
    case kOneLineOfLinks:
        for (int i = 0; t.size() < size; ++i)
            t += "<DT><A HREF=\"http://x/" + std::to_string(i) + "\">Link " + std::to_string(i) +
                 "</A>";
        break;
    case kNestedFolders:
        for (int i = 0; t.size() < size; ++i)
            t += "<DT><H3>Folder" + std::to_string(i) + "</H3><DL><p><DT><A HREF=\"http://x/" +
                 std::to_string(i) + "\">Link</A>";
        break;
    case kGarbage: {
        std::mt19937 rng(7);
        const char* pieces[] = {"<",   ">",  "<a href=\"", "</a>", "<dl>", "</dl>", "<h3>", "<!--",
                                "-->", "&#", ";",          "\"",   "x",    " ",     "[",    "]"};
        while (t.size() < size)
            t += pieces[rng() % std::size(pieces)];
        break;
    }
    }
    return t;
}

// The three readers with their marker checks, each into its own document. The Powermarks text
// is made before the timing starts: copying 64 MB is not the reader's work.
void BM_HostileInput(benchmark::State& state) {
    const auto kind = static_cast<Hostile>(state.range(0));
    const auto size = static_cast<std::size_t>(state.range(1));
    const std::string text = MakeHostile(kind, size);
    const std::string powermarks = "<!--Powermarks Format 3.0-->" + text;
    for (auto _ : state) {
        CBrindleDoc a, b, c;
        brindle::ImportNetscape(a, text);
        brindle::ImportPowermarks(b, powermarks);
        brindle::ImportAnchors(c, text);
        benchmark::DoNotOptimize(a.Bookmarks().size() + b.Bookmarks().size() +
                                 c.Bookmarks().size());
    }
    state.SetComplexityN(static_cast<int64_t>(size));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The same readers with the bookmarks going nowhere: what the reading costs without the
// document's AddBookmark.
void BM_HostileReadOnly(benchmark::State& state) {
    const auto kind = static_cast<Hostile>(state.range(0));
    const auto size = static_cast<std::size_t>(state.range(1));
    const std::string text = MakeHostile(kind, size);
    std::size_t links = 0;
    const brindle::BookmarkSink count = [&](const BookmarkFields&) {
        ++links;
        return true;
    };
    for (auto _ : state) {
        CBrindleDoc doc; // macros and schedules only
        links = 0;
        using Make = std::unique_ptr<brindle::ChunkReader> (*)(CBrindleDoc&, brindle::BookmarkSink);
        for (Make make : {Make(brindle::MakeNetscapeReader), Make(brindle::MakePowermarksReader),
                          Make(brindle::MakeAnchorReader)}) {
            const auto reader = make(doc, count);
            reader->FeedLast(text); // no marker checks: the readers themselves
        }
        benchmark::DoNotOptimize(links);
    }
    state.counters["links"] = static_cast<double>(links);
    state.SetComplexityN(static_cast<int64_t>(size));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void HostileArgs(benchmark::internal::Benchmark* b, Hostile kind) {
    for (std::int64_t mb : {1, 2, 4, 8, 16, 32, 64})
        b->Args({kind, mb << 20});
}

#define HOSTILE(name, kind)                                                                        \
    BENCHMARK(BM_HostileInput)                                                                     \
        ->Name("BM_Hostile/" name)                                                                 \
        ->Apply([](benchmark::internal::Benchmark* b) { HostileArgs(b, kind); })                   \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Complexity(benchmark::oN);                                                               \
    BENCHMARK(BM_HostileReadOnly)                                                                  \
        ->Name("BM_HostileReadOnly/" name)                                                         \
        ->Apply([](benchmark::internal::Benchmark* b) { HostileArgs(b, kind); })                   \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Complexity(benchmark::oN)

HOSTILE("brackets", kBrackets);
HOSTILE("comment_openers", kCommentOpeners);
HOSTILE("ampersands", kAmpersands);
HOSTILE("one_line_of_links", kOneLineOfLinks);
HOSTILE("nested_folders", kNestedFolders);
HOSTILE("garbage", kGarbage);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(ScratchDir(), ec);
    return 0;
}
