// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's commands in one table. A row per command gives its id, texts, keys, image and
// where it appears (menu, tool band); the menus, the bands and the context menus are built from
// the rows. Each feature registers the handler of its commands with the enabling (and check)
// rule; a command that no feature has registered yet shows disabled.
//
// A menu item shows the command's first key from its row, never a text of its own, so that the key
// shown is the key that works.
//
// Adding a command: one row in CommandTable.cpp (its texts in QT_TRANSLATE_NOOP("Commands", ...))
// and its id in CommandIds.h, then
//     commands.Register(cmd::MyCommand, [this] { DoIt(); }, [this] { return CanDoIt(); });
// in the feature that carries it out.

#include <QKeyCombination>
#include <QObject>

#include <array>
#include <functional>
#include <map>
#include <span>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace brindle {

// The pop-ups of the menu bar in bar order, and the "New Macro" sub-menu of Tool.
enum class MenuId { None, File, Edit, Tool, NewMacro, View, Help };

// The tool band a command has a button on.
enum class BandId { None, Commands, Search };

// The context menus built from the table.
enum class ContextMenuId { BookmarkHeader, BookmarkSelection, BookmarkEmpty, Keyword, Tray, Macro };

struct MenuPlace {
    MenuId menu = MenuId::None;
    int group = 0; // items of one group sit between the same separators; order is table order
};

struct BandPlace {
    BandId band = BandId::None;
    int position = 0;              // order on the band; the tens are the groups between separators
    const char* caption = nullptr; // the command band's short caption under the image
};

struct CommandRow {
    int id = 0;
    const char* text = "";                 // menu text; the menus show the first key beside it
    const char* prompt = "";               // status-bar prompt
    std::array<QKeyCombination, 2> keys{}; // Qt::Key_unknown: none
    const char* icon = nullptr;            // image file under :/icons/, without ".svg"
    MenuPlace menu{};
    BandPlace band{};
    bool checkable = false;
    const char* tip = nullptr; // tool tip, where it is not the text
};

class CommandTable : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void()>;
    using Rule = std::function<bool()>;

    // Makes one action per row, owned by `window` and added to it, so that the keys work
    // wherever the focus is in the window. Every action starts disabled until registered.
    explicit CommandTable(QWidget* window);
    ~CommandTable() override;

    static std::span<const CommandRow> Rows();
    static const CommandRow* Row(int id);
    // The row's text, translated.
    static QString Text(const char* text);
    // The name of the command's first key as menus show it, or "" without a key.
    static QString KeyText(int id);

    QAction* Action(int id) const;

    // A feature takes over command `id`: `handler` runs when it is chosen, `enabled` says when it
    // may be (always, when empty) and `checked` whether a check item shows its mark.
    void Register(int id, Handler handler, Rule enabled = {}, Rule checked = {});
    bool IsRegistered(int id) const;
    // Registered and allowed by its rule now.
    bool IsEnabled(int id) const;
    // Chooses the command as its menu item would: nothing while it is disabled.
    void Execute(int id);

    // Applies every rule to the actions (enabled state and check marks), or one command's.
    void UpdateStates();
    void UpdateState(int id);

    // --- Builders ------------------------------------------------------------------------
    // The pop-ups of the menu bar with their items; each brings the states up to date as it
    // opens.
    void BuildMenuBar(QMenuBar* bar);
    QMenu* Menu(MenuId id) const;
    // The buttons of one band in their order.
    void FillBand(QToolBar* toolBar, BandId band);
    // A context menu made afresh, with the states of this moment; it deletes itself when closed.
    QMenu* BuildContextMenu(ContextMenuId which, QWidget* parent);
    // Appends the items of a context menu to `menu` (the tray menu puts its hits first).
    void AppendContextItems(QMenu* menu, ContextMenuId which);

  private:
    struct ContextItemList;
    void AppendItems(QMenu* menu, const ContextItemList& items);
    struct Entry {
        QAction* action = nullptr;
        Handler handler;
        Rule enabled;
        Rule checked;
    };
    void Run(int id);

    QWidget* m_window;
    std::map<int, Entry> m_entries;
    std::map<MenuId, QMenu*> m_menus;
};

} // namespace brindle
