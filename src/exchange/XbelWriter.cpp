// SPDX-License-Identifier: GPL-3.0-or-later
// Writing XBEL: the exchange export (every field kept) and the shared layout of linked files.

#include "exchange/ExchangeFiles.h"
#include "exchange/Xbel.h"
#include "store/BrindleDoc.h"

#include <cstdio>

namespace brindle {

namespace {

// Year, month, day of a count of days since 1970-01-01 (H. Hinnant's algorithm).
void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

// The length of the UTF-8 sequence at `i` when it is valid, else 0.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80                 ? 1
                    : c >= 0xC2 && c <= 0xDF ? 2
                    : c >= 0xE0 && c <= 0xEF ? 3
                    : c >= 0xF0 && c <= 0xF4 ? 4
                                             : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    const auto c1 = static_cast<unsigned char>(s[i + 1 < s.size() ? i + 1 : i]);
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) ||
        (c == 0xF4 && c1 > 0x8F))
        return 0;
    return n;
}

// XML text or attribute value. Line ends and tabs are written as character references, which
// XML keeps as they are (a literal CR would become LF, and an attribute's LF a blank); other
// control characters, which XML 1.0 cannot carry, and bytes that are not UTF-8 become U+FFFD.
void AppendXml(std::string& out, std::string_view text, bool attribute) {
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += attribute ? "&quot;" : "\"";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += attribute ? "&#10;" : "\n";
                break;
            case '\t':
                out += attribute ? "&#9;" : "\t";
                break;
            default:
                if (u < 0x20)
                    out += "\xEF\xBF\xBD";
                else
                    out += c;
            }
            ++i;
            continue;
        }
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        // U+FFFE and U+FFFF are not XML characters either.
        if (n == 3 && u == 0xEF && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
            static_cast<unsigned char>(text[i + 2]) >= 0xBE)
            out += "\xEF\xBF\xBD";
        else
            out.append(text, i, n);
        i += n;
    }
}

void Indent(std::string& out, int depth) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
}

void TimeAttribute(std::string& out, const char* name, BrxTime t) {
    if (t == 0)
        return;
    out += ' ';
    out += name;
    out += "=\"";
    out += FormatIsoTime(t);
    out += '"';
}

void Element(std::string& out, int depth, const char* name, std::string_view text) {
    Indent(out, depth);
    out += '<';
    out += name;
    out += '>';
    AppendXml(out, text, false);
    out += "</";
    out += name;
    out += ">\n";
}

void WriteItems(std::string& out, const std::vector<XbelItem>& items, int depth,
                const XbelWriteOptions& options);

void WriteOwnFields(std::string& out, const XbelItem& item, int depth) {
    Indent(out, depth);
    out += "<info>\n";
    Indent(out, depth + 1);
    out += "<metadata owner=\"";
    AppendXml(out, kXbelOwner, true);
    out += "\">\n";
    Element(out, depth + 2, "keywords", item.keywords);
    Element(out, depth + 2, "notes", item.notes);
    Element(out, depth + 2, "statusChecking", std::to_string(item.statusChecking));
    Element(out, depth + 2, "schedule", item.schedule);
    Element(out, depth + 2, "status", item.status);
    if (item.lastChecked != 0)
        Element(out, depth + 2, "lastChecked", FormatIsoTime(item.lastChecked));
    Indent(out, depth + 1);
    out += "</metadata>\n";
    Indent(out, depth);
    out += "</info>\n";
}

void WriteItem(std::string& out, const XbelItem& item, int depth, const XbelWriteOptions& options) {
    Indent(out, depth);
    switch (item.kind) {
    case XbelItem::Kind::Separator:
        out += "<separator/>\n";
        return;
    case XbelItem::Kind::Alias:
        out += "<alias ref=\"";
        AppendXml(out, item.ref, true);
        out += "\"/>\n";
        return;
    case XbelItem::Kind::Folder:
        out += "<folder";
        if (!item.id.empty()) {
            out += " id=\"";
            AppendXml(out, item.id, true);
            out += '"';
        }
        if (!options.sharedLayout)
            out += item.folded ? " folded=\"yes\"" : " folded=\"no\"";
        out += ">\n";
        Element(out, depth + 1, "title", item.title);
        WriteItems(out, item.children, depth + 1, options);
        Indent(out, depth);
        out += "</folder>\n";
        return;
    case XbelItem::Kind::Bookmark:
        break;
    }
    out += "<bookmark";
    if (!item.id.empty()) {
        out += " id=\"";
        AppendXml(out, item.id, true);
        out += '"';
    }
    out += " href=\"";
    AppendXml(out, item.href, true);
    out += '"';
    if (!options.sharedLayout) {
        TimeAttribute(out, "added", item.added);
        TimeAttribute(out, "visited", item.visited);
        TimeAttribute(out, "modified", item.modified);
    }
    out += ">\n";
    Element(out, depth + 1, "title", item.title);
    if (!options.sharedLayout) {
        if (!item.desc.empty())
            Element(out, depth + 1, "desc", item.desc);
        if (options.ownFields && item.hasOwnFields)
            WriteOwnFields(out, item, depth + 1);
    }
    Indent(out, depth);
    out += "</bookmark>\n";
}

void WriteItems(std::string& out, const std::vector<XbelItem>& items, int depth,
                const XbelWriteOptions& options) {
    for (const XbelItem& item : items)
        WriteItem(out, item, depth, options);
}

void AppendHead(std::string& out) {
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE xbel PUBLIC \"+//IDN python.org//DTD XML Bookmark Exchange Language 1.0//EN"
           "//XML\" \"http://pyxml.sourceforge.net/topics/dtds/xbel.dtd\">\n"
           "<xbel version=\"1.0\">\n";
}

XbelItem ItemOf(const BookmarkRef& b) {
    XbelItem item;
    item.kind = XbelItem::Kind::Bookmark;
    item.title = b.m_strName;
    item.href = b.m_strURL;
    item.desc = b.m_strDescription;
    item.added = b.m_tAddDate;
    item.visited = b.m_tLastVisited;
    item.modified = b.m_tLastModified;
    item.hasOwnFields = true;
    item.keywords = b.m_strKeywords;
    item.notes = b.m_strNotes;
    item.statusChecking = b.m_wStatusChecking;
    item.schedule = b.m_strSchedule;
    item.status = b.m_strStatus;
    item.lastChecked = b.m_tLastChecked;
    return item;
}

} // namespace

std::string FormatIsoTime(BrxTime t) {
    std::int64_t days = t / 86400;
    std::int64_t rest = t % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[64];
    const char* format = year >= 0 && year <= 9999 ? "%04lld-%02u-%02uT%02d:%02d:%02dZ"
                                                   : "%+05lld-%02u-%02uT%02d:%02d:%02dZ";
    std::snprintf(text, sizeof text, format, static_cast<long long>(year), month, day,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60));
    return text;
}

void WriteXbel(const XbelTree& tree, std::string& out, const XbelWriteOptions& options) {
    AppendHead(out);
    if (options.sharedLayout) {
        out += "<!--- highestId :";
        out += std::to_string(tree.highestId);
        out += ": for Floccus bookmark sync browser extension -->\n";
    }
    if (!tree.title.empty())
        Element(out, 1, "title", tree.title);
    WriteItems(out, tree.items, 1, options);
    out += "</xbel>\n";
}

namespace {

constexpr std::size_t kFlushBytes = 256 * 1024;

void WriteNodes(std::string& out, const XbelCompactTree& tree, std::uint32_t first, int depth,
                const std::function<void(std::string&)>& flush) {
    for (std::uint32_t n = first; n != kNoXbelNode; n = tree.nodes[n].next) {
        if (flush && out.size() >= kFlushBytes)
            flush(out);
        const XbelNode& node = tree.nodes[n];
        if (node.removed)
            continue;
        Indent(out, depth);
        switch (node.kind) {
        case XbelItem::Kind::Separator:
            out += "<separator/>\n";
            continue;
        case XbelItem::Kind::Alias:
            out += "<alias ref=\"";
            AppendXml(out, tree.Text(node.href), true);
            out += "\"/>\n";
            continue;
        case XbelItem::Kind::Folder:
            out += "<folder";
            break;
        case XbelItem::Kind::Bookmark:
            out += "<bookmark";
            break;
        }
        if (node.id.size != 0) {
            out += " id=\"";
            AppendXml(out, tree.Text(node.id), true);
            out += '"';
        }
        if (node.kind == XbelItem::Kind::Folder) {
            out += ">\n";
            Element(out, depth + 1, "title", tree.Text(node.title));
            WriteNodes(out, tree, node.firstChild, depth + 1, flush);
            Indent(out, depth);
            out += "</folder>\n";
        } else {
            out += " href=\"";
            AppendXml(out, tree.Text(node.href), true);
            out += "\">\n";
            Element(out, depth + 1, "title", tree.Text(node.title));
            Indent(out, depth);
            out += "</bookmark>\n";
        }
    }
}

} // namespace

void WriteXbel(const XbelCompactTree& tree, std::string& out,
               const std::function<void(std::string&)>& flush) {
    AppendHead(out);
    out += "<!--- highestId :";
    out += std::to_string(tree.highestId);
    out += ": for Floccus bookmark sync browser extension -->\n";
    if (!tree.title.empty())
        Element(out, 1, "title", tree.title);
    WriteNodes(out, tree, tree.nodes.front().firstChild, 1, flush);
    out += "</xbel>\n";
    if (flush)
        flush(out);
}

bool ExportXbel(CBrindleDoc& doc, const std::string& path, const ExportOptions& options,
                ExchangeReport& report) {
    std::unique_ptr<BufferedAtomicFile> file = OpenExportFile(path, report);
    if (!file)
        return false;
    std::string& out = file->Buffer();
    AppendHead(out);
    if (!options.title.empty())
        Element(out, 1, "title", options.title);
    const XbelWriteOptions write;
    for (const BookmarkRef& b : SelectForExport(doc, options)) {
        WriteItem(out, ItemOf(b), 1, write);
        file->Flush();
    }
    out += "</xbel>\n";
    if (file->Commit() != 0) {
        report.Add(MessageIcon::Stop, kMsgCannotWriteFile);
        return false;
    }
    return true;
}

} // namespace brindle
