// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule interval codec in several time zones, one with daylight saving in 1970.

#include "status/ScheduleCodec.h"
#include "store/BrindleDoc.h"
#include "store/DocumentArchive.h"
#include "store/Schedule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

using brindle::DecodeScheduleInterval;
using brindle::EncodeScheduleInterval;
using brindle::ScheduleBase;
using brindle::ScheduleDetailText;
using brindle::ScheduleUnit;

namespace {

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

  private:
    std::optional<std::string> m_old;
};

class ScheduleCodecInZone : public ::testing::TestWithParam<const char*> {
  protected:
    ScopedTimeZone zone{GetParam()};
};

void ExpectCase(ScheduleUnit unit, int number, const std::string& detail, ScheduleUnit editUnit,
                int editNumber) {
    const BrxTime value = EncodeScheduleInterval(unit, number);
    EXPECT_EQ(ScheduleDetailText(value), detail)
        << brindle::ScheduleUnitName(unit) << " " << number;
    const auto decoded = DecodeScheduleInterval(value);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->unit, editUnit) << brindle::ScheduleUnitName(unit) << " " << number;
    EXPECT_EQ(decoded->number, editNumber) << brindle::ScheduleUnitName(unit) << " " << number;
    // Whatever the editor shows encodes back to the same value.
    EXPECT_EQ(EncodeScheduleInterval(decoded->unit, decoded->number), value);
}

TEST_P(ScheduleCodecInZone, ThePartsCases) {
    const BrxTime base = ScheduleBase();
    EXPECT_EQ(EncodeScheduleInterval(ScheduleUnit::Hours, 36), base + 86400 + 12 * 3600);
    ExpectCase(ScheduleUnit::Hours, 36, "1 Days 12 Hours ", ScheduleUnit::Hours, 36);
    ExpectCase(ScheduleUnit::Days, 14, "2 Weeks ", ScheduleUnit::Weeks, 2);
    ExpectCase(ScheduleUnit::Months, 13, "1 Years 1 Months ", ScheduleUnit::Months, 13);
}

TEST_P(ScheduleCodecInZone, EveryUnit) {
    ExpectCase(ScheduleUnit::Hours, 5, "5 Hours ", ScheduleUnit::Hours, 5);
    ExpectCase(ScheduleUnit::Hours, 24, "1 Days ", ScheduleUnit::Days, 1);
    ExpectCase(ScheduleUnit::Days, 3, "3 Days ", ScheduleUnit::Days, 3);
    ExpectCase(ScheduleUnit::Days, 7, "1 Weeks ", ScheduleUnit::Weeks, 1);
    ExpectCase(ScheduleUnit::Weeks, 3, "3 Weeks ", ScheduleUnit::Weeks, 3);
    ExpectCase(ScheduleUnit::Weeks, 5, "1 Months 4 Days ", ScheduleUnit::Days, 35);
    ExpectCase(ScheduleUnit::Months, 5, "5 Months ", ScheduleUnit::Months, 5);
    ExpectCase(ScheduleUnit::Months, 12, "1 Years ", ScheduleUnit::Years, 1);
    ExpectCase(ScheduleUnit::Years, 2, "2 Years ", ScheduleUnit::Years, 2);
    ExpectCase(ScheduleUnit::Years, 100, "100 Years ", ScheduleUnit::Years, 100);
    // The base itself: "0 Weeks ", edited as 0 days.
    EXPECT_EQ(ScheduleDetailText(ScheduleBase()), "0 Weeks ");
    EXPECT_EQ(DecodeScheduleInterval(ScheduleBase())->unit, ScheduleUnit::Days);
    EXPECT_EQ(DecodeScheduleInterval(ScheduleBase())->number, 0);
}

TEST_P(ScheduleCodecInZone, NoIntervalAndTheDefaultSchedule) {
    EXPECT_EQ(ScheduleDetailText(-1), "");
    EXPECT_FALSE(DecodeScheduleInterval(-1).has_value());
    const CSchedule weekly("Weekly", EncodeScheduleInterval(ScheduleUnit::Days, 14), true);
    EXPECT_EQ(brindle::ScheduleListDetail(weekly), "default   2 Weeks ");
    const CSchedule none("None", -1, true);
    EXPECT_EQ(brindle::ScheduleListDetail(none), "default   ");
    const CSchedule plain("Plain", EncodeScheduleInterval(ScheduleUnit::Hours, 36), false);
    EXPECT_EQ(brindle::ScheduleListDetail(plain), "1 Days 12 Hours ");
}

TEST_P(ScheduleCodecInZone, EachUnitStopsWhereTheStoredFieldEndsAndItsMaximumRoundTrips) {
    struct Limit {
        ScheduleUnit unit;
        int most;
    };
    for (const Limit limit : {Limit{ScheduleUnit::Hours, 32767}, Limit{ScheduleUnit::Days, 32767},
                              Limit{ScheduleUnit::Weeks, 7101}, Limit{ScheduleUnit::Months, 1633},
                              Limit{ScheduleUnit::Years, 136}}) {
        const char* name = brindle::ScheduleUnitName(limit.unit);
        EXPECT_EQ(brindle::MaxScheduleNumber(limit.unit), limit.most) << name;
        if (limit.most < brindle::kMaxScheduleNumber) {
            EXPECT_GT(EncodeScheduleInterval(limit.unit, limit.most + 1), kMaxStoredInterval)
                << name;
        }
        // Through the document file and back into the editor.
        CBrindleDoc doc;
        doc.AddSchedule("Longest", EncodeScheduleInterval(limit.unit, limit.most), false);
        CBrindleDoc read;
        ASSERT_TRUE(brindle::ReadDocumentBytes(read, brindle::DocumentToBytes(doc)).ok);
        ASSERT_EQ(read.Schedules().size(), 1u);
        const BrxTime stored = read.Schedules()[0].m_tInterval;
        EXPECT_EQ(stored, EncodeScheduleInterval(limit.unit, limit.most)) << name;
        const auto decoded = DecodeScheduleInterval(stored);
        ASSERT_TRUE(decoded.has_value()) << name;
        EXPECT_EQ(decoded->unit, limit.unit) << name;
        EXPECT_EQ(decoded->number, limit.most) << name;
    }
}

TEST_P(ScheduleCodecInZone, AValueThatDoesNotFitIsRefusedNotShownWrapped) {
    // 200 Years as an earlier build stored it: cut to 32 bits, read back as unsigned.
    const BrxTime wrapped = EncodeScheduleInterval(ScheduleUnit::Years, 200) & 0xFFFFFFFF;
    EXPECT_FALSE(DecodeScheduleInterval(wrapped).has_value());
    EXPECT_EQ(ScheduleDetailText(wrapped), "?");
    // Hours before the base, and a number of days far beyond the box.
    EXPECT_FALSE(DecodeScheduleInterval(ScheduleBase() - 5 * 3600).has_value());
    EXPECT_FALSE(DecodeScheduleInterval(ScheduleBase() + 40000LL * 86400 + 3600).has_value());
}

INSTANTIATE_TEST_SUITE_P(Zones, ScheduleCodecInZone,
                         ::testing::Values("UTC", "America/New_York", "Asia/Tokyo", "Europe/Berlin",
                                           "Pacific/Kiritimati"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '/')
                                     c = '_';
                             return name;
                         });

TEST(ScheduleCodec, BaseIsEightOClockLocal) {
    {
        ScopedTimeZone zone("UTC");
        EXPECT_EQ(ScheduleBase(), 8 * 3600);
    }
    {
        ScopedTimeZone zone("America/New_York");
        EXPECT_EQ(ScheduleBase(), 13 * 3600);
    }
    {
        ScopedTimeZone zone("Asia/Tokyo");
        EXPECT_EQ(ScheduleBase(), -3600);
    }
    {
        ScopedTimeZone zone("Pacific/Kiritimati"); // UTC-10:40 in 1970
        EXPECT_EQ(ScheduleBase(), 8 * 3600 + 10 * 3600 + 40 * 60);
    }
}

TEST(ScheduleCodec, DaylightSavingShiftsSecondCountedUnits) {
    // New York kept daylight saving time from 26 April 1970: 120 days after the base is
    // 1 May 09:00 local. The interval's seconds arithmetic keeps that hour, so the editor shows the
    // interval in hours, which encode back to the same value.
    ScopedTimeZone zone("America/New_York");
    const BrxTime value = EncodeScheduleInterval(ScheduleUnit::Days, 120);
    EXPECT_EQ(ScheduleDetailText(value), "4 Months 1 Hours ");
    const auto decoded = DecodeScheduleInterval(value);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->unit, ScheduleUnit::Hours);
    EXPECT_EQ(decoded->number, 2880);
    EXPECT_EQ(EncodeScheduleInterval(decoded->unit, decoded->number), value);
    // Months are local dates: June is at 08:00 in spite of daylight saving.
    ExpectCase(ScheduleUnit::Months, 5, "5 Months ", ScheduleUnit::Months, 5);
    {
        ScopedTimeZone utc("UTC");
        EXPECT_EQ(ScheduleDetailText(EncodeScheduleInterval(ScheduleUnit::Days, 120)), "4 Months ");
    }
}

TEST(ScheduleCodec, UnitNames) {
    EXPECT_STREQ(brindle::ScheduleUnitName(ScheduleUnit::Hours), "Hours");
    EXPECT_STREQ(brindle::ScheduleUnitName(ScheduleUnit::Years), "Years");
    EXPECT_EQ(brindle::ScheduleUnitFromName("Weeks"), ScheduleUnit::Weeks);
    EXPECT_FALSE(brindle::ScheduleUnitFromName("weeks").has_value());
}

} // namespace
