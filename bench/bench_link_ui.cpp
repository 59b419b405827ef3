// SPDX-License-Identifier: GPL-3.0-or-later
// The window stays responsive during a 10,000-URL status check: a keystroke in the search box
// while results arrive, next to the search alone. The links point at bench/link_server on
// 127.0.0.1, started here with a short delay so that results arrive steadily (8 slots).
//   bench_link_ui [benchmark flags]

#include "app/BrindleApp.h"
#include "store/BrindleDoc.h"
#include "ui/linkcheck/LinkCheckController.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/SearchBar.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr std::size_t kLinks = 10'000;
constexpr const char* kTyped = "page.4";
CBrindleApp* g_app = nullptr;

std::string Prefix(std::size_t k) {
    const std::string typed(kTyped);
    return typed.substr(0, 1 + k % typed.size());
}

void BM_SearchOnly(benchmark::State& state) {
    CBrindleDoc& doc = g_app->Doc();
    std::size_t k = 0;
    for (auto _ : state)
        doc.Search(Prefix(k++), false, 0);
}
BENCHMARK(BM_SearchOnly)->Unit(benchmark::kMillisecond);

// A keystroke with everything the window does meanwhile: results applied, rows repainted.
void BM_KeystrokeWhileChecking(benchmark::State& state) {
    QLineEdit* box = g_app->Frame()->Search()->Box();
    brindle::LinkEngine& engine = g_app->Frame()->LinkChecks()->CheckEngine();
    const std::size_t before = engine.Completed();
    std::size_t k = 0;
    for (auto _ : state) {
        if (!engine.Running()) {
            state.SkipWithError("the check ended before the measurement");
            break;
        }
        box->setText(QString::fromStdString(Prefix(k++)));
        QApplication::processEvents();
    }
    state.counters["results_meanwhile"] = static_cast<double>(engine.Completed() - before);
}
BENCHMARK(BM_KeystrokeWhileChecking)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QProcess server;
    server.start(QStringLiteral(BRINDLE_LINK_SERVER), {QStringLiteral("20")});
    if (!server.waitForReadyRead(5000))
        return 1;
    const std::string base = "http://127.0.0.1:" + server.readLine().trimmed().toStdString();
    auto app = std::make_unique<CBrindleApp>();
    if (!app->InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()))
        return 1;
    g_app = app.get();
    for (std::size_t i = 0; i < kLinks; ++i) {
        const std::string name = "page " + std::to_string(i);
        const std::string url = base + "/" + std::to_string(i);
        app->Doc().AddBookmark({.name = name,
                                .url = url,
                                .keywords = "page link",
                                .statusChecking = 1,
                                .schedule = kNoSchedule,
                                .status = kStatusWaiting});
    }
    app->Doc().Search("", false, 0);
    app->Frame()->resize(1280, 800);
    app->Frame()->show();
    QApplication::processEvents();
    app->Frame()->Commands().Execute(cmd::StatusCheck); // nothing selected: the whole list

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    app->Frame()->Commands().Execute(cmd::StatusCheck); // stop
    app->Doc().SetModifiedFlag(false);
    server.kill();
    server.waitForFinished();
    return 0;
}
