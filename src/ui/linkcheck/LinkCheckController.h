// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// LinkCheckController: the window's side of the status check (F8, "Check") and the bulk fetch
// (F6, "Fetch"). It owns the internet session, one prober and one engine for each, shows the
// "SC:" texts in status pane 3 and "ONLINE"/"OFFLINE" in pane 2, rewrites the Status Check item
// ("Pause Check" / "Start Check") and marks the Fetch item while a fetch runs. Rows show
// their new status as results arrive, repainted in batches.

#include "status/LinkEngine.h"

#include <QObject>
#include <QTimer>

#include <memory>

class CBookMarkView;
class CBrindleDoc;

namespace brindle {

class CommandTable;
class ArchiveLookup;
class NetProber;
class NetSession;
class StatusPanes;

class LinkCheckController : public QObject {
    Q_OBJECT
  public:
    LinkCheckController(CBrindleDoc& doc, CommandTable& commands, CBookMarkView& view,
                        StatusPanes& panes, QObject* parent = nullptr);
    ~LinkCheckController() override;

    // The options were applied: the session is closed (a run in progress goes on with a new
    // one made from the new settings) and pane 2 shows "ONLINE" or "OFFLINE".
    void ResetSession();

    // F8 / "Check" and F7 / "Fetch" as the commands run them.
    void ToggleStatusCheck();
    void ToggleFetch();
    // "Open Archived Copy": asks the web archive for the closest copy of the selected bookmark's
    // page (one whose status says it or its host is gone) and opens it in the browser.
    void OpenArchivedCopy();
    // Whether the command applies: one bookmark selected, and it is a dead link.
    bool CanOpenArchivedCopy() const;

    LinkEngine& CheckEngine() { return *m_check; }
    LinkEngine& FetchEngine() { return *m_fetch; }
    NetSession& Session() { return *m_session; }
    NetProber& CheckProber() { return *m_checkProber; }
    NetProber& FetchProber() { return *m_fetchProber; }

  private:
    LinkEngine::Callbacks MakeCallbacks();
    bool OpenSession();
    void UpdateCommandTexts();
    void ShowConnection();
    void RowsChanged();

    CBrindleDoc& m_doc;
    CommandTable& m_commands;
    CBookMarkView& m_view;
    StatusPanes& m_panes;
    std::unique_ptr<NetSession> m_session;
    std::unique_ptr<NetProber> m_checkProber;
    std::unique_ptr<NetProber> m_fetchProber;
    std::unique_ptr<ArchiveLookup> m_archive;
    std::unique_ptr<LinkEngine> m_check;
    std::unique_ptr<LinkEngine> m_fetch;
    QTimer m_repaint; // batches row repaints while results arrive
};

} // namespace brindle
