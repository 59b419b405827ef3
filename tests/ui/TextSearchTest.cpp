// SPDX-License-Identifier: GPL-3.0-or-later
// The third search mode in the real window: archived page text narrows the list on every
// keystroke, best first, with a snippet column; a bad query says why; the other modes come back
// as they were; the archived text opens as an escaped page.

#include "support/TestFiles.h"
#include "support/WindowTest.h"

#include "archive/PageArchive.h"
#include "ui/archive/TextSearchController.h"
#include "ui/window/CommandIds.h"
#include "ui/window/SearchBar.h"
#include "ui/window/StatusPanes.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class TextSearchTest : public testutil::WindowTest {
  protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.File("data")));
        WindowTest::SetUp();
        AddBookmarks({{"Sports daily", "http://sport.example/", "sport news"},
                      {"Cluster guide", "http://kube.example/", "containers"},
                      {"Docker notes", "http://docker.example/", "containers"},
                      {"Bread", "http://bread.example/", "baking"}});
        path = dir.File("links.brx");
        app.Files().SetPathName(path, false);
        brindle::PageArchive archive;
        ASSERT_TRUE(archive.Open(brindle::PageArchive::LocationFor(path), true));
        archive.Put({"http://kube.example/", "", 1, "Kubernetes <guide>",
                     "Pods run in a cluster of nodes; the cluster schedules pods."});
        archive.Put({"http://docker.example/", "", 1, "Docker",
                     "Images build containers; a cluster is optional."});
        archive.Put({"http://bread.example/", "", 1, "Bread", "Sourdough needs a slow rise."});
    }
    QLineEdit* box() { return frame->Search()->Box(); }
    QString Cell(int row, int column) {
        return view->Model()->index(row, column).data().toString();
    }

    testutil::TempDirectory dir;
    std::string path;
};

} // namespace

TEST_F(TextSearchTest, NarrowsOnEveryKeystrokeBestFirstWithSnippets) {
    frame->Action(cmd::StringSearch)->trigger();
    QTest::keyClicks(box(), "guide");
    ASSERT_THAT(Rows(), ElementsAre("Cluster guide")) << "string search on the names";
    const int fields = view->Model()->columnCount();

    frame->Action(cmd::TextSearch)->trigger();
    EXPECT_TRUE(frame->Action(cmd::TextSearch)->isChecked());
    EXPECT_FALSE(frame->Action(cmd::StringSearch)->isChecked());
    EXPECT_EQ(box()->text(), "") << "each mode keeps its own text";
    EXPECT_EQ(view->Model()->columnCount(), fields + 1);
    EXPECT_EQ(view->Model()->headerData(fields, Qt::Horizontal).toString(), "Snippet");
    EXPECT_EQ(frame->Panes()->Text(brindle::kPaneSearchMode), "SM:Text");

    QTest::keyClicks(box(), "clust");
    EXPECT_THAT(Rows(), ElementsAre()) << "a word is whole unless it ends in *";
    QTest::keyClicks(box(), "er");
    EXPECT_THAT(Rows(), ElementsAre("Docker notes", "Cluster guide"))
        << "a word counts once a page, so the shorter page ranks first";
    EXPECT_THAT(Cell(0, fields).toStdString(), HasSubstr("[cluster]"));
    QTest::keyClicks(box(), " NOT pods");
    EXPECT_THAT(Rows(), ElementsAre("Docker notes"));

    box()->setText("cluster AND");
    EXPECT_THAT(Rows(), ElementsAre());
    EXPECT_THAT(frame->Panes()->Text(brindle::kPanePrompt).toStdString(), HasSubstr("incomplete"));
    box()->setText("\"slow rise\"");
    EXPECT_THAT(Rows(), ElementsAre("Bread"));

    frame->Action(cmd::StringSearch)->trigger();
    EXPECT_EQ(box()->text(), "guide");
    EXPECT_THAT(Rows(), ElementsAre("Cluster guide"));
    EXPECT_EQ(view->Model()->columnCount(), fields) << "the snippet column goes";
    EXPECT_EQ(doc().SearchMode(), kSearchString) << "the file's field keeps string mode";
    frame->Action(cmd::TextSearch)->trigger();
    EXPECT_EQ(box()->text(), "\"slow rise\"");
    EXPECT_THAT(Rows(), ElementsAre("Bread"));
}

TEST_F(TextSearchTest, ArchivedTextIsWrittenAsAnEscapedPage) {
    brindle::TextSearchController controller(doc(), [this] { return path; });
    const QString file = controller.WritePageFile(1);
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(QFile::permissions(file) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    QFile page(file);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const std::string html = page.readAll().toStdString();
    EXPECT_THAT(html, HasSubstr("<title>Kubernetes &lt;guide&gt;</title>"));
    EXPECT_THAT(html,
                HasSubstr("<p>Pods run in a cluster of nodes; the cluster schedules pods.</p>"));
    EXPECT_EQ(html.find("<guide>"), std::string::npos);
    EXPECT_TRUE(controller.WritePageFile(0).isEmpty()) << "a page never archived";
}
