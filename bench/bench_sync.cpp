// SPDX-License-Identifier: GPL-3.0-or-later
// Taking another program's change of a 100,000-bookmark document: the unmodified document read
// again, the modified one merged, a save that merges first; in the core alone and in the main
// window offscreen (with its list, selection and scroll position kept). Each round the file
// alternates between two versions written outside the timing; the second version adds one
// bookmark and changes a field of another.
// Budget at 100,000: reload or merge after an outside change <= 300 ms.
// BRINDLE_BENCH_BOOKMARKS=N sets another size.

#include "SyntheticCollection.h"

#include "app/BrindleApp.h"
#include "store/AtomicFile.h"
#include "store/BrindleDoc.h"
#include "store/ConflictCopies.h"
#include "store/DocumentArchive.h"
#include "store/DocumentSync.h"
#include "store/FileCommands.h"
#include "store/Trash.h"
#include "store/VersionHistory.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/DocumentWatcher.h"
#include "ui/window/MainFrame.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using brindle::SyncOutcome;

const std::size_t kBookmarks = [] {
    const char* n = std::getenv("BRINDLE_BENCH_BOOKMARKS");
    return n ? static_cast<std::size_t>(std::strtoull(n, nullptr, 10)) : std::size_t{100000};
}();

CBrindleApp* g_app = nullptr;

const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "brindle-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        std::atexit([] { std::filesystem::remove_all(Folder()); });
        // Merge bases and the trash stay inside the bench's folder.
        ::setenv("XDG_STATE_HOME", (pattern + "/state").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (pattern + "/data").c_str(), 1);
        return pattern;
    }();
    return folder;
}

// The two versions of the file: the collection, and the collection changed elsewhere.
struct Versions {
    std::string first, second;
};

const Versions& FileVersions() {
    static const Versions v = [] {
        CBrindleDoc doc;
        brindle::bench::FillSyntheticCollection(doc, kBookmarks);
        doc.AddMacro(kMacroUrl, "Home", "http://example.com/", 0);
        doc.AddSchedule("Weekly", 633600, true);
        Versions out;
        out.first = brindle::DocumentToBytes(doc);
        doc.AddBookmark({.name = "Added elsewhere", .url = "http://elsewhere/"});
        doc.SetFieldText(static_cast<std::uint32_t>(kBookmarks / 2), kFieldStatus, "OK");
        out.second = brindle::DocumentToBytes(doc);
        return out;
    }();
    return v;
}

void Put(const std::string& path, const std::string& bytes) {
    if (brindle::WriteFileAtomically(path, bytes) != 0)
        std::abort();
}

// The window's own edit: one description, far from the bookmark changed elsewhere.
void EditHere(CBrindleDoc& doc) {
    doc.SetFieldText(7, kFieldDescription, "edited in the window");
}

void BM_CoreReload(benchmark::State& state) {
    const Versions& v = FileVersions();
    const std::string path = Folder() + "/reload.brx";
    Put(path, v.first);
    CBrindleDoc doc;
    brindle::DocumentSync sync(doc);
    if (!sync.Open(path))
        return state.SkipWithError("open failed");
    doc.Search("", false, 0);
    bool second = false;
    for (auto _ : state) {
        state.PauseTiming();
        second = !second;
        Put(path, second ? v.second : v.first);
        state.ResumeTiming();
        if (sync.Refresh().outcome != SyncOutcome::Reloaded)
            state.SkipWithError("not reloaded");
    }
}
BENCHMARK(BM_CoreReload)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CoreMerge(benchmark::State& state) {
    const Versions& v = FileVersions();
    const std::string path = Folder() + "/merge.brx";
    CBrindleDoc doc;
    brindle::DocumentSync sync(doc);
    for (auto _ : state) {
        state.PauseTiming();
        Put(path, v.first);
        sync.Open(path);
        doc.Search("", false, 0);
        EditHere(doc);
        Put(path, v.second);
        state.ResumeTiming();
        if (sync.Refresh().outcome != SyncOutcome::Merged)
            state.SkipWithError("not merged");
    }
}
BENCHMARK(BM_CoreMerge)->Unit(benchmark::kMillisecond)->UseRealTime();

// Save finds the file changed: lock, merge, write (no backups), remember what was written.
void BM_CoreSaveThatMerges(benchmark::State& state) {
    const Versions& v = FileVersions();
    const std::string path = Folder() + "/save.brx";
    CBrindleDoc doc;
    brindle::DocumentSync sync(doc);
    brindle::FileCommands files(doc, {});
    files.SetSync(&sync);
    for (auto _ : state) {
        state.PauseTiming();
        Put(path, v.first);
        files.OpenPath(path, false);
        doc.Search("", false, 0);
        EditHere(doc);
        Put(path, v.second);
        state.ResumeTiming();
        if (!files.Save())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_CoreSaveThatMerges)->Unit(benchmark::kMillisecond)->UseRealTime();

// A synced folder's conflict copy: this machine's version of the file is `first` plus an edit
// of its own, the copy is `second` (the other machine's edit); merged against `first`, saved,
// and the copy moved to the trash folder. Budget: 2 s from the copy's arrival at 100,000.
void BM_ConflictCopyMerge(benchmark::State& state) {
    const Versions& v = FileVersions();
    const std::string path = Folder() + "/synced.brx";
    const std::string copy = Folder() + "/synced.sync-conflict-20260110-093612-ABCD123.brx";
    static const std::string ours = [&] {
        CBrindleDoc doc;
        brindle::ReadDocumentBytes(doc, v.first);
        EditHere(doc);
        doc.AddBookmark({.name = "Added here", .url = "http://here/"});
        return brindle::DocumentToBytes(doc);
    }();
    for (auto _ : state) {
        state.PauseTiming();
        Put(path, v.first);
        brindle::VersionHistory(path).RecordFile(path);
        Put(path, ours);
        brindle::VersionHistory(path).RecordFile(path);
        Put(copy, v.second);
        CBrindleDoc doc;
        brindle::ReadDocumentFile(doc, path);
        state.ResumeTiming();
        const brindle::ConflictCopyReport report = brindle::MergeConflictCopies(doc, path, [&] {
            return brindle::WriteDocumentFile(doc, path).ok &&
                   brindle::CommitTrash(doc, path) == 0 &&
                   brindle::VersionHistory(path).RecordFile(path) == 0;
        });
        if (report.merged.size() != 1 || report.merge.added != 1)
            state.SkipWithError("not merged");
    }
}
BENCHMARK(BM_ConflictCopyMerge)->Unit(benchmark::kMillisecond)->UseRealTime();

// The main window: the watcher's step, with the list refilled and the selection and scroll
// position found again.
void WindowRound(benchmark::State& state, bool modified) {
    const Versions& v = FileVersions();
    const std::string path = Folder() + (modified ? "/window-merge.brx" : "/window-reload.brx");
    CBookMarkView* view = g_app->Frame()->Workspace()->Bookmarks();
    g_app->Watcher()->SetQuietTime(3600000); // only this benchmark checks the file
    bool second = false;
    Put(path, v.first);
    g_app->Doc().SetModifiedFlag(false);
    if (!g_app->Files().OpenPath(path, false))
        return state.SkipWithError("open failed");
    for (auto _ : state) {
        state.PauseTiming();
        if (modified) {
            Put(path, v.first);
            g_app->Doc().SetModifiedFlag(false);
            g_app->Files().OpenPath(path, false);
            EditHere(g_app->Doc());
            second = true;
        } else {
            second = !second;
        }
        view->selectRow(5000);
        view->scrollTo(view->model()->index(4990, 0), QAbstractItemView::PositionAtTop);
        QApplication::processEvents();
        Put(path, second ? v.second : v.first);
        state.ResumeTiming();
        g_app->Watcher()->CheckNow();
        QApplication::processEvents();
        if (view->SelectedBookmarks().size() != 1)
            state.SkipWithError("selection lost");
    }
    g_app->Doc().SetModifiedFlag(false);
}

void BM_WindowReload(benchmark::State& state) {
    WindowRound(state, false);
}
BENCHMARK(BM_WindowReload)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowMerge(benchmark::State& state) {
    WindowRound(state, true);
}
BENCHMARK(BM_WindowMerge)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    auto app = std::make_unique<CBrindleApp>();
    if (!app->InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()))
        return 1;
    g_app = app.get();
    app->Frame()->resize(1280, 800);
    app->Frame()->show();
    QApplication::processEvents();

    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("bookmarks", std::to_string(kBookmarks));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    app->Doc().SetModifiedFlag(false); // no save prompt on the way out
    return 0;
}
