// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a Netscape bookmark file: a flat list of links under one heading.

#include "exchange/ExchangeFiles.h"
#include "exchange/HtmlTags.h"
#include "exchange/Netscape.h"
#include "store/BrindleDoc.h"

namespace brindle {

void AppendNetscapeEntry(std::string& out, const BookmarkRef& b) {
    out += "<DT><A HREF=\"";
    AppendEscaped(out, b.m_strURL);
    // Named attributes: every reader of the format (this one included) understands them.
    out += "\" ADD_DATE=\"";
    out += std::to_string(b.m_tAddDate);
    out += "\" LAST_VISIT=\"";
    out += std::to_string(b.m_tLastVisited);
    out += "\" LAST_MODIFIED=\"";
    out += std::to_string(b.m_tLastModified);
    out += "\">";
    AppendEscaped(out, b.m_strName);
    out += "</A>";
}

bool ExportNetscape(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                    ExchangeReport& report) {
    BufferedAtomicFile file(path);
    if (file.Open() != 0) {
        report.Add(MessageIcon::Stop, kMsgCannotWriteFile);
        return false;
    }
    const std::vector<BookmarkRef>& bookmarks = SelectForExport(doc, options);
    std::string& out = file.Buffer();
    out += "<!DOCTYPE NETSCAPE-Bookmark-file-1>";
    out += kLineEnd;
    out += "<!-- This is an automatically generated file.It will be read and overwritten.Do Not "
           "Edit! -->";
    out += kLineEnd;
    out += "<TITLE>";
    AppendEscaped(out, options.title);
    out += "</TITLE>";
    out += kLineEnd;
    out += "<H1>Bookmark</H1>";
    out += kLineEnd;
    out += "<DL><P>";
    out += kLineEnd;
    for (const BookmarkRef& b : bookmarks) {
        AppendNetscapeEntry(out, b);
        out += kLineEnd;
        if (!b.m_strDescription.empty()) {
            out += "<DD>";
            AppendEscaped(out, b.m_strDescription);
            out += kLineEnd;
        }
        file.Flush();
    }
    out += "</DL></P>";
    if (file.Commit() != 0) {
        report.Add(MessageIcon::Stop, kMsgCannotWriteFile);
        return false;
    }
    return true;
}

} // namespace brindle
