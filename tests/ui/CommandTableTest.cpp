// SPDX-License-Identifier: GPL-3.0-or-later
// The command table: rows become actions, menus, band buttons and context menus; registration
// and rules decide what is enabled and checked.

#include "ui/window/CommandTable.h"
#include "ui/window/CommandIds.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

using brindle::CommandTable;

namespace {

QStringList Items(const QMenu* menu) {
    QStringList items;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            items << QStringLiteral("-");
        else if (a->menu())
            items << QStringLiteral(">") + a->text();
        else
            items << a->text();
    }
    return items;
}

class CommandTableTest : public ::testing::Test {
  protected:
    QMainWindow window;
    CommandTable table{&window};
};

TEST_F(CommandTableTest, EveryRowHasItsOwnIdAndAnAction) {
    std::set<int> ids;
    for (const brindle::CommandRow& row : CommandTable::Rows()) {
        EXPECT_TRUE(ids.insert(row.id).second) << "twice: " << row.id;
        QAction* a = table.Action(row.id);
        ASSERT_NE(a, nullptr) << row.id;
        EXPECT_EQ(a->data().toInt(), row.id);
        EXPECT_TRUE(window.actions().contains(a)); // keys work anywhere in the window
    }
    EXPECT_EQ(table.Action(12345), nullptr);
}

TEST_F(CommandTableTest, UnregisteredCommandsAreDisabledAndDoNothing) {
    for (const brindle::CommandRow& row : CommandTable::Rows())
        EXPECT_FALSE(table.Action(row.id)->isEnabled()) << row.id;
    table.UpdateStates();
    EXPECT_FALSE(table.Action(cmd::Import)->isEnabled());
    EXPECT_FALSE(table.IsEnabled(cmd::Import));
    table.Execute(cmd::Import); // nothing to run, nothing happens
    EXPECT_FALSE(table.IsRegistered(cmd::Import));
}

TEST_F(CommandTableTest, TheRuleDecidesWhenARegisteredCommandRuns) {
    bool allowed = false;
    int runs = 0;
    table.Register(
        cmd::Copy, [&] { ++runs; }, [&] { return allowed; });
    EXPECT_TRUE(table.IsRegistered(cmd::Copy));
    EXPECT_FALSE(table.Action(cmd::Copy)->isEnabled());
    table.Execute(cmd::Copy);
    EXPECT_EQ(runs, 0);
    allowed = true;
    EXPECT_FALSE(table.Action(cmd::Copy)->isEnabled()); // until the states are brought up to date
    table.UpdateStates();
    EXPECT_TRUE(table.Action(cmd::Copy)->isEnabled());
    table.Execute(cmd::Copy);
    table.Action(cmd::Copy)->trigger();
    EXPECT_EQ(runs, 2);
    // Without a rule a registered command is always enabled.
    table.Register(cmd::Save, [] {});
    EXPECT_TRUE(table.Action(cmd::Save)->isEnabled());
}

TEST_F(CommandTableTest, CheckMarksFollowTheirRule) {
    bool shown = true;
    table.Register(
        cmd::ViewToolbar, [&] { shown = table.Action(cmd::ViewToolbar)->isChecked(); }, {},
        [&] { return shown; });
    EXPECT_TRUE(table.Action(cmd::ViewToolbar)->isChecked());
    table.Action(cmd::ViewToolbar)->trigger();
    EXPECT_FALSE(shown);
    shown = true;
    table.UpdateState(cmd::ViewToolbar);
    EXPECT_TRUE(table.Action(cmd::ViewToolbar)->isChecked());
}

TEST_F(CommandTableTest, EveryMenuRowIsInItsMenuInRowOrderWithSeparatorsBetweenGroups) {
    table.BuildMenuBar(window.menuBar());
    QStringList titles;
    for (QAction* a : window.menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Tool", "&View", "&Help"}));
    std::map<brindle::MenuId, std::vector<const brindle::CommandRow*>> rows;
    for (const brindle::CommandRow& row : CommandTable::Rows())
        if (row.menu.menu != brindle::MenuId::None)
            rows[row.menu.menu].push_back(&row);
    ASSERT_EQ(rows.size(), 6u); // the five pop-ups and "New Macro"
    for (const auto& [id, expected] : rows) {
        QMenu* menu = table.Menu(id);
        ASSERT_NE(menu, nullptr);
        std::size_t next = 0;
        bool separated = false;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator()) {
                separated = true;
                continue;
            }
            if (a->menu())
                continue; // "New Macro" inside Tool: checked as a menu of its own
            ASSERT_LT(next, expected.size()) << a->text().toStdString();
            EXPECT_EQ(a, table.Action(expected[next]->id));
            // A separator exactly where the group changes.
            if (next > 0) {
                EXPECT_EQ(separated, expected[next]->menu.group != expected[next - 1]->menu.group)
                    << a->text().toStdString();
            }
            separated = false;
            ++next;
        }
        EXPECT_EQ(next, expected.size());
    }
    EXPECT_EQ(table.Action(cmd::Exit)->statusTip(),
              "Quit the application; prompts to save documents");
}

TEST_F(CommandTableTest, OpeningAMenuBringsTheStatesUpToDate) {
    bool allowed = false;
    table.Register(
        cmd::Paste, [] {}, [&] { return allowed; });
    table.BuildMenuBar(window.menuBar());
    allowed = true;
    emit table.Menu(brindle::MenuId::Edit)->aboutToShow();
    EXPECT_TRUE(table.Action(cmd::Paste)->isEnabled());
}

TEST_F(CommandTableTest, TheCommandBandHasShortCaptionsInItsOwnOrder) {
    QToolBar band;
    table.FillBand(&band, brindle::BandId::Commands);
    QStringList captions;
    for (QAction* a : band.actions()) {
        if (a->isSeparator()) {
            captions << QStringLiteral("-");
            continue;
        }
        auto* button = qobject_cast<QToolButton*>(band.widgetForAction(a));
        ASSERT_NE(button, nullptr);
        captions << button->text();
    }
    EXPECT_EQ(captions, (QStringList{"New", "Open", "Save", "-", "Undo", "Cut", "Copy", "Paste",
                                     "-", "Del", "Add", "Fast", "Prop", "-", "Fetch", "Check"}));
    // The caption stays when the command changes its state.
    table.Register(cmd::Delete, [] {});
    auto* del = band.findChild<QToolButton*>(QStringLiteral("band%1").arg(cmd::Delete));
    ASSERT_NE(del, nullptr);
    EXPECT_EQ(del->text(), "Del");
    EXPECT_TRUE(del->isEnabled());
}

TEST_F(CommandTableTest, ContextMenusTakeTheStatesOfTheMomentAndRunTheHandler) {
    int renamed = 0;
    table.Register(cmd::RenameKeyword, [&] { ++renamed; });
    table.Register(
        cmd::CopyKeyword, [] {}, [] { return false; });
    QMenu* menu = table.BuildContextMenu(brindle::ContextMenuId::Keyword, &window);
    ASSERT_EQ(Items(menu), (QStringList{"Rename Keyword", "Delete...", "Copy..."}));
    EXPECT_TRUE(menu->actions()[0]->isEnabled());
    EXPECT_FALSE(menu->actions()[1]->isEnabled()); // no feature has it yet
    EXPECT_FALSE(menu->actions()[2]->isEnabled()); // its rule says no
    EXPECT_EQ(menu->actions()[1]->data().toInt(), cmd::DeleteKeyword);
    menu->actions()[0]->trigger();
    EXPECT_EQ(renamed, 1);
    delete menu;

    table.Register(
        cmd::HeaderColumnFirst + 2, [] {}, {}, [] { return true; });
    menu = table.BuildContextMenu(brindle::ContextMenuId::BookmarkHeader, &window);
    EXPECT_TRUE(menu->actions()[2]->isCheckable());
    EXPECT_TRUE(menu->actions()[2]->isChecked());
    EXPECT_FALSE(menu->actions()[3]->isChecked());
    delete menu;
}

} // namespace
