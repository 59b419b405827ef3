// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's side of a linked bookmark file: File > "Link Bookmark File..." and
// "Synchronize Now", and the syncs it runs by itself: when a linked document is opened, after
// each save, and every few minutes (the link's interval) while the document is open. A sync
// that would delete many bookmarks asks first; what a sync did is said in status pane 0.

#include "sync/LinkedSync.h"

#include <QObject>
#include <QTimer>

class CBrindleDoc;
class QWidget;

namespace brindle {

class CommandTable;
class FileCommands;
class StatusPanes;

class LinkedFileController : public QObject {
    Q_OBJECT
  public:
    LinkedFileController(CBrindleDoc& doc, FileCommands& files, StatusPanes& panes,
                         QWidget* window);

    void RegisterCommands(CommandTable& commands);

    // The document's path changed (opened, saved under a new name, a new document): follows
    // its link, and syncs a linked document once the event loop runs.
    void DocumentChanged();
    // The document was saved: a linked one syncs once the save has finished.
    void Saved();

    // "Link Bookmark File...".
    void ShowLinkDialog();
    // One sync now; `interactive` shows failures in a message box rather than pane 0.
    LinkSyncOutcome SyncNow(bool interactive);

    bool Linked() const { return !m_target.empty(); }
    const QTimer& Timer() const { return m_timer; }

  private:
    void Follow();
    QString Summary(const LinkSyncResult& result) const;

    CBrindleDoc& m_doc;
    FileCommands& m_files;
    StatusPanes& m_panes;
    QWidget* m_window;
    QTimer m_timer;
    std::string m_path;   // the document followed
    std::string m_target; // its link; empty when none
    bool m_syncing = false;
};

} // namespace brindle
