// SPDX-License-Identifier: GPL-3.0-or-later
// Export into Netscape users' profiles, found through a temporary home folder.

#include "support/TestFiles.h"

#include "exchange/ImportFile.h"
#include "exchange/ProfileExport.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

using namespace brindle;

namespace {

class ProfileExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testutil::WriteFile(m_home.Path() / ".mozilla/firefox/profiles.ini",
                            "[General]\nStartWithLastProfile=1\n\n"
                            "[Profile10]\nName=ten\nIsRelative=1\nPath=abc.ten\n\n"
                            "[Profile1]\nName=alice\nIsRelative=1\nPath=x1.default\n\n"
                            "[Profile0]\nName=bob\nIsRelative=0\nPath=" +
                                (m_home.Path() / "elsewhere/bob").string() +
                                "\n\n"
                                "[Profile2]\nName=nopath\nIsRelative=1\n\n"
                                "[Install4F96D1932A9F858E]\nDefault=x1.default\n");
        m_doc.AddBookmark({.name = "Alpha & Co",
                           .url = "http://alpha/",
                           .statusChecking = 1,
                           .schedule = kNoSchedule,
                           .status = kStatusWaiting,
                           .addDate = 100,
                           .lastVisited = 200,
                           .lastModified = 300});
        m_doc.AddBookmark({.name = "Beta",
                           .url = "http://beta/",
                           .statusChecking = 1,
                           .schedule = kNoSchedule,
                           .status = kStatusWaiting,
                           .addDate = 400});
    }

    std::string Home() const { return m_home.Path().string(); }
    std::string AliceFile() const {
        return (m_home.Path() / ".mozilla/firefox/x1.default/bookmark.htm").string();
    }

    testutil::TempDirectory m_home;
    CBrindleDoc m_doc;
};

} // namespace

TEST_F(ProfileExportTest, FindsUsersAndTheirFoldersInProfileOrder) {
    const std::vector<NetscapeUser> users = FindNetscapeUsers(Home());
    ASSERT_EQ(users.size(), 4u);
    EXPECT_EQ(users[0].name, "bob");
    EXPECT_EQ(users[0].profileFolder, (m_home.Path() / "elsewhere/bob").string());
    EXPECT_EQ(users[1].name, "alice");
    EXPECT_EQ(users[1].profileFolder, (m_home.Path() / ".mozilla/firefox/x1.default").string());
    EXPECT_EQ(users[2].name, "nopath");
    EXPECT_EQ(users[2].profileFolder, "");
    EXPECT_EQ(users[3].name, "ten");

    testutil::TempDirectory empty;
    EXPECT_TRUE(FindNetscapeUsers(empty.Path().string()).empty());
}

TEST_F(ProfileExportTest, AProfileWithoutABookmarkFileGetsACompleteOne) {
    ExportOptions options;
    options.title = "Exported";
    ExchangeReport report;
    ASSERT_TRUE(ExportToNetscapeUser(m_doc, "bob", options, report, Home()));
    const std::string text =
        testutil::ReadFile(m_home.Path() / "elsewhere/bob/bookmark.htm"); // folder created
    EXPECT_EQ(text.rfind("<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n", 0), 0u);
    EXPECT_NE(text.find("<TITLE>Exported</TITLE>"), std::string::npos);
    EXPECT_NE(text.find("<DT><A HREF=\"http://beta/\" ADD_DATE=\"400\""), std::string::npos);
}

TEST_F(ProfileExportTest, AddsThenRefreshesOneSectionKeepingTheRestOfTheFile) {
    const std::string original = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                                 "<TITLE>Bookmarks</TITLE>\n"
                                 "<H1>Bookmarks</H1>\n"
                                 "<DL><p>\n"
                                 "    <DT><A HREF=\"http://mine/\">Mine</A>\n"
                                 "</DL><p>\n";
    testutil::WriteFile(AliceFile(), original);
    ExchangeReport report;
    ASSERT_TRUE(ExportToNetscapeUser(m_doc, "alice", ExportOptions{}, report, Home()));
    const std::string section =
        "<HR>\r\n<H1>Brindle Bookmark For Netscape User:alice</H1>\r\n<DL>\r\n"
        "<DT><A HREF=\"http://alpha/\" ADD_DATE=\"100\" LAST_VISIT=\"200\" "
        "LAST_MODIFIED=\"300\">Alpha &amp; Co</A>\r\n"
        "<DT><A HREF=\"http://beta/\" ADD_DATE=\"400\" LAST_VISIT=\"0\" "
        "LAST_MODIFIED=\"0\">Beta</A>\r\n"
        "</DL>\r\n";
    std::string expected = original;
    for (size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2)
        expected.replace(at, 1, "\r\n");
    EXPECT_EQ(testutil::ReadFile(AliceFile()), expected + section);

    // The user adds a link to Brindle's section and a heading of their own after it; Brindle
    // renames a bookmark and exports again.
    std::string edited = testutil::ReadFile(AliceFile());
    edited.replace(edited.find("</DL>\r\n", expected.size()), 7,
                   "<DT><a href=\"http://added-by-user/\">Added</a>\r\n</DL>\r\n");
    edited += "<H3>Later heading</H3>\r\n<DT><A HREF=\"http://after/\">After</A>\r\n";
    testutil::WriteFile(AliceFile(), edited);
    m_doc.SetFieldText(1, kFieldName, "Beta renamed");
    ASSERT_TRUE(ExportToNetscapeUser(m_doc, "alice", ExportOptions{}, report, Home()));

    const std::string second = testutil::ReadFile(AliceFile());
    EXPECT_EQ(second, expected +
                          "<HR>\r\n<H1>Brindle Bookmark For Netscape User:alice</H1>\r\n<DL>\r\n"
                          "<DT><A HREF=\"http://alpha/\" ADD_DATE=\"100\" LAST_VISIT=\"200\" "
                          "LAST_MODIFIED=\"300\">Alpha &amp; Co</A>\r\n"
                          "<DT><A HREF=\"http://beta/\" ADD_DATE=\"400\" LAST_VISIT=\"0\" "
                          "LAST_MODIFIED=\"0\">Beta renamed</A>\r\n"
                          "<DT><a href=\"http://added-by-user/\">Added</a>\r\n"
                          "</DL>\r\n"
                          "<H3>Later heading</H3>\r\n<DT><A HREF=\"http://after/\">After</A>\r\n");
    EXPECT_TRUE(report.messages.empty());

    // The refreshed file is still a Netscape file that reads back.
    CBrindleDoc copy;
    ASSERT_EQ(ImportFile(copy, AliceFile()).format, FormatId::Netscape);
    EXPECT_EQ(copy.Bookmarks().size(), 5u);
}

TEST(MergeBrindleSection, WalksOnlyToTheNextHeadingAndDropsNonLinks) {
    const std::vector<std::string> lines = {"<H1>Top</H1>",
                                            "<HR>",
                                            "<h1>brindle old</h1>",
                                            "<DL>",
                                            "<DT><A HREF=\"HTTP://KEEP/\">Keep</A>",
                                            "<DT><A HREF=\"http://new/\">Old name</A>",
                                            "<DT>not a link",
                                            "<DT><A NAME=\"x\">no href</A>",
                                            "</DL>",
                                            "<H3>Other</H3>",
                                            "<DT><A HREF=\"http://new/\">Outside</A>"};
    const std::vector<std::string> merged =
        MergeBrindleSection(lines, "u", {"<DT><A HREF=\"http://new/\">New</A>"}, {"http://NEW/"});
    EXPECT_EQ(merged, (std::vector<std::string>{"<H1>Top</H1>", "<HR>", "<h1>brindle old</h1>",
                                                "<DL>", "<DT><A HREF=\"http://new/\">New</A>",
                                                "<DT><A HREF=\"HTTP://KEEP/\">Keep</A>", "</DL>",
                                                "<H3>Other</H3>",
                                                "<DT><A HREF=\"http://new/\">Outside</A>"}));
}

TEST_F(ProfileExportTest, FailuresAreCountedInTheTotals) {
    testutil::WriteFile(AliceFile(), "<H1>x</H1>\n");
    ExchangeReport report;
    const int ok = ExportToNetscapeUsers(m_doc, {"alice", "nopath", "ghost", "bob"},
                                         ExportOptions{}, report, Home());
    EXPECT_EQ(ok, 2);
    ASSERT_EQ(report.messages.size(), 2u); // an unknown user fails silently
    EXPECT_EQ(report.messages[0].text,
              "nopath's Netscape profile directory does not appear,export failed");
    EXPECT_EQ(report.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(report.messages[1].text,
              "Export Information:\nTotal file number:4\nSuccessful exporting files number:2");
    EXPECT_EQ(report.messages[1].icon, MessageIcon::Information);
}

TEST_F(ProfileExportTest, ABookmarkFileThatCannotBeRead) {
    // The bookmark file is a folder: it exists but cannot be read.
    std::filesystem::create_directories(AliceFile());
    ExchangeReport report;
    EXPECT_FALSE(ExportToNetscapeUser(m_doc, "alice", ExportOptions{}, report, Home()));
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].text, "Cannot open the file");
    EXPECT_EQ(report.messages[0].icon, MessageIcon::Stop);
}
