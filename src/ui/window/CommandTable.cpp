// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/CommandTable.h"

#include "ui/widgets/IconMenuStyle.h"
#include "ui/window/CommandIds.h"

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

using MI = MenuId;

// Every command of the window. The menus list their rows in this order. The texts are marked for
// translation in the context "Commands" and translated as the actions are made (Text()).
const CommandRow kRows[] = {
    // File
    {.id = cmd::New,
     .text = QT_TRANSLATE_NOOP("Commands", "&New"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Create a new document"),
     .keys = {Qt::CTRL | Qt::Key_N},
     .icon = "file-plus",
     .menu = {MI::File, 0},
     .band = {BandId::Commands, 10, QT_TRANSLATE_NOOP("Commands", "New")}},
    {.id = cmd::Open,
     .text = QT_TRANSLATE_NOOP("Commands", "&Open..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Open an existing document"),
     .keys = {Qt::CTRL | Qt::Key_O},
     .icon = "folder-open",
     .menu = {MI::File, 0},
     .band = {BandId::Commands, 11, QT_TRANSLATE_NOOP("Commands", "Open")}},
    {.id = cmd::Save,
     .text = QT_TRANSLATE_NOOP("Commands", "&Save"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Save the active document"),
     .keys = {Qt::CTRL | Qt::Key_S},
     .icon = "save",
     .menu = {MI::File, 0},
     .band = {BandId::Commands, 12, QT_TRANSLATE_NOOP("Commands", "Save")}},
    {.id = cmd::SaveAs,
     .text = QT_TRANSLATE_NOOP("Commands", "Save &As..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Save the active document with a new name"),
     .menu = {MI::File, 0}},
    {.id = cmd::Import,
     .text = QT_TRANSLATE_NOOP("Commands", "I&mport..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Import bookmarks from a chosen file"),
     .keys = {Qt::CTRL | Qt::Key_I},
     .icon = "file-input",
     .menu = {MI::File, 1}},
    {.id = cmd::Export,
     .text = QT_TRANSLATE_NOOP("Commands", "Ex&port..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Export bookmark files"),
     .keys = {Qt::CTRL | Qt::Key_E},
     .icon = "file-output",
     .menu = {MI::File, 1}},
    {.id = cmd::LinkFile,
     .text = QT_TRANSLATE_NOOP("Commands", "&Link Bookmark File..."),
     .prompt = QT_TRANSLATE_NOOP(
         "Commands", "Keep the document in step with a bookmark file that browsers share"),
     .menu = {MI::File, 1}},
    {.id = cmd::SyncNow,
     .text = QT_TRANSLATE_NOOP("Commands", "S&ynchronize Now"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Bring the document and its linked bookmark file in "
                                             "step now"),
     .menu = {MI::File, 1}},
    {.id = cmd::ImportFavorites,
     .text = QT_TRANSLATE_NOOP("Commands", "Import &Favorites..."),
     .prompt =
         QT_TRANSLATE_NOOP("Commands", "Import a Favorites folder of .url shortcuts as bookmarks"),
     .menu = {MI::File, 2}},
    {.id = cmd::ImportWizard,
     .text = QT_TRANSLATE_NOOP("Commands", "Import &Wizard"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Import wizard "),
     .icon = "wand-sparkles",
     .menu = {MI::File, 2}},
    // Stands in for the recent-file list while it is empty; the recent files follow it.
    {.id = cmd::RecentFirst,
     .text = QT_TRANSLATE_NOOP("Commands", "Recent File"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Open this document"),
     .menu = {MI::File, 3}},
    {.id = cmd::Exit,
     .text = QT_TRANSLATE_NOOP("Commands", "E&xit"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Quit the application; prompts to save documents"),
     .menu = {MI::File, 4}},

    // Edit
    {.id = cmd::Undo,
     .text = QT_TRANSLATE_NOOP("Commands", "&Undo..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Undo the last action"),
     .keys = {Qt::CTRL | Qt::Key_Z, Qt::ALT | Qt::Key_Backspace},
     .icon = "undo-2",
     .menu = {MI::Edit, 0},
     .band = {BandId::Commands, 20, QT_TRANSLATE_NOOP("Commands", "Undo")}},
    {.id = cmd::Cut,
     .text = QT_TRANSLATE_NOOP("Commands", "Cu&t..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Cut the selection and put it on the Clipboard"),
     .keys = {Qt::CTRL | Qt::Key_X, Qt::SHIFT | Qt::Key_Delete},
     .icon = "scissors",
     .menu = {MI::Edit, 1},
     .band = {BandId::Commands, 21, QT_TRANSLATE_NOOP("Commands", "Cut")}},
    {.id = cmd::Copy,
     .text = QT_TRANSLATE_NOOP("Commands", "&Copy..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Copy the selection and put it on the Clipboard"),
     .keys = {Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert},
     .icon = "copy",
     .menu = {MI::Edit, 1},
     .band = {BandId::Commands, 22, QT_TRANSLATE_NOOP("Commands", "Copy")}},
    {.id = cmd::Paste,
     .text = QT_TRANSLATE_NOOP("Commands", "&Paste..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Insert Clipboard contents"),
     .keys = {Qt::CTRL | Qt::Key_V, Qt::SHIFT | Qt::Key_Insert},
     .icon = "clipboard-paste",
     .menu = {MI::Edit, 1},
     .band = {BandId::Commands, 23, QT_TRANSLATE_NOOP("Commands", "Paste")}},
    {.id = cmd::Delete,
     .text = QT_TRANSLATE_NOOP("Commands", "Delete..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Delete the selected bookmark"),
     .keys = {Qt::Key_Delete},
     .icon = "trash-2",
     .menu = {MI::Edit, 1},
     .band = {BandId::Commands, 30, QT_TRANSLATE_NOOP("Commands", "Del")}},
    {.id = cmd::SelectAll,
     .text = QT_TRANSLATE_NOOP("Commands", "Select All"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Select all item"),
     .menu = {MI::Edit, 1}},
    {.id = cmd::FastAdd,
     .text = QT_TRANSLATE_NOOP("Commands", "&Fast Add"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Fast Add Bookmark"),
     .keys = {Qt::Key_F2},
     .icon = "zap",
     .menu = {MI::Edit, 2},
     .band = {BandId::Commands, 32, QT_TRANSLATE_NOOP("Commands", "Fast")}},
    {.id = cmd::Add,
     .text = QT_TRANSLATE_NOOP("Commands", "&Add"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Add a new bookmark"),
     .keys = {Qt::Key_F3},
     .icon = "bookmark-plus",
     .menu = {MI::Edit, 2},
     .band = {BandId::Commands, 31, QT_TRANSLATE_NOOP("Commands", "Add")}},
    {.id = cmd::MarkVisited,
     .text = QT_TRANSLATE_NOOP("Commands", "&Marked as visited"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Mark the selected bookmark as visited"),
     .keys = {Qt::Key_F4},
     .menu = {MI::Edit, 3}},
    {.id = cmd::Properties,
     .text = QT_TRANSLATE_NOOP("Commands", "P&roperties"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Edit bookmark's properties"),
     .keys = {Qt::Key_F5},
     .icon = "settings-2",
     .menu = {MI::Edit, 3},
     .band = {BandId::Commands, 33, QT_TRANSLATE_NOOP("Commands", "Prop")}},

    // Tool, with its "New Macro" pop-up first
    {.id = cmd::MacroUrl,
     .text = QT_TRANSLATE_NOOP("Commands", "&URL Shortcut..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Macro of URL shortcut"),
     .icon = "link",
     .menu = {MI::NewMacro, 0}},
    {.id = cmd::MacroKeywords,
     .text = QT_TRANSLATE_NOOP("Commands", "&Keyword Search..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Macro of keywords search"),
     .icon = "hash",
     .menu = {MI::NewMacro, 0}},
    {.id = cmd::MacroString,
     .text = QT_TRANSLATE_NOOP("Commands", "&String Search..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Macro of string search"),
     .icon = "text-cursor-input",
     .menu = {MI::NewMacro, 0}},
    {.id = cmd::MacroSelectedUrl,
     .text = QT_TRANSLATE_NOOP("Commands", "S&elected URL"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Macro of current selected URL"),
     .menu = {MI::NewMacro, 1}},
    {.id = cmd::MacroCurrentSearch,
     .text = QT_TRANSLATE_NOOP("Commands", "C&urrent Search..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Macro of current search string or keywords"),
     .menu = {MI::NewMacro, 1}},
    {.id = cmd::Schedules,
     .text = QT_TRANSLATE_NOOP("Commands", "Status &Checking Schedules"),
     .icon = "calendar-clock",
     .menu = {MI::Tool, 0}},
    {.id = cmd::Dictionary,
     .text = QT_TRANSLATE_NOOP("Commands", "&Dictionary"),
     .icon = "book-open",
     .menu = {MI::Tool, 0}},
    {.id = cmd::SearchOption,
     .text = QT_TRANSLATE_NOOP("Commands", "Search &Option"),
     .icon = "sliders-horizontal",
     .menu = {MI::Tool, 0}},
    {.id = cmd::CopyKeywords,
     .text = QT_TRANSLATE_NOOP("Commands", "Copy &Keywords to Clipboard"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Copy dictionary to clipboard"),
     .menu = {MI::Tool, 0}},
    {.id = cmd::FindDuplicates,
     .text = QT_TRANSLATE_NOOP("Commands", "Find D&uplicates..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Find bookmarks of the same page and merge them"),
     .icon = "copy",
     .menu = {MI::Tool, 0}},
    {.id = cmd::ArchivePages,
     .text = QT_TRANSLATE_NOOP("Commands", "&Archive Pages..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Keep the text of the pages for Text Search; while "
                                             "archiving, stop it"),
     .menu = {MI::Tool, 0}},
    {.id = cmd::Fetch,
     .text = QT_TRANSLATE_NOOP("Commands", "&Fetch"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Fetch name keywords and description by URL"),
     .keys = {Qt::Key_F6},
     .icon = "download",
     .menu = {MI::Tool, 1},
     .band = {BandId::Commands, 40, QT_TRANSLATE_NOOP("Commands", "Fetch")}},
    {.id = cmd::StatusCheck,
     .text = QT_TRANSLATE_NOOP("Commands", "&Start Check"),
     .keys = {Qt::Key_F8},
     .icon = "shield-check",
     .menu = {MI::Tool, 1},
     .band = {BandId::Commands, 41, QT_TRANSLATE_NOOP("Commands", "Check")}},

    // View
    {.id = cmd::ViewMacro,
     .text = QT_TRANSLATE_NOOP("Commands", "&Macro"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Show or hide macro view"),
     .menu = {MI::View, 0},
     .checkable = true},
    {.id = cmd::ViewToolbar,
     .text = QT_TRANSLATE_NOOP("Commands", "&Toolbar"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Show or hide the toolbar"),
     .menu = {MI::View, 0},
     .checkable = true},
    {.id = cmd::ViewStatusBar,
     .text = QT_TRANSLATE_NOOP("Commands", "&Status Bar"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Show or hide the status bar"),
     .menu = {MI::View, 0},
     .checkable = true},
    {.id = cmd::ViewTrash,
     .text = QT_TRANSLATE_NOOP("Commands", "T&rash..."),
     .prompt = QT_TRANSLATE_NOOP("Commands",
                                 "List the bookmarks removed in the last 30 days and restore them"),
     .menu = {MI::View, 1}},
    {.id = cmd::Column,
     .text = QT_TRANSLATE_NOOP("Commands", "&Column..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Customize the columns to show"),
     .menu = {MI::View, 1}},
    {.id = cmd::Option,
     .text = QT_TRANSLATE_NOOP("Commands", "&Option..."),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Set option for Brindle"),
     .menu = {MI::View, 1}},

    // Help
    {.id = cmd::Help,
     .text = QT_TRANSLATE_NOOP("Commands", "&Help"),
     .keys = {Qt::Key_F1},
     .icon = "circle-help",
     .menu = {MI::Help, 0}},
    {.id = cmd::HelpIndex, .text = QT_TRANSLATE_NOOP("Commands", "&Index"), .menu = {MI::Help, 0}},
    {.id = cmd::About,
     .text = QT_TRANSLATE_NOOP("Commands", "&About Brindle..."),
     .icon = "info",
     .menu = {MI::Help, 1}},

    // Search band and the search option drop-down
    {.id = cmd::ClearSearch,
     .text = QT_TRANSLATE_NOOP("Commands", "Clear Search"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Clear search keywords"),
     .icon = "eraser",
     .band = {BandId::Search, 0},
     .tip = QT_TRANSLATE_NOOP("Commands", "ClearKeywords")},
    {.id = cmd::KeywordSearch,
     .text = QT_TRANSLATE_NOOP("Commands", "Keyword Search"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Keywords Search View"),
     .icon = "tags",
     .band = {BandId::Search, 1},
     .checkable = true},
    {.id = cmd::StringSearch,
     .text = QT_TRANSLATE_NOOP("Commands", "String Search"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "String Search View"),
     .icon = "text-search",
     .band = {BandId::Search, 2},
     .checkable = true},
    {.id = cmd::OpenArchivedText,
     .text = QT_TRANSLATE_NOOP("Commands", "Open Archived Te&xt"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Show the archived text of the page in the browser")},
    {.id = cmd::TextSearch,
     .text = QT_TRANSLATE_NOOP("Commands", "Text Search"),
     .prompt = QT_TRANSLATE_NOOP("Commands", "Search the archived text of the pages"),
     .icon = "book-open",
     .band = {BandId::Search, 3},
     .checkable = true},
    {.id = cmd::PartialMatch,
     .text = QT_TRANSLATE_NOOP("Commands", "Partial Match"),
     .checkable = true},
    {.id = cmd::MatchCase, .text = QT_TRANSLATE_NOOP("Commands", "Match Case"), .checkable = true},
    {.id = cmd::SearchFieldFirst, .text = QT_TRANSLATE_NOOP("Commands", "Name"), .checkable = true},
    {.id = cmd::SearchFieldFirst + 1,
     .text = QT_TRANSLATE_NOOP("Commands", "URL"),
     .checkable = true},
    {.id = cmd::SearchFieldFirst + 2,
     .text = QT_TRANSLATE_NOOP("Commands", "Keywords"),
     .checkable = true},
    {.id = cmd::SearchFieldFirst + 3,
     .text = QT_TRANSLATE_NOOP("Commands", "Description"),
     .checkable = true},
    {.id = cmd::SearchFieldFirst + 4,
     .text = QT_TRANSLATE_NOOP("Commands", "Notes"),
     .checkable = true},
    {.id = cmd::SearchFieldFirst + 5,
     .text = QT_TRANSLATE_NOOP("Commands", "Schedule"),
     .checkable = true},
    {.id = cmd::SearchFieldFirst + 6,
     .text = QT_TRANSLATE_NOOP("Commands", "Status"),
     .checkable = true},

    // Context menus only
    {.id = cmd::OpenPage, .text = QT_TRANSLATE_NOOP("Commands", "&Open Page")},
    {.id = cmd::OpenArchivedCopy,
     .text = QT_TRANSLATE_NOOP("Commands", "Open &Archived Copy"),
     .prompt = QT_TRANSLATE_NOOP("Commands",
                                 "Open the web archive's closest copy of a page that is gone")},
    {.id = cmd::CopyUrl, .text = QT_TRANSLATE_NOOP("Commands", "Copy &Url To Clipboard")},
    {.id = cmd::MakeCommonKeyword, .text = QT_TRANSLATE_NOOP("Commands", "Make Common &Keyword")},
    {.id = cmd::SetStatusChecking,
     .text = QT_TRANSLATE_NOOP("Commands", "Set Sta&tus checking...")},
    {.id = cmd::HeaderColumnFirst, .text = QT_TRANSLATE_NOOP("Commands", "URL"), .checkable = true},
    {.id = cmd::HeaderColumnFirst + 1,
     .text = QT_TRANSLATE_NOOP("Commands", "Keywords"),
     .checkable = true},
    {.id = cmd::HeaderColumnFirst + 2,
     .text = QT_TRANSLATE_NOOP("Commands", "Description"),
     .checkable = true},
    {.id = cmd::HeaderColumnFirst + 3,
     .text = QT_TRANSLATE_NOOP("Commands", "Notes"),
     .checkable = true},
    {.id = cmd::HeaderColumnFirst + 4,
     .text = QT_TRANSLATE_NOOP("Commands", "Status checking"),
     .checkable = true},
    {.id = cmd::HeaderColumnFirst + 5,
     .text = QT_TRANSLATE_NOOP("Commands", "Schedule"),
     .checkable = true},
    {.id = cmd::HeaderColumnFirst + 6,
     .text = QT_TRANSLATE_NOOP("Commands", "Status"),
     .checkable = true},
    {.id = cmd::HeaderColumnFirst + 7,
     .text = QT_TRANSLATE_NOOP("Commands", "Add Date"),
     .checkable = true},
    {.id = cmd::HeaderColumnFirst + 8,
     .text = QT_TRANSLATE_NOOP("Commands", "Last Visited"),
     .checkable = true},
    {.id = cmd::HeaderColumnFirst + 9,
     .text = QT_TRANSLATE_NOOP("Commands", "Last Modified"),
     .checkable = true},
    {.id = cmd::HeaderColumnFirst + 10,
     .text = QT_TRANSLATE_NOOP("Commands", "Last Checked"),
     .checkable = true},
    {.id = cmd::RenameKeyword, .text = QT_TRANSLATE_NOOP("Commands", "Rename Keyword")},
    {.id = cmd::DeleteKeyword, .text = QT_TRANSLATE_NOOP("Commands", "Delete...")},
    {.id = cmd::CopyKeyword, .text = QT_TRANSLATE_NOOP("Commands", "Copy...")},
    {.id = cmd::TrayAdd, .text = QT_TRANSLATE_NOOP("Commands", "Add")},
    {.id = cmd::TrayFastAdd, .text = QT_TRANSLATE_NOOP("Commands", "Fast Add")},
    {.id = cmd::TrayClose, .text = QT_TRANSLATE_NOOP("Commands", "Close")},
};

struct MenuRow {
    MenuId id;
    const char* title;
    MenuId parent = MenuId::None; // for a pop-up inside another
    int group = 0;                // its group in the parent
};

const MenuRow kMenus[] = {{MI::File, QT_TRANSLATE_NOOP("Commands", "&File")},
                          {MI::Edit, QT_TRANSLATE_NOOP("Commands", "&Edit")},
                          {MI::Tool, QT_TRANSLATE_NOOP("Commands", "&Tool")},
                          {MI::NewMacro, QT_TRANSLATE_NOOP("Commands", "&New Macro"), MI::Tool, 0},
                          {MI::View, QT_TRANSLATE_NOOP("Commands", "&View")},
                          {MI::Help, QT_TRANSLATE_NOOP("Commands", "&Help")}};

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

const ContextItem kSelectionMenu[] = {
    {cmd::OpenPage},
    {cmd::OpenArchivedCopy},
    {cmd::OpenArchivedText},
    {0},
    {cmd::Cut, QT_TRANSLATE_NOOP("Commands", "&Cut...")},
    {cmd::Copy, QT_TRANSLATE_NOOP("Commands", "Copy...")},
    {cmd::Paste, QT_TRANSLATE_NOOP("Commands", "Paste...")},
    {cmd::Delete},
    {0},
    {cmd::StatusCheck},
    {cmd::Export, QT_TRANSLATE_NOOP("Commands", "&Export...")},
    {cmd::MarkVisited},
    {cmd::CopyUrl},
    {cmd::MacroSelectedUrl, QT_TRANSLATE_NOOP("Commands", "Make Shortcut M&acro")},
    {cmd::MakeCommonKeyword},
    {cmd::SetStatusChecking},
    {0},
    {cmd::Properties, QT_TRANSLATE_NOOP("Commands", "&Properties")}};

// "Properties" of the empty area opens the column dialog.
const ContextItem kEmptyMenu[] = {{cmd::Paste, QT_TRANSLATE_NOOP("Commands", "Paste")},
                                  {cmd::Column, QT_TRANSLATE_NOOP("Commands", "Properties")}};

const ContextItem kKeywordMenu[] = {{cmd::RenameKeyword}, {cmd::DeleteKeyword}, {cmd::CopyKeyword}};

const ContextItem kTrayMenu[] = {{cmd::TrayAdd}, {cmd::TrayFastAdd}, {cmd::TrayClose}};

// Stands for the "New Macro" pop-up inside a context menu.
constexpr int kNewMacroPopup = -1;

const ContextItem kNewMacroItems[] = {
    {cmd::MacroUrl},
    {cmd::MacroKeywords},
    {cmd::MacroString},
    {0},
    {cmd::MacroCurrentSearch, QT_TRANSLATE_NOOP("Commands", "Current Search")}};

const ContextItem kMacroMenu[] = {{kNewMacroPopup},
                                  {0},
                                  {cmd::Cut, QT_TRANSLATE_NOOP("Commands", "&Cut...")},
                                  {cmd::Copy, QT_TRANSLATE_NOOP("Commands", "Copy...")},
                                  {cmd::Paste, QT_TRANSLATE_NOOP("Commands", "Paste...")},
                                  {cmd::Delete},
                                  {0},
                                  {cmd::Properties, QT_TRANSLATE_NOOP("Commands", "&Properties")}};

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
    case ContextMenuId::Macro:
        return kMacroMenu;
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

QString CommandTable::KeyText(int id) {
    const CommandRow* row = Row(id);
    if (!row || row->keys[0].key() == Qt::Key_unknown)
        return {};
    return QKeySequence(row->keys[0]).toString(QKeySequence::NativeText);
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
    // The menus with command images: the bar's titles and the File, Edit, Tool and Help pop-ups.
    bar->setStyle(CIconMenuStyle::Instance());
    for (MenuId id : {MenuId::File, MenuId::Edit, MenuId::Tool, MenuId::Help})
        CIconMenuStyle::Apply(Menu(id));
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

struct CommandTable::ContextItemList {
    std::span<const ContextItem> items;
};

void CommandTable::AppendContextItems(QMenu* menu, ContextMenuId which) {
    AppendItems(menu, {ContextItems(which)});
}

void CommandTable::AppendItems(QMenu* menu, const ContextItemList& list) {
    for (const ContextItem& item : list.items) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        if (item.id == kNewMacroPopup) {
            const auto row = std::find_if(std::begin(kMenus), std::end(kMenus),
                                          [](const MenuRow& m) { return m.id == MI::NewMacro; });
            AppendItems(menu->addMenu(Text(row->title)), {kNewMacroItems});
            continue;
        }
        const CommandRow* row = Row(item.id);
        const Entry& entry = m_entries.at(item.id);
        // The wording of the moment (a check that runs reads "Pause Check") unless the context
        // menu has its own; the key after a tab, as the menus show it.
        QString text = item.text ? Text(item.text) : entry.action->text();
        const QString key = KeyText(item.id);
        if (!key.isEmpty())
            text += QLatin1Char('\t') + key;
        QAction* a = menu->addAction(text);
        a->setData(item.id);
        a->setEnabled(IsEnabled(item.id));
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
    if (which == ContextMenuId::BookmarkSelection) {
        // The bookmark menu shows the command images as the main menus do.
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                a->setIcon(Action(a->data().toInt())->icon());
        CIconMenuStyle::Apply(menu);
    }
    return menu;
}

} // namespace brindle
