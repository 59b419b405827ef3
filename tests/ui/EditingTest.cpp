// SPDX-License-Identifier: GPL-3.0-or-later
// Bookmark and keyword commands, their dialogs and the tray menu, driven offscreen (the tray
// icon itself needs a real tray: tests/x11).

#include "support/WindowTest.h"

#include "app/BrindleApp.h"
#include "platform/HotKeys.h"
#include "store/ClipboardRecords.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkMimeData.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/keywords/KeywordDialogs.h"
#include "ui/keywords/KeywordView.h"
#include "ui/options/OptionDialogs.h"
#include "ui/widgets/CheckListCtrl.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/CommandTable.h"
#include "ui/window/MainFrame.h"
#include "ui/window/SearchBar.h"
#include "ui/window/StatusPanes.h"
#include "ui/window/TrayController.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class EditingTest : public testutil::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        const char* const rows[][3] = {{"Alpha", "http://a.example/", "web tools"},
                                       {"Beta", "http://b.example/", "web news"},
                                       {"Gamma", "http://c.example/", "news"},
                                       {"Delta", "http://d.example/", "sport"}};
        BrxTime t = 1000;
        for (const auto& r : rows) {
            doc().AddBookmark({.name = r[0],
                               .url = r[1],
                               .keywords = r[2],
                               .description = "desc",
                               .notes = "note",
                               .statusChecking = 1,
                               .schedule = kNoSchedule,
                               .status = "Changed",
                               .addDate = t,
                               .lastVisited = t + 10,
                               .lastModified = t + 20,
                               .lastChecked = t + 30});
            ++t;
        }
        doc().SetModifiedFlag(false);
        doc().Search("", false, 0);
    }
};

TEST_F(EditingTest, DeleteAnsweredNoLeavesEverything) {
    SelectRows({0, 1});
    brindle::MessageBox::QueueAnswer(QMessageBox::No);
    frame->Action(cmd::Delete)->trigger();
    ASSERT_EQ(brindle::MessageBox::History().size(), 1u);
    EXPECT_EQ(brindle::MessageBox::History()[0].text, "Are you sure?");
    EXPECT_EQ(brindle::MessageBox::History()[0].icon, brindle::MessageBox::Icon::Question);
    EXPECT_EQ(doc().Bookmarks().size(), 4u);
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(EditingTest, DeleteThenUndoRestoresTheLastDeleteOnly) {
    SelectRows({0}); // Alpha (rows are by name: Alpha, Beta, Delta, Gamma)
    brindle::MessageBox::QueueAnswer(QMessageBox::Yes);
    frame->Action(cmd::Delete)->trigger();
    SelectRows({1}); // Delta
    brindle::MessageBox::QueueAnswer(QMessageBox::Yes);
    frame->Action(cmd::Delete)->trigger();
    EXPECT_THAT(Names(), ElementsAre("Beta", "Gamma"));
    EXPECT_EQ(frame->Panes()->Text(5), "2 of 2 bookmarks");
    frame->Commands().UpdateStates();
    EXPECT_TRUE(frame->Action(cmd::Undo)->isEnabled());
    frame->Action(cmd::Undo)->trigger();
    EXPECT_THAT(Names(), ElementsAre("Beta", "Gamma", "Delta"));
    EXPECT_EQ(view->Model()->rowCount(), 3);
}

TEST_F(EditingTest, CutNeverAsks) {
    app.Prefs().m_bConfirm = 1;
    SelectRows({3});
    frame->Action(cmd::Cut)->trigger();
    EXPECT_TRUE(brindle::MessageBox::History().empty());
    EXPECT_THAT(Names(), ElementsAre("Alpha", "Beta", "Delta"));
    EXPECT_TRUE(CBookMarkView::CanPaste());
}

TEST_F(EditingTest, CopyPutsRecordsAndLinksOnTheClipboard) {
    SelectRows({0, 1, 3});
    frame->Action(cmd::Copy)->trigger();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QByteArray block = data->data(CBookMarkView::kBookmarkMime);
    ASSERT_EQ(block.size(), 3 * 4308);
    std::string expected;
    for (int i : {0, 1, 2}) // Alpha, Beta, Gamma by collection index
        brindle::AppendBookmarkRecord(expected, doc().Bookmarks()[i]);
    EXPECT_TRUE(std::string(block.constData(), block.size()) == expected); // 8,616 bytes
    EXPECT_EQ(data->text(), "http://a.example/\nhttp://b.example/\nhttp://c.example/\n");
    ASSERT_EQ(data->urls().size(), 3);
    EXPECT_EQ(data->urls()[2].toString(), "http://c.example/");
    EXPECT_EQ(data->data("text/uri-list"),
              "http://a.example/\r\nhttp://b.example/\r\nhttp://c.example/\r\n");
}

TEST_F(EditingTest, TheClipboardKeepsTheBookmarksAsTheyWereWhenCopied) {
    // Texts longer than their record fields, with a two-byte character across each cut.
    const std::string longName = std::string(253, 'n') + "\xC3\xA9" + "tail";
    const std::string longUrl = "http://long.example/" + std::string(1200, 'u');
    const std::string longNotes = std::string(998, 'o') + "\xC3\xA9";
    ASSERT_TRUE(doc().AddBookmark({.name = longName,
                                   .url = longUrl,
                                   .keywords = "web long",
                                   .description = std::string(1500, 'd'),
                                   .notes = longNotes,
                                   .statusChecking = 0,
                                   .schedule = "<None>",
                                   .status = "A status text longer than its field",
                                   .addDate = 5,
                                   .lastChecked = 7}));
    doc().Search("", false, 0);
    const int longRow = 4; // after Alpha, Beta, Delta, Gamma
    ASSERT_EQ(view->Model()->data(view->Model()->index(longRow, 0)).toString().toStdString(),
              longName);
    SelectRows({longRow, 0}); // copied in row order: Alpha first
    frame->Action(cmd::Copy)->trigger();
    std::string expected;
    brindle::AppendBookmarkRecord(expected, doc().Bookmarks()[0]);
    brindle::AppendBookmarkRecord(expected, doc().Bookmarks()[4]);
    const QString expectedText = QString::fromStdString("http://a.example/\n" + longUrl + "\n");

    // Changed and deleted after the copy: the clipboard still has them as they were.
    doc().SetFieldText(0, kFieldName, "Changed");
    doc().SetModifiedFlag(true);
    SelectRows({longRow});
    brindle::MessageBox::QueueAnswer(QMessageBox::Yes);
    frame->Action(cmd::Delete)->trigger();
    ASSERT_EQ(doc().Bookmarks().size(), 4u);

    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(),
              (QStringList{CBookMarkView::kBookmarkMime, "text/uri-list", "text/plain"}));
    const QByteArray block = data->data(CBookMarkView::kBookmarkMime);
    EXPECT_TRUE(std::string(block.constData(), block.size()) == expected); // 8,616 bytes
    EXPECT_EQ(data->text(), expectedText);
    EXPECT_EQ(data->data("text/plain"), expectedText.toUtf8());
    EXPECT_EQ(data->data("text/uri-list"),
              QByteArray::fromStdString("http://a.example/\r\n" + longUrl + "\r\n"));
    EXPECT_FALSE(data->hasFormat("text/html"));
    EXPECT_TRUE(data->data("text/html").isEmpty());

    // A paste in this program takes the records a slice at a time: the same bookmarks.
    const auto* own = qobject_cast<const brindle::BookmarkMimeData*>(data);
    ASSERT_NE(own, nullptr);
    std::string sliced;
    own->AppendRecords(sliced, 0, 1);
    own->AppendRecords(sliced, 1, 5);
    own->AppendRecords(sliced, 2, 1);
    EXPECT_TRUE(sliced == expected);
    frame->Action(cmd::Paste)->trigger();
    ASSERT_EQ(doc().Bookmarks().size(), 6u); // Alpha is back too: "Changed" is another name
    EXPECT_EQ(doc().Bookmarks()[4].m_strName, "Alpha");
    const BookmarkRef back = doc().Bookmarks()[5];
    EXPECT_EQ(back.m_strName, std::string(253, 'n')); // cut before the two-byte character
    EXPECT_EQ(back.m_strURL, longUrl.substr(0, 999));
    EXPECT_EQ(back.m_strNotes, std::string(998, 'o'));
    EXPECT_EQ(back.m_tLastChecked, 7);
}

TEST_F(EditingTest, CopyThreeAndPasteIntoAnotherDocument) {
    SelectRows({0, 1, 2});
    frame->Action(cmd::Copy)->trigger();
    // Paste into a fresh collection: three bookmarks with identical fields and times.
    std::vector<std::unique_ptr<CBookmark>> before;
    CBrindleDoc::CopyBookmarks(doc().Bookmarks(), before);
    doc().DeleteContents();
    doc().Search("", false, 0);
    frame->Action(cmd::Paste)->trigger();
    ASSERT_EQ(doc().Bookmarks().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const int from = i == 2 ? 3 : i; // rows 0-2 are Alpha, Beta, Delta
        const CBookmark& a = *before[from];
        const BookmarkRef b = doc().Bookmarks()[i];
        EXPECT_TRUE(a.Equals(b)) << a.m_strName;
        EXPECT_EQ(a.m_tAddDate, b.m_tAddDate);
        EXPECT_EQ(a.m_tLastVisited, b.m_tLastVisited);
        EXPECT_EQ(a.m_tLastModified, b.m_tLastModified);
        EXPECT_EQ(a.m_tLastChecked, b.m_tLastChecked);
    }
    EXPECT_EQ(view->Model()->rowCount(), 3);
}

TEST_F(EditingTest, PasteIntoTheSameDocumentAddsNoDuplicates) {
    SelectRows({0});
    frame->Action(cmd::Copy)->trigger();
    frame->Action(cmd::Paste)->trigger();
    EXPECT_EQ(doc().Bookmarks().size(), 4u);
}

TEST_F(EditingTest, CopyUrlsAndMarkVisited) {
    SelectRows({1, 0});
    view->CopyUrlsToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), "http://a.example/\nhttp://b.example/\n");
    const BrxTime before = CBrindleDoc::Now();
    frame->Action(cmd::MarkVisited)->trigger();
    EXPECT_GE(doc().Bookmarks()[0].m_tLastVisited, before);
    EXPECT_GE(doc().Bookmarks()[1].m_tLastVisited, before);
    EXPECT_EQ(doc().Bookmarks()[2].m_tLastVisited, 1012);
    EXPECT_TRUE(doc().IsModified());
}

TEST_F(EditingTest, MakeCommonKeywordAddsToEverySelectedBookmark) {
    SelectRows({2, 3}); // Delta, Gamma
    brindle::DialogRunner::SetHandler([](QDialog& d) {
        auto& dialog = dynamic_cast<CChangeKeywordsDlg&>(d);
        dialog.Edit()->setText(" daily 2 ");
        return static_cast<int>(QDialog::Accepted);
    });
    view->MakeCommonKeyword();
    EXPECT_EQ(doc().Bookmarks()[3].m_strKeywords, "sport daily");
    EXPECT_EQ(doc().Bookmarks()[2].m_strKeywords, "news daily");
    EXPECT_EQ(doc().Bookmarks()[0].m_strKeywords, "web tools");
    EXPECT_TRUE(doc().IsModified());
    EXPECT_GE(doc().FindDictionaryKeyword("daily"), 0);
}

TEST_F(EditingTest, ChangeKeywordsEditKeepsOneKeyword) {
    CChangeKeywordsDlg dialog({"news", "web"}, QString());
    QTest::keyClicks(dialog.Edit(), "news 2 day");
    EXPECT_EQ(dialog.Text(), "newsday");
    dialog.Edit()->setText("my-word.x");
    EXPECT_EQ(dialog.Text(), "mywordx");
    emit dialog.List()->itemDoubleClicked(dialog.List()->item(1));
    EXPECT_EQ(dialog.Text(), "web");
}

TEST_F(EditingTest, HeaderMenuTogglesColumnsButNeverName) {
    QMenu* menu = view->BuildContextMenu({}, true);
    QStringList items;
    for (QAction* a : menu->actions())
        items << a->text();
    EXPECT_EQ(items.size(), 11);
    EXPECT_EQ(items.first(), "URL");
    EXPECT_EQ(menu->actions()[0]->data().toInt(), 32831);
    EXPECT_TRUE(menu->actions()[0]->isChecked());
    menu->actions()[0]->trigger(); // hide URL
    EXPECT_EQ(doc().Columns() & 0x2, 0);
    EXPECT_EQ(view->Model()->ColumnOfField(kFieldURL), -1);
    view->ToggleColumn(kFieldName);
    EXPECT_EQ(doc().Columns() & 0x1, 1);
    delete menu;
}

TEST_F(EditingTest, ContextMenusForSelectionAndEmptyArea) {
    view->clearSelection();
    QMenu* empty = view->BuildContextMenu({}, false);
    QStringList items;
    for (QAction* a : empty->actions())
        items << a->text();
    EXPECT_EQ(items, (QStringList{"Paste\tCtrl+V", "Properties"}));
    EXPECT_EQ(empty->actions()[1]->data().toInt(), 32879);
    delete empty;
    SelectRows({0});
    QMenu* menu = view->BuildContextMenu({}, false);
    items.clear();
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, (QStringList{"&Open Page", "Open &Archived Copy", "Open Archived Te&xt", "-",
                                  "&Cut...\tCtrl+X", "Copy...\tCtrl+C", "Paste...\tCtrl+V",
                                  "Delete...\tDel", "-", "&Start Check\tF8", "&Export...\tCtrl+E",
                                  "&Marked as visited\tF4", "Copy &Url To Clipboard",
                                  "Make Shortcut M&acro", "Make Common &Keyword",
                                  "Set Sta&tus checking...", "-", "&Properties\tF5"}));
    delete menu;
}

// The pop-up menu that is open now (its first item; "-" for none), closed again.
QString OpenMenuFirstItem() {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu)
        return QStringLiteral("-");
    const QString first = menu->actions().isEmpty() ? QString() : menu->actions()[0]->text();
    menu->close();
    return first;
}

// The menu key, Shift+F10 and a right-click on the first rows open the rows' menu, never the
// header's column menu: a keyboard event's position is in the view's own coordinates and a
// mouse event's in the viewport's, and both lie where the header is for the first rows.
TEST_F(EditingTest, MenuKeyAndFirstRowsOpenTheRowMenu) {
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    const QString rowMenu = QStringLiteral("&Open Page");
    SelectRows({0});
    view->selectionModel()->setCurrentIndex(view->Model()->index(0, 0),
                                            QItemSelectionModel::NoUpdate);

    QTest::keyClick(view, Qt::Key_Menu);
    EXPECT_EQ(OpenMenuFirstItem(), rowMenu);
    QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(OpenMenuFirstItem(), rowMenu);
    QTest::keyClick(view, Qt::Key_F10); // plain F10 is no menu key
    EXPECT_EQ(OpenMenuFirstItem(), "-");

    // The event the window system makes of the menu key: to the focused view, at the middle of
    // the current cell.
    const QPoint cursor = view->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, cursor, view->mapToGlobal(cursor));
    QApplication::sendEvent(view, &key);
    EXPECT_EQ(OpenMenuFirstItem(), rowMenu);

    // A right-click on the first row.
    const QPoint firstRow = view->visualRect(view->Model()->index(0, 1)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, firstRow,
                            view->viewport()->mapToGlobal(firstRow));
    QApplication::sendEvent(view->viewport(), &click);
    EXPECT_EQ(OpenMenuFirstItem(), rowMenu);

    // The header keeps its column menu.
    QHeaderView* header = view->horizontalHeader();
    const QPoint inHeader(header->sectionPosition(1) + 4, header->height() / 2);
    QContextMenuEvent onHeader(QContextMenuEvent::Mouse, inHeader,
                               header->viewport()->mapToGlobal(inHeader));
    QApplication::sendEvent(header->viewport(), &onHeader);
    EXPECT_EQ(OpenMenuFirstItem(), "URL");

    // Without a selection the menu key gives the empty area's menu.
    view->clearSelection();
    QTest::keyClick(view, Qt::Key_Menu);
    EXPECT_EQ(OpenMenuFirstItem(), "Paste\tCtrl+V");
    frame->hide();
}

TEST_F(EditingTest, ColumnDialogAlwaysKeepsName) {
    CColumnsDlg dialog(0x0FFF);
    for (int k = 0; k < dialog.List()->ItemCount(); ++k)
        dialog.List()->SetChecked(k, false);
    EXPECT_EQ(dialog.Columns(), 0x0001);
    CColumnsDlg some((1 << 0) | (1 << 7) | (1 << 8));
    EXPECT_TRUE(some.List()->IsChecked(6));  // Status
    EXPECT_TRUE(some.List()->IsChecked(7));  // Add date
    EXPECT_FALSE(some.List()->IsChecked(0)); // URL
    EXPECT_EQ(some.Columns(), (1 << 0) | (1 << 7) | (1 << 8));
}

TEST_F(EditingTest, ColumnChoicesAreStoredWithoutMarkingTheDocument) {
    brindle::DialogRunner::SetHandler([](QDialog& d) {
        auto& dialog = dynamic_cast<CColumnsDlg&>(d);
        for (int k = 0; k < dialog.List()->ItemCount(); ++k)
            dialog.List()->SetChecked(k, k == 6); // Status only
        return static_cast<int>(QDialog::Accepted);
    });
    frame->Action(cmd::Column)->trigger();
    EXPECT_EQ(doc().Columns(), (1 << kFieldName) | (1 << kFieldStatus));
    EXPECT_EQ(view->Model()->columnCount(), 2);
    EXPECT_FALSE(doc().IsModified());
    view->ToggleColumn(kFieldURL);
    view->SortByColumn(1);
    EXPECT_EQ(doc().SortColumn(), kFieldURL);
    EXPECT_FALSE(doc().IsModified());
}

TEST_F(EditingTest, CheckListFlipsOnlyOnItsCheckBox) {
    CSearchOptionDlg dialog(true, kSearchName, false);
    dialog.show();
    CCheckListCtrl* list = dialog.List();
    QApplication::processEvents();
    const QRect textRect = list->visualItemRect(list->topLevelItem(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, textRect.center() + QPoint(30, 0));
    EXPECT_FALSE(list->IsChecked(1));
    const QRect check = list->CheckRect(1);
    ASSERT_TRUE(check.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, check.center());
    EXPECT_TRUE(list->IsChecked(1));
    EXPECT_EQ(dialog.Fields(), kSearchName | kSearchURL);
}

TEST_F(EditingTest, SearchOptionDialogTakesTheOptionsAndSearchesAgain) {
    frame->Action(cmd::StringSearch)->trigger();
    doc().SetStringFields(kSearchName);
    frame->Search()->Box()->setText("ALPHA");
    ASSERT_EQ(doc().StringHits().size(), 1u);
    brindle::DialogRunner::SetHandler([](QDialog& d) {
        auto& dialog = dynamic_cast<CSearchOptionDlg&>(d);
        dialog.List()->SetChecked(1, true);
        dialog.PartialBox()->setChecked(false);
        dialog.MatchCaseBox()->setChecked(true);
        return static_cast<int>(QDialog::Accepted);
    });
    frame->Action(cmd::SearchOption)->trigger();
    EXPECT_EQ(doc().StringFields(), kSearchName | kSearchURL);
    EXPECT_EQ(doc().PartialMatch(), 0);
    EXPECT_EQ(doc().MatchCase(), 1);
    EXPECT_TRUE(doc().IsModified());
    EXPECT_TRUE(doc().StringHits().empty()); // "ALPHA" with match case: no name or URL has it
}

TEST_F(EditingTest, RenamingAQueryKeywordEmptiesTheList) {
    frame->Search()->Box()->setText("news");
    CKeyWordView* keywords = frame->Workspace()->Keywords();
    ASSERT_EQ(keywords->KeywordAt(0), "news");
    EXPECT_TRUE(keywords->FinishRename(0, "press"));
    EXPECT_THAT(doc().KeywordHits(), IsEmpty());
    EXPECT_THAT(doc().Dictionary(), IsEmpty());
    EXPECT_EQ(doc().Bookmarks()[2].m_strKeywords, "press");
}

TEST_F(EditingTest, RenameRejectsBadAndUnchangedWords) {
    frame->Search()->Box()->setText("web");
    CKeyWordView* keywords = frame->Workspace()->Keywords();
    const int row = 2; // news, tools, web
    ASSERT_EQ(keywords->KeywordAt(row), "web");
    EXPECT_FALSE(keywords->FinishRename(row, "news2"));
    EXPECT_FALSE(keywords->FinishRename(row, "my-word"));
    EXPECT_FALSE(keywords->FinishRename(row, "  web "));
    EXPECT_EQ(doc().Bookmarks()[0].m_strKeywords, "web tools");
    EXPECT_TRUE(keywords->FinishRename(0, "press")); // news is not a term of "web"
    QApplication::processEvents();
    EXPECT_THAT(doc().Dictionary(), ElementsAre("press", "tools", "web"));
    EXPECT_EQ(doc().KeywordHits().size(), 2u);
}

TEST_F(EditingTest, KeywordDeleteAndUndoThroughTheFrame) {
    frame->Search()->Box()->setText("web");
    CKeyWordView* keywords = frame->Workspace()->Keywords();
    keywords->setFocus();
    keywords->setCurrentIndex(keywords->Model()->index(2, 0)); // web
    ASSERT_EQ(keywords->SelectedRow(), 2);
    keywords->DeleteSelected();
    EXPECT_THAT(doc().KeywordHits(), IsEmpty());
    keywords->Undo();
    EXPECT_EQ(doc().KeywordHits().size(), 2u);
}

TEST_F(EditingTest, DictionaryChangeToEmptyRemovesTheKeyword) {
    CDictionaryDlg dialog(doc());
    EXPECT_EQ(dialog.Count(), 4); // news, sport, tools, web
    dialog.List()->setCurrentRow(0);
    brindle::DialogRunner::SetHandler([](QDialog& d) {
        dynamic_cast<CChangeKeywordsDlg&>(d).Edit()->setText("");
        return static_cast<int>(QDialog::Accepted);
    });
    dialog.Change();
    EXPECT_EQ(dialog.Count(), 3);
    for (const BookmarkRef b : doc().Bookmarks())
        EXPECT_EQ(b.m_strKeywords.find("news"), std::string::npos);
    dialog.List()->setCurrentRow(1); // tools
    brindle::DialogRunner::SetHandler([](QDialog& d) {
        dynamic_cast<CChangeKeywordsDlg&>(d).Edit()->setText("Apps");
        return static_cast<int>(QDialog::Accepted);
    });
    dialog.Change();
    EXPECT_EQ(doc().Bookmarks()[0].m_strKeywords, "web apps");
    EXPECT_EQ(dialog.List()->item(0)->text(), "apps");
}

TEST_F(EditingTest, TrayMenuListsTheFirstHits) {
    app.Prefs().m_nMaxInTray = 10;
    doc().Search("web|sport", false, 0);
    QMenu* menu = frame->Tray()->BuildMenu();
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, (QStringList{"Alpha", "Beta", "Delta", "-", "Add", "Fast Add", "Close"}));
    EXPECT_EQ(menu->actions()[0]->data().toInt(), 1174);
    app.Prefs().m_nMaxInTray = 0;
    items.clear();
    for (QAction* a : frame->Tray()->BuildMenu()->actions())
        items << a->text();
    EXPECT_EQ(items, (QStringList{"Add", "Fast Add", "Close"}));
    // Choosing the first hit asks for the first hit, in either mode.
    app.Prefs().m_nMaxInTray = 2;
    int chosen = -1;
    QObject::connect(frame->Tray(), &brindle::TrayController::bookmarkChosen,
                     [&](int k) { chosen = k; });
    frame->Tray()->BuildMenu()->actions()[0]->trigger();
    EXPECT_EQ(chosen, 0);
}

// A hot-key service that records what is asked of it and fires on request.
class FakeHotKeys : public brindle::HotKeyService {
  public:
    explicit FakeHotKeys(bool available) : m_available(available) {}
    bool IsAvailable() const override { return m_available; }
    bool Register(int id, std::uint16_t vk, std::uint16_t flags) override {
        registered[id] = {vk, flags};
        return m_available;
    }
    void Unregister(int id) override { registered.erase(id); }
    void UnregisterAll() override { registered.clear(); }
    bool IsRegistered(int id) const override { return registered.count(id) > 0; }
    void Fire(int id) { emit triggered(id); }
    std::map<int, std::pair<std::uint16_t, std::uint16_t>> registered;

  private:
    bool m_available;
};

TEST_F(EditingTest, HotKeyOneShowsTheWindow) {
    FakeHotKeys keys(true);
    app.Prefs().m_wHotKeyVk[0] = 0x45; // Ctrl+Shift+E
    app.Prefs().m_wHotKeyMods[0] = 3;
    frame->Tray()->SetHotKeyService(&keys);
    frame->Tray()->RegisterHotKeys();
    ASSERT_EQ(keys.registered.count(1050), 1u);
    EXPECT_EQ(keys.registered[1050], std::make_pair(std::uint16_t(0x45), std::uint16_t(3)));
    EXPECT_EQ(keys.registered.count(1051), 0u); // no key set
    frame->hide();
    keys.Fire(1050);
    EXPECT_TRUE(frame->isVisible());
    frame->Tray()->SetHotKeyService(nullptr);
}

TEST_F(EditingTest, NoHotKeysOnThisDesktopIsSaidOnce) {
    FakeHotKeys keys(false);
    app.Prefs().m_wHotKeyVk[1] = 0x41;
    frame->Tray()->SetHotKeyService(&keys);
    frame->Tray()->RegisterHotKeys();
    EXPECT_EQ(frame->Panes()->Text(0), "Global hot keys are not available on this desktop");
    frame->Panes()->SetText(0, QStringLiteral("Ready"));
    frame->ApplyOptions(false);
    EXPECT_EQ(frame->Panes()->Text(0), "Ready");
    frame->Tray()->SetHotKeyService(nullptr);
}

} // namespace
