#include "ui/CommandTable.h"

#include "ui/CommandIds.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <vector>

namespace brindle {

namespace {

#define TR(text) QT_TRANSLATE_NOOP("Commands", text)

using MI = MenuId;

// Every command of the window. The menus list their rows in this order.
const CommandRow kRows[] = {
    // File
    {.id = cmd::New,
     .text = TR("&New\tCtrl+N"),
     .prompt = TR("Create a new document"),
     .keys = {Qt::CTRL | Qt::Key_N},
     .icon = "file-plus",
     .menu = {MI::File, 0},
     .band = {BandId::Commands, 10, TR("New")}},
    {.id = cmd::Open,
     .text = TR("&Open...\tCtrl+O"),
     .prompt = TR("Open an existing document"),
     .keys = {Qt::CTRL | Qt::Key_O},
     .icon = "folder-open",
     .menu = {MI::File, 0},
     .band = {BandId::Commands, 11, TR("Open")}},
    {.id = cmd::Save,
     .text = TR("&Save\tCtrl+S"),
     .prompt = TR("Save the active document"),
     .keys = {Qt::CTRL | Qt::Key_S},
     .icon = "save",
     .menu = {MI::File, 0},
     .band = {BandId::Commands, 12, TR("Save")}},
    {.id = cmd::SaveAs,
     .text = TR("Save &As..."),
     .prompt = TR("Save the active document with a new name"),
     .menu = {MI::File, 0}},
    {.id = cmd::Import,
     .text = TR("I&mport...\tCtrl+I"),
     .prompt = TR("Import bookmark from specify file"),
     .keys = {Qt::CTRL | Qt::Key_I},
     .icon = "file-input",
     .menu = {MI::File, 1}},
    {.id = cmd::Export,
     .text = TR("Ex&port...\tCtrl+E"),
     .prompt = TR("Export bookmark files"),
     .keys = {Qt::CTRL | Qt::Key_E},
     .icon = "file-output",
     .menu = {MI::File, 1}},
    {.id = cmd::ImportFavorites,
     .text = TR("Import &Favorites..."),
     .prompt = TR("Import windows favorites as bookmars"),
     .menu = {MI::File, 2}},
    {.id = cmd::ImportWizard,
     .text = TR("Import &Wizard"),
     .prompt = TR("Import wizard "),
     .icon = "wand-sparkles",
     .menu = {MI::File, 2}},
    // Stands in for the recent-file list while it is empty; the recent files follow it.
    {.id = cmd::RecentFirst,
     .text = TR("Recent File"),
     .prompt = TR("Open this document"),
     .menu = {MI::File, 3}},
    {.id = cmd::Exit,
     .text = TR("E&xit"),
     .prompt = TR("Quit the application; prompts to save documents"),
     .menu = {MI::File, 4}},

    // Edit
    {.id = cmd::Undo,
     .text = TR("&Undo...\tCtrl+Z"),
     .prompt = TR("Undo the last action"),
     .keys = {Qt::CTRL | Qt::Key_Z, Qt::ALT | Qt::Key_Backspace},
     .icon = "undo-2",
     .menu = {MI::Edit, 0},
     .band = {BandId::Commands, 20, TR("Undo")}},
    {.id = cmd::Cut,
     .text = TR("Cu&t...\tCtrl+X"),
     .prompt = TR("Cut the selection and put it on the Clipboard"),
     .keys = {Qt::CTRL | Qt::Key_X, Qt::SHIFT | Qt::Key_Delete},
     .icon = "scissors",
     .menu = {MI::Edit, 1},
     .band = {BandId::Commands, 21, TR("Cut")}},
    {.id = cmd::Copy,
     .text = TR("&Copy...\tCtrl+C"),
     .prompt = TR("Copy the selection and put it on the Clipboard"),
     .keys = {Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert},
     .icon = "copy",
     .menu = {MI::Edit, 1},
     .band = {BandId::Commands, 22, TR("Copy")}},
    {.id = cmd::Paste,
     .text = TR("&Paste...\tCtrl+V"),
     .prompt = TR("Insert Clipboard contents"),
     .keys = {Qt::CTRL | Qt::Key_V, Qt::SHIFT | Qt::Key_Insert},
     .icon = "clipboard-paste",
     .menu = {MI::Edit, 1},
     .band = {BandId::Commands, 23, TR("Paste")}},
    {.id = cmd::Delete,
     .text = TR("Delete...\tDEL"),
     .prompt = TR("Delete the selected bookmark"),
     .keys = {Qt::Key_Delete},
     .icon = "trash-2",
     .menu = {MI::Edit, 1},
     .band = {BandId::Commands, 30, TR("Del")}},
    {.id = cmd::SelectAll,
     .text = TR("Select All"),
     .prompt = TR("Select all item"),
     .menu = {MI::Edit, 1}},
    {.id = cmd::FastAdd,
     .text = TR("&Fast Add\tF2"),
     .prompt = TR("Fast Add Bookmark"),
     .keys = {Qt::Key_F2},
     .icon = "zap",
     .menu = {MI::Edit, 2},
     .band = {BandId::Commands, 32, TR("Fast")}},
    {.id = cmd::Add,
     .text = TR("&Add\tF3"),
     .prompt = TR("Add a new bookmark"),
     .keys = {Qt::Key_F3},
     .icon = "bookmark-plus",
     .menu = {MI::Edit, 2},
     .band = {BandId::Commands, 31, TR("Add")}},
    {.id = cmd::MarkVisited,
     .text = TR("&Marked as visited\tF4"),
     .prompt = TR("Mark the selected bookmark as visited"),
     .keys = {Qt::Key_F4},
     .menu = {MI::Edit, 3}},
    {.id = cmd::Properties,
     .text = TR("P&roperties\tF5"),
     .prompt = TR("Edit bookmark's properties"),
     .keys = {Qt::Key_F5},
     .icon = "settings-2",
     .menu = {MI::Edit, 3},
     .band = {BandId::Commands, 33, TR("Prop")}},

    // Tool, with its "New Macro" pop-up first
    {.id = cmd::MacroUrl,
     .text = TR("&URL Shortcut..."),
     .prompt = TR("Macro of URL shortcut"),
     .icon = "link",
     .menu = {MI::NewMacro, 0}},
    {.id = cmd::MacroKeywords,
     .text = TR("&Keyword Search..."),
     .prompt = TR("Macro of keywords search"),
     .icon = "hash",
     .menu = {MI::NewMacro, 0}},
    {.id = cmd::MacroString,
     .text = TR("&String Search..."),
     .prompt = TR("Macro of string search"),
     .icon = "text-cursor-input",
     .menu = {MI::NewMacro, 0}},
    {.id = cmd::MacroSelectedUrl,
     .text = TR("S&elected URL"),
     .prompt = TR("Macro of current selected URL"),
     .menu = {MI::NewMacro, 1}},
    {.id = cmd::MacroCurrentSearch,
     .text = TR("C&urrent Search..."),
     .prompt = TR("Macro of current search string or keywords"),
     .menu = {MI::NewMacro, 1}},
    {.id = cmd::Schedules,
     .text = TR("Status &Checking Schedules"),
     .icon = "calendar-clock",
     .menu = {MI::Tool, 0}},
    {.id = cmd::Dictionary, .text = TR("&Dictionary"), .icon = "book-open", .menu = {MI::Tool, 0}},
    {.id = cmd::SearchOption,
     .text = TR("Search &Option"),
     .icon = "sliders-horizontal",
     .menu = {MI::Tool, 0}},
    {.id = cmd::CopyKeywords,
     .text = TR("Copy &Keywords to Clipboard"),
     .prompt = TR("Copy dictionary to clipboard"),
     .menu = {MI::Tool, 0}},
    // The item reads F7 but the key is F6, as it always has been.
    {.id = cmd::Fetch,
     .text = TR("&Fetch\tF7"),
     .prompt = TR("Fetch name keywords and description by URL"),
     .keys = {Qt::Key_F6},
     .icon = "download",
     .menu = {MI::Tool, 1},
     .band = {BandId::Commands, 40, TR("Fetch")}},
    {.id = cmd::StatusCheck,
     .text = TR("&Status Check\tF8"),
     .keys = {Qt::Key_F8},
     .icon = "shield-check",
     .menu = {MI::Tool, 1},
     .band = {BandId::Commands, 41, TR("Check")}},

    // View
    {.id = cmd::ViewMacro,
     .text = TR("&Macro"),
     .prompt = TR("Show or hide macro view"),
     .menu = {MI::View, 0},
     .checkable = true},
    {.id = cmd::ViewToolbar,
     .text = TR("&Toolbar"),
     .prompt = TR("Show or hide the toolbar"),
     .menu = {MI::View, 0},
     .checkable = true},
    {.id = cmd::ViewStatusBar,
     .text = TR("&Status Bar"),
     .prompt = TR("Show or hide the status bar"),
     .menu = {MI::View, 0},
     .checkable = true},
    {.id = cmd::Column,
     .text = TR("&Column..."),
     .prompt = TR("Customize the columns to show"),
     .menu = {MI::View, 1}},
    {.id = cmd::Option,
     .text = TR("&Option..."),
     .prompt = TR("Set option for Brindle"),
     .menu = {MI::View, 1}},

    // Help
    {.id = cmd::Help,
     .text = TR("&Help\tF1"),
     .keys = {Qt::Key_F1},
     .icon = "circle-help",
     .menu = {MI::Help, 0}},
    {.id = cmd::HelpIndex, .text = TR("&Index"), .menu = {MI::Help, 0}},
    {.id = cmd::About, .text = TR("&About Brindle..."), .icon = "info", .menu = {MI::Help, 1}},

    // Search band and the search option drop-down
    {.id = cmd::ClearSearch,
     .text = TR("Clear Search"),
     .prompt = TR("Clear search keywords"),
     .icon = "eraser",
     .band = {BandId::Search, 0},
     .tip = TR("ClearKeywords")},
    {.id = cmd::KeywordSearch,
     .text = TR("Keyword Search"),
     .prompt = TR("Keywords Search View"),
     .icon = "tags",
     .band = {BandId::Search, 1},
     .checkable = true},
    {.id = cmd::StringSearch,
     .text = TR("String Search"),
     .prompt = TR("String Search View"),
     .icon = "text-search",
     .band = {BandId::Search, 2},
     .checkable = true},
    {.id = cmd::PartialMatch, .text = TR("Parital Match"), .checkable = true},
    {.id = cmd::MatchCase, .text = TR("Match Case"), .checkable = true},
    {.id = cmd::FieldName, .text = TR("Name"), .checkable = true},
    {.id = cmd::FieldName + 1, .text = TR("URL"), .checkable = true},
    {.id = cmd::FieldName + 2, .text = TR("Keywords"), .checkable = true},
    {.id = cmd::FieldName + 3, .text = TR("Decription"), .checkable = true},
    {.id = cmd::FieldName + 4, .text = TR("Notes"), .checkable = true},
    {.id = cmd::FieldName + 5, .text = TR("Schedule"), .checkable = true},
    {.id = cmd::FieldName + 6, .text = TR("Status"), .checkable = true},

    // Context menus only
    {.id = cmd::OpenPage, .text = TR("&Open Page")},
    {.id = cmd::CopyUrl, .text = TR("Copy &Url To Clipboard")},
    {.id = cmd::MakeCommonKeyword, .text = TR("Make Common &Keyword")},
    {.id = cmd::SetStatusChecking, .text = TR("Set Sta&tus checking...")},
    {.id = cmd::HeaderColumnFirst, .text = TR("URL"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 1, .text = TR("Keywords"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 2, .text = TR("Description"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 3, .text = TR("Notes"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 4, .text = TR("Status checking"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 5, .text = TR("Schedule"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 6, .text = TR("Status"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 7, .text = TR("Add Date"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 8, .text = TR("Last Visited"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 9, .text = TR("Last Modified"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 10, .text = TR("Last Checked"), .checkable = true},
    {.id = cmd::RenameKeyword, .text = TR("Rename Keyword")},
    {.id = cmd::DeleteKeyword, .text = TR("Delete...")},
    {.id = cmd::CopyKeyword, .text = TR("Copy...")},
    {.id = cmd::TrayAdd, .text = TR("Add")},
    {.id = cmd::TrayFastAdd, .text = TR("Fast Add")},
    {.id = cmd::TrayClose, .text = TR("Close")},
};

struct MenuRow {
    MenuId id;
    const char* title;
    MenuId parent = MenuId::None; // for a pop-up inside another
    int group = 0;                // its group in the parent
};

const MenuRow kMenus[] = {{MI::File, TR("&File")}, {MI::Edit, TR("&Edit")},
                          {MI::Tool, TR("&Tool")}, {MI::NewMacro, TR("&New Macro"), MI::Tool, 0},
                          {MI::View, TR("&View")}, {MI::Help, TR("&Help")}};

// An item of a context menu: id 0 is a separator; a text of its own where the context menu's
// wording differs from the row's.
struct ContextItem {
    int id;
    const char* text = nullptr;
};

const ContextItem kHeaderMenu[] = {
    {cmd::HeaderColumnFirst},     {cmd::HeaderColumnFirst + 1}, {cmd::HeaderColumnFirst + 2},
    {cmd::HeaderColumnFirst + 3}, {cmd::HeaderColumnFirst + 4}, {cmd::HeaderColumnFirst + 5},
    {cmd::HeaderColumnFirst + 6}, {cmd::HeaderColumnFirst + 7}, {cmd::HeaderColumnFirst + 8},
    {cmd::HeaderColumnFirst + 9}, {cmd::HeaderColumnFirst + 10}};

const ContextItem kSelectionMenu[] = {{cmd::OpenPage},
                                      {0},
                                      {cmd::Cut, TR("&Cut...\tCtrl+X")},
                                      {cmd::Copy, TR("Copy...\tCtrl+C")},
                                      {cmd::Paste, TR("Paste...\tCtrl+P")},
                                      {cmd::Delete},
                                      {0},
                                      {cmd::StatusCheck},
                                      {cmd::Export, TR("&Export...\tCtrl+E")},
                                      {cmd::MarkVisited, TR("Mark &Visited")},
                                      {cmd::CopyUrl},
                                      {cmd::MacroSelectedUrl, TR("Make Shortcut M&acro")},
                                      {cmd::MakeCommonKeyword},
                                      {cmd::SetStatusChecking},
                                      {0},
                                      {cmd::Properties, TR("&Properties")}};

// "Properties" of the empty area opens the column dialog.
const ContextItem kEmptyMenu[] = {{cmd::Paste, TR("Paste")}, {cmd::Column, TR("Properties")}};

const ContextItem kKeywordMenu[] = {{cmd::RenameKeyword}, {cmd::DeleteKeyword}, {cmd::CopyKeyword}};

const ContextItem kTrayMenu[] = {{cmd::TrayAdd}, {cmd::TrayFastAdd}, {cmd::TrayClose}};

#undef TR

std::span<const ContextItem> ContextItems(ContextMenuId which) {
    switch (which) {
    case ContextMenuId::BookmarkHeader:
        return kHeaderMenu;
    case ContextMenuId::BookmarkSelection:
        return kSelectionMenu;
    case ContextMenuId::BookmarkEmpty:
        return kEmptyMenu;
    case ContextMenuId::Keyword:
        return kKeywordMenu;
    case ContextMenuId::Tray:
        return kTrayMenu;
    }
    return {};
}

QList<QKeySequence> KeysOf(const CommandRow& row) {
    QList<QKeySequence> keys;
    for (QKeyCombination key : row.keys)
        if (key.key() != Qt::Key_unknown)
            keys << QKeySequence(key);
    return keys;
}

} // namespace

std::span<const CommandRow> CommandTable::Rows() {
    return kRows;
}

const CommandRow* CommandTable::Row(int id) {
    for (const CommandRow& row : kRows)
        if (row.id == id)
            return &row;
    return nullptr;
}

QString CommandTable::Text(const char* text) {
    return text && *text ? QCoreApplication::translate("Commands", text) : QString();
}

CommandTable::CommandTable(QWidget* window) : QObject(window), m_window(window) {
    for (const CommandRow& row : kRows) {
        auto* action = new QAction(Text(row.text), window);
        action->setData(row.id);
        action->setObjectName(QStringLiteral("cmd%1").arg(row.id));
        if (*row.prompt)
            action->setStatusTip(Text(row.prompt));
        if (row.tip)
            action->setToolTip(Text(row.tip));
        const QList<QKeySequence> keys = KeysOf(row);
        if (!keys.isEmpty())
            action->setShortcuts(keys);
        if (row.icon)
            action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(row.icon))));
        action->setCheckable(row.checkable);
        action->setEnabled(false); // until a feature takes it over
        const int id = row.id;
        connect(action, &QAction::triggered, this, [this, id] { Run(id); });
        window->addAction(action);
        m_entries[id].action = action;
    }
}

CommandTable::~CommandTable() = default;

QAction* CommandTable::Action(int id) const {
    const auto it = m_entries.find(id);
    return it == m_entries.end() ? nullptr : it->second.action;
}

void CommandTable::Register(int id, Handler handler, Rule enabled, Rule checked) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return; // not a row of the table
    Entry& entry = it->second;
    entry.handler = std::move(handler);
    entry.enabled = std::move(enabled);
    entry.checked = std::move(checked);
    UpdateState(id);
}

bool CommandTable::IsRegistered(int id) const {
    const auto it = m_entries.find(id);
    return it != m_entries.end() && it->second.handler != nullptr;
}

bool CommandTable::IsEnabled(int id) const {
    const auto it = m_entries.find(id);
    if (it == m_entries.end() || !it->second.handler)
        return false;
    return !it->second.enabled || it->second.enabled();
}

void CommandTable::Execute(int id) {
    if (QAction* action = Action(id))
        action->trigger();
}

void CommandTable::Run(int id) {
    const auto it = m_entries.find(id);
    if (it != m_entries.end() && it->second.handler)
        it->second.handler();
}

void CommandTable::UpdateState(int id) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    const Entry& entry = it->second;
    entry.action->setEnabled(IsEnabled(id));
    if (entry.checked)
        entry.action->setChecked(entry.checked());
}

void CommandTable::UpdateStates() {
    for (const auto& [id, entry] : m_entries) {
        (void)entry;
        UpdateState(id);
    }
}

// --- Builders --------------------------------------------------------------------------------

void CommandTable::BuildMenuBar(QMenuBar* bar) {
    std::map<MenuId, int> lastGroup;
    auto place = [&](MenuId menu, int group) {
        // A separator between groups.
        QMenu* m = m_menus.at(menu);
        const auto last = lastGroup.find(menu);
        if (last != lastGroup.end() && last->second != group)
            m->addSeparator();
        lastGroup[menu] = group;
        return m;
    };
    for (const MenuRow& row : kMenus) {
        if (row.parent != MenuId::None)
            continue;
        m_menus[row.id] = bar->addMenu(Text(row.title));
    }
    for (const CommandRow& row : kRows) {
        const MenuId id = row.menu.menu;
        if (id == MenuId::None)
            continue;
        if (!m_menus.count(id)) {
            // A pop-up inside another: it takes its place when its first item comes.
            const auto sub = std::find_if(std::begin(kMenus), std::end(kMenus),
                                          [id](const MenuRow& m) { return m.id == id; });
            QMenu* parent = place(sub->parent, sub->group);
            m_menus[id] = parent->addMenu(Text(sub->title));
        }
        place(id, row.menu.group)->addAction(Action(row.id));
    }
    for (const auto& [id, menu] : m_menus) {
        (void)id;
        connect(menu, &QMenu::aboutToShow, this, &CommandTable::UpdateStates);
    }
}

QMenu* CommandTable::Menu(MenuId id) const {
    const auto it = m_menus.find(id);
    return it == m_menus.end() ? nullptr : it->second;
}

void CommandTable::FillBand(QToolBar* toolBar, BandId band) {
    std::vector<const CommandRow*> rows;
    for (const CommandRow& row : kRows)
        if (row.band.band == band)
            rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(), [](const CommandRow* a, const CommandRow* b) {
        return a->band.position < b->band.position;
    });
    int group = -1;
    for (const CommandRow* row : rows) {
        if (group >= 0 && row->band.position / 10 != group)
            toolBar->addSeparator();
        group = row->band.position / 10;
        QAction* action = Action(row->id);
        if (!row->band.caption) {
            toolBar->addAction(action);
            continue;
        }
        // A button of its own with a short caption, triggering the menu's command.
        auto* button = new QToolButton(toolBar);
        button->setDefaultAction(action);
        const QString caption = Text(row->band.caption);
        button->setText(caption);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setFixedWidth(50);
        button->setObjectName(QStringLiteral("band%1").arg(row->id));
        connect(action, &QAction::changed, button, [button, caption] { button->setText(caption); });
        toolBar->addWidget(button);
    }
}

void CommandTable::AppendContextItems(QMenu* menu, ContextMenuId which) {
    for (const ContextItem& item : ContextItems(which)) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        const CommandRow* row = Row(item.id);
        QAction* a = menu->addAction(Text(item.text ? item.text : row->text));
        a->setData(item.id);
        a->setEnabled(IsEnabled(item.id));
        const Entry& entry = m_entries.at(item.id);
        if (row->checkable) {
            a->setCheckable(true);
            a->setChecked(entry.checked && entry.checked());
        }
        const int id = item.id;
        connect(a, &QAction::triggered, this, [this, id] { Run(id); });
    }
}

QMenu* CommandTable::BuildContextMenu(ContextMenuId which, QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    AppendContextItems(menu, which);
    return menu;
}

} // namespace brindle
