// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML and text reports. Field values are the document's display texts (dates in the
// user's format, "Enable"/"Disable").

#include "exchange/Reports.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/ExportFile.h"
#include "exchange/HtmlTags.h"
#include "store/BrindleDoc.h"

namespace brindle {

namespace {

// The field's display text; only dates need the document (its time format).
void AppendFieldText(std::string& out, const CBrindleDoc& doc, std::uint32_t sortedIndex,
                     const BookmarkRef& b, int field, bool escape) {
    std::string date;
    std::string_view text;
    if (const std::string_view* s = b.TextField(field)) {
        text = *s;
    } else if (field == kFieldStatusChecking) {
        text = b.m_wStatusChecking ? "Enable" : "Disable";
    } else {
        date = doc.GetSortedFieldText(sortedIndex, field);
        text = date;
    }
    if (escape)
        AppendEscaped(out, text);
    else
        out += text;
}

// The pieces every row repeats.
constexpr std::string_view kTitleRowStart =
    "<tr><td width=\"749\" height=\"15\" valign=\"top\"><font face=\"Book Antiqua\" "
    "size=\"4\"><strong>";
constexpr std::string_view kTitleRowRule =
    "&nbsp <font color=\"#804040\">----------------------------------------</font>"
    "<font color=\"#FF0000\"> </font><a href=\"";
constexpr std::string_view kFieldRowStart =
    "<tr><td width=\"749\" height=\"15\" valign=\"top\"><font face=\"Book Antiqua\" "
    "size=\"2\">";

void Line(std::string& out, std::string_view text) {
    out += text;
    out += kLineEnd;
}

} // namespace

bool ExportHtml(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                ExchangeReport& report) {
    static constexpr const char* kLabels[kFieldCount] = {
        "",          "",        "Keywords:", "Description:",  "Notes:",         "Status checking:",
        "Schedule:", "Status:", "Add Date:", "Last visited:", "Last modified:", "Last checked:"};
    return WriteExportFile(
        doc, path, options, report,
        [&](BufferedAtomicFile& file, const std::vector<BookmarkRef>& bookmarks) {
            std::string& out = file.Buffer();
            Line(out, "<!-- This is an automatically generated file! -->");
            out += "<HTML><HEAD><meta http-equiv=\"Content-Type\" content=\"text/html\"><TITLE>";
            AppendEscaped(out, options.title);
            Line(out, "</TITLE></HEAD>");
            Line(out, "<BODY bgcolor=\"#FCF8DC\">");
            Line(out, "<div align=\"left\">");
            Line(out, "<table border=\"0\" width=\"382\" height=\"6\" style=\"float: none; border: "
                      "medium "
                      "none; margin-left: 0; margin-right: 0; margin-top: 1; margin-bottom: 10; "
                      "padding: 0\">");
            Line(out, "<tr>");
            Line(out,
                 "<td width=\"382\" height=\"6\" style=\"border: medium none\" bgcolor=\"#000000\" "
                 "valign=\"middle\" align=\"left\"><font color=\"#FFFFFF\"><strong>&nbsp;&nbsp; "
                 "</strong><font size=\"5\">Brindle bookmarks</font></font></td>");
            Line(out, "</tr>");
            Line(out, "</table>");
            Line(out, "</div><div align=\"center\"><center>");
            Line(out, "<table border=\"0\" width=\"749\" height=\"341\" bgcolor=\"#FCF8DC\">");
            for (std::uint32_t i = 0; i < bookmarks.size(); ++i) {
                const BookmarkRef& b = bookmarks[i];
                out += kTitleRowStart;
                AppendEscaped(out, b.m_strName);
                out += kTitleRowRule;
                AppendEscaped(out, b.m_strURL);
                out += "\">";
                AppendEscaped(out, b.m_strURL);
                Line(out, "</a></font></td></tr>");
                for (int field = kFieldKeywords; field < kFieldCount; ++field) {
                    if (!((options.fieldMask >> field) & 1u))
                        continue;
                    out += kFieldRowStart;
                    out += kLabels[field];
                    AppendFieldText(out, doc, i, bookmarks[i], field, true);
                    Line(out, "</font></td></tr>");
                }
                file.Flush();
            }
            Line(out, "</table></center></div>");
            out += "<p><a href=\"mailto:";
            out += kFeedbackAddress;
            out += "\">Send your advice to me thank you</a></p></body></html>";
            out += kLineEnd;
        });
}

bool ExportText(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                ExchangeReport& report) {
    static constexpr const char* kLabels[kFieldCount] = {
        "Name:",     "URL:",    "Keywords:", "Description:",  "Notes:",        "Status_checking:",
        "Schedule:", "Status:", "Add Date:", "Last Visited:", "Last Modified", "Last Checked:"};
    return WriteExportFile(
        doc, path, options, report,
        [&](BufferedAtomicFile& file, const std::vector<BookmarkRef>& bookmarks) {
            std::string& out = file.Buffer();
            out += "Brindle Bookmark";
            out += kLineEnd;
            out += kLineEnd;
            out += kLineEnd;
            out += "Title is:";
            out += options.title;
            out += kLineEnd;
            for (std::uint32_t i = 0; i < bookmarks.size(); ++i) {
                for (int field = 0; field < kFieldCount; ++field) {
                    if (!((options.fieldMask >> field) & 1u))
                        continue;
                    out += kLabels[field];
                    AppendFieldText(out, doc, i, bookmarks[i], field, false);
                    out += kLineEnd;
                }
                out += kLineEnd;
                out += kLineEnd;
                out += kLineEnd;
                file.Flush();
            }
            out += "Thank you for using Brindle!!!!";
            out += kLineEnd;
            out += "Please send your advice to me:";
            out += kFeedbackAddress;
        });
}

} // namespace brindle
