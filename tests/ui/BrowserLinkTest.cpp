// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of the browser extension: the requests its host hands over (answered from the
// open document, "add" opening the Add Bookmark sheet after the reply), and the captures asking a
// connected extension for the page in front before any session file.

#include "exchange/BrowserSession.h"
#include "platform/net/InstanceSocket.h"
#include "store/BrindleDoc.h"
#include "ui/exchange/BrowserCapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using brindle::BrowserExtensionLink;
using brindle::BrowserRequests;

namespace {

QJsonObject Ask(BrowserRequests& requests, const char* json) {
    return QJsonDocument::fromJson(requests.Answer(QByteArray(json))).object();
}

TEST(BrowserRequests, AnswerFromTheOpenDocumentAndOpenTheSheetAfterTheReply) {
    CBrindleDoc doc;
    ASSERT_TRUE(doc.AddBookmark({.name = "Known", .url = "http://known/", .statusChecking = 1}));
    std::vector<CBookmark> opened;
    BrowserRequests requests(doc,
                             {.documentPath = [] { return std::string("/w/doc.brx"); },
                              .openAddSheet = [&](const CBookmark& b) { opened.push_back(b); }});

    EXPECT_EQ(Ask(requests, R"({"type":"ping"})")["document"], "/w/doc.brx");
    EXPECT_EQ(Ask(requests, R"({"type":"lookup","url":"http://KNOWN/#a"})")["names"].toArray(),
              QJsonArray{"Known"});
    EXPECT_EQ(Ask(requests, R"({"type":"add","url":"http://known/"})")["result"], "exists");

    const QJsonObject add = Ask(
        requests, R"({"type":"add","url":"http://new/","title":"New page","description":"Sel"})");
    EXPECT_EQ(add["result"], "opened");
    EXPECT_TRUE(opened.empty()); // not before the reply has gone out
    QCoreApplication::processEvents();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].m_strName, "New page");
    EXPECT_EQ(opened[0].m_strURL, "http://new/");
    EXPECT_EQ(opened[0].m_strDescription, "Sel");
    EXPECT_EQ(doc.Bookmarks().size(), 1u); // the sheet adds, on OK

    EXPECT_EQ(Ask(requests, R"({"type":"add","url":"http://quiet/","quiet":true})")["result"],
              "added");
    const QJsonObject tabs = Ask(
        requests,
        R"({"type":"add-tabs","tabs":[{"url":"http://known/"},{"url":"http://t/","title":"T"}]})");
    EXPECT_EQ(tabs["added"], 1);
    EXPECT_EQ(tabs["existing"], 1);
    ASSERT_EQ(doc.Bookmarks().size(), 3u);
    EXPECT_EQ(doc.Bookmarks()[1].m_strName, "http://quiet/"); // named by its URL without a title

    BrowserRequests relative(
        doc, {.documentPath = [] { return std::string("docs/a.brx"); }, .openAddSheet = {}});
    EXPECT_EQ(Ask(relative, R"({"type":"ping"})")["document"].toString(),
              QDir::current().absoluteFilePath(QStringLiteral("docs/a.brx")));
}

// A host's standing connection as the window sees it, with an extension at its other end that
// answers each question with `url` and `title` (or not at all when `answer` is false).
class ExtensionLink : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QLocalServer server;
    QLocalSocket extension;
    BrowserExtensionLink link;
    QByteArray buffer;
    bool answer = true;
    int questions = 0;

    void SetUp() override {
        ASSERT_TRUE(server.listen(dir.filePath(QStringLiteral("s"))));
        extension.connectToServer(server.fullServerName());
        ASSERT_TRUE(extension.waitForConnected(5000));
        ASSERT_TRUE(server.waitForNewConnection(5000));
        link.Attach(server.nextPendingConnection());
        QObject::connect(&extension, &QLocalSocket::readyRead, [this] {
            buffer += extension.readAll();
            bool broken = false;
            while (auto question = brindle::TakeInstanceMessage(buffer, broken)) {
                ++questions;
                const QJsonObject asked = QJsonDocument::fromJson(*question).object();
                if (!answer)
                    continue;
                const QJsonObject reply{{"type", "active-tab"},
                                        {"request", asked["request"]},
                                        {"url", "http://front/"},
                                        {"title", "Front"}};
                extension.write(brindle::InstanceFrame(QJsonDocument(reply).toJson()));
            }
        });
        brindle::SetBrowserExtensionLink(&link);
    }
    void TearDown() override { brindle::SetBrowserExtensionLink(nullptr); }
};

TEST_F(ExtensionLink, CaptureTakesTheExtensionsPageOnceForTheFirstBrowserAsked) {
    ASSERT_TRUE(link.IsConnected());
    const brindle::BrowserPageSource pages = brindle::SystemBrowserPages();
    EXPECT_EQ(pages("IEXPLORE"), brindle::BrowserReply("http://front/", "Front"));
    EXPECT_EQ(pages("NETSCAPE"), ""); // Fast Add does not add the same page twice
    EXPECT_EQ(questions, 1);
}

TEST_F(ExtensionLink, AnExtensionThatDoesNotAnswerIsGivenUpOn) {
    answer = false;
    EXPECT_EQ(link.ActiveTab(200), std::nullopt);
    EXPECT_EQ(questions, 1);
    // A host that went away leaves no extension connected.
    extension.disconnectFromServer();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(link.IsConnected());
}

} // namespace
