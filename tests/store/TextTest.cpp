#include "store/StringMatch.h"
#include "store/TextUtil.h"

#include <gtest/gtest.h>

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
