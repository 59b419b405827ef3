// SPDX-License-Identifier: GPL-3.0-or-later
// The main window over a synthetic collection, offscreen: a keystroke in the search box with the
// list, keyword list and status bar refreshed and painted, next to the search alone; select all /
// copy / delete / undo of everything; scrolling the bookmark and keyword lists; opening
// "Bookmark Properties" and storing a rename.
//   bench_ui [--bookmarks=N] [benchmark flags]      (N defaults to 100000)

#include "SyntheticCollection.h"

#include "app/BrindleApp.h"
#include "ui/bookmarks/AddMarkPropertySheet.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/keywords/KeywordView.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/MainFrame.h"
#include "ui/window/SearchBar.h"
#include "ui/window/StatusPanes.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr const char* kTyped = "java.prog";
CBrindleApp* g_app = nullptr;

std::string Prefix(std::size_t k) {
    const std::string typed(kTyped);
    return typed.substr(0, 1 + k % typed.size());
}

double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
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
    box->clear();
    QApplication::processEvents();
}
BENCHMARK(BM_WindowKeystroke)->Unit(benchmark::kMillisecond);

// Jumps to random places of the bookmark list and paints the page there.
void BM_ScrollBookmarkList(benchmark::State& state) {
    g_app->Doc().Search("", false, 0);
    CBookMarkView* view = g_app->Frame()->Workspace()->Bookmarks();
    QScrollBar* bar = view->verticalScrollBar();
    std::mt19937 rng(7);
    for (auto _ : state) {
        bar->setValue(std::uniform_int_distribution<int>(0, bar->maximum())(rng));
        view->viewport()->repaint();
    }
    state.counters["rows"] = view->Model()->rowCount();
    bar->setValue(0);
}
BENCHMARK(BM_ScrollBookmarkList)->Unit(benchmark::kMillisecond);

// The same over the keyword list holding the whole dictionary.
void BM_ScrollKeywordList(benchmark::State& state) {
    g_app->Doc().Search("", false, 0);
    QApplication::processEvents(); // the list lays out its items in batches
    CKeyWordView* view = g_app->Frame()->Workspace()->Keywords();
    QScrollBar* bar = view->verticalScrollBar();
    std::mt19937 rng(7);
    for (auto _ : state) {
        bar->setValue(std::uniform_int_distribution<int>(0, bar->maximum())(rng));
        view->viewport()->repaint();
    }
    state.counters["keywords"] = view->Model()->rowCount();
    bar->setValue(0);
}
BENCHMARK(BM_ScrollKeywordList)->Unit(benchmark::kMillisecond);

// Copy of every bookmark, again and again: the clipboard gets the texts, not the records.
void BM_CopyAll(benchmark::State& state) {
    g_app->Doc().Search("", false, 0);
    CBookMarkView* view = g_app->Frame()->Workspace()->Bookmarks();
    view->SelectAllRows();
    for (auto _ : state)
        view->CopySelected();
    state.counters["rows"] = view->Model()->rowCount();
    view->clearSelection();
}
BENCHMARK(BM_CopyAll)->Unit(benchmark::kMillisecond);

// Select All, Copy, Delete and Undo of every bookmark, each on the whole collection, then the
// store's own part of the delete and the undo.
void BM_WholeCollectionEditing(benchmark::State& state) {
    CBookMarkView* view = g_app->Frame()->Workspace()->Bookmarks();
    CBrindleDoc& doc = g_app->Doc();
    g_app->Prefs().m_bConfirm = 0;
    for (auto _ : state) {
        state.PauseTiming();
        doc.Search("", false, 0);
        QApplication::processEvents();
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        view->SelectAllRows();
        QApplication::processEvents();
        const auto t1 = std::chrono::steady_clock::now();
        view->CopySelected();
        QApplication::processEvents();
        const auto t2 = std::chrono::steady_clock::now();
        view->DeleteSelected();
        const auto t25 = std::chrono::steady_clock::now();
        QApplication::processEvents();
        const auto t3 = std::chrono::steady_clock::now();
        view->Undo();
        const auto t35 = std::chrono::steady_clock::now();
        QApplication::processEvents();
        const auto t4 = std::chrono::steady_clock::now();
        state.counters["select_all_ms"] = Ms(t0, t1);
        state.counters["copy_ms"] = Ms(t1, t2);
        state.counters["delete_ms"] = Ms(t2, t3);
        state.counters["undo_ms"] = Ms(t3, t4);
        // Of these, what the event loop took afterwards (layout, paint).
        state.counters["delete_events_ms"] = Ms(t25, t3);
        state.counters["undo_events_ms"] = Ms(t35, t4);
        state.counters["rows"] = static_cast<double>(doc.Bookmarks().size());

        // The document's own part of the delete and the undo, with no view listening.
        state.PauseTiming();
        doc.Search("", false, 0);
        const CBrindleDoc::Hits all = doc.ActiveHits();
        DocListener* views[] = {g_app->Frame()->Workspace(), g_app->Frame()->Panes()};
        for (DocListener* v : views)
            doc.RemoveListener(v);
        const auto s0 = std::chrono::steady_clock::now();
        doc.ClearUndo(kUndoBookmarks);
        doc.DeleteBookmarks(all);
        doc.RerunLastSearch();
        const auto s1 = std::chrono::steady_clock::now();
        doc.UndoDeleteBookmarks();
        const auto s2 = std::chrono::steady_clock::now();
        for (DocListener* v : views)
            doc.AddListener(v);
        doc.RefreshViews();
        QApplication::processEvents();
        state.counters["store_delete_ms"] = Ms(s0, s1);
        state.counters["store_undo_ms"] = Ms(s1, s2);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WholeCollectionEditing)->Unit(benchmark::kMillisecond)->Iterations(2);

// "Bookmark Properties" of a bookmark in the middle of the collection, to the sheet shown and
// painted; then storing a rename with OK: the document takes the copy over and runs the last
// search again, and the list, keyword list and status panes are refreshed and painted.
void BM_PropertySheet(benchmark::State& state) {
    CBrindleDoc& doc = g_app->Doc();
    CMainFrame* frame = g_app->Frame();
    doc.Search("", false, 0);
    QApplication::processEvents();
    const auto index = static_cast<std::uint32_t>(doc.Bookmarks().size() / 2);
    std::size_t k = 0;
    double openTotal = 0;
    double storeTotal = 0;
    double commitTotal = 0;
    double keywordTotal = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        auto sheet = std::make_unique<CAddMarkPropertySheet>(doc, index, frame);
        sheet->show();
        QApplication::processEvents();
        const auto t1 = std::chrono::steady_clock::now();
        sheet->General()->NameEdit()->setText(QStringLiteral("Renamed %1").arg(k++));
        sheet->accept();
        sheet->hide();
        sheet->Commit();
        const auto t15 = std::chrono::steady_clock::now();
        QApplication::processEvents();
        const auto t2 = std::chrono::steady_clock::now();
        sheet.reset();
        openTotal += Ms(t0, t1);
        storeTotal += Ms(t1, t2);
        commitTotal += Ms(t1, t15);

        // The same with a new keyword: the dictionary and the keyword list are made again.
        state.PauseTiming();
        sheet = std::make_unique<CAddMarkPropertySheet>(doc, index, frame);
        sheet->show();
        QApplication::processEvents();
        sheet->findChild<QLineEdit*>(QStringLiteral("keywordsEdit"))
            ->setText(QStringLiteral("benchkeyword%1").arg(k));
        const auto t3 = std::chrono::steady_clock::now();
        sheet->accept();
        sheet->hide();
        sheet->Commit();
        QApplication::processEvents();
        const auto t4 = std::chrono::steady_clock::now();
        sheet.reset();
        keywordTotal += Ms(t3, t4);
        state.ResumeTiming();
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["open_ms"] = openTotal / n;
    state.counters["store_ms"] = storeTotal / n;
    // Of the store: the document's part with the views' reload, before layout and paint.
    state.counters["store_commit_ms"] = commitTotal / n;
    state.counters["store_keyword_ms"] = keywordTotal / n;
    state.counters["bookmarks"] = static_cast<double>(doc.Bookmarks().size());
}
BENCHMARK(BM_PropertySheet)->Unit(benchmark::kMillisecond);

// Takes "--bookmarks=N" out of the arguments.
std::size_t TakeCount(int& argc, char** argv) {
    std::size_t count = 100000;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--bookmarks=", 12) == 0)
            count = std::strtoull(argv[i] + 12, nullptr, 10);
        else
            argv[out++] = argv[i];
    }
    argc = out;
    return count;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t count = TakeCount(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    auto app = std::make_unique<CBrindleApp>();
    if (!app->InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()))
        return 1;
    g_app = app.get();
    brindle::bench::FillSyntheticCollection(app->Doc(), count);
    app->Doc().Search("", false, 0);
    app->Frame()->resize(1280, 800);
    app->Frame()->show();
    QApplication::processEvents();

    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("bookmarks", std::to_string(count));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    app->Doc().SetModifiedFlag(false); // no save prompt on the way out
    if (QClipboard* clipboard = QApplication::clipboard())
        clipboard->clear();
    return 0;
}
