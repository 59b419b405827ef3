// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ClipboardRecords.h"
#include "store/Bookmark.h"
#include "store/Macro.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::uint32_t U32At(const std::string& block, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(block[at + i]);
    return v;
}

TEST(BookmarkRecord, FieldsSitAtTheirOffsets) {
    CBookmark b("Home", "http://h/", "web tools", "Desc", "Note", 1, "<None>", "Waiting", 933279936,
                2, 0x7FFFFFFF, 0xFFFFFFFFLL);
    std::string block;
    brindle::AppendBookmarkRecord(block, b);
    ASSERT_EQ(block.size(), 4308u);
    EXPECT_EQ(std::string(block.data(), 5), std::string("Home\0", 5));
    EXPECT_EQ(block.substr(255, 9), "http://h/");
    EXPECT_EQ(block[264], '\0');
    EXPECT_EQ(block.substr(1255, 9), "web tools");
    EXPECT_EQ(block.substr(2255, 4), "Desc");
    EXPECT_EQ(block.substr(3255, 4), "Note");
    EXPECT_EQ(block[4255], '\0');
    EXPECT_EQ(U32At(block, 4256), 1u);
    EXPECT_EQ(block.substr(4260, 6), "<None>");
    EXPECT_EQ(block.substr(4270, 7), "Waiting");
    EXPECT_EQ(U32At(block, 4292), 933279936u);
    EXPECT_EQ(U32At(block, 4296), 2u);
    EXPECT_EQ(U32At(block, 4300), 0x7FFFFFFFu);
    EXPECT_EQ(U32At(block, 4304), 0xFFFFFFFFu);
    // Everything else is zero.
    EXPECT_EQ(block.find_first_not_of('\0', 5), 255u);
    EXPECT_EQ(block.find_first_not_of('\0', 1264), 2255u);
}

TEST(BookmarkRecord, LongTextsAreCutToTheFieldLessOneByte) {
    CBookmark b(std::string(300, 'n'), "u", "", "", "", 0, "LongSchedule", "Server address unknown",
                0, 0, 0, 0);
    std::string block;
    brindle::AppendBookmarkRecord(block, b);
    const auto back = brindle::ReadBookmarkRecords(block);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].m_strName, std::string(254, 'n'));
    EXPECT_EQ(back[0].m_strSchedule, "LongSched");
    EXPECT_EQ(back[0].m_strStatus, "Server address unknow");
    EXPECT_EQ(back[0].m_wStatusChecking, 0);
}

TEST(BookmarkRecord, CutNeverSplitsACharacter) {
    // 253 ASCII bytes then "é" (2 bytes): 255 bytes, one too many for the name field.
    CBookmark b(std::string(253, 'a') + "\xc3\xa9", "", "", "", "", 1, "", "", 0, 0, 0, 0);
    std::string block;
    brindle::AppendBookmarkRecord(block, b);
    EXPECT_EQ(brindle::ReadBookmarkRecords(block)[0].m_strName, std::string(253, 'a'));
}

TEST(BookmarkRecord, RoundTripOfSeveralAndPartialTail) {
    std::string block;
    for (int i = 0; i < 3; ++i) {
        // Appended, not "n" + std::to_string(i): GCC 12 warns (-Wrestrict) on that in Release.
        const std::string name = std::string("n").append(std::to_string(i));
        brindle::AppendBookmarkRecord(
            block, CBookmark(name, "u", "k", "d", "t", 1, "s", "Changed", 100 + i, 200, 300, 400));
    }
    block.append(100, 'x'); // not a whole record
    const auto back = brindle::ReadBookmarkRecords(block);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[2].m_strName, "n2");
    EXPECT_EQ(back[2].m_tAddDate, 102);
    EXPECT_EQ(back[2].m_tLastChecked, 400);
    EXPECT_EQ(back[2].m_strKeywords, "k");
    EXPECT_TRUE(brindle::ReadBookmarkRecords(std::string(4307, 'a')).empty());
}

TEST(BookmarkRecord, UnterminatedFieldsReadToTheirEnd) {
    std::string block(4308, 'z');
    const auto back = brindle::ReadBookmarkRecords(block);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].m_strName.size(), 255u);
    EXPECT_EQ(back[0].m_strStatus.size(), 22u);
}

} // namespace

namespace {

TEST(MacroRecords, LayoutAndRoundTrip) {
    CMacro url(kMacroUrl, "Site", "http://site/", (2u << 16) | 0x41);
    CMacro search = CMacro::StringSearch("Find", "needle", 0x41, true, 0);
    search.m_strName = std::string(300, 'n'); // longer than its field
    std::string block;
    brindle::AppendMacroRecord(block, url);
    brindle::AppendMacroRecord(block, search);
    ASSERT_EQ(block.size(), 2 * brindle::kMacroRecordSize);
    EXPECT_EQ(block.substr(0, 5), std::string("Site\0", 5));
    EXPECT_EQ(block.substr(255, 13), std::string("http://site/\0", 13));
    EXPECT_EQ(block.substr(1776, 8), std::string("\x01\0\0\0\x41\0\x02\0", 8));
    const std::string second = block.substr(1784);
    EXPECT_EQ(second[254], '\0'); // the name is cut to 254 bytes and its zero
    EXPECT_EQ(second.substr(1510, 7), std::string("needle\0", 7));
    EXPECT_EQ(second.substr(1768, 16), std::string("\x41\0\0\0\x01\0\0\0\x03\0\0\0\0\0\0\0", 16));

    block += "partial";
    const std::vector<CMacro> back = brindle::ReadMacroRecords(block);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].m_strName, "Site");
    EXPECT_EQ(back[0].m_strURL, "http://site/");
    EXPECT_EQ(back[0].m_nKind, kMacroUrl);
    EXPECT_EQ(back[0].m_dwHotKey, (2u << 16) | 0x41);
    EXPECT_EQ(back[1].m_strName, std::string(254, 'n'));
    EXPECT_EQ(back[1].m_strSearch, "needle");
    EXPECT_EQ(back[1].m_dwFields, 0x41u);
    EXPECT_EQ(back[1].m_bMatchCase, 1);
    EXPECT_EQ(back[1].m_nKind, kMacroString);
}

} // namespace
