// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ArchiveText.h"
#include "store/BookmarkList.h"
#include "store/StringMatch.h"
#include "store/TextUtil.h"

#include <QChar>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace {

TEST(ToLower, AsciiUnicodeAndInvalidBytes) {
    EXPECT_EQ(brindle::ToLower("Hello WORLD 123"), "hello world 123");
    EXPECT_EQ(brindle::ToLower("\xc3\x89T\xc3\x89"), "\xc3\xa9t\xc3\xa9"); // ÉTÉ
    EXPECT_EQ(brindle::ToLower("\xd0\x9f\xd0\xA0"), "\xd0\xbf\xd1\x80");   // ПР
    EXPECT_EQ(brindle::ToLower("A\xff\xc3(B"), "a\xff\xc3(b");             // kept
    EXPECT_EQ(brindle::ToLower("\xed\xa0\x80X"), "\xed\xa0\x80x");         // surrogate
    EXPECT_EQ(brindle::ToLower("\xc0\xafZ"), "\xc0\xafz");                 // overlong
    EXPECT_EQ(brindle::ToLower(std::string("A\0B", 3)), std::string("a\0b", 3));
}

TEST(Utf8, WellFormedness) {
    EXPECT_TRUE(brindle::IsWellFormedUtf8(""));
    EXPECT_TRUE(brindle::IsWellFormedUtf8("plain ascii text, longer than eight bytes"));
    EXPECT_TRUE(brindle::IsWellFormedUtf8("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x96"));
    EXPECT_FALSE(brindle::IsWellFormedUtf8("\xc0\xaf"));         // overlong "/"
    EXPECT_FALSE(brindle::IsWellFormedUtf8("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(brindle::IsWellFormedUtf8("\xf4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(brindle::IsWellFormedUtf8("abc\xe2\x82"));      // cut short
    EXPECT_FALSE(brindle::IsWellFormedUtf8("eight ok\xff"));     // after a fast-path chunk
    char32_t cp = 0;
    EXPECT_EQ(brindle::DecodeUtf8At("a\xe2\x82\xac", 1, cp), 3u);
    EXPECT_EQ(cp, U'\u20ac');
    std::string out;
    brindle::AppendUtf8(out, U'\U0001F516');
    EXPECT_EQ(out, "\xf0\x9f\x94\x96");
}

TEST(Utf8, CutsNeverSplitACharacter) {
    using brindle::Utf8PrefixLength;
    const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x94\x96"; // a é € 🔖: 1+2+3+4 bytes
    EXPECT_EQ(Utf8PrefixLength(text, 100), text.size());
    EXPECT_EQ(Utf8PrefixLength(text, text.size()), text.size());
    // Every cut inside a character steps back to its start; a cut between two stays.
    const std::size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6};
    for (std::size_t max = 0; max < text.size(); ++max)
        EXPECT_EQ(Utf8PrefixLength(text, max), expected[max]) << max;
    // Stray continuation bytes at the start leave nothing rather than a broken character.
    EXPECT_EQ(Utf8PrefixLength("\x80\x80\x80\x80", 2), 0u);

    std::string s = "ab\xe2\x82\xac";
    brindle::TruncateUtf8(s, 4);
    EXPECT_EQ(s, "ab");
}

TEST(Windows1252, HighBytesAndTheFiveUnassignedOnes) {
    EXPECT_EQ(brindle::Windows1252ToUtf8("caf\xe9 \x80 \x93q\x94 \x9f"),
              "caf\xc3\xa9 \xe2\x82\xac \xe2\x80\x9cq\xe2\x80\x9d \xc5\xb8");
    // 0x81, 0x8D, 0x8F, 0x90 and 0x9D keep their C1 control value: nothing is lost.
    EXPECT_EQ(brindle::Windows1252ToUtf8("\x81\x8d\x8f\x90\x9d"),
              "\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d");
    for (int b = 0; b < 256; ++b) {
        const char32_t cp = brindle::Windows1252CodePoint(static_cast<unsigned char>(b));
        if (b < 0x80 || b >= 0xA0)
            EXPECT_EQ(cp, static_cast<char32_t>(b)) << b; // ASCII and the Latin-1 half
        else
            EXPECT_GE(cp, 0x80u) << b;
    }
}

TEST(Windows1252, TheTableAgreesWithIcuWhereQtHasIt) {
    QStringDecoder icu("windows-1252");
    if (!icu.isValid())
        GTEST_SKIP() << "Qt was built without ICU";
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const QString decoded = icu.decode(QByteArrayView(&byte, 1));
        EXPECT_EQ(brindle::Windows1252ToUtf8(std::string_view(&byte, 1)), decoded.toStdString())
            << "byte " << b;
    }
}

std::string Utf16LE(std::u16string_view units) {
    std::string bytes;
    for (const char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

// The fast conversion into a buffer of exactly the promised room.
std::string FastUtf8(const std::string& bytes) {
    const std::size_t units = bytes.size() / 2;
    const std::unique_ptr<char[]> out(new char[brindle::Utf8BytesFor(units) + 1]);
    return std::string(out.get(), brindle::Utf16LEToUtf8(bytes.data(), units, out.get()));
}

TEST(Utf16, PairsLoneSurrogatesAndAsciiRuns) {
    EXPECT_EQ(FastUtf8(Utf16LE(u"caf\u00e9 \u20ac \U0001F516")),
              "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x96");
    // A lone surrogate becomes U+FFFD; a high one before another high one too.
    const std::u16string hostile = {u'a', 0xDC00, u'b', 0xD800, 0xD800, 0xDC00, u'c', 0xD800};
    EXPECT_EQ(FastUtf8(Utf16LE(hostile)), "a\xef\xbf\xbd"
                                          "b\xef\xbf\xbd\xf0\x90\x80\x80"
                                          "c\xef\xbf\xbd");
    // Long enough for the eight-unit blocks, with the pair split across two of them.
    const std::u16string split = u"0123456\U0001F516 and then a run of plain ASCII";
    EXPECT_EQ(FastUtf8(Utf16LE(split)), "0123456\xf0\x9f\x94\x96 and then a run of plain ASCII");
}

// Random units drawn towards what trips the blocks of eight (ASCII runs broken at any place,
// the 1-, 2- and 3-byte limits, surrogates paired, lone and cut off at the end): the fast
// conversion gives the plain one's bytes and is ASCII exactly when it keeps one byte a unit.
TEST(Utf16, FastConversionMatchesTheReference) {
    const char16_t edges[] = {0x00,   0x7F,   0x80,   0xFF,   0x100,  0x7FF,  0x800,
                              0xD7FF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFF};
    std::mt19937 rng(20261209);
    for (int round = 0; round < 20000; ++round) {
        std::u16string units(rng() % 48, u'\0');
        const unsigned otherShare = rng() % 8; // 0: all ASCII ... 7: mostly not
        for (char16_t& u : units) {
            if (rng() % 8 >= otherShare)
                u = static_cast<char16_t>(rng() % 0x80);
            else if (rng() % 2)
                u = edges[rng() % std::size(edges)];
            else
                u = static_cast<char16_t>(rng());
        }
        const std::string bytes = Utf16LE(units);
        const std::string expected = brindle::Utf16LEToUtf8Reference(bytes.data(), units.size());
        const std::string fast = FastUtf8(bytes);
        ASSERT_EQ(fast, expected) << "round " << round;
        ASSERT_EQ(fast.size() == units.size(), brindle::IsAscii(fast)) << "round " << round;
        ASSERT_TRUE(brindle::IsWellFormedUtf8(fast)) << "round " << round;
    }
}

// The writer's direction, whose ASCII runs go sixteen bytes at a time: valid UTF-8 comes back
// unchanged through the plain conversion; a stray byte is read as Windows-1252.
TEST(Utf16, WriterConversionRoundTrips) {
    std::mt19937 rng(20261210);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int pieces = static_cast<int>(rng() % 12);
        for (int k = 0; k < pieces; ++k) {
            if (rng() % 2) {
                text.append(rng() % 40, static_cast<char>('a' + rng() % 26));
            } else {
                char32_t cp;
                do
                    cp = static_cast<char32_t>(0x80 + rng() % 0x10FF80);
                while (cp >= 0xD800 && cp <= 0xDFFF);
                brindle::AppendUtf8(text, cp);
            }
        }
        std::string units;
        const std::size_t n = brindle::AppendUtf16LE(text, units);
        ASSERT_EQ(units.size(), 2 * n);
        ASSERT_EQ(brindle::Utf16LEToUtf8Reference(units.data(), n), text) << "round " << round;
    }
    std::string units;
    brindle::AppendUtf16LE(std::string(20, 'x') + "\x80" + std::string(20, 'y'), units);
    EXPECT_EQ(brindle::Utf16LEToUtf8Reference(units.data(), units.size() / 2),
              std::string(20, 'x') + "\xe2\x82\xac" + std::string(20, 'y'));
}

// The record flag for texts whose lower case has ASCII that the text lacks relies on the case
// mapping having just one such character; a newer table with more must fail here.
TEST(TextFlags, CharactersThatLowerCaseIntoAscii) {
    std::vector<char32_t> intoAscii;
    for (char32_t cp = 0x80; cp <= 0x10FFFF; ++cp)
        if (QChar::toLower(cp) < 0x80)
            intoAscii.push_back(cp);
    EXPECT_EQ(intoAscii, (std::vector<char32_t>{0x212A}));

    using brindle::BookmarkList;
    using brindle::BookmarkRecord;
    EXPECT_EQ(BookmarkList::TextFlags("plain"), 0);
    EXPECT_EQ(BookmarkList::TextFlags("caf\xc3\xa9 \xc4\xb1"), BookmarkRecord::kNonAscii); // é ı
    const std::uint16_t both = BookmarkRecord::kNonAscii | BookmarkRecord::kFoldsToAscii;
    EXPECT_EQ(BookmarkList::TextFlags("\xe2\x84\xaa"
                                      "elvin"),
              both);
    EXPECT_EQ(BookmarkList::TextFlags("\xff\xe2\x84\xaa"), both); // after a stray byte
    EXPECT_EQ(BookmarkList::TextFlags("\xc4\xb0stanbul"), BookmarkRecord::kNonAscii); // İ stays
}

// Words of every length around the eight-byte steps of the hash, many enough to make the table
// grow several times: each keeps its first id, and different words never share one.
TEST(WordTable, InternsEachWordOnce) {
    brindle::WordTable table;
    std::vector<std::string> words;
    for (int i = 0; i < 5000; ++i) {
        std::string w(static_cast<std::size_t>(i % 19), 'a');
        w += std::to_string(i);
        words.push_back(w);
        ASSERT_EQ(table.Intern(w), static_cast<std::uint32_t>(i));
    }
    EXPECT_EQ(table.Intern(""), 5000u);
    for (int i = 4999; i >= 0; --i)
        ASSERT_EQ(table.Intern(std::string(words[static_cast<std::size_t>(i)])),
                  static_cast<std::uint32_t>(i));
    EXPECT_EQ(table.Count(), 5001u);
    EXPECT_EQ(table.Word(1234), words[1234]);
}

TEST(Trim, OnlyAsciiBlanks) {
    EXPECT_EQ(brindle::Trim(" \t\r\n a b \v\f"), "a b");
    EXPECT_EQ(brindle::Trim("   "), "");
    EXPECT_EQ(brindle::Trim("\xc2\xa0x"), "\xc2\xa0x");
}

TEST(StringMatcher, FindsAcrossModes) {
    const brindle::StringMatcher folded("PROG", false);
    EXPECT_TRUE(folded.Matches("Java Programming"));
    EXPECT_FALSE(folded.Matches("Java Prg"));
    EXPECT_EQ(folded.Find("xxProGxxprog", 3), 8u);
    const brindle::StringMatcher exact("Prog", true);
    EXPECT_TRUE(exact.Matches("Java Programming"));
    EXPECT_FALSE(exact.Matches("java programming"));
    const brindle::StringMatcher unicode("\xc3\x89", false);
    EXPECT_TRUE(unicode.Matches("caf\xc3\xa9"));
    EXPECT_FALSE(unicode.ScansRaw());
    const brindle::StringMatcher empty("", false);
    EXPECT_TRUE(empty.Matches(""));
    const brindle::StringMatcher longer("abcdef", false);
    EXPECT_FALSE(longer.Matches("abc"));
}

} // namespace
