// SPDX-License-Identifier: GPL-3.0-or-later
// The document file's bytes: the reference examples byte for byte, the tagged object
// form, strings, counts, dates, and the reader's handling of damaged input.

#include "support/NewDocument.h"
#include "support/RawBookmarks.h"
#include "support/TestFiles.h"

#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/FileErrors.h"
#include "store/Key.h"
#include "store/ObjectArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using testutil::Hex;
using testutil::ToHex;

namespace {

// The header of a new document: keyword mode, the five typed fields ticked for string searches.
const std::string kDefaultHeader =
    Hex("01 00 00 00  1F  01 00 00 00  01 00 00 00  FF 0F  00 00 00 00  01 00 00 00  00 00 00 00");
const std::string kBookmarkClass = Hex("FF FF 01 00 09 00 43 42 6F 6F 6B 6D 61 72 6B");
// The reference bookmark 'Home' (fields after the tag).
const std::string kHomeFields = Hex("04 48 6F 6D 65  00  03 77 65 62  00  00  01 00"
                                    "06 3C 4E 6F 6E 65 3E  07 57 61 69 74 69 6E 67"
                                    "C0 B8 A0 37  00 00 00 00  00 00 00 00  00 00 00 00");
const std::string kMacroClass = Hex("FF FF 01 00 06 00 43 4D 61 63 72 6F");
const std::string kMacroFields = Hex("06 53 65 61 72 63 68  03 77 65 62  00  00  00"
                                     "00 00 00 00  02 00 00 00  FF FF FF FF");
const std::string kScheduleClass = Hex("FF FF 01 00 09 00 43 53 63 68 65 64 75 6C 65");
const std::string kScheduleFields = Hex("06 57 65 65 6B 6C 79  00 AB 09 00  01 00 00 00");

void AddHome(CBrindleDoc& doc) {
    ASSERT_TRUE(doc.AddBookmark({.name = "Home",
                                 .keywords = "web",
                                 .statusChecking = 1,
                                 .schedule = kNoSchedule,
                                 .status = kStatusWaiting,
                                 .addDate = 933279936}));
}

void AddSearchMacro(CBrindleDoc& doc) {
    doc.AddMacro(kMacroKeywords, "Search", "web", 0xFFFFFFFFu);
}

void AddWeekly(CBrindleDoc& doc) {
    doc.AddSchedule("Weekly", 633600, true);
}

// A bookmark as a file reader makes it, without AddBookmark's rules.
CBookmark AsRead(const std::string& name, const std::string& url,
                 const std::string& keywords = "") {
    CBookmark b;
    b.m_strName = name;
    b.m_strURL = url;
    b.m_strKeywords = keywords;
    b.m_strSchedule = kNoSchedule;
    b.m_strStatus = kStatusWaiting;
    b.RebuildKeywordList();
    return b;
}

void PushBookmark(CBrindleDoc& doc, const std::string& name, const std::string& url,
                  const std::string& keywords = "") {
    const CBookmark one[] = {AsRead(name, url, keywords)};
    testutil::AppendAsRead(doc, one);
}

std::string OneEachFile() {
    return kDefaultHeader + Hex("01 00") + kBookmarkClass + kHomeFields + Hex("01 00") +
           kMacroClass + kMacroFields + Hex("01 00") + kScheduleClass + kScheduleFields;
}

brindle::ArchiveResult Read(CBrindleDoc& doc, const std::string& bytes) {
    return brindle::ReadDocumentBytes(doc, bytes);
}

std::string Write(const CBrindleDoc& doc) {
    return brindle::DocumentToBytes(doc);
}

// --- Reference examples ------------------------------------------------------------------------

TEST(DocumentFile, EmptyDocumentIs33Bytes) {
    CBrindleDoc doc;
    const std::string bytes = Write(doc);
    EXPECT_EQ(ToHex(bytes), ToHex(kDefaultHeader + Hex("00 00 00 00 00 00")));
    EXPECT_EQ(bytes.size(), 33u);
    EXPECT_EQ(ToHex(bytes.substr(0, 15)), "01 00 00 00 1F 01 00 00 00 01 00 00 00 FF 0F");
}

TEST(DocumentFile, OneBookmarkHome) {
    CBrindleDoc doc;
    AddHome(doc);
    const std::string expected =
        kDefaultHeader + Hex("01 00") + kBookmarkClass + kHomeFields + Hex("00 00 00 00");
    EXPECT_EQ(ToHex(Write(doc)), ToHex(expected));

    CBrindleDoc back;
    ASSERT_TRUE(Read(back, expected));
    ASSERT_EQ(back.Bookmarks().size(), 1u);
    const BookmarkRef b = back.Bookmarks()[0];
    EXPECT_EQ(b.m_strName, "Home");
    EXPECT_EQ(b.m_strURL, "");
    EXPECT_EQ(b.m_strKeywords, "web");
    EXPECT_THAT(back.Bookmarks().KeywordList(0), ElementsAre("web"));
    EXPECT_EQ(b.m_wStatusChecking, 1);
    EXPECT_EQ(b.m_strSchedule, "<None>");
    EXPECT_EQ(b.m_strStatus, "Waiting");
    EXPECT_EQ(b.m_tAddDate, 933279936);
    EXPECT_EQ(b.m_tLastVisited, 0);
    EXPECT_FALSE(back.IsModified());
}

TEST(DocumentFile, StringPrefixes) {
    struct Case {
        std::size_t length;
        std::string prefix;
    };
    const Case cases[] = {{0, Hex("00")},
                          {254, Hex("FE")},
                          {255, Hex("FF FF 00")},
                          {256, Hex("FF 00 01")},
                          {65533, Hex("FF FD FF")},
                          {65534, Hex("FF FF FF FE FF 00 00")},
                          {70000, Hex("FF FF FF 70 11 01 00")}};
    for (const Case& c : cases) {
        CBrindleDoc doc;
        PushBookmark(doc, std::string(c.length, 'n'), "u");
        const std::string bytes = Write(doc);
        const std::size_t at = kDefaultHeader.size() + 2 + kBookmarkClass.size();
        EXPECT_EQ(ToHex(bytes.substr(at, c.prefix.size())), ToHex(c.prefix)) << c.length;
        CBrindleDoc back;
        ASSERT_TRUE(Read(back, bytes)) << c.length;
        EXPECT_EQ(back.Bookmarks()[0].m_strName.size(), c.length);
        EXPECT_EQ(back.Bookmarks()[0].m_strURL, "u");
    }
}

TEST(DocumentFile, Name255BytesHasPrefixFFFF00) {
    CBrindleDoc doc;
    ASSERT_TRUE(doc.AddBookmark({.name = std::string(255, 'a'),
                                 .url = "http://x/",
                                 .statusChecking = 1,
                                 .schedule = kNoSchedule,
                                 .status = kStatusWaiting}));
    const std::string bytes = Write(doc);
    EXPECT_EQ(ToHex(bytes.substr(27 + 2 + 15, 3)), "FF FF 00");
    EXPECT_EQ(bytes.substr(27 + 2 + 15 + 3, 255), std::string(255, 'a'));
}

TEST(DocumentFile, OneBookmarkOneMacroOneScheduleTakeCounters1To6) {
    CBrindleDoc doc;
    AddHome(doc);
    AddSearchMacro(doc);
    AddWeekly(doc);
    EXPECT_EQ(ToHex(Write(doc)), ToHex(OneEachFile()));

    CBrindleDoc back;
    ASSERT_TRUE(Read(back, OneEachFile()));
    ASSERT_EQ(back.Macros().size(), 1u);
    const CMacro& m = back.Macros()[0];
    EXPECT_EQ(m.m_strName, "Search");
    EXPECT_EQ(m.m_strKeywords, "web");
    EXPECT_EQ(m.m_nKind, kMacroKeywords);
    EXPECT_EQ(m.m_dwHotKey, 0xFFFFFFFFu);
    ASSERT_EQ(back.Schedules().size(), 1u);
    EXPECT_EQ(back.Schedules()[0].m_strName, "Weekly");
    EXPECT_EQ(back.Schedules()[0].m_tInterval, 633600);
    EXPECT_EQ(back.Schedules()[0].m_bDefault, 1);
}

TEST(DocumentFile, LaterObjectsUseTheClassCounter) {
    CBrindleDoc doc;
    AddHome(doc);
    ASSERT_TRUE(doc.AddBookmark({.name = "Work",
                                 .url = "w",
                                 .schedule = kNoSchedule,
                                 .status = "OK",
                                 .addDate = 1,
                                 .lastVisited = 2,
                                 .lastModified = 3,
                                 .lastChecked = 4}));
    AddSearchMacro(doc);
    AddSearchMacro(doc);
    AddWeekly(doc);
    AddWeekly(doc);
    const std::string bytes = Write(doc);
    // Bookmarks: class 1, objects 2 and 3; macros: class 4, objects 5, 6; schedules: class 7.
    const std::string work = Hex("01 80  04 57 6F 72 6B  01 77  00 00 00  00 00"
                                 "06 3C 4E 6F 6E 65 3E  02 4F 4B"
                                 "01 00 00 00  04 00 00 00  03 00 00 00  02 00 00 00");
    const std::string expected = kDefaultHeader + Hex("02 00") + kBookmarkClass + kHomeFields +
                                 work + Hex("02 00") + kMacroClass + kMacroFields + Hex("04 80") +
                                 kMacroFields + Hex("02 00") + kScheduleClass + kScheduleFields +
                                 Hex("07 80") + kScheduleFields;
    EXPECT_EQ(ToHex(bytes), ToHex(expected));
    CBrindleDoc back;
    ASSERT_TRUE(Read(back, bytes));
    EXPECT_EQ(Write(back), bytes);
}

TEST(DocumentFile, ChangedSchemaNumberFails) {
    const std::string file = OneEachFile();
    // The schema numbers of the three class records.
    for (const std::string& cls : {kBookmarkClass, kMacroClass, kScheduleClass}) {
        const std::size_t at = file.find(cls);
        ASSERT_NE(at, std::string::npos);
        for (char schema : {'\0', '\2', '\x7F'}) {
            std::string damaged = file;
            damaged[at + 2] = schema;
            CBrindleDoc doc;
            const brindle::ArchiveResult r = Read(doc, damaged);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.message, "Unexpected file format.");
            EXPECT_TRUE(doc.Bookmarks().empty());
        }
    }
}

TEST(DocumentFile, CutInsideTheScheduleArrayFailsExtraBytesAreIgnored) {
    const std::string file = OneEachFile();
    const std::size_t scheduleArray =
        file.size() - 2 - kScheduleClass.size() - kScheduleFields.size();
    for (std::size_t n = scheduleArray; n < file.size(); ++n) {
        CBrindleDoc doc;
        const brindle::ArchiveResult r = Read(doc, file.substr(0, n));
        EXPECT_FALSE(r.ok) << n;
        EXPECT_EQ(r.message, "Unexpected file format.");
    }
    CBrindleDoc doc;
    EXPECT_TRUE(Read(doc, file + "trailing garbage \xFF\xFF"));
    EXPECT_EQ(doc.Schedules().size(), 1u);
}

TEST(DocumentFile, EveryShorterPrefixFailsAndLeavesTheDocumentAlone) {
    const std::string file = OneEachFile();
    CBrindleDoc doc;
    AddHome(doc);
    doc.SetSortOrder(5, doc.SortAscending() != 0);
    for (std::size_t n = 0; n < file.size(); ++n) {
        const brindle::ArchiveResult r = Read(doc, file.substr(0, n));
        ASSERT_FALSE(r.ok) << n;
        ASSERT_EQ(r.message, brindle::kUnexpectedFileFormat);
        ASSERT_EQ(doc.Bookmarks().size(), 1u);
        ASSERT_EQ(doc.SortColumn(), 5);
    }
}

// The summary (`info`) passes over the texts: it must fail and count exactly as reading does.
TEST(DocumentFile, SummaryAgreesWithReadingOnEveryPrefixAndForm) {
    const std::string wide = Hex("FF FE FF 02 41 00 00 D8"); // 16-bit form, a lone surrogate
    const std::string nullsAndReferences = kDefaultHeader + Hex("04 00") + kBookmarkClass +
                                           kHomeFields + Hex("00 00 02 00 FF 7F 02 00 00 00") +
                                           Hex("00 00 00 00");
    std::vector<std::string> files = {OneEachFile() + "extra", nullsAndReferences,
                                      kDefaultHeader + Hex("01 00") + kBookmarkClass + wide +
                                          kHomeFields.substr(5) + Hex("00 00 00 00")};
    for (std::size_t n = 0; n < OneEachFile().size(); ++n)
        files.push_back(OneEachFile().substr(0, n));
    for (const std::string& file : files) {
        CBrindleDoc doc;
        const brindle::ArchiveResult read = Read(doc, file);
        brindle::DocumentSummary s;
        const brindle::ArchiveResult summary = brindle::ReadDocumentSummaryBytes(file, s);
        ASSERT_EQ(summary.ok, read.ok) << ToHex(file);
        ASSERT_EQ(summary.message, read.message);
        if (!read)
            continue;
        EXPECT_EQ(s.bookmarks, doc.Bookmarks().size());
        EXPECT_EQ(s.macros, doc.Macros().size());
        EXPECT_EQ(s.schedules, doc.Schedules().size());
        EXPECT_EQ(s.sortColumn, doc.SortColumn());
        EXPECT_EQ(s.columns, doc.Columns());
    }
}

// --- Header ----------------------------------------------------------------------------------

TEST(DocumentFile, HeaderStateRoundTripsAndTheSecondSearchModeIsKept) {
    CBrindleDoc doc;
    doc.SetSearchMode(2);
    doc.SetStringFields(0x45);
    doc.SetPartialMatch(false);
    doc.SetColumns(0x0123);
    doc.SetMatchCase(true);
    doc.SetSortOrder(11, false);
    std::string bytes = Write(doc);
    EXPECT_EQ(ToHex(bytes.substr(0, 27)),
              "02 00 00 00 45 00 00 00 00 02 00 00 00 23 01 01 00 00 00 00 00 00 00 0B 00 00 00");
    bytes[0] = 7; // the first copy is read and dropped
    CBrindleDoc back;
    ASSERT_TRUE(Read(back, bytes));
    EXPECT_EQ(back.SearchMode(), 2);
    EXPECT_EQ(back.StringFields(), 0x45);
    EXPECT_EQ(back.PartialMatch(), 0);
    EXPECT_EQ(back.Columns(), 0x0123);
    EXPECT_EQ(back.MatchCase(), 1);
    EXPECT_EQ(back.SortAscending(), 0);
    EXPECT_EQ(back.SortColumn(), 11);
}

// --- Records and the collection -----------------------------------------------------------------

TEST(DocumentFile, ReadingKeepsFileOrderAndDuplicatesAndRebuildsKeywordLists) {
    CBrindleDoc doc;
    PushBookmark(doc, "b", "u", "zeta alpha  beta");
    PushBookmark(doc, "a", "u", "x");
    PushBookmark(doc, "b", "u", "zeta alpha  beta"); // a duplicate AddBookmark would refuse
    CBrindleDoc back;
    ASSERT_TRUE(Read(back, Write(doc)));
    ASSERT_EQ(back.Bookmarks().size(), 3u);
    EXPECT_EQ(back.Bookmarks()[0].m_strName, "b");
    EXPECT_EQ(back.Bookmarks()[1].m_strName, "a");
    EXPECT_EQ(back.Bookmarks()[2].m_strName, "b");
    // The keyword text is kept as stored; the list is rebuilt sorted.
    EXPECT_EQ(back.Bookmarks()[0].m_strKeywords, "zeta alpha  beta");
    EXPECT_THAT(back.Bookmarks().KeywordList(0), ElementsAre("alpha", "beta", "zeta"));
}

TEST(DocumentFile, LoadedCollectionKeepsTheDocumentsCachesConsistent) {
    CBrindleDoc doc;
    ASSERT_TRUE(doc.AddBookmark({.name = "Old", .url = "o", .statusChecking = 1}));
    doc.Search("", false, 0); // builds the ordering and duplicate caches
    CBrindleDoc other;
    PushBookmark(other, "New", "n", "fresh");
    ASSERT_TRUE(Read(doc, Write(other)));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.KeywordHits().empty());
    EXPECT_TRUE(doc.Dictionary().empty());
    EXPECT_FALSE(doc.AddBookmark({.name = "New", .url = "n", .statusChecking = 1}));
    EXPECT_TRUE(doc.AddBookmark({.name = "Old", .url = "o", .statusChecking = 1}));
    doc.Search("fresh", false, 0);
    ASSERT_EQ(doc.KeywordHits().size(), 1u);
    EXPECT_EQ(doc.Bookmarks()[doc.KeywordHits()[0]].m_strName, "New");
}

TEST(DocumentFile, DatesAreWritten32BitAndReadUnsigned) {
    CBrindleDoc doc;
    PushBookmark(doc, "late", "u");
    doc.SetFieldTime(0, kFieldAddDate, 0x80000000LL + 5); // 2038-01-19 and later
    doc.SetFieldTime(0, kFieldLastChecked, 0xFFFFFFFFLL); // 2106-02-07
    doc.SetFieldTime(0, kFieldLastModified, 1);
    doc.SetFieldTime(0, kFieldLastVisited, 0x7FFFFFFF);
    const std::string bytes = Write(doc);
    CBrindleDoc back;
    ASSERT_TRUE(Read(back, bytes));
    const BookmarkRef r = back.Bookmarks()[0];
    EXPECT_EQ(r.m_tAddDate, 0x80000005LL);
    EXPECT_EQ(r.m_tLastChecked, 0xFFFFFFFFLL);
    EXPECT_EQ(r.m_tLastModified, 1);
    EXPECT_EQ(r.m_tLastVisited, 0x7FFFFFFF);
}

TEST(DocumentFile, ScheduleIntervalKeepsNoneAndSmallNegativeValues) {
    CBrindleDoc doc;
    doc.AddSchedule("none", -1, false);
    doc.AddSchedule("east", -36000, false); // 08:00 local east of UTC+8
    doc.AddSchedule("far", 3000000000LL, false);
    const std::string bytes = Write(doc);
    EXPECT_NE(bytes.find(Hex("04 6E 6F 6E 65 FF FF FF FF 00 00 00 00")), std::string::npos);
    CBrindleDoc back;
    ASSERT_TRUE(Read(back, bytes));
    EXPECT_EQ(back.Schedules()[0].m_tInterval, -1);
    EXPECT_EQ(back.Schedules()[1].m_tInterval, -36000);
    EXPECT_EQ(back.Schedules()[2].m_tInterval, 3000000000LL);
}

TEST(DocumentFile, ElementCountsOf0xFFFFAndMoreUseTheLongFormAndBigTags) {
    CBrindleDoc doc;
    testutil::AppendAsRead(doc, std::vector<CBookmark>(0xFFFF, AsRead("b", "")));
    AddSearchMacro(doc);
    AddSearchMacro(doc);
    const std::string bytes = Write(doc);
    EXPECT_EQ(ToHex(bytes.substr(27, 6)), "FF FF FF FF 00 00");
    // The macro class takes counter 0xFFFF + 2 = 0x10001, beyond the 16-bit tags: the second
    // macro is written with the big tag.
    const std::string bigTag = Hex("FF 7F 01 00 01 80") + kMacroFields;
    EXPECT_EQ(ToHex(bytes.substr(bytes.size() - 2 - bigTag.size(), bigTag.size())), ToHex(bigTag));
    CBrindleDoc back;
    ASSERT_TRUE(Read(back, bytes));
    EXPECT_EQ(back.Bookmarks().size(), 0xFFFFu);
    EXPECT_EQ(back.Macros().size(), 2u);
    EXPECT_EQ(Write(back), bytes);
}

// --- Text --------------------------------------------------------------------------------------

TEST(DocumentFile, NonAsciiIsWrittenIn16BitForm) {
    CBrindleDoc doc;
    PushBookmark(doc, "Caf\xC3\xA9", "\xF0\x9F\x98\x80"); // "Café", U+1F600
    const std::string bytes = Write(doc);
    const std::size_t at = 27 + 2 + kBookmarkClass.size();
    EXPECT_EQ(ToHex(bytes.substr(at, 4 + 8)), "FF FE FF 04 43 00 61 00 66 00 E9 00");
    EXPECT_EQ(ToHex(bytes.substr(at + 12, 4 + 4)), "FF FE FF 02 3D D8 00 DE");
    CBrindleDoc back;
    ASSERT_TRUE(Read(back, bytes));
    EXPECT_EQ(back.Bookmarks()[0].m_strName, "Caf\xC3\xA9");
    EXPECT_EQ(back.Bookmarks()[0].m_strURL, "\xF0\x9F\x98\x80");
}

TEST(DocumentFile, ByteFormIsKeptAsUtf8OrDecodedAsWindows1252) {
    auto fileWithName = [](const std::string& nameField) {
        return kDefaultHeader + Hex("01 00") + kBookmarkClass + nameField + kHomeFields.substr(5) +
               Hex("00 00 00 00");
    };
    CBrindleDoc doc;
    ASSERT_TRUE(Read(doc, fileWithName(Hex("05 43 61 66 C3 A9"))));
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "Caf\xC3\xA9");
    ASSERT_TRUE(Read(doc, fileWithName(Hex("05 43 61 66 E9 80"))));
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "Caf\xC3\xA9\xE2\x82\xAC"); // é €
    // The bytes Windows-1252 leaves unassigned keep their C1 control value.
    ASSERT_TRUE(Read(doc, fileWithName(Hex("05 81 8D 8F 90 9D"))));
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
}

TEST(DocumentFile, SixteenBitFormWithLongSecondPrefixAndBrokenSurrogates) {
    std::string name = Hex("FF FE FF FF 00 01") + Hex("41 00");
    for (int i = 1; i < 256; ++i)
        name += Hex("42 00");
    const std::string file = kDefaultHeader + Hex("01 00") + kBookmarkClass + name +
                             Hex("FF FE FF 01 00 D8") + kHomeFields.substr(6) + Hex("00 00 00 00");
    CBrindleDoc doc;
    ASSERT_TRUE(Read(doc, file));
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "A" + std::string(255, 'B'));
    EXPECT_EQ(doc.Bookmarks()[0].m_strURL, "\xEF\xBF\xBD"); // U+FFFD
}

// --- Tags the writer never produces --------------------------------------------------------------

TEST(DocumentFile, NullElementsAndReferencesAreAcceptedAndAddNothing) {
    // Count 4: Home (counter 2), a null element, a reference to object 2, a big-tag reference.
    const std::string file = kDefaultHeader + Hex("04 00") + kBookmarkClass + kHomeFields +
                             Hex("00 00") + Hex("02 00") + Hex("FF 7F 02 00 00 00") +
                             Hex("00 00 00 00");
    CBrindleDoc doc;
    ASSERT_TRUE(Read(doc, file));
    EXPECT_EQ(doc.Bookmarks().size(), 1u);
}

TEST(DocumentFile, BigTagNewObjectIsRead) {
    const std::string file = kDefaultHeader + Hex("02 00") + kBookmarkClass + kHomeFields +
                             Hex("FF 7F 01 00 00 80") + kHomeFields + Hex("00 00 00 00");
    CBrindleDoc doc;
    ASSERT_TRUE(Read(doc, file));
    EXPECT_EQ(doc.Bookmarks().size(), 2u);
}

TEST(DocumentFile, BadTagsFail) {
    const std::string tails[] = {
        Hex("01 00") + Hex("03 00"),               // reference to nothing yet
        Hex("01 00") + Hex("01 80") + kHomeFields, // class tag for no class
        Hex("02 00") + kBookmarkClass + kHomeFields + Hex("02 80") + kHomeFields, // k = object
        Hex("02 00") + kBookmarkClass + kHomeFields + Hex("01 00"), // reference to a class
        Hex("01 00") + Hex("FF 7F FF FF FF FF"),                    // big class tag out of range
        Hex("01 00") + Hex("FF FF 01 00 04 00 43 46 6F 6F"),        // unknown class "CFoo"
        Hex("01 00") + Hex("FF FF 01 00 40 00") + std::string(64, 'C'), // name too long
        Hex("01 00") + kMacroClass + kMacroFields, // a macro among the bookmarks
        Hex("01 00") + Hex("FF FF 01 00 04 00 43 4B 65 79 03 6B 65 79"), // a CKey there
    };
    for (const std::string& tail : tails) {
        CBrindleDoc doc;
        const brindle::ArchiveResult r = Read(doc, kDefaultHeader + tail + Hex("00 00 00 00"));
        EXPECT_FALSE(r.ok) << ToHex(tail);
        EXPECT_EQ(r.message, "Unexpected file format.");
    }
}

TEST(DocumentFile, HugeCountsAndLengthsFailWithoutReserving) {
    const std::string tails[] = {
        Hex("FF FF FE FF FF FF"),                                          // 4 billion bookmarks
        Hex("FF FF FF FF FF FF"),                                          // a 64-bit count
        Hex("01 00") + kBookmarkClass + Hex("FF FF FF FF FF FF 7F"),       // 2 GiB name
        Hex("01 00") + kBookmarkClass + Hex("FF FE FF FF FF FF FF FF 7F"), // 16-bit, 4 GiB
        Hex("01 00") + kBookmarkClass + Hex("FF FF FF FF FF FF FF"),       // 64-bit length
    };
    for (const std::string& tail : tails) {
        CBrindleDoc doc;
        const brindle::ArchiveResult r = Read(doc, kDefaultHeader + tail);
        EXPECT_FALSE(r.ok) << ToHex(tail);
        EXPECT_EQ(r.message, "Unexpected file format.");
    }
}

// --- CKey ----------------------------------------------------------------------------------------

TEST(DocumentFile, KeyIsItsClassTagAndOneString) {
    CKey key;
    key.m_strKeyword = "web";
    key.m_arrBookmarkIndices = {1, 2, 3};
    brindle::ArchiveWriter out;
    out.WriteNewObjectTag(brindle::ArchiveClass::Key);
    key.Serialize(out);
    const std::string bytes = out.TakeBytes();
    EXPECT_EQ(ToHex(bytes), "FF FF 01 00 04 00 43 4B 65 79 03 77 65 62");

    brindle::ArchiveReader in(bytes);
    const auto element = in.ReadElement();
    EXPECT_EQ(element.kind, brindle::ArchiveReader::ElementKind::NewObject);
    EXPECT_EQ(element.cls, brindle::ArchiveClass::Key);
    CKey back;
    back.Serialize(in);
    EXPECT_EQ(back.m_strKeyword, "web");
    EXPECT_TRUE(back.m_arrBookmarkIndices.empty());
    EXPECT_EQ(in.Remaining(), 0u);
}

} // namespace

namespace {

std::string Fixture(const std::string& name) {
    return testutil::ReadFile(testutil::TestDataDir() + "/brx/" + name);
}

TEST(DocumentFile, WriterMatchesTheFixtureFiles) {
    using testutil::AsNewDocumentWritesIt;
    CBrindleDoc empty;
    EXPECT_EQ(Write(empty), AsNewDocumentWritesIt(Fixture("empty.brx")));
    CBrindleDoc home;
    AddHome(home);
    EXPECT_EQ(Write(home), AsNewDocumentWritesIt(Fixture("home.brx")));
    AddSearchMacro(home);
    AddWeekly(home);
    EXPECT_EQ(Write(home), AsNewDocumentWritesIt(Fixture("one_each.brx")));
    CBrindleDoc long255;
    ASSERT_TRUE(long255.AddBookmark({.name = std::string(255, 'a'),
                                     .url = "http://x/",
                                     .statusChecking = 1,
                                     .schedule = kNoSchedule,
                                     .status = kStatusWaiting}));
    EXPECT_EQ(Write(long255), AsNewDocumentWritesIt(Fixture("name255.brx")));
}

TEST(DocumentFile, ReaderOnlyFixture) {
    CBrindleDoc doc;
    ASSERT_TRUE(Read(doc, Fixture("tags_and_unicode.brx")));
    ASSERT_EQ(doc.Bookmarks().size(), 2u);
    EXPECT_EQ(doc.Bookmarks()[0].m_strName, "Caf\xC3\xA9");
    EXPECT_EQ(doc.Bookmarks()[1].m_strName, "Home");
}

} // namespace
