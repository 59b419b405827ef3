// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a Powermarks 3.0 file: macros and schedules first, then one entry per bookmark with
// its extra fields in comments.

#include "exchange/ExchangeFiles.h"
#include "exchange/ExportFile.h"
#include "exchange/HtmlTags.h"
#include "exchange/Powermarks.h"
#include "store/BrindleDoc.h"

#include <cstdio>

namespace brindle {

namespace {

void AppendHex(std::string& out, std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", value);
    out += buffer;
}

// A bracketed group. Besides the HTML escapes, brackets inside the value are written as
// references so that a name holding "]" cannot shift the groups after it.
void AppendGroup(std::string& out, std::string_view value) {
    out += '[';
    const std::string escaped = EscapeHtml(value);
    for (char c : escaped) {
        if (c == '[')
            out += "&#91;";
        else if (c == ']')
            out += "&#93;";
        else
            out += c;
    }
    out += ']';
}

void AppendHexGroup(std::string& out, std::uint32_t value) {
    out += '[';
    AppendHex(out, value);
    out += ']';
}

std::uint32_t FileHotKey(std::uint32_t hotKey) {
    return hotKey == 0 ? 0xFFFFFFFFu : hotKey;
}

void AppendMacro(std::string& out, const CMacro& m) {
    switch (m.m_nKind) {
    case kMacroUrl:
        out += "<!--macro=[0]";
        AppendGroup(out, m.m_strName);
        AppendGroup(out, m.m_strURL);
        AppendHexGroup(out, FileHotKey(m.m_dwHotKey));
        break;
    case kMacroKeywords:
        out += "<!--macro=[1]";
        AppendGroup(out, m.m_strName);
        AppendGroup(out, m.m_strKeywords);
        AppendHexGroup(out, FileHotKey(m.m_dwHotKey));
        out += "[0][1][0]";
        break;
    case kMacroString:
        out += "<!--macro=[2]";
        AppendGroup(out, m.m_strName);
        AppendGroup(out, m.m_strSearch);
        AppendHexGroup(out, FileHotKey(m.m_dwHotKey));
        out += m.m_bMatchCase ? "[1]" : "[0]";
        AppendHexGroup(out, m.m_dwFields & 0xFFu);
        break;
    default:
        return; // not a macro any reader knows
    }
    out += "-->";
    out += kLineEnd;
}

void AppendEntry(std::string& out, const BookmarkRef& b, std::uint16_t mask) {
    const auto ticked = [mask](int field) { return (mask >> field) & 1u; };
    out += "<DT><A HREF=\"";
    AppendEscaped(out, b.m_strURL);
    out += "\">";
    AppendEscaped(out, b.m_strName);
    out += "</A>";
    out += kLineEnd;
    out += "<DD>";
    out += kLineEnd;
    if (ticked(kFieldKeywords)) {
        out += "<!--keywords-->";
        AppendEscaped(out, b.m_strKeywords);
    }
    if (ticked(kFieldDescription)) {
        out += "<!--desc-->";
        AppendEscaped(out, b.m_strDescription);
    }
    if (ticked(kFieldNotes)) {
        out += "<!--notes-->";
        AppendEscaped(out, b.m_strNotes);
    }
    out += "<!--mdata=";
    if (!ticked(kFieldSchedule))
        out += "[]";
    else if (b.m_strSchedule == kNoSchedule)
        out += "[None]";
    else
        AppendGroup(out, b.m_strSchedule);
    const BrxTime dates[4] = {b.m_tAddDate, b.m_tLastVisited, b.m_tLastModified, b.m_tLastChecked};
    for (int i = 0; i < 4; ++i) {
        if (ticked(kFieldAddDate + i))
            AppendHexGroup(out, static_cast<std::uint32_t>(dates[i]));
        else
            out += "[0]";
    }
    out += "[4][0]";
    out += (ticked(kFieldStatusChecking) && b.m_wStatusChecking) ? "[1][]" : "[0][]";
    out += "-->";
}

} // namespace

bool ExportPowermarks(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                      ExchangeReport& report) {
    return WriteExportFile(
        doc, path, options, report,
        [&](BufferedAtomicFile& file, const std::vector<BookmarkRef>& bookmarks) {
            std::string& out = file.Buffer();
            for (std::string_view line : {"<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 3.2//EN\">",
                                          "<!--Powermarks Format 3.0-->",
                                          "<!-- This is an automatically generated file.It will be "
                                          "read and overwritten.Do Not "
                                          "Edit! -->",
                                          "<HTML>", "<HEAD>"}) {
                out += line;
                out += kLineEnd;
            }
            for (const CMacro& m : doc.Macros())
                AppendMacro(out, m);
            for (const CSchedule& s : doc.Schedules()) {
                out += "<!--scs=";
                AppendGroup(out, s.m_strName);
                out += s.m_bDefault ? "[1]" : "[0]";
                AppendHexGroup(out, static_cast<std::uint32_t>(s.m_tInterval));
                out += "-->";
                out += kLineEnd;
            }
            out += "<TITLE>";
            AppendEscaped(out, options.title);
            out += "</TITLE>";
            out += kLineEnd;
            out += "</HEAD>";
            out += kLineEnd;
            out += "<BODY><H1>Brindle Export File</H1><DL>";
            out += kLineEnd;
            for (const BookmarkRef& b : bookmarks) {
                AppendEntry(out, b, options.fieldMask);
                out += kLineEnd;
                out += "<BR>";
                out += kLineEnd;
                file.Flush();
            }
            out += "</DL>";
            out += kLineEnd;
            out += "</HTML>";
            out += kLineEnd;
        });
}

} // namespace brindle
