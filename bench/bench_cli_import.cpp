// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-process timing of `brindle-cli import` on a generated Netscape file of 100,000 and of
// 1,000,000 links in nested folders: wall time per run (manual time) and the child's peak
// resident memory.

#include "NetscapeFileGenerator.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path& Scratch() {
    static const fs::path dir = [] {
        fs::path p = fs::temp_directory_path() /
                     ("brindle-bench-cli-" + std::to_string(std::random_device{}()));
        fs::create_directories(p);
        return p;
    }();
    return dir;
}

// The generated file of `count` links, written on first use.
fs::path Input(std::size_t count) {
    const fs::path path = Scratch() / ("bookmarks-" + std::to_string(count) + ".html");
    if (!fs::exists(path)) {
        const std::string text = brindle::bench::MakeNetscapeFile(count);
        std::ofstream(path, std::ios::binary) << text;
    }
    return path;
}

void RunImport(benchmark::State& state, std::size_t count, bool backups) {
    const fs::path input = Input(count);
    const fs::path output = Scratch() / "out.brx";
    long peakKb = 0;
    for (auto _ : state) {
        std::error_code ec;
        for (const char* name : {"out.brx", "out.bak", "out.bk0"})
            fs::remove(Scratch() / name, ec);
        std::vector<std::string> args = {BRINDLE_CLI_PATH, "import", output.string(),
                                         input.string()};
        if (!backups)
            args.emplace_back("--no-backup");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, BRINDLE_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            state.SkipWithError("cannot start brindle-cli");
            return;
        }
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        const auto end = std::chrono::steady_clock::now();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("brindle-cli import failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        peakKb = std::max(peakKb, usage.ru_maxrss);
    }
    state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
    state.counters["input_MB"] = static_cast<double>(fs::file_size(input)) / (1024.0 * 1024.0);
}

void BM_CliImport100k(benchmark::State& state) {
    RunImport(state, 100000, true);
}
void BM_CliImport100kNoBackup(benchmark::State& state) {
    RunImport(state, 100000, false);
}
void BM_CliImport1M(benchmark::State& state) {
    RunImport(state, 1000000, true);
}
BENCHMARK(BM_CliImport100k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CliImport100kNoBackup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CliImport1M)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(Scratch(), ec);
    return 0;
}
