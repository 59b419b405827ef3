// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TrayController: the tray icon with its pop-up menu (the first hits, then "Add", "Fast Add",
// "Close"), hiding the minimised window into the tray, and the four global hot keys.

#include <QObject>

#include <functional>

class CBookmark;
class CBrindleDoc;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace brindle {

class CommandTable;
class HotKeyService;
class StatusPanes;

class TrayController : public QObject {
    Q_OBJECT
  public:
    // `window` is the main window the icon and the hot keys bring up.
    TrayController(CBrindleDoc& doc, CommandTable& commands, StatusPanes& panes, QWidget* window);
    ~TrayController() override;

    // Adds the tray icon when "bInTray" is on and the desktop has a tray, else removes it.
    void UpdateTrayIcon();
    bool HasTrayIcon() const { return m_tray != nullptr; }
    // The tray's pop-up: the first "MaxInTray" hits, a separator, "Add", "Fast Add", "Close".
    QMenu* BuildMenu();
    // A left double-click on the tray icon.
    void OnDoubleClick();

    // The four global hot keys (from the preferences) through `service`; says once in the prompt
    // pane when this desktop has none.
    void SetHotKeyService(HotKeyService* service);
    void RegisterHotKeys();
    void OnHotKey(int id);
    // Opens the "Add Bookmark" sheet filled with a captured page (hot keys 1051 and 1053).
    void SetAddSheetOpener(std::function<void(const CBookmark&)> open) {
        m_openAddSheet = std::move(open);
    }

  signals:
    // A tray-menu bookmark (the hit at `position` of the current list) is to be opened.
    void bookmarkChosen(int position);

  protected:
    // Minimised with the tray icon and "hide" on, the window leaves the task bar.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CBrindleDoc& m_doc;
    CommandTable& m_commands;
    StatusPanes& m_panes;
    QWidget* m_window;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_menu = nullptr;
    HotKeyService* m_hotKeys = nullptr;
    bool m_toldNoHotKeys = false;
    std::function<void(const CBookmark&)> m_openAddSheet;
};

} // namespace brindle
