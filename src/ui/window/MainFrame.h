// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CMainFrame: the program's one window. It composes the parts: the command table with the menus
// and the command band, the search band (SearchBar), the three panes (BookmarkWorkspace), the
// status panes (StatusPanes) and the tray with the global hot keys (TrayController); and it
// carries out the commands of the window itself (file commands, view toggles, help, dialogs).

#include <QMainWindow>
#include <QStringList>

class CBrindleDoc;
class QAction;
class QToolBar;

namespace brindle {
class BookmarkWorkspace;
class CommandTable;
class FileCommands;
class ExchangeController;
class LinkCheckController;
class LinkedFileController;
class MacroController;
class SearchBar;
class StatusPanes;
class ArchivePagesController;
class TextSearchController;
class TrayController;
} // namespace brindle

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    CMainFrame(CBrindleDoc& doc, brindle::FileCommands& files, QWidget* parent = nullptr);
    ~CMainFrame() override;

    brindle::CommandTable& Commands() const { return *m_commands; }
    QAction* Action(int id) const;
    brindle::SearchBar* Search() const { return m_search; }
    brindle::BookmarkWorkspace* Workspace() const { return m_workspace; }
    brindle::StatusPanes* Panes() const { return m_panes; }
    brindle::TrayController* Tray() const { return m_tray; }
    brindle::MacroController* Macros() const { return m_macros; }
    brindle::ExchangeController* Exchange() const { return m_exchange; }
    // The linked bookmark file: its commands and its syncs.
    brindle::LinkedFileController* LinkedFiles() const { return m_linked; }
    // The status check and bulk fetch (F8, F7) with the internet session.
    brindle::LinkCheckController* LinkChecks() const { return m_links; }
    QToolBar* CommandBand() const { return m_commandBand; }

    // A new or opened document is in place: title, mode layout and the views' first update.
    void DocumentReplaced();
    void UpdateTitle();
    // The recent-file list shown in the File menu, most recent first.
    void SetRecentFiles(const QStringList& paths);
    // The list font of the three views, from the preferences' font description.
    void ApplyListFont();
    // The options were confirmed: list font, tray (only when its flag changed), status panes.
    void ApplyOptions(bool trayFlagChanged);

    void CopyKeywordsToClipboard();
    void ShowDictionary();
    // Tool > Archive Pages: asks which bookmarks (all, selected, listed), or stops a run.
    void ArchivePages();
    void OpenHelp();

  signals:
    void recentFileChosen(const QString& path);
    void aboutRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void CreateRecentFileItems();
    void RegisterCommands();

    CBrindleDoc& m_doc;
    brindle::FileCommands& m_files;
    brindle::CommandTable* m_commands = nullptr;
    brindle::BookmarkWorkspace* m_workspace = nullptr;
    brindle::SearchBar* m_search = nullptr;
    brindle::TextSearchController* m_textSearch = nullptr;
    brindle::ArchivePagesController* m_archivePages = nullptr;
    brindle::StatusPanes* m_panes = nullptr;
    brindle::TrayController* m_tray = nullptr;
    brindle::MacroController* m_macros = nullptr;
    brindle::ExchangeController* m_exchange = nullptr;
    brindle::LinkedFileController* m_linked = nullptr;
    brindle::LinkCheckController* m_links = nullptr;
    QToolBar* m_commandBand = nullptr;
    QList<QAction*> m_recentActions;
    QStringList m_recentFiles;
    bool m_shownOnce = false;
};
