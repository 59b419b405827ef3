// SPDX-License-Identifier: GPL-3.0-or-later
// The readers against real files from public repositories, kept outside the project. Counts are
// compared with what other parsers' tests expect; where ours differ, the reason is the
// document's own rule (a name is required, and a name+URL pair is kept once).

#include "support/BookmarkLookup.h"
#include "support/TestFiles.h"

#include "exchange/Favorites.h"
#include "exchange/HtmlTags.h"
#include "exchange/ImportFile.h"
#include "store/BrindleDoc.h"
#include "store/KeywordText.h"
#include "store/TextUtil.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace brindle;
namespace fs = std::filesystem;

namespace {

fs::path CorpusDir() {
    const char* shared = std::getenv("BRINDLE_SHARED_DIR");
    return shared ? fs::path(shared) / "corpus" : fs::path();
}

#define REQUIRE_CORPUS()                                                                           \
    if (CorpusDir().empty() || !fs::is_directory(CorpusDir()))                                     \
    GTEST_SKIP() << "outside corpus not found (BRINDLE_SHARED_DIR/corpus); corpus checks skipped"

struct Expectation {
    const char* file;
    FormatId format;
    size_t count;
    const char* why; // why our count differs from the other parsers' or raw count, if it does
};

const Expectation kFiles[] = {
    {"netscape/CPAN-Adoptable-Modules__bookmark_files__Bookmarks.html", FormatId::Netscape, 9,
     "10 links; an alias repeats name and URL"},
    {"netscape/CPAN-Adoptable-Modules__bookmark_files__Bookmarks4.7.html", FormatId::Netscape, 110,
     ""},
    {"netscape/CPAN-Adoptable-Modules__bookmark_files__Favorites.html", FormatId::Netscape, 148,
     "149 links, one repeated"},
    {"netscape/CPAN-Adoptable-Modules__bookmark_files__iCab.Hotlist.html", FormatId::Netscape, 150,
     "151 links, one repeated"},
    {"netscape/CPAN-Adoptable-Modules__bookmark_files__mozilla.html", FormatId::Netscape, 217,
     "219 links, two repeated"},
    {"netscape/FlyingWolFox__test__test.html", FormatId::Netscape, 2, ""},
    {"netscape/bookmarks-tools__tests__tests_data__chrome_bookmarks.html", FormatId::Netscape, 8,
     ""},
    {"netscape/bookmarks-tools__tests__tests_data__firefox_bookmarks.html", FormatId::Netscape, 8,
     "9 expected; one link has no name"},
    {"netscape/calibr__test__files__chrome_bookmarks.html", FormatId::Netscape, 4, ""},
    {"netscape/calibr__test__files__netscape.html", FormatId::Netscape, 6, ""},
    {"netscape/calibr__test__files__netscape_complex.html", FormatId::Netscape, 14, ""},
    {"netscape/mobiledge__Safari_Bookmarks.html", FormatId::Netscape, 230,
     "231 links, one repeated"},
    {"netscape/oconnoat__delicious.html", FormatId::Netscape, 6116,
     "6125 links: 4 without a name, 5 repeated"},
    {"netscape/osxhacker__delicious.html", FormatId::Netscape, 740, ""},
    {"netscape/shaarli__tests__input__chromium_nested.htm", FormatId::Netscape, 18, ""},
    {"netscape/shaarli__tests__input__delicious.htm", FormatId::Netscape, 5, ""},
    {"netscape/shaarli__tests__input__delicious_sanitize.htm", FormatId::Netscape, 2, ""},
    {"netscape/shaarli__tests__input__empty.htm", FormatId::Html, 0, ""},
    {"netscape/shaarli__tests__input__firefox_nested.htm", FormatId::Netscape, 24, ""},
    {"netscape/shaarli__tests__input__google_bookmarks_nested.htm", FormatId::Html, 6,
     "no document-type line: read as an ordinary page"},
    {"netscape/shaarli__tests__input__internet_explorer_11_nested.htm", FormatId::Netscape, 27, ""},
    {"netscape/shaarli__tests__input__netscape_basic.htm", FormatId::Netscape, 2, ""},
    {"netscape/shaarli__tests__input__netscape_extended.htm", FormatId::Netscape, 1, ""},
    {"netscape/shaarli__tests__input__netscape_multiline.htm", FormatId::Netscape, 3, ""},
    {"netscape/shaarli__tests__input__netscape_nested.htm", FormatId::Netscape, 8, ""},
    {"netscape/shaarli__tests__input__scuttle.htm", FormatId::Netscape, 4, ""},
    {"netscape/shaarli__tests__input__shaarli.htm", FormatId::Netscape, 6, ""},
    {"netscape/shaarli__tests__input__shaarli_legacy.htm", FormatId::Netscape, 2, ""},
    {"netscape/shaarli__tests__input__shaarli_with_whitespace_tags.htm", FormatId::Netscape, 1, ""},
    {"netscape/virtualtam__testdata__benchmark__flat10000.htm", FormatId::Netscape, 10000, ""},
    {"netscape/virtualtam__testdata__input__safari_folded.htm", FormatId::Netscape, 3, ""},
    {"netscape/zmyjs__example__bookmarks_2019_5_5.html", FormatId::Netscape, 11, ""},
    {"html/CPAN-Adoptable-Modules__Web__index.html", FormatId::Html, 10, ""},
    {"html/calibr__test__files__pocket.html", FormatId::Html, 5, ""},
    {"html/dandavison__ril_export.html", FormatId::Html, 830, ""},
    {"html/jasoneveleth__index.html", FormatId::Html, 271, "272 links, one repeated"},
};

std::unique_ptr<CBrindleDoc> Import(const std::string& relative, FormatId* format = nullptr) {
    auto doc = std::make_unique<CBrindleDoc>();
    const FormatId f = ImportFile(*doc, (CorpusDir() / relative).string()).format;
    if (format)
        *format = f;
    return doc;
}

QJsonDocument ReadJson(const std::string& relative) {
    const std::string bytes = testutil::ReadFile(CorpusDir() / relative);
    return QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool HasBookmark(const CBrindleDoc& doc, const std::string& name, const std::string& url) {
    for (const BookmarkRef b : doc.Bookmarks())
        if (b.m_strName == name && b.m_strURL == url)
            return true;
    return false;
}

// True when `word` occurs in `text` right before or after a comma.
bool NextToComma(std::string_view text, std::string_view word) {
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at > 0 && text[at - 1] == ',') || (end < text.size() && text[end] == ','))
            return true;
    }
    return false;
}

// Bookmarks ("type": "bookmark") of a folder tree as the tree-shaped expectations give them.
void CollectTree(const QJsonArray& nodes, std::vector<std::pair<std::string, std::string>>& out) {
    for (const QJsonValue& v : nodes) {
        const QJsonObject o = v.toObject();
        if (o.value("type").toString() == "bookmark")
            out.emplace_back(o.value("title").toString().toStdString(),
                             o.value("url").toString().toStdString());
        CollectTree(o.value("children").toArray(), out);
    }
}

} // namespace

TEST(Corpus, EveryFileIsReadByTheExpectedReaderWithTheExpectedCount) {
    REQUIRE_CORPUS();
    for (const Expectation& e : kFiles) {
        FormatId format = FormatId::None;
        const auto doc = Import(e.file, &format);
        EXPECT_EQ(format, e.format) << e.file;
        EXPECT_EQ(doc->Bookmarks().size(), e.count) << e.file << " " << e.why;
    }
}

TEST(Corpus, TreeExpectationsNameEveryBookmark) {
    REQUIRE_CORPUS();
    const char* pairs[][2] = {
        {"bookmarks-tools__tests__tests_data__chrome_bookmarks", "netscape"},
        {"bookmarks-tools__tests__tests_data__firefox_bookmarks", "netscape"},
        {"calibr__test__files__chrome_bookmarks", "netscape"},
        {"calibr__test__files__netscape", "netscape"},
        {"calibr__test__files__netscape_complex", "netscape"},
        {"calibr__test__files__pocket", "html"},
    };
    for (const auto& [stem, folder] : pairs) {
        std::vector<std::pair<std::string, std::string>> expected;
        CollectTree(ReadJson(std::string("expected/") + stem + ".expected.json").array(), expected);
        ASSERT_FALSE(expected.empty()) << stem;
        std::string input = std::string(folder) + "/" + stem + ".html";
        const auto doc = Import(input);
        for (const auto& [title, url] : expected) {
            if (TrimView(title).empty())
                continue; // the document keeps no bookmark without a name
            EXPECT_TRUE(HasBookmark(*doc, title, url)) << stem << ": " << title << " " << url;
        }
    }
}

TEST(Corpus, ItemExpectationsGiveUrlsNamesDatesAndDescriptions) {
    REQUIRE_CORPUS();
    for (const auto& entry : fs::directory_iterator(CorpusDir() / "expected")) {
        const std::string name = entry.path().filename().string();
        const std::string suffix = ".shaarli-test.json";
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const QJsonObject root = ReadJson("expected/" + name).object();
        const std::string input =
            "netscape/" + name.substr(0, name.size() - suffix.size()) + ".htm";
        FormatId format = FormatId::None;
        const auto doc = Import(input, &format);
        const std::string source = ToLower(testutil::ReadFile(CorpusDir() / input));
        const QJsonObject items = root.value("items").toObject();
        for (auto it = items.begin(); it != items.end(); ++it) {
            const QJsonObject item = it.value().toObject();
            if (!item.contains("uri"))
                continue;
            // That parser keeps "&amp;" as written; ours decodes it.
            const std::string url =
                DecodeCharacterReferences(item.value("uri").toString().toStdString());
            const testutil::FoundBookmark b = testutil::FindByUrl(*doc, url);
            ASSERT_NE(b, nullptr) << input << ": " << url;
            const std::string title = item.value("title").toString().toStdString();
            if (!title.empty() && title != "(title not asserted)") {
                EXPECT_EQ(b->m_strName, DecodeCharacterReferences(title)) << input;
            }
            const std::string note = item.value("note").toString().toStdString();
            if (item.contains("note") && note.find('<') == std::string::npos) {
                EXPECT_EQ(b->m_strDescription, Trim(DecodeCharacterReferences(note)))
                    << input << ": " << url;
            }
            const std::string time = item.value("time").toString().toStdString();
            // Only a Netscape file carries dates; the plain-page reader stamps the import time.
            if (format == FormatId::Netscape && !time.empty() &&
                time.find_first_not_of("0123456789") == std::string::npos &&
                name.find("netscape_basic") == std::string::npos) {
                EXPECT_EQ(b->m_tAddDate, std::stoll(time)) << input << ": " << url;
            }
            // Tags (from TAGS and, in that parser, folder names) are keywords here too, except
            // words the keyword rules drop: a word written next to a comma goes with it.
            if (format != FormatId::Netscape)
                continue; // an ordinary page has no folders or tags
            for (const QJsonValue& tag : item.value("tags").toArray()) {
                const std::string words =
                    NormalizeKeywordText(ToLower(tag.toString().toStdString()), true);
                ForEachKeyword(words, [&](std::string_view w) {
                    if (!NextToComma(source, w)) {
                        EXPECT_TRUE(ContainsWholeWord(b->m_strKeywords, w))
                            << input << ": " << url << " lacks " << w;
                    }
                });
            }
        }
    }
}

TEST(Corpus, DescriptionWithCodeAndIndentation) {
    REQUIRE_CORPUS();
    const auto doc = Import("netscape/shaarli__tests__input__shaarli_with_whitespace_tags.htm");
    ASSERT_EQ(doc->Bookmarks().size(), 1u);
    const std::string expected = Trim(testutil::ReadFile(
        CorpusDir() / "expected/shaarli__tests__output__shaarli_with_whitespace_tags.txt"));
    EXPECT_EQ(doc->Bookmarks()[0].m_strDescription, expected);
    EXPECT_EQ(doc->Bookmarks()[0].m_strURL, "?KvNdlQ");
}

TEST(Corpus, FolderTreeOfSafariExportBecomesKeywords) {
    REQUIRE_CORPUS();
    const auto doc = Import("netscape/virtualtam__testdata__input__safari_folded.htm");
    const testutil::FoundBookmark wiki =
        testutil::FindByUrl(*doc, "https://en.wikipedia.org/wiki/Main_Page");
    ASSERT_NE(wiki, nullptr);
    EXPECT_EQ(wiki->m_strName, "Wikipedia, the free encyclopedia");
    EXPECT_TRUE(ContainsWholeWord(wiki->m_strKeywords, "misc"));
    EXPECT_TRUE(ContainsWholeWord(wiki->m_strKeywords, "wiki"));
}

TEST(Corpus, ShortcutFilesGiveTheirUrls) {
    REQUIRE_CORPUS();
    const std::pair<const char*, const char*> files[] = {
        {"GabrielOnDelphi__Delphi_Fix_SetFocus__GitHub.url",
         "https://github.com/GabrielOnDelphi/Delphi_Fix_SetFocus"},
        {"QuantumLeaps__qtools__doc__gnu-arm.url",
         "https://developer.arm.com/tools-and-software/open-source-software/developer-tools/"
         "gnu-toolchain/gnu-rm/downloads"},
        {"binaryage__xrefresh__website.url", "http://xrefresh.binaryage.com/"},
        {"hiro111suzu__hidehist__README.url",
         "https://github.com/hiro111suzu/hidehist/blob/main/readme.md"},
        {"pkBilalAhmad__Web-Shortcuts__Flights_fares.url",
         "http://flights.holidayme.com/air/roundtrip/searching?tab_id=tab_id_1&paramurl=KHI-DXB%"
         "2F2016-04-28%2F2016-04-29%2F1ADT%2FCC-Y&deeplink=true"},
        {"pkBilalAhmad__Web-Shortcuts__Ghazi_monthle.url",
         "http://www.ummatpublication.com/ghazi/"},
        {"pkBilalAhmad__Web-Shortcuts__Git_hub.url", "https://github.com/"},
        {"shooshx__happysolver__win_vs__Homepage.url", "http://happysolver.sourceforge.net/"},
        {"whoozle__btanks__homepage.url", "http://btanks.sourceforge.net/"},
    };
    for (const auto& [file, url] : files) {
        CBrindleDoc doc;
        const ImportResult result = ImportUrlFile(doc, (CorpusDir() / "url" / file).string());
        EXPECT_EQ(result.added, 1) << file;
        EXPECT_TRUE(result.problems.messages.empty()) << file;
        ASSERT_EQ(doc.Bookmarks().size(), 1u) << file;
        EXPECT_EQ(doc.Bookmarks()[0].m_strURL, url);
    }
    // A bare URL line without a shortcut section.
    CBrindleDoc doc;
    const ImportResult result =
        ImportUrlFile(doc, (CorpusDir() / "url/tyrex9000__CloudProviders__Google.url").string());
    EXPECT_EQ(result.added, 0);
    EXPECT_TRUE(result.problems.Contains("Cannot open this file as a URL file"));
}
