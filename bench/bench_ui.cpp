// The main window at 100,000 bookmarks, offscreen: a keystroke in the search box with the list,
// keyword list and status bar refreshed and painted, next to the search alone.

#include "SyntheticCollection.h"

#include "app/BrindleApp.h"
#include "ui/BookmarkView.h"
#include "ui/BookmarkWorkspace.h"
#include "ui/MainFrame.h"
#include "ui/SearchBar.h"

#include <QApplication>
#include <QLineEdit>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

namespace {

constexpr const char* kTyped = "java.prog";
CBrindleApp* g_app = nullptr;

std::string Prefix(std::size_t k) {
    const std::string typed(kTyped);
    return typed.substr(0, 1 + k % typed.size());
}

// The document's search alone, for the same keystrokes.
void BM_SearchOnly(benchmark::State& state) {
    CBrindleDoc& doc = g_app->Doc();
    std::size_t k = 0;
    for (auto _ : state)
        doc.Search(Prefix(k++), false, 0);
}
BENCHMARK(BM_SearchOnly)->Unit(benchmark::kMillisecond);

// A keystroke in the window: search, list and keyword refresh, status panes, layout and paint.
void BM_WindowKeystroke(benchmark::State& state) {
    QLineEdit* box = g_app->Frame()->Search()->Box();
    std::size_t k = 0;
    for (auto _ : state) {
        box->setText(QString::fromStdString(Prefix(k++)));
        QApplication::processEvents();
    }
}
BENCHMARK(BM_WindowKeystroke)->Unit(benchmark::kMillisecond);

// Select All, Copy, Delete and Undo of every bookmark, each on the whole collection.
void BM_WholeCollectionEditing(benchmark::State& state) {
    CBookMarkView* view = g_app->Frame()->Workspace()->Bookmarks();
    CBrindleDoc& doc = g_app->Doc();
    g_app->Prefs().m_bConfirm = 0;
    for (auto _ : state) {
        state.PauseTiming();
        doc.Search("", false, 0);
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        view->SelectAllRows();
        const auto t1 = std::chrono::steady_clock::now();
        view->CopySelected();
        const auto t2 = std::chrono::steady_clock::now();
        view->DeleteSelected();
        QApplication::processEvents();
        const auto t3 = std::chrono::steady_clock::now();
        view->Undo();
        QApplication::processEvents();
        const auto t4 = std::chrono::steady_clock::now();
        auto ms = [](auto a, auto b) {
            return std::chrono::duration<double, std::milli>(b - a).count();
        };
        state.counters["select_all_ms"] = ms(t0, t1);
        state.counters["copy_ms"] = ms(t1, t2);
        state.counters["delete_ms"] = ms(t2, t3);
        state.counters["undo_ms"] = ms(t3, t4);
        state.counters["rows"] = static_cast<double>(doc.m_arrBookmarks.size());
    }
}
BENCHMARK(BM_WholeCollectionEditing)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    auto app = std::make_unique<CBrindleApp>();
    if (!app->InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()))
        return 1;
    g_app = app.get();
    brindle::bench::FillSyntheticCollection(app->Doc(), 100000);
    app->Doc().Search("", false, 0);
    app->Frame()->resize(1280, 800);
    app->Frame()->show();
    QApplication::processEvents();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    app->Doc().SetModifiedFlag(false); // no save prompt on the way out
    return 0;
}
