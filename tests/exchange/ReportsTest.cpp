// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML and text reports.

#include "support/TestFiles.h"

#include "exchange/Reports.h"
#include "store/BrindleDoc.h"

#include <gtest/gtest.h>

using namespace brindle;

namespace {

void Fill(CBrindleDoc& doc) {
    static const CPreferences prefs = [] {
        CPreferences p;
        p.m_strTimeFormat = "Y-m-D";
        return p;
    }();
    doc.SetPreferences(prefs);
    doc.AddBookmark({.name = "A <b> & c",
                     .url = "http://a/?x=1&y=2",
                     .keywords = "kw",
                     .description = "desc",
                     .statusChecking = 1,
                     .schedule = kNoSchedule,
                     .status = kStatusWaiting,
                     .lastModified = 1'700'000'000});
}

} // namespace

TEST(HtmlReport, WritesTitleRowAndOneRowPerTickedField) {
    CBrindleDoc doc;
    Fill(doc);
    testutil::TempDirectory dir;
    ExportOptions options;
    options.title = "Mine";
    options.fieldMask =
        (1u << kFieldKeywords) | (1u << kFieldStatusChecking) | (1u << kFieldLastModified) | 0x3;
    ExchangeReport report;
    ASSERT_TRUE(ExportHtml(doc, dir.File("r.htm"), options, report));
    const std::string row = "<tr><td width=\"749\" height=\"15\" valign=\"top\"><font face=\"Book "
                            "Antiqua\" size=\"2\">";
    EXPECT_EQ(
        testutil::ReadFile(dir.File("r.htm")),
        "<!-- This is an automatically generated file! -->\r\n"
        "<HTML><HEAD><meta http-equiv=\"Content-Type\" content=\"text/html\"><TITLE>Mine</TITLE>"
        "</HEAD>\r\n"
        "<BODY bgcolor=\"#FCF8DC\">\r\n<div align=\"left\">\r\n"
        "<table border=\"0\" width=\"382\" height=\"6\" style=\"float: none; border: medium "
        "none; margin-left: 0; margin-right: 0; margin-top: 1; margin-bottom: 10; padding: "
        "0\">\r\n"
        "<tr>\r\n"
        "<td width=\"382\" height=\"6\" style=\"border: medium none\" bgcolor=\"#000000\" "
        "valign=\"middle\" align=\"left\"><font color=\"#FFFFFF\"><strong>&nbsp;&nbsp; "
        "</strong><font size=\"5\">Brindle bookmarks</font></font></td>\r\n"
        "</tr>\r\n</table>\r\n"
        "</div><div align=\"center\"><center>\r\n"
        "<table border=\"0\" width=\"749\" height=\"341\" bgcolor=\"#FCF8DC\">\r\n"
        "<tr><td width=\"749\" height=\"15\" valign=\"top\"><font face=\"Book Antiqua\" "
        "size=\"4\"><strong>A &lt;b&gt; &amp; c&nbsp <font color=\"#804040\">"
        "----------------------------------------</font><font color=\"#FF0000\"> </font>"
        "<a href=\"http://a/?x=1&amp;y=2\">http://a/?x=1&amp;y=2</a></font></td></tr>\r\n" +
            row + "Keywords:kw</font></td></tr>\r\n" + row +
            "Status checking:Enable</font></td></tr>\r\n" + row +
            "Last modified:" + doc.GetFieldText(0, kFieldLastModified) +
            "</font></td></tr>\r\n"
            "</table></center></div>\r\n"
            "<p><a href=\"mailto:" +
            std::string(kFeedbackAddress) +
            "\">Send your advice to me thank you</a></p></body></html>\r\n");
}

TEST(HtmlReport, NoTickStillWritesTheTitleRow) {
    CBrindleDoc doc;
    Fill(doc);
    testutil::TempDirectory dir;
    ExportOptions options;
    options.fieldMask = 0;
    ExchangeReport report;
    ASSERT_TRUE(ExportHtml(doc, dir.File("r.htm"), options, report));
    const std::string text = testutil::ReadFile(dir.File("r.htm"));
    EXPECT_NE(text.find("size=\"4\"><strong>A &lt;b&gt; &amp; c&nbsp"), std::string::npos);
    EXPECT_EQ(text.find("size=\"2\">"), std::string::npos);
}

TEST(TextReport, WritesLabelledLinesWithTheDisplayTexts) {
    CBrindleDoc doc;
    Fill(doc);
    doc.AddBookmark({.name = "B",
                     .url = "http://b/",
                     .schedule = kNoSchedule,
                     .status = kStatusWaiting,
                     .lastModified = 1'700'000'000});
    testutil::TempDirectory dir;
    ExportOptions options;
    options.title = "T <raw>";
    options.fieldMask = (1u << kFieldName) | (1u << kFieldStatusChecking) |
                        (1u << kFieldLastModified) | (1u << kFieldLastChecked);
    ExchangeReport report;
    ASSERT_TRUE(ExportText(doc, dir.File("r.txt"), options, report));
    // Dates as the document shows them; a date of 0 (never checked) shows no text.
    const std::string modified = doc.GetFieldText(0, kFieldLastModified);
    const std::string checked = doc.GetFieldText(0, kFieldLastChecked);
    ASSERT_EQ(modified.substr(0, 4), "2023");
    ASSERT_EQ(checked, "");
    EXPECT_EQ(testutil::ReadFile(dir.File("r.txt")),
              "Brindle Bookmark\r\n\r\n\r\nTitle is:T <raw>\r\n"
              "Name:A <b> & c\r\nStatus_checking:Enable\r\nLast Modified" +
                  modified + "\r\nLast Checked:" + checked +
                  "\r\n\r\n\r\n\r\n"
                  "Name:B\r\nStatus_checking:Disable\r\nLast Modified" +
                  modified + "\r\nLast Checked:" + checked +
                  "\r\n\r\n\r\n\r\n"
                  "Thank you for using Brindle!!!!\r\nPlease send your advice to me:" +
                  std::string(kFeedbackAddress));
}

TEST(TextReport, DatesUseTheUsersFormatAndNoTickWritesBlankLines) {
    CPreferences prefs;
    prefs.m_strTimeFormat = "Y";
    CBrindleDoc doc(prefs);
    doc.AddBookmark({.name = "A",
                     .url = "http://a/",
                     .statusChecking = 1,
                     .schedule = kNoSchedule,
                     .status = kStatusWaiting,
                     .addDate = 1'700'000'000});
    testutil::TempDirectory dir;
    ExportOptions options;
    options.fieldMask = 1u << kFieldAddDate;
    ExchangeReport report;
    ASSERT_TRUE(ExportText(doc, dir.File("r.txt"), options, report));
    EXPECT_NE(testutil::ReadFile(dir.File("r.txt")).find("Add Date:2023\r\n"), std::string::npos);

    options.fieldMask = 0;
    ASSERT_TRUE(ExportText(doc, dir.File("r.txt"), options, report));
    EXPECT_NE(testutil::ReadFile(dir.File("r.txt")).find("Title is:\r\n\r\n\r\n\r\nThank you"),
              std::string::npos);
}

TEST(Reports, ReportFolderAndWriteFailures) {
    CBrindleDoc doc;
    Fill(doc);
    testutil::TempDirectory dir;
    testutil::WriteFile(dir.Path() / "file", "x");
    ExchangeReport report;
    EXPECT_FALSE(ExportHtml(doc, dir.File("file/sub/r.htm"), ExportOptions{}, report));
    EXPECT_FALSE(ExportText(doc, dir.File("file/sub/r.txt"), ExportOptions{}, report));
    ASSERT_EQ(report.messages.size(), 2u);
    EXPECT_EQ(report.messages[0].text, "Create Directory Fail");
    EXPECT_EQ(report.messages[1].text, "Create Directory Fail");
}
