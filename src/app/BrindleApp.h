// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CBrindleApp: start-up in the order the program has always followed, the document with its file
// commands, the main window, and the hand-over of a second start.

#include "store/BrindleDoc.h"
#include "store/FileCommands.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

class CMainFrame;
class QSettings;

namespace brindle {
class BrowserExtensionLink;
class BrowserRequests;
class DocumentSync;
class DocumentWatcher;
class SingleInstance;
} // namespace brindle

// Which parts of start-up touch the desktop; tests switch them off.
struct StartOptions {
    bool singleInstance = true;   // one instance per user
    bool splash = true;           // the About dialog while starting
    bool userSettings = true;     // settings, recent files and first-run mark of the user
    bool registerFileType = true; // the .brx type in the user's desktop folders
    bool hotKeys = true;          // the four global hot keys
    static StartOptions Quiet() { return {false, false, false, false, false}; }
};

class CBrindleApp : public QObject {
    Q_OBJECT
  public:
    CBrindleApp();
    ~CBrindleApp() override;

    // The start-up sequence; false when the program must end (the file named on the command
    // line could not be opened, or another instance took the request).
    bool InitInstance(const QStringList& arguments, const StartOptions& options = StartOptions());
    // Whether start-up ended because another instance took the request.
    bool HandedOver() const { return m_handedOver; }
    // Whether the first start asked for the import wizard.
    bool FirstRunWizardWanted() const { return m_firstRunWizard; }

    // The user's preferences: loaded at start-up, read by the document and the views.
    CPreferences& Prefs() { return m_prefs; }
    CBrindleDoc& Doc() { return m_doc; }
    brindle::FileCommands& Files() { return *m_files; }
    // The document's file as other programs change it, and the window's watch on it.
    brindle::DocumentSync& Sync() { return *m_sync; }
    brindle::DocumentWatcher* Watcher() const { return m_watcher.get(); }
    CMainFrame* Frame() const { return m_frame.get(); }

    // Opens a path through the normal open path (with the save prompt); the document that is
    // open already is left as it is.
    bool OpenDocument(const QString& path);
    // A later start asked for this instance: bring the window up and open its file.
    void Activate(const QString& path);

    // "&Option...": the option sheet over a copy of the preferences; on OK the new values are
    // taken, stored and applied at once (list font, tray icon, hot keys, status panes).
    void ApplyOptions();

    // The automatic save's timer: every 15 minutes, restarted with each new or opened document.
    const QTimer& AutoSaveTimer() const { return m_autoSave; }

  private:
    // Writes the preferences to the user's store, the proxy password into the desktop's secret
    // store when one answers.
    void SaveOptions();
    // Whether the desktop's secret store answers; asked once, on first need.
    bool SecretStoreAnswers();
    // Applying step 4: an open internet session is closed (and the connection pane rewritten) so
    // that the next check or fetch opens a new one with the new proxy values.
    void RebuildInternetSession();
    void AddRecentFile(const QString& path);
    // The automatic save, once no modal dialog is open.
    void AutoSaveWhenIdle();
    // A new or opened document is in place: the window's first update, the auto-save timer, and
    // with "bReload" on an empty document is replaced by the most recent file.
    void DocumentReplaced();

    CPreferences m_prefs;
    CBrindleDoc m_doc{m_prefs};
    std::unique_ptr<brindle::FileCommands> m_files;
    std::unique_ptr<brindle::DocumentSync> m_sync;
    std::unique_ptr<brindle::DocumentWatcher> m_watcher;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<brindle::SingleInstance> m_instance;
    std::unique_ptr<brindle::BrowserRequests> m_browserRequests;
    std::unique_ptr<brindle::BrowserExtensionLink> m_extensionLink;
    std::unique_ptr<QSettings> m_store;
    QStringList m_recentFiles;
    QTimer m_autoSave;
    std::optional<bool> m_secretStore; // unknown until asked
    bool m_firstRunWizard = false;
    bool m_handedOver = false;
};
