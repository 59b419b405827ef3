// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ExchangeFormats.h"

#include "exchange/ChromiumBookmarks.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/Favorites.h"
#include "exchange/FirefoxPlaces.h"
#include "exchange/HtmlTags.h"
#include "exchange/ImportFile.h"
#include "exchange/Netscape.h"
#include "exchange/Powermarks.h"
#include "exchange/Reports.h"
#include "exchange/TextCodec.h"
#include "exchange/Xbel.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace brindle {

namespace {

constexpr std::string_view kHtmlFiles[] = {".htm", ".html"};
constexpr std::string_view kShortcutFiles[] = {".url"};
constexpr std::string_view kTextFiles[] = {".txt"};
constexpr std::string_view kPlacesFiles[] = {"places.sqlite"};
constexpr std::string_view kChromiumFiles[] = {"Bookmarks"};
constexpr std::string_view kXbelFiles[] = {".xbel"};

constexpr unsigned kReportChoices = kTakesTitle | kTakesSort | kTakesFields;

const ExchangeFormat kFormats[] = {
    {.id = FormatId::Netscape,
     .key = "netscape",
     .extensions = kHtmlFiles,
     .importFilter = "Netscape Bookmark File",
     .import = ImportFile,
     .marker = "<!doctype netscape",
     .makeReader = MakeNetscapeReader,
     .exportName = QT_TRANSLATE_NOOP("CExportDlg", "Netscape Bookmark File Format"),
     .exportDescription = QT_TRANSLATE_NOOP(
         "CExportDlg", "Export all bookmarks to a Netscape bookmark file, which every browser "
                       "reads; this format does not keep every field"),
     .exportTo = ExportNetscape,
     .exportTakes = kTakesTitle | kTakesSort | kTakesUsers},
    {.id = FormatId::Favorites,
     .key = "favorites",
     .extensions = kShortcutFiles,
     .importFilter = "Internet Shortcut",
     .import = ImportFavorites,
     .readsFolders = true,
     .exportName = QT_TRANSLATE_NOOP("CExportDlg", "Favorites Folder (.url Files)"),
     .exportDescription = QT_TRANSLATE_NOOP(
         "CExportDlg", "Export all bookmarks as a folder of Internet shortcut (.url) files; this "
                       "format does not keep every field"),
     .exportTo = ExportFavorites,
     .exportTakes = kWritesFolder},
    {.id = FormatId::Powermarks,
     .key = "powermarks",
     .extensions = kHtmlFiles,
     .importFilter = "Powermarks 3.0 File",
     .import = ImportFile,
     .marker = "<!--powermarks format 3.0-->",
     .makeReader = MakePowermarksReader,
     .exportName = QT_TRANSLATE_NOOP("CExportDlg", "Powermarks 3.0 File Format"),
     .exportDescription =
         QT_TRANSLATE_NOOP("CExportDlg", "Export all bookmarks to a Powermarks 3.0 file; this "
                                         "format keeps the fields you choose"),
     .exportTo = ExportPowermarks,
     .exportTakes = kReportChoices},
    {.id = FormatId::Html,
     .key = "html",
     .extensions = kHtmlFiles,
     .importFilter = "Ordinary HTML Page",
     .import = ImportFile,
     .makeReader = MakeAnchorReader,
     .exportName = QT_TRANSLATE_NOOP("CExportDlg", "Normal HTML File Format"),
     .exportDescription =
         QT_TRANSLATE_NOOP("CExportDlg", "Export all bookmarks to an ordinary HTML page; this "
                                         "format keeps the fields you choose"),
     .exportTo = ExportHtml,
     .exportTakes = kReportChoices},
    {.id = FormatId::Text,
     .key = "text",
     .extensions = kTextFiles,
     .exportName = QT_TRANSLATE_NOOP("CExportDlg", "TXT File"),
     .exportDescription = QT_TRANSLATE_NOOP(
         "CExportDlg",
         "Export all bookmarks to a text file; this format keeps the fields you choose"),
     .exportTo = ExportText,
     .exportTakes = kReportChoices},
    {.id = FormatId::FirefoxPlaces,
     .key = "firefox",
     .fileNames = kPlacesFiles,
     .importFilter = "Firefox Bookmarks",
     .import = ImportFirefoxPlaces,
     .claims = LooksLikeSqliteDatabase},
    {.id = FormatId::Chromium,
     .key = "chromium",
     .fileNames = kChromiumFiles,
     .importFilter = "Chromium-family Bookmarks",
     .import = ImportChromiumBookmarks,
     .claims = LooksLikeChromiumBookmarks},
    {.id = FormatId::Xbel,
     .key = "xbel",
     .extensions = kXbelFiles,
     .importFilter = "XBEL Bookmark File",
     .import = ImportXbel,
     .claims = LooksLikeXbel,
     .exportName = QT_TRANSLATE_NOOP("CExportDlg", "XBEL Bookmark File"),
     .exportDescription = QT_TRANSLATE_NOOP(
         "CExportDlg", "Export all bookmarks to an XBEL file, which keeps every field and which "
                       "many programs read"),
     .exportTo = ExportXbel,
     .exportTakes = kTakesTitle | kTakesSort},
};

// The first bytes of a file; empty when it cannot be read.
std::string FileHead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

bool HasExtension(const ExchangeFormat& format, std::string_view extension) {
    return std::find(format.extensions.begin(), format.extensions.end(), extension) !=
           format.extensions.end();
}

// "a, b or c"
std::string JoinList(const std::vector<std::string_view>& items, std::string_view separator,
                     std::string_view last) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? last : separator;
        text += items[i];
    }
    return text;
}

} // namespace

std::span<const ExchangeFormat> ExchangeFormats() {
    return kFormats;
}

const ExchangeFormat& FormatOf(FormatId id) {
    for (const ExchangeFormat& f : kFormats)
        if (f.id == id)
            return f;
    return kFormats[0]; // every id but None has a row
}

const ExchangeFormat* FindFormat(std::string_view key) {
    for (const ExchangeFormat& f : kFormats)
        if (f.key == key)
            return &f;
    return nullptr;
}

std::vector<const ExchangeFormat*> ExportFormats() {
    std::vector<const ExchangeFormat*> rows;
    for (const ExchangeFormat& f : kFormats)
        if (f.exportTo)
            rows.push_back(&f);
    return rows;
}

std::vector<const ExchangeFormat*> TextFormats() {
    std::vector<const ExchangeFormat*> rows;
    for (const ExchangeFormat& f : kFormats)
        if (f.makeReader && !f.marker.empty())
            rows.push_back(&f);
    for (const ExchangeFormat& f : kFormats)
        if (f.makeReader && f.marker.empty())
            rows.push_back(&f);
    return rows;
}

const ExchangeFormat* ImportFormatFor(const std::string& path) {
    if (FolderExists(path)) {
        for (const ExchangeFormat& f : kFormats)
            if (f.import && f.readsFolders)
                return &f;
        return nullptr;
    }
    const std::string name = std::filesystem::path(path).filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        const std::string_view extension = std::string_view(name).substr(dot);
        for (const ExchangeFormat& f : kFormats)
            if (f.import && HasExtension(f, extension))
                return &f;
    }
    const std::string head = FileHead(path);
    if (head.empty())
        return nullptr;
    for (const ExchangeFormat& f : kFormats)
        if (f.import && f.claims && f.claims(head))
            return &f;
    return nullptr;
}

std::string FilterEntry(std::string_view name, const ExchangeFormat& format) {
    std::string patterns;
    for (std::string_view extension : format.extensions) {
        if (!patterns.empty())
            patterns += ';';
        patterns += '*';
        patterns += extension;
    }
    for (std::string_view name : format.fileNames) {
        if (!patterns.empty())
            patterns += ';';
        patterns += name;
    }
    std::string entry(name);
    entry += '(' + patterns + ")|" + patterns + '|';
    return entry;
}

std::string ImportDialogFilter() {
    std::vector<const ExchangeFormat*> rows = TextFormats();
    for (const ExchangeFormat& f : kFormats)
        if (f.import && std::find(rows.begin(), rows.end(), &f) == rows.end())
            rows.push_back(&f);
    std::string filter;
    for (const ExchangeFormat* f : rows)
        if (f->importFilter)
            filter += FilterEntry(f->importFilter, *f);
    // Any file: the rows' content checks decide.
    return filter + "All Files(*)|*||";
}

std::string ImportExtensionsText() {
    std::vector<std::string_view> extensions;
    for (const ExchangeFormat& f : kFormats)
        if (f.import)
            for (std::string_view e : f.extensions)
                if (std::find(extensions.begin(), extensions.end(), e) == extensions.end())
                    extensions.push_back(e);
    return JoinList(extensions, ", ", " or ");
}

std::string ExportKeysText(std::string_view separator, std::string_view last) {
    std::vector<std::string_view> keys;
    for (const ExchangeFormat* f : ExportFormats())
        keys.push_back(f->key);
    return JoinList(keys, separator, last);
}

bool ImportMarkedText(CBrindleDoc& doc, std::string_view text, FormatId id) {
    const ExchangeFormat& format = FormatOf(id);
    text = SkipUtf8Bom(text);
    if (!format.makeReader || FindNoCase(text, format.marker) == std::string_view::npos)
        return false;
    format.makeReader(doc, {})->FeedLast(text);
    return true;
}

} // namespace brindle
