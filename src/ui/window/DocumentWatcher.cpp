// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/DocumentWatcher.h"

#include "store/BrindleDoc.h"
#include "store/ConflictCopies.h"
#include "store/DocumentSync.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/macros/MacroView.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/StatusPanes.h"

#include <QApplication>
#include <QFileInfo>
#include <QItemSelection>
#include <QScrollBar>

#include <algorithm>

#include <string>
#include <unordered_set>

namespace brindle {

namespace {

constexpr int kQuietMs = 150;

// A bookmark's identity as one string.
void KeyOf(const BookmarkRef& b, std::string& key) {
    key.assign(b.m_strName);
    key += '\0';
    key += b.m_strURL;
}

} // namespace

DocumentWatcher::DocumentWatcher(DocumentSync& sync, CBrindleDoc& doc, CMainFrame& frame,
                                 QObject* parent)
    : QObject(parent), m_sync(sync), m_doc(doc), m_frame(frame) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kQuietMs);
    connect(&m_settle, &QTimer::timeout, this, &DocumentWatcher::Settled);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &DocumentWatcher::FileTouched);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &DocumentWatcher::FileTouched);
    m_sync.SetChangeWrapper(
        [this](const std::function<void()>& change) { KeepViewAround(change); });
    m_sync.SetListener([this](const SyncResult& r) { Report(r); });
}

DocumentWatcher::~DocumentWatcher() {
    m_sync.SetChangeWrapper({});
    m_sync.SetListener({});
}

void DocumentWatcher::Follow() {
    const QString path = QString::fromStdString(m_sync.Path());
    if (path == m_path)
        return Arm();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_path = path;
    m_folder = path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
    if (!m_folder.isEmpty())
        m_watcher.addPath(m_folder);
    Arm();
    // Copies made while the window was closed: once the window is up.
    if (!m_path.isEmpty())
        QTimer::singleShot(0, this, &DocumentWatcher::MergeConflictCopies);
}

bool DocumentWatcher::WatchingFile() const {
    return !m_path.isEmpty() && m_watcher.files().contains(m_path);
}

void DocumentWatcher::Arm() {
    // A file replaced by a rename is a new file: the watch on the old one has ended.
    if (!m_path.isEmpty() && !m_watcher.files().contains(m_path) && QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
}

void DocumentWatcher::FileTouched() {
    Arm();
    m_settle.start();
}

void DocumentWatcher::Settled() {
    // A dialog may hold bookmark positions (the property sheet's copies): not under it.
    if (QApplication::activeModalWidget()) {
        m_settle.start();
        return;
    }
    CheckNow();
}

void DocumentWatcher::CheckNow() {
    m_settle.stop();
    Arm();
    m_sync.Refresh(); // tells Report when the document took changes
    MergeConflictCopies();
}

void DocumentWatcher::MergeConflictCopies() {
    const std::string path = m_sync.Path();
    if (path.empty() || !m_save || m_doc.IsModified() || QApplication::activeModalWidget())
        return;
    // Mostly there are none: then the view is not walked to keep its place.
    if (FindConflictCopies(path).empty())
        return;
    ConflictCopyReport report;
    bool any = false;
    KeepViewAround([&] {
        report = MergeConflictCopiesInto(m_doc, path);
        any = report.Any();
    });
    if (!any)
        return;
    report.saved = m_save();
    if (!report.saved)
        return; // the save showed why; the copies stay for the next try
    TrashMergedCopies(path, report);
    QStringList copies;
    for (const std::string& name : report.merged)
        copies << QString::fromStdString(name);
    m_frame.Panes()->SetText(kPanePrompt,
                             CopiesMergedText(QFileInfo(m_path).fileName(), copies,
                                              report.merge.added, report.merge.removed));
}

void DocumentWatcher::KeepViewAround(const std::function<void()>& change) {
    CBookMarkView* view = m_frame.Workspace()->Bookmarks();
    const brindle::BookmarkList& bookmarks = m_doc.Bookmarks();
    // Before: what the user sees, by name and URL.
    std::string key;
    auto keyOfRow = [&](int row, std::string& out) {
        const CBrindleDoc::Hits& hits = m_doc.ActiveHits();
        if (row < 0 || static_cast<std::size_t>(row) >= hits.size() ||
            hits[static_cast<std::size_t>(row)] >= bookmarks.size())
            return false;
        KeyOf(bookmarks[hits[static_cast<std::size_t>(row)]], out);
        return true;
    };
    std::unordered_set<std::string> selected;
    for (std::uint32_t i : view->SelectedBookmarks()) {
        KeyOf(bookmarks[i], key);
        selected.insert(key);
    }
    std::string currentKey, topKey;
    const bool hasCurrent = keyOfRow(view->currentIndex().row(), currentKey);
    const bool hasTop = keyOfRow(view->rowAt(0), topKey);
    const int vertical = view->verticalScrollBar()->value();
    const int horizontal = view->horizontalScrollBar()->value();

    change();
    m_frame.Workspace()->Macros()->Fill();

    // After: the rows that show the same bookmarks now.
    QAbstractItemModel* model = view->model();
    const int lastColumn = std::max(0, model->columnCount() - 1);
    QItemSelection selection;
    int runStart = -1, runEnd = -1, currentRow = -1, topRow = -1;
    auto closeRun = [&] {
        if (runStart >= 0)
            selection.select(model->index(runStart, 0), model->index(runEnd, lastColumn));
    };
    const CBrindleDoc::Hits& hits = m_doc.ActiveHits();
    if (!selected.empty() || hasCurrent || hasTop) {
        for (std::size_t r = 0; r < hits.size(); ++r) {
            if (selected.empty() && (!hasCurrent || currentRow >= 0) && (!hasTop || topRow >= 0))
                break; // nothing more to find
            const int row = static_cast<int>(r);
            KeyOf(bookmarks[hits[r]], key);
            if (hasCurrent && currentRow < 0 && key == currentKey)
                currentRow = row;
            if (hasTop && topRow < 0 && key == topKey)
                topRow = row;
            if (!selected.count(key))
                continue;
            if (runStart < 0 || row != runEnd + 1) {
                closeRun();
                runStart = row;
            }
            runEnd = row;
        }
        closeRun();
    }
    if (QItemSelectionModel* sm = view->selectionModel()) {
        sm->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (currentRow >= 0)
            sm->setCurrentIndex(model->index(currentRow, 0), QItemSelectionModel::NoUpdate);
    }
    if (topRow >= 0)
        view->scrollTo(model->index(topRow, 0), QAbstractItemView::PositionAtTop);
    else
        view->verticalScrollBar()->setValue(vertical);
    view->horizontalScrollBar()->setValue(horizontal);
    m_frame.Commands().UpdateStates();
}

QString DocumentWatcher::ReloadedText(const QString& fileName) {
    return tr("%1 was changed by another program and has been read again.").arg(fileName);
}

QString DocumentWatcher::MergedText(const QString& fileName, std::size_t conflicts) {
    if (conflicts == 0)
        return tr("Changes another program made to %1 have been merged.").arg(fileName);
    //: %n: fields both programs changed; the other program's values went into the notes
    return tr("Changes another program made to %1 have been merged; %n conflict(s) kept in the "
              "bookmarks' notes.",
              nullptr, static_cast<int>(conflicts))
        .arg(fileName);
}

QString DocumentWatcher::CopiesMergedText(const QString& fileName, const QStringList& copies,
                                          std::size_t added, std::size_t removed) {
    //: %1: the document; %2: the conflict copies a file-syncing tool made; then counts
    return tr("Merged %2 into %1: %3 bookmark(s) added, %4 removed (kept in the Trash).")
        .arg(fileName, copies.join(QStringLiteral(", ")))
        .arg(added)
        .arg(removed);
}

void DocumentWatcher::Report(const SyncResult& result) {
    const QString name = QFileInfo(QString::fromStdString(m_sync.Path())).fileName();
    switch (result.outcome) {
    case SyncOutcome::Reloaded:
        m_frame.Panes()->SetText(kPanePrompt, ReloadedText(name));
        break;
    case SyncOutcome::Merged:
        m_frame.Panes()->SetText(kPanePrompt, MergedText(name, result.merge.conflicts));
        break;
    case SyncOutcome::Unchanged:
    case SyncOutcome::Unreadable:
        break;
    }
}

} // namespace brindle
