// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// DocumentWatcher: the window's eye on its document's file. It watches the file and its folder
// (an atomic save or a sync tool replaces the file by a rename, which ends a watch on the file
// itself, so the watch is armed again whenever the file is back) and, once the file has been
// quiet for a moment, lets the document's sync take the outside changes: an unmodified document
// is read again, a modified one merges them. Around every such change it keeps what the user
// sees: the search text and mode, the sort, the selected bookmarks (by name and URL) and the
// scroll position; and it says what happened in status pane 0.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class CBrindleDoc;
class CMainFrame;

namespace brindle {

class DocumentSync;
struct SyncResult;

class DocumentWatcher : public QObject {
    Q_OBJECT
  public:
    DocumentWatcher(DocumentSync& sync, CBrindleDoc& doc, CMainFrame& frame,
                    QObject* parent = nullptr);
    ~DocumentWatcher() override;

    // Watches the file the sync follows now (after an open, a save under a new name, a new
    // document); none when it follows none.
    void Follow();
    // Takes the file's changes now (the end of the quiet time; tests call it).
    void CheckNow();
    // Whether the file itself is being watched.
    bool WatchingFile() const;
    // How long the file must stay quiet before it is read (a sync tool writes in steps).
    void SetQuietTime(int ms) { m_settle.setInterval(ms); }
    // How the window saves: conflict copies are merged only when the result can be saved.
    void SetSaver(std::function<bool()> save) { m_save = std::move(save); }
    // Merges the conflict copies a synced folder left beside the file, saves, and moves them
    // into the trash folder; waits while the document holds unsaved changes (they are the
    // user's to save). Runs after every settled change of the folder and after an open.
    void MergeConflictCopies();

    // Texts of status pane 0.
    static QString ReloadedText(const QString& fileName);
    static QString MergedText(const QString& fileName, std::size_t conflicts);
    static QString CopiesMergedText(const QString& fileName, const QStringList& copies,
                                    std::size_t added, std::size_t removed);

  private:
    void Arm();
    void FileTouched();
    void Settled();
    // Runs `change`, keeping the selection and scroll position by name and URL.
    void KeepViewAround(const std::function<void()>& change);
    void Report(const SyncResult& result);

    DocumentSync& m_sync;
    CBrindleDoc& m_doc;
    CMainFrame& m_frame;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QString m_path;
    QString m_folder;
    std::function<bool()> m_save;
};

} // namespace brindle
