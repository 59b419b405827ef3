// SPDX-License-Identifier: GPL-3.0-or-later
// The browser host's protocol: frames cut at every byte, over-long lengths, each request with
// its reply, the reply limit, and the host's own document (kept loaded, read again after another
// program saved it, written under the lock).

#include "exchange/NativeMessaging.h"
#include "exchange/HostDocument.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace brindle::native;

namespace {

QJsonObject Json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// A target that records what reached it.
class FakeTarget : public HostTarget {
  public:
    std::vector<std::string> saved = {"Saved page"};
    std::vector<std::string> urls;
    std::optional<std::string> DocumentPath(std::string&) override { return "/docs/a.brx"; }
    std::optional<std::vector<std::string>> Lookup(const std::string& url, std::string&) override {
        urls.push_back(url);
        return url == "http://saved/" ? saved : std::vector<std::string>{};
    }
    AddResult Add(const Request& request) override {
        urls.push_back(request.url + "|" + request.title + "|" + request.description +
                       (request.quiet ? "|quiet" : ""));
        return {AddResult::Outcome::Opened, "shown"};
    }
    std::optional<TabsResult> AddTabs(const std::vector<Tab>& tabs, std::string&) override {
        for (const Tab& tab : tabs)
            urls.push_back(tab.url);
        return TabsResult{static_cast<int>(tabs.size()) - 1, 1};
    }
};

TEST(NativeFrames, DecodeWhatEncodeWroteHoweverTheBytesArrive) {
    const std::string stream =
        EncodeFrame(R"({"type":"ping"})") + EncodeFrame("") + EncodeFrame(std::string(70000, 'x'));
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4096}, stream.size()}) {
        FrameDecoder decoder;
        std::vector<std::string> messages;
        std::string message;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            decoder.Append(std::string_view(stream).substr(at, piece));
            while (decoder.Next(message) == FrameDecoder::Status::Message)
                messages.push_back(message);
        }
        ASSERT_EQ(messages.size(), 3u) << "pieces of " << piece;
        EXPECT_EQ(messages[0], R"({"type":"ping"})");
        EXPECT_EQ(messages[1], "");
        EXPECT_EQ(messages[2], std::string(70000, 'x'));
        EXPECT_EQ(decoder.Pending(), 0u);
    }
}

TEST(NativeFrames, LengthIsNativeOrderAndOversizeStopsTheStream) {
    const std::string frame = EncodeFrame("abc");
    std::uint32_t length = 0;
    std::memcpy(&length, frame.data(), 4);
    EXPECT_EQ(length, 3u);

    FrameDecoder decoder(10);
    decoder.Append(EncodeFrame("0123456789") + EncodeFrame("01234567890") + EncodeFrame("x"));
    std::string message;
    EXPECT_EQ(decoder.Next(message), FrameDecoder::Status::Message);
    EXPECT_EQ(decoder.Next(message), FrameDecoder::Status::Oversize);
    // Nothing after the over-long frame can be trusted to start a message.
    decoder.Append(EncodeFrame("y"));
    EXPECT_EQ(decoder.Next(message), FrameDecoder::Status::Oversize);

    FrameDecoder cut;
    cut.Append(EncodeFrame("abcdef").substr(0, 7));
    EXPECT_EQ(cut.Next(message), FrameDecoder::Status::NeedMore);
    EXPECT_EQ(cut.Pending(), 7u);
}

TEST(NativeRequests, EachTypeGetsItsReplyAndTheIdComesBack) {
    FakeTarget target;
    QJsonObject pong = Json(HandleMessage(target, R"({"type":"ping","id":4})"));
    EXPECT_EQ(pong["type"], "pong");
    EXPECT_EQ(pong["document"], "/docs/a.brx");
    EXPECT_EQ(pong["id"], 4);
    EXPECT_FALSE(pong["version"].toString().isEmpty());

    QJsonObject saved = Json(HandleMessage(target, R"({"type":"lookup","url":"http://saved/"})"));
    EXPECT_EQ(saved["saved"], true);
    EXPECT_EQ(saved["names"].toArray(), QJsonArray{"Saved page"});
    EXPECT_FALSE(saved.contains("id"));
    EXPECT_EQ(Json(HandleMessage(target, R"({"type":"lookup","url":"http://new/"})"))["saved"],
              false);

    QJsonObject added = Json(HandleMessage(
        target,
        R"({"type":"add","url":"http://a/","title":"T \u00e9","description":"D","quiet":true})"));
    EXPECT_EQ(added["result"], "opened");
    EXPECT_EQ(added["message"], "shown");
    EXPECT_EQ(target.urls.back(), "http://a/|T \xc3\xa9|D|quiet");

    QJsonObject tabs = Json(HandleMessage(
        target,
        R"({"type":"add-tabs","tabs":[{"url":"http://1/"},{"url":"http://2/","title":"x"}]})"));
    EXPECT_EQ(tabs["type"], "add-tabs");
    EXPECT_EQ(tabs["added"], 1);
    EXPECT_EQ(tabs["existing"], 1);
}

TEST(NativeRequests, MalformedMessagesGetErrorRepliesAndReachNoTarget) {
    FakeTarget target;
    for (const char* bad :
         {"", "garbage", "[1,2]", R"({"type":7})", R"({"url":"http://a/"})",
          R"({"type":"add","title":"no url"})", R"({"type":"lookup","url":""})",
          R"({"type":"add-tabs","tabs":{}})", R"({"type":"add-tabs","tabs":[{"title":"x"}]})",
          R"({"type":"delete-everything"})", "{\"type\":\"ping\"\xff}"}) {
        const QJsonObject reply = Json(HandleMessage(target, bad));
        EXPECT_EQ(reply["type"], "error") << bad;
        EXPECT_FALSE(reply["message"].toString().isEmpty()) << bad;
    }
    EXPECT_TRUE(target.urls.empty());
}

TEST(NativeRequests, LookupRepliesStayUnderTheLimit) {
    FakeTarget target;
    target.saved.assign(kMaxLookupNames, std::string(100000, '"'));
    const std::string reply = HandleMessage(target, R"({"type":"lookup","url":"http://saved/"})");
    EXPECT_LE(reply.size(), kMaxReplyBytes);
    const QJsonObject object = Json(reply);
    EXPECT_EQ(object["saved"], true);
    EXPECT_GT(object["names"].toArray().size(), 0);
    EXPECT_LT(object["names"].toArray().size(), static_cast<qsizetype>(kMaxLookupNames));
}

TEST(NativeRequests, LookupKeyIgnoresFragmentTrailingSlashAndHostCase) {
    EXPECT_EQ(LookupKey("HTTP://Example.ORG/Path/#top"), LookupKey("http://example.org/Path"));
    EXPECT_NE(LookupKey("http://example.org/Path"), LookupKey("http://example.org/path"));
    EXPECT_NE(LookupKey("http://example.org/a"), LookupKey("http://example.org/b"));
}

TEST(NativeManifests, NameThePathAndTheFixedExtension) {
    const QJsonObject firefox = Json(HostManifest(BrowserFamily::Firefox, "/usr/bin/host"));
    EXPECT_EQ(firefox["name"], kHostName);
    EXPECT_EQ(firefox["path"], "/usr/bin/host");
    EXPECT_EQ(firefox["type"], "stdio");
    EXPECT_EQ(firefox["allowed_extensions"].toArray(), QJsonArray{kFirefoxExtensionId});
    EXPECT_FALSE(firefox.contains("allowed_origins"));
    const QJsonObject chromium = Json(HostManifest(BrowserFamily::Chromium, "/h"));
    EXPECT_EQ(chromium["allowed_origins"].toArray(),
              QJsonArray{QStringLiteral("chrome-extension://%1/").arg(kChromiumExtensionId)});
}

Request AddOf(std::string url, std::string title = {}) {
    Request request;
    request.type = Request::Type::Add;
    request.url = std::move(url);
    request.title = std::move(title);
    return request;
}

class HostDocumentTest : public ::testing::Test {
  protected:
    testutil::TempDirectory dir;
    std::string path = dir.File("doc.brx");

    void SetUp() override {
        CBrindleDoc doc;
        ASSERT_TRUE(
            doc.AddBookmark({.name = "First", .url = "http://first/", .statusChecking = 1}));
        ASSERT_TRUE(brindle::WriteDocumentFile(doc, path));
    }
    std::vector<std::string> UrlsOnDisk() {
        CBrindleDoc doc;
        EXPECT_TRUE(brindle::OpenDocumentFile(doc, path));
        std::vector<std::string> urls;
        for (const BookmarkRef b : doc.Bookmarks())
            urls.emplace_back(b.m_strURL);
        return urls;
    }
};

TEST_F(HostDocumentTest, KeepsTheDocumentAndReadsItAgainOnlyAfterAChange) {
    HostDocument host(path);
    std::string error;
    EXPECT_EQ(host.Lookup("http://first/#x", error), std::vector<std::string>{"First"});
    EXPECT_EQ(host.Lookup("http://other/", error), std::vector<std::string>{});
    EXPECT_EQ(host.Loads(), 1);

    // Another program saves the file: the next lookup sees its bookmark.
    CBrindleDoc other;
    ASSERT_TRUE(brindle::OpenDocumentFile(other, path));
    ASSERT_TRUE(other.AddBookmark({.name = "Other", .url = "http://other/", .statusChecking = 1}));
    ASSERT_TRUE(brindle::WriteDocumentFile(other, path));
    EXPECT_EQ(host.Lookup("http://other/", error), std::vector<std::string>{"Other"});
    EXPECT_EQ(host.Loads(), 2);
}

TEST_F(HostDocumentTest, AddsOnceAndKeepsWhatOthersSavedMeanwhile) {
    HostDocument first(path);
    HostDocument second(path);
    std::string error;
    ASSERT_TRUE(first.Lookup("http://first/", error));
    ASSERT_TRUE(second.Lookup("http://first/", error));
    EXPECT_EQ(first.Add(AddOf("http://a/", "A")).outcome, AddResult::Outcome::Added);
    // The second host still holds the file as it was; it must read it again before writing.
    EXPECT_EQ(second.Add(AddOf("http://b/", "")).outcome, AddResult::Outcome::Added);
    EXPECT_EQ(second.Add(AddOf("http://a/#top")).outcome, AddResult::Outcome::Exists);
    const std::optional<TabsResult> tabs =
        first.AddTabs({{"http://b/", "B"}, {"http://c/", "C"}, {"http://c/", "C"}}, error);
    ASSERT_TRUE(tabs);
    EXPECT_EQ(tabs->added, 1);
    EXPECT_EQ(tabs->existing, 2);
    EXPECT_EQ(UrlsOnDisk(),
              (std::vector<std::string>{"http://first/", "http://a/", "http://b/", "http://c/"}));
}

TEST_F(HostDocumentTest, NoDocumentOrAnUnreadableOneGivesErrorsAndWritesNothing) {
    HostDocument none("");
    std::string error;
    EXPECT_FALSE(none.DocumentPath(error));
    EXPECT_NE(error.find("open the document"), std::string::npos);
    EXPECT_EQ(Json(HandleMessage(none, R"({"type":"lookup","url":"http://a/"})"))["type"], "error");

    testutil::WriteFile(path, "not a document");
    HostDocument broken(path);
    EXPECT_EQ(broken.Add(AddOf("http://a/")).outcome, AddResult::Outcome::Error);
    EXPECT_EQ(testutil::ReadFile(path), "not a document");
}

} // namespace
