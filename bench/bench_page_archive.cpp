// SPDX-License-Identifier: GPL-3.0-or-later
// The page archive at scale: generated pages of prose-like text are indexed once, then
// text-search keystrokes and opening the archive are timed. The prose: 300-3,000 words a page,
// drawn from a 50,000-word vocabulary with Zipf frequencies (exponent 1.07, as in English text);
// words are made of syllables, the frequent ones short (about 4.6 letters a word on average, 5.7
// bytes with its blank and punctuation, near English), in capitalised sentences of 8-25 words with
// a line break after one sentence in five. Words follow each other independently, so the text
// compresses somewhat worse than real prose. Counters: pages indexed per second, bytes per page on
// disk (database, index and log together), peak memory of the process.
//   BRINDLE_BENCH_PAGES=N   pages to generate (default 100000)
//   BRINDLE_BENCH_KEEP=DIR  build the archive in DIR and keep it (default: a temporary folder)
//   BRINDLE_BENCH_REUSE=1   with KEEP: search the archive an earlier run left there
#include "archive/PageArchive.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

using namespace brindle;

namespace {

constexpr std::size_t kVocabulary = 50000;

// Words built from syllables; rank 0 is the most frequent.
class ProseGenerator {
  public:
    ProseGenerator() {
        static const char* syllables[] = {
            "ka", "lo", "mi",  "ne",  "ru",  "sa",  "te",  "vi",  "do",  "pe",  "an", "or",  "el",
            "is", "um", "tra", "ber", "con", "dis", "gen", "pro", "str", "qua", "zy", "wen", "fi"};
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> pick(0, 25);
        while (m_words.size() < kVocabulary) {
            // Frequent words are short, as in prose.
            const std::size_t rank = m_words.size();
            const int count = rank < 20     ? 1
                              : rank < 300  ? 2
                              : rank < 5000 ? 2 + static_cast<int>(rng() % 2)
                                            : 3 + static_cast<int>(rng() % 2);
            std::string word;
            for (int i = 0; i < count; ++i)
                word += syllables[pick(rng)];
            if (m_seen.insert(word).second)
                m_words.push_back(word);
        }
        double sum = 0;
        m_cdf.reserve(kVocabulary);
        for (std::size_t r = 0; r < kVocabulary; ++r)
            m_cdf.push_back(sum += 1.0 / std::pow(static_cast<double>(r + 1), 1.07));
        for (double& c : m_cdf)
            c /= sum;
    }
    const std::string& Word(std::size_t rank) const { return m_words[rank]; }

    std::string Page(std::uint64_t seed, std::string& title) const {
        std::mt19937_64 rng(seed * 2654435761u + 1);
        std::uniform_real_distribution<double> unit(0, 1);
        const auto word = [&]() -> const std::string& {
            const double u = unit(rng);
            return m_words[static_cast<std::size_t>(
                std::lower_bound(m_cdf.begin(), m_cdf.end(), u) - m_cdf.begin())];
        };
        title.clear();
        for (int i = 0; i < 5; ++i)
            title += (i ? " " : "") + word();
        const std::size_t words = 300 + rng() % 2701;
        std::string text;
        text.reserve(words * 7);
        std::size_t inSentence = 0, sentenceLength = 8 + rng() % 18;
        for (std::size_t i = 0; i < words; ++i) {
            const std::string& w = word();
            if (inSentence == 0) {
                if (!text.empty())
                    text += (rng() % 5 == 0) ? '\n' : ' ';
                text += static_cast<char>(w[0] - 32);
                text.append(w, 1);
            } else {
                text += ' ';
                text += w;
            }
            if (++inSentence == sentenceLength) {
                text += '.';
                inSentence = 0;
                sentenceLength = 8 + rng() % 18;
            }
        }
        text += '.';
        return text;
    }

  private:
    std::vector<std::string> m_words;
    std::vector<double> m_cdf;
    std::unordered_set<std::string> m_seen;
};

struct Built {
    std::unique_ptr<QTemporaryDir> temp;
    std::string path;
    std::size_t pages = 0;
    double seconds = 0;
    double cpuSeconds = 0;     // of the process, all threads: the machine may be shared
    double mainCpuSeconds = 0; // of the thread calling the archive: the wall time when idle
    double textBytes = 0;
};

const ProseGenerator& Prose() {
    static const ProseGenerator generator;
    return generator;
}

std::size_t PageCount() {
    const char* n = std::getenv("BRINDLE_BENCH_PAGES");
    return n ? std::strtoull(n, nullptr, 10) : 100000;
}

std::uintmax_t DiskBytes(const std::string& path) {
    std::uintmax_t total = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(path + suffix, ec);
        if (!ec)
            total += size;
    }
    return total;
}

long PeakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

double CpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Indexing from fetched text: generation is not timed, compression and indexing are.
Built& Archive() {
    static Built built = [] {
        Built b;
        const char* keep = std::getenv("BRINDLE_BENCH_KEEP");
        if (keep) {
            QDir().mkpath(keep);
            b.path = std::string(keep) + "/pages.sqlite";
        } else {
            b.temp = std::make_unique<QTemporaryDir>();
            b.path = b.temp->filePath("pages.sqlite").toStdString();
        }
        b.pages = PageCount();
        // BRINDLE_BENCH_REUSE=1: search an archive kept by an earlier run (no indexing figures).
        if (keep && std::getenv("BRINDLE_BENCH_REUSE") && std::filesystem::exists(b.path))
            return b;
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(b.path + suffix);
        PageArchive archive;
        if (!archive.Open(b.path, true)) {
            std::fprintf(stderr, "%s: %s\n", b.path.c_str(), archive.Error().c_str());
            std::abort();
        }
        b.pages = PageCount();
        std::vector<ArchivedPage> batch(1000);
        std::string title;
        for (std::size_t start = 0; start < b.pages; start += batch.size()) {
            const std::size_t n = std::min(batch.size(), b.pages - start);
            for (std::size_t i = 0; i < n; ++i) {
                ArchivedPage& p = batch[i];
                p.url = "https://site" + std::to_string((start + i) % 997) + ".example/page/" +
                        std::to_string(start + i);
                p.finalUrl = p.url;
                p.fetched = 1760000000;
                p.text = Prose().Page(start + i, title);
                p.title = title;
                b.textBytes += static_cast<double>(p.text.size());
            }
            const auto t0 = std::chrono::steady_clock::now();
            const double c0 = CpuSeconds(), m0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            batch.resize(n);
            archive.Begin();
            archive.Put(batch);
            archive.Commit();
            b.seconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            b.cpuSeconds += CpuSeconds() - c0;
            b.mainCpuSeconds += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - m0;
        }
        archive.Close(); // checkpoints the log into the database
        return b;
    }();
    return built;
}

void BM_IndexPages(benchmark::State& state) {
    for (auto _ : state) {
        const Built& b = Archive();
        state.SetIterationTime(b.seconds);
    }
    const Built& b = Archive();
    state.counters["pages"] = static_cast<double>(b.pages);
    state.counters["pages_per_s"] = static_cast<double>(b.pages) / b.seconds;
    state.counters["pages_per_cpu_s"] = static_cast<double>(b.pages) / b.cpuSeconds;
    state.counters["pages_per_main_cpu_s"] = static_cast<double>(b.pages) / b.mainCpuSeconds;
    state.counters["text_bytes_per_page"] = b.textBytes / static_cast<double>(b.pages);
    state.counters["disk_bytes_per_page"] =
        static_cast<double>(DiskBytes(b.path)) / static_cast<double>(b.pages);
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
}
BENCHMARK(BM_IndexPages)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// One keystroke of the search box, as the window runs it: every match ranked, the first 50 with
// their snippets, a phrase checked in the text until 50 hits are found.
void Keystroke(benchmark::State& state, const std::string& query) {
    PageArchive archive;
    if (!archive.Open(Archive().path, false))
        std::abort();
    std::size_t hits = 0;
    for (auto _ : state) {
        const TextSearchResult r = archive.Search(query, 0, 50, 50);
        if (!r.error.empty())
            state.SkipWithError(r.error.c_str());
        hits = r.hits.size();
        benchmark::DoNotOptimize(r);
    }
    state.counters["hits"] = static_cast<double>(hits);
    state.SetLabel(query);
}

void BM_KeystrokeCommonWord(benchmark::State& state) {
    Keystroke(state, Prose().Word(30));
}
void BM_KeystrokeMediumWord(benchmark::State& state) {
    Keystroke(state, Prose().Word(3000));
}
void BM_KeystrokeRareWord(benchmark::State& state) {
    Keystroke(state, Prose().Word(40000));
}
void BM_KeystrokeTwoWords(benchmark::State& state) {
    Keystroke(state, Prose().Word(500) + " " + Prose().Word(2000));
}
void BM_KeystrokePhrase(benchmark::State& state) {
    Keystroke(state, "\"" + Prose().Word(1) + " " + Prose().Word(2) + "\"");
}
void BM_KeystrokePrefix(benchmark::State& state) {
    Keystroke(state, Prose().Word(3000).substr(0, 3) + "*");
}
void BM_KeystrokeOrNot(benchmark::State& state) {
    Keystroke(state,
              "(" + Prose().Word(800) + " OR " + Prose().Word(900) + ") NOT " + Prose().Word(50));
}
// The first 50 only, as `brindle-cli search --limit 50` asks.
void BM_First50CommonWord(benchmark::State& state) {
    PageArchive archive;
    if (!archive.Open(Archive().path, false))
        std::abort();
    for (auto _ : state)
        benchmark::DoNotOptimize(archive.Search(Prose().Word(30), 50, 50));
}
BENCHMARK(BM_KeystrokeCommonWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeMediumWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeRareWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeTwoWords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokePhrase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokePrefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeOrNot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_First50CommonWord)->Unit(benchmark::kMillisecond);

// What opening a document adds when it has an archive: opening the database.
void BM_OpenArchive(benchmark::State& state) {
    const std::string path = Archive().path;
    for (auto _ : state) {
        PageArchive archive;
        benchmark::DoNotOptimize(archive.Open(path, false));
    }
}
BENCHMARK(BM_OpenArchive)->Unit(benchmark::kMillisecond);

// The first keystroke after opening also reads what ranking keeps in memory (page lengths, URLs).
void BM_OpenAndFirstKeystroke(benchmark::State& state) {
    const std::string path = Archive().path;
    for (auto _ : state) {
        PageArchive archive;
        archive.Open(path, false);
        benchmark::DoNotOptimize(archive.Search(Prose().Word(40000), 0, 50, 50));
    }
}
BENCHMARK(BM_OpenAndFirstKeystroke)->Unit(benchmark::kMillisecond);

// The window reads the archive's lengths and URLs when text search is chosen: the first
// keystroke after that.
void BM_FirstKeystrokeAfterPrepare(benchmark::State& state) {
    const std::string path = Archive().path;
    for (auto _ : state) {
        state.PauseTiming();
        PageArchive archive;
        archive.Open(path, false);
        archive.Prepare();
        state.ResumeTiming();
        benchmark::DoNotOptimize(archive.Search(Prose().Word(40000), 0, 50, 50));
    }
}
BENCHMARK(BM_FirstKeystrokeAfterPrepare)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
