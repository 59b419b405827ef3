// SPDX-License-Identifier: GPL-3.0-or-later
// Find Duplicates from the window: a real import, the groups, a merge and its undo; and the
// wizard's import that skips what is already there.

#include "support/TestFiles.h"

#include "app/BrindleApp.h"
#include "store/BrindleDoc.h"
#include "ui/bookmarks/BookmarkListModel.h"
#include "ui/bookmarks/BookmarkView.h"
#include "ui/bookmarks/DuplicatesDialog.h"
#include "ui/exchange/ExchangeController.h"
#include "ui/exchange/ImportWizard.h"
#include "ui/widgets/DialogRunner.h"
#include "ui/widgets/FileDialogs.h"
#include "ui/widgets/MessageBox.h"
#include "ui/window/BookmarkWorkspace.h"
#include "ui/window/CommandIds.h"
#include "ui/window/MainFrame.h"
#include "ui/window/StatusPanes.h"

#include <QAction>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// A browser's export after a few years: the same pages saved again from newsletters and
// from the http days.
const char* const kExport =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
    "<DT><H3>News</H3>\n<DL><p>\n"
    "<DT><A HREF=\"https://www.theverge.com/\" ADD_DATE=\"1500000000\">The Verge</A>\n"
    "<DT><A HREF=\"https://www.theverge.com/?utm_source=newsletter&amp;utm_medium=email\" "
    "ADD_DATE=\"1450000000\">The Verge - newsletter</A>\n"
    "<DT><A HREF=\"http://theverge.com\" ADD_DATE=\"1300000000\">theverge</A>\n"
    "</DL><p>\n<DT><H3>Dev</H3>\n<DL><p>\n"
    "<DT><A HREF=\"https://gitter.im/y-js/yjs?utm_source=badge\" ADD_DATE=\"1600000000\">Yjs</A>\n"
    "<DT><A HREF=\"https://GITTER.im/y-js/yjs\" ADD_DATE=\"1610000000\">yjs chat</A>\n"
    "<DT><A HREF=\"https://www.mozilla.org/en-US/about/\" ADD_DATE=\"1200000000\">Mozilla</A>\n"
    "</DL><p>\n</DL><p>\n";

class DuplicatesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        brindle::MessageBox::Reset();
        brindle::FileDialogs::Reset();
        brindle::DialogRunner::SetHandler({});
        app = std::make_unique<CBrindleApp>();
        ASSERT_TRUE(app->InitInstance({QStringLiteral("brindle")}, StartOptions::Quiet()));
        frame = app->Frame();
        testutil::WriteFile(dir.Path() / "export.html", kExport);
    }
    void TearDown() override {
        brindle::FileDialogs::Reset();
        brindle::DialogRunner::SetHandler({});
        app->Doc().SetModifiedFlag(false);
    }
    int Rows() const { return frame->Workspace()->Bookmarks()->Model()->rowCount(); }

    testutil::TempDirectory dir;
    std::unique_ptr<CBrindleApp> app;
    CMainFrame* frame = nullptr;
};

TEST_F(DuplicatesTest, FindMergeAndUndoAfterAnImport) {
    brindle::FileDialogs::QueueAnswer(QString::fromStdString(dir.File("export.html")));
    frame->Action(cmd::Import)->trigger();
    CBrindleDoc& doc = app->Doc();
    ASSERT_EQ(doc.Bookmarks().size(), 6u);
    ASSERT_EQ(Rows(), 6);

    // The Verge's three bookmarks come first; the merged one must keep all their keywords.
    std::set<std::string> vergeKeywords;
    for (std::uint32_t i = 0; i < 3; ++i)
        for (const std::string& k : doc.Bookmarks().KeywordList(i))
            vergeKeywords.insert(k);
    // The others bring keywords of their own ("newsletter", "theverge").
    ASSERT_GT(vergeKeywords.size(), doc.Bookmarks().KeywordList(0).size());
    std::vector<QString> groupRows;
    brindle::DialogRunner::SetHandler([&](QDialog& d) {
        auto& dialog = dynamic_cast<brindle::DuplicatesDialog&>(d);
        EXPECT_EQ(dialog.windowTitle(), "Find Duplicates");
        QTreeWidget* tree = dialog.Tree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* g = tree->topLevelItem(i);
            groupRows.push_back(g->text(0) + " " + g->text(1) + " " +
                                QString::number(g->childCount()) +
                                (g->checkState(0) == Qt::Checked ? " ticked" : ""));
        }
        // The likely group too: it holds the same group of the Verge and the http one.
        tree->topLevelItem(2)->setCheckState(0, Qt::Checked);
        dialog.MergeButton()->click();
        return dialog.result();
    });
    frame->Action(cmd::FindDuplicates)->trigger();
    EXPECT_EQ(groupRows, (std::vector<QString>{
                             "Same address (2) https://www.theverge.com/ 2 ticked",
                             "Same address (2) https://gitter.im/y-js/yjs 2 ticked",
                             "Likely the same (3) http://theverge.com 3",
                         }));
    ASSERT_EQ(doc.Bookmarks().size(), 3u);
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(frame->Panes()->Text(brindle::kPaneResultCount), "3 of 3 bookmarks");
    std::vector<std::string> urls;
    for (const BookmarkRef b : doc.Bookmarks())
        urls.emplace_back(b.m_strURL);
    EXPECT_EQ(urls,
              (std::vector<std::string>{"https://www.theverge.com/", "https://GITTER.im/y-js/yjs",
                                        "https://www.mozilla.org/en-US/about/"}));
    EXPECT_EQ(doc.Bookmarks()[0].m_tAddDate, 1300000000);
    const std::vector<std::string> merged = doc.Bookmarks().KeywordList(0);
    EXPECT_EQ(std::set<std::string>(merged.begin(), merged.end()), vergeKeywords);

    frame->Workspace()->Bookmarks()->setFocus();
    frame->Action(cmd::Undo)->trigger();
    EXPECT_EQ(doc.Bookmarks().size(), 6u);
    EXPECT_EQ(Rows(), 6);
    EXPECT_EQ(doc.Bookmarks()[0].m_tAddDate, 1500000000);
}

TEST_F(DuplicatesTest, TheWizardSkipsAddressesAlreadyThereAndSaysHowMany) {
    app->Doc().AddBookmark({.name = "Verge", .url = "HTTPS://www.theverge.com:443/?fbclid=x"});
    brindle::WizardChoices choices;
    choices.powermarks = true; // a Netscape file read by its content
    choices.powermarksFile = QString::fromStdString(dir.File("export.html"));
    choices.skipDuplicates = true;
    frame->Exchange()->RunWizardImports(choices);
    // Two of the Verge and one of the two Yjs addresses are skipped.
    EXPECT_EQ(app->Doc().Bookmarks().size(), 1u + 3u);
    EXPECT_EQ(frame->Panes()->Text(brindle::kPanePrompt),
              "Imported 3 bookmarks from 1 file (3 already there)");
}

} // namespace
