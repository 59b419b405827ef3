// SPDX-License-Identifier: GPL-3.0-or-later
// Macros from the window: the three dialogs, running through their keys, deleting with the keys
// renumbered, the macro view's clipboard records, undo and editing.

#include "app/BrindleApp.h"
#include "platform/VirtualKeys.h"
#include "store/ClipboardRecords.h"
#include "support/FakeBrowsers.h"
#include "support/WindowTest.h"
#include "ui/macros/MacroController.h"
#include "ui/macros/MacroDialog.h"
#include "ui/macros/MacroView.h"
#include "ui/widgets/CheckListCtrl.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/HotKeyCtrl.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/SearchBar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QShortcut>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

constexpr std::uint32_t kCtrlShiftF5 = (3u << 16) | (brindle::vk::F1 + 4u); // F5
constexpr std::uint32_t kAltK = (4u << 16) | 'K';
constexpr std::uint32_t kCtrlShiftG = (3u << 16) | 'G';

class MacroTest : public testutil::WindowTest {
  protected:
    void SetUp() override {
        testutil::FakeBrowsers::Instance().Reset();
        WindowTest::SetUp();
        app.Prefs().m_nPrefer = 2; // the stand-in Firefox
        view = frame->Workspace()->Macros();
        for (const char* name : {"Java", "Python", "News"})
            doc().AddBookmark({.name = name,
                               .url = "http://x.example/",
                               .keywords = name == std::string("News") ? "news" : "prog"});
        doc().Search("", false, 0);
    }

    void ShowActive() {
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    }
    // Creates a macro through its "New Macro" command and dialog; the key is typed into the
    // hot-key box.
    void Create(int command, const QString& name, const QString& text,
                QKeyCombination key = QKeyCombination(Qt::Key_unknown)) {
        brindle::DialogRunner::SetHandler([&](QDialog& d) {
            auto& dialog = dynamic_cast<CMacroDlg&>(d);
            dialog.NameEdit()->setText(name);
            dialog.TextEdit()->setText(text);
            if (key.key() != Qt::Key_unknown)
                QTest::keyClick(dialog.HotKeyBox(), key.key(), key.keyboardModifiers());
            if (dialog.FieldList()) {
                dialog.FieldList()->SetChecked(0, true); // Name
                dialog.FieldList()->SetChecked(3, true); // Description
                dialog.MatchCaseBox()->setChecked(true);
            }
            return int(QDialog::Accepted);
        });
        frame->Action(command)->trigger();
        brindle::DialogRunner::SetHandler({});
    }
    void CreateThree() {
        Create(cmd::MacroUrl, "Open site", "http://site.example/",
               Qt::CTRL | Qt::SHIFT | Qt::Key_F5);
        Create(cmd::MacroKeywords, "Programming", "prog", Qt::ALT | Qt::Key_K);
        Create(cmd::MacroString, "Find Py", "Py", Qt::CTRL | Qt::SHIFT | Qt::Key_G);
    }
    std::vector<std::string> MacroNames() {
        std::vector<std::string> names;
        for (const CMacro& m : doc().Macros())
            names.push_back(m.m_strName);
        return names;
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int r = 0; r < view->topLevelItemCount(); ++r)
            rows.push_back(view->topLevelItem(r)->text(0).toStdString());
        return rows;
    }
    void SelectMacros(std::initializer_list<int> rows) {
        view->setFocus();
        view->clearSelection();
        for (int r : rows)
            view->topLevelItem(r)->setSelected(true);
        frame->Commands().UpdateStates();
    }
    QString Box() { return frame->Search()->Box()->text(); }

    CMacroView* view = nullptr;
};

TEST_F(MacroTest, EachKindIsCreatedThroughItsDialogAndRunsThroughItsKey) {
    CreateThree();
    ASSERT_THAT(MacroNames(), ElementsAre("Open site", "Programming", "Find Py"));
    EXPECT_THAT(Rows(), ElementsAre("Open site", "Programming", "Find Py"));
    const auto m = doc().Macros();
    EXPECT_EQ(m[0].m_nKind, kMacroUrl);
    EXPECT_EQ(m[0].m_strURL, "http://site.example/");
    EXPECT_EQ(m[0].m_dwHotKey, kCtrlShiftF5);
    EXPECT_EQ(m[1].m_nKind, kMacroKeywords);
    EXPECT_EQ(m[1].m_strKeywords, "prog");
    EXPECT_EQ(m[1].m_dwHotKey, kAltK);
    EXPECT_EQ(m[2].m_nKind, kMacroString);
    EXPECT_EQ(m[2].m_strSearch, "Py");
    EXPECT_EQ(m[2].m_dwFields, 0x9u);
    EXPECT_EQ(m[2].m_bMatchCase, 1);
    EXPECT_EQ(m[2].m_dwHotKey, kCtrlShiftG);
    EXPECT_TRUE(doc().IsModified());
    ASSERT_EQ(frame->Macros()->Keys().size(), 3u);

    ShowActive();
    QTest::keyClick(frame, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(doc().SearchMode(), kSearchKeyword);
    EXPECT_EQ(Box(), "prog");
    EXPECT_EQ(doc().ActiveHits().size(), 2u);

    QTest::keyClick(frame, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(doc().SearchMode(), kSearchString);
    EXPECT_EQ(Box(), "Py");
    EXPECT_EQ(doc().LastSearch(), "Py");
    EXPECT_EQ(doc().LastFields(), 0x9);
    EXPECT_EQ(doc().LastMatchCase(), 1);
    EXPECT_EQ(doc().ActiveHits().size(), 1u);

    QTest::keyClick(frame, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    auto& browsers = testutil::FakeBrowsers::Instance();
    EXPECT_THAT(browsers.WaitForStarts(1),
                ElementsAre(testutil::FakeBrowsers::Line(QStringLiteral("firefox"),
                                                         QStringLiteral("http://site.example/"))));

    // Command numbers: 1274 + position, nothing past the last macro.
    frame->Search()->Box()->clear();
    frame->Macros()->OnMacroCommand(cmd::MacroHotKeyFirst + 1);
    EXPECT_EQ(Box(), "prog");
    frame->Macros()->OnMacroCommand(cmd::MacroHotKeyFirst + 3);
    EXPECT_EQ(Box(), "prog");
}

TEST_F(MacroTest, AfterADeleteEveryKeyRunsItsOwnMacro) {
    CreateThree();
    ShowActive();
    SelectMacros({0});
    brindle::MessageBox::QueueAnswer(QMessageBox::Yes);
    frame->Action(cmd::Delete)->trigger();
    ASSERT_THAT(MacroNames(), ElementsAre("Programming", "Find Py"));
    ASSERT_EQ(frame->Macros()->Keys().size(), 2u);
    EXPECT_EQ(frame->Macros()->Keys()[0]->objectName(), "macroKey1274");

    QTest::keyClick(frame, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Box(), "Py");
    EXPECT_EQ(doc().SearchMode(), kSearchString);
    QTest::keyClick(frame, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(Box(), "prog");
    EXPECT_EQ(doc().SearchMode(), kSearchKeyword);
    // The deleted macro's key does nothing now.
    QTest::keyClick(frame, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::qWait(300);
    EXPECT_TRUE(testutil::FakeBrowsers::Instance().Starts().isEmpty());
}

TEST_F(MacroTest, AKeyTakenByACommandOrAnEarlierMacroStaysTheirs) {
    doc().AddMacro(kMacroKeywords, "first", "prog", kAltK);
    doc().AddMacro(kMacroKeywords, "second", "news", kAltK);
    doc().AddMacro(kMacroKeywords, "add", "news", brindle::vk::F1 + 2); // F3 is Add
    frame->Workspace()->ReloadMacros();
    ASSERT_EQ(frame->Macros()->Keys().size(), 1u);
    ShowActive();
    QTest::keyClick(frame, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(Box(), "prog");
    bool addOpened = false;
    brindle::DialogRunner::SetHandler([&](QDialog&) {
        addOpened = true;
        return int(QDialog::Rejected);
    });
    QTest::keyClick(frame, Qt::Key_F3);
    EXPECT_TRUE(addOpened);
    EXPECT_EQ(Box(), "prog");
}

TEST_F(MacroTest, DeletingTwoOfFiveThenUndo) {
    for (const char* name : {"m0", "m1", "m2", "m3", "m4"})
        doc().AddMacro(kMacroKeywords, name, name, 0);
    frame->Workspace()->ReloadMacros();
    ShowActive();
    SelectMacros({1, 3});
    EXPECT_TRUE(frame->Action(cmd::Delete)->isEnabled());
    EXPECT_FALSE(frame->Action(cmd::Undo)->isEnabled());
    brindle::MessageBox::QueueAnswer(QMessageBox::Yes);
    frame->Action(cmd::Delete)->trigger();
    EXPECT_THAT(MacroNames(), ElementsAre("m0", "m2", "m4"));
    EXPECT_THAT(Rows(), ElementsAre("m0", "m2", "m4"));
    frame->Commands().UpdateStates();
    ASSERT_TRUE(frame->Action(cmd::Undo)->isEnabled());
    frame->Action(cmd::Undo)->trigger();
    EXPECT_THAT(Rows(), ElementsAre("m0", "m2", "m4", "m1", "m3"));

    // Answered No: nothing goes.
    SelectMacros({0});
    brindle::MessageBox::QueueAnswer(QMessageBox::No);
    frame->Action(cmd::Delete)->trigger();
    EXPECT_EQ(doc().Macros().size(), 5u);
}

TEST_F(MacroTest, ClipboardRecordsRoundTripByteForByte) {
    CreateThree();
    ShowActive();
    SelectMacros({2, 0});
    ASSERT_TRUE(frame->Action(cmd::Copy)->isEnabled());
    frame->Action(cmd::Copy)->trigger();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(data->hasFormat(CMacroView::kMacroMime));
    const QByteArray first = data->data(CMacroView::kMacroMime);
    ASSERT_EQ(first.size(), 2 * 1784);
    // Row order: the URL macro, then the string macro.
    EXPECT_EQ(first.mid(0, 10), QByteArray("Open site\0", 10));
    EXPECT_EQ(first.mid(255, 21), QByteArray("http://site.example/\0", 21));
    EXPECT_EQ(first.mid(1776, 8), QByteArray("\x01\0\0\0\x74\0\x03\0", 8));
    const QByteArray second = first.mid(1784);
    EXPECT_EQ(second.mid(1510, 3), QByteArray("Py\0", 3));
    EXPECT_EQ(second.mid(1768, 16), QByteArray("\x09\0\0\0\x01\0\0\0\x03\0\0\0G\0\x03\0", 16));

    frame->Commands().UpdateStates();
    ASSERT_TRUE(frame->Action(cmd::Paste)->isEnabled());
    frame->Action(cmd::Paste)->trigger();
    ASSERT_THAT(MacroNames(),
                ElementsAre("Open site", "Programming", "Find Py", "Open site", "Find Py"));
    // The pasted copies keep their keys, which stay with the macros that had them first.
    EXPECT_EQ(doc().Macros()[3].m_dwHotKey, kCtrlShiftF5);
    EXPECT_EQ(frame->Macros()->Keys().size(), 3u);
    SelectMacros({3, 4});
    frame->Action(cmd::Copy)->trigger();
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data(CMacroView::kMacroMime), first);

    // Cut answered No: on the clipboard, still in the document.
    QApplication::clipboard()->clear();
    SelectMacros({1});
    brindle::MessageBox::QueueAnswer(QMessageBox::No);
    frame->Action(cmd::Cut)->trigger();
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat(CMacroView::kMacroMime));
    EXPECT_EQ(doc().Macros().size(), 5u);
}

TEST_F(MacroTest, PropertiesEditsTheMacroAndItsKey) {
    CreateThree();
    ShowActive();
    SelectMacros({1});
    ASSERT_TRUE(frame->Action(cmd::Properties)->isEnabled());
    brindle::DialogRunner::SetHandler([&](QDialog& d) {
        auto& dialog = dynamic_cast<CMacroDlg&>(d);
        EXPECT_EQ(dialog.windowTitle(), "Macro Keywords");
        EXPECT_EQ(dialog.NameEdit()->text(), "Programming");
        EXPECT_EQ(dialog.TextEdit()->text(), "prog");
        EXPECT_EQ(dialog.HotKeyBox()->MacroHotKey(), kAltK);
        dialog.TextEdit()->setText("news");
        QTest::keyClick(dialog.HotKeyBox(), Qt::Key_N, Qt::AltModifier);
        return int(QDialog::Accepted);
    });
    frame->Action(cmd::Properties)->trigger();
    brindle::DialogRunner::SetHandler({});
    EXPECT_EQ(doc().Macros()[1].m_strKeywords, "news");
    EXPECT_EQ(doc().Macros()[1].m_nKind, kMacroKeywords);
    QTest::keyClick(frame, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(Box(), "");
    QTest::keyClick(frame, Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(Box(), "news");
}

TEST_F(MacroTest, ContextMenuAndDoubleClick) {
    CreateThree();
    ShowActive();
    SelectMacros({1});
    QMenu* menu = frame->Commands().BuildContextMenu(brindle::ContextMenuId::Macro, view);
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(texts.join(QLatin1Char('|')),
              "&New Macro|-|&Cut...\tCtrl+X|Copy...\tCtrl+C|Paste...\tCtrl+V|Delete...\tDel|-|"
              "&Properties\tF5");
    QStringList sub;
    for (QAction* a : menu->actions().first()->menu()->actions())
        sub << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(sub.join(QLatin1Char('|')),
              "&URL Shortcut...|&Keyword Search...|&String Search...|-|Current Search");
    delete menu;

    const QRect row = view->visualItemRect(view->topLevelItem(1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(Box(), "prog");
    frame->Search()->Box()->clear();
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(Box(), "prog");
}

} // namespace
