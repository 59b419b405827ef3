#pragma once
// CMainFrame: the program's one window. It lays out the macro, keyword and bookmark panes, owns
// the menus, the command and search bands and the six-pane status bar, runs the search box in
// both search modes, and passes commands on to the views and the document.

#include "store/DocListener.h"

#include <QMainWindow>
#include <QMap>
#include <QStringList>

#include <array>
#include <cstdint>

class CBrindleDoc;
class CBookMarkView;
class CKeyWordView;
class CMacroView;
class CUserSplitter;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QSplitter;
class QSystemTrayIcon;
class QToolButton;

namespace brindle {
class FileCommands;
class HotKeyService;
} // namespace brindle

class CMainFrame : public QMainWindow, public DocListener {
    Q_OBJECT
  public:
    CMainFrame(CBrindleDoc& doc, brindle::FileCommands& files, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // --- What the document tells its views ---------------------------------------------
    void ReloadRows() override;
    void RefillKeywords() override;
    void ReloadMacros() override;
    void Rebuild() override;
    void SetPaneText(int pane, const std::string& text) override;

    // Sets a status-bar pane's text and sizes the pane to it.
    void SetPaneText(int pane, const QString& text);
    QString PaneText(int pane) const;

    QAction* Action(int id) const { return m_actions.value(id); }
    QLineEdit* SearchBox() const { return m_searchBox; }
    CBookMarkView* BookmarkView() const { return m_bookmarks; }
    CKeyWordView* KeywordView() const { return m_keywords; }
    CMacroView* MacroView() const { return m_macros; }
    QMenu* SearchOptionMenu() const { return m_searchOptionMenu; }
    QToolBar* CommandBand() const { return m_commandBand; }
    // Width of the macro column, height of the keyword row (0 when hidden).
    int MacroPaneWidth() const;
    int KeywordPaneHeight() const;

    // A new or opened document is in place: title, mode layout and the views' initial update.
    void DocumentReplaced();
    void UpdateTitle();
    // The recent-file list shown in the File menu, most recent first.
    void SetRecentFiles(const QStringList& paths);
    // Enables, disables and checks every command as its rule says.
    void UpdateCommandStates();

    // --- The search box ------------------------------------------------------------------
    void OnSearchTextChanged();
    void ClearSearch();
    void ShowKeywordSearch();
    void ShowStringSearch();
    // Appends a keyword (with the "." separator) to the search box.
    void AppendToSearch(const QString& text);
    // A keyword-search macro: keyword mode with the text in the box.
    void RunKeywordMacro(const QString& text);
    // A string-search macro: fields in the low 7 bits of `value`, match case in bit 7.
    void RunStringMacro(const QString& text, std::uint8_t value);
    // Rebuilds the "Search Option" drop-down for the current mode.
    void PrepareSearchOptionMenu();

    // The view that editing commands go to: the last of the three panes to have the focus.
    QWidget* ActiveView() const;
    void ShowDictionary();
    void ShowSearchOptions();

    // --- Tray ----------------------------------------------------------------------------------
    // Adds the tray icon when "bInTray" is on and the desktop has a tray, else removes it.
    void UpdateTrayIcon();
    bool HasTrayIcon() const { return m_tray != nullptr; }
    // The tray's pop-up: the first "MaxInTray" hits, a separator, "Add", "Fast Add", "Close".
    QMenu* BuildTrayMenu();
    // A left double-click on the tray icon.
    void OnTrayDoubleClick();

    // The four global hot keys (from the document's settings) through `service`; the frame
    // reacts to them. Says once in pane 0 when this desktop has none.
    void SetHotKeyService(brindle::HotKeyService* service);
    void RegisterHotKeys();
    void OnHotKey(int id);

    // The list font of the three views, from the document's font description.
    void ApplyListFont();
    // The options were confirmed: list font, tray (only when its flag changed), status panes.
    void ApplyOptions(bool trayFlagChanged);

    void ToggleMacroPane();
    void CopyKeywordsToClipboard();
    void CreateCurrentSearchMacro();
    void OpenHelp();

  signals:
    void recentFileChosen(const QString& path);
    // A tray-menu bookmark (the hit at `position` of the current list) is to be opened.
    void trayBookmarkChosen(int position);
    void aboutRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void CreateActions();
    void CreateMenus();
    void CreateBands();
    void CreateStatusBar();
    void CreatePanes();
    QAction* MakeAction(int id, const QString& text, const QString& prompt,
                        const QList<QKeySequence>& keys = {});
    void SetSearchText(const QString& text);
    void ApplyModeLayout();

    CBrindleDoc& m_doc;
    brindle::FileCommands& m_files;
    QMap<int, QAction*> m_actions;
    QList<QAction*> m_recentActions;
    QAction* m_recentPlaceholder = nullptr;
    QStringList m_recentFiles;

    QSplitter* m_outer = nullptr;
    CUserSplitter* m_right = nullptr;
    CMacroView* m_macros = nullptr;
    CKeyWordView* m_keywords = nullptr;
    CBookMarkView* m_bookmarks = nullptr;

    QToolBar* m_commandBand = nullptr;
    QToolBar* m_searchBand = nullptr;
    QLineEdit* m_searchBox = nullptr;
    QMenu* m_searchOptionMenu = nullptr;
    std::array<QLabel*, 6> m_panes{};
    QWidget* m_activeView = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    brindle::HotKeyService* m_hotKeys = nullptr;
    bool m_toldNoHotKeys = false;

    QString m_savedKeywordText;
    QString m_savedStringText;
    // When clear, the next change of the search box only sets it and starts no search.
    bool m_searchOnChange = true;
};
