// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/TimeFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Runs the body with TZ set, then restores the previous zone.
class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old, m_had = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::string m_old;
    bool m_had = false;
};

constexpr BrxTime k19990704_180509 = 931111509; // 1999-07-04 18:05:09 UTC

std::string Show(BrxTime t, const char* format) {
    return brindle::FormatTime(t, brindle::ExpandTimeFormat(format));
}

TEST(TimeFormat, ExpandsEachLetterOnce) {
    EXPECT_EQ(brindle::ExpandTimeFormat("Y-m-D H:M:S A"), "%Y-%m-%d %H:%M:%S %p");
    EXPECT_EQ(brindle::ExpandTimeFormat("y I"), "%y %I");
    EXPECT_EQ(brindle::ExpandTimeFormat("at: x"), "at: x");
}

TEST(TimeFormat, DefaultAndShortFormats) {
    ZoneGuard zone("UTC");
    EXPECT_EQ(Show(k19990704_180509, brindle::kDefaultTimeFormat), "1999-07-04 18:05:09");
    EXPECT_EQ(Show(k19990704_180509, "Y-m-D H:M:S A"), "1999-07-04 18:05:09 PM");
    EXPECT_EQ(Show(k19990704_180509, "D.m.y"), "04.07.99");
    EXPECT_EQ(Show(k19990704_180509, "Y"), "1999");
    EXPECT_EQ(Show(k19990704_180509, "I A"), "06 PM");
    EXPECT_EQ(Show(k19990704_180509, ""), "");
}

TEST(TimeFormat, TooLongResultIsEmpty) {
    ZoneGuard zone("UTC");
    const std::string longFormat(64, 'Y'); // 64 four-digit years: 256 characters
    EXPECT_EQ(Show(k19990704_180509, longFormat.c_str()), "");
    const std::string fits(31, 'Y'); // 124 characters
    EXPECT_EQ(Show(k19990704_180509, fits.c_str()).size(), 124u);
}

TEST(TimeFormat, ZeroDependsOnTheZone) {
    {
        ZoneGuard zone("America/New_York");
        EXPECT_EQ(Show(0, brindle::kDefaultTimeFormat), "");
    }
    {
        ZoneGuard zone("Asia/Tokyo");
        EXPECT_EQ(Show(0, "Y-m-D H"), "1970-01-01 09");
    }
}

TEST(TimeFormat, DatesAfter2038AndNegativeValues) {
    ZoneGuard zone("UTC");
    EXPECT_EQ(Show(4102444800LL, "Y-m-D"), "2100-01-01");
    EXPECT_EQ(Show(-5, "Y"), "");
}

TEST(TimeFormat, LocaleDoesNotChangeAmPm) {
    ZoneGuard zone("UTC");
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(Show(k19990704_180509 - 12 * 3600, "A"), "AM");
    std::setlocale(LC_ALL, "C");
}

} // namespace
