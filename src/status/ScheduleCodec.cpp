// SPDX-License-Identifier: GPL-3.0-or-later
#include "status/ScheduleCodec.h"

#include "store/Schedule.h"

#include <ctime>

namespace brindle {

namespace {

constexpr BrxTime kHour = 3600;
constexpr BrxTime kDay = 86400;
constexpr BrxTime kWeek = 604800;
constexpr int kBaseYear = 1970;
constexpr int kBaseHour = 8;

BrxTime LocalDate(long long year, int month0, int day, int hour) {
    std::tm tm{};
    tm.tm_year = static_cast<int>(year - 1900);
    tm.tm_mon = month0;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1; // daylight saving detection left to the runtime
    return static_cast<BrxTime>(std::mktime(&tm));
}

struct LocalParts {
    long long year;
    int month0; // 0 = January
    int day;
    int hour;
};

std::optional<LocalParts> Breakdown(BrxTime value) {
    const auto t = static_cast<std::time_t>(value);
    std::tm tm{};
    if (!::localtime_r(&t, &tm))
        return std::nullopt;
    return LocalParts{1900LL + tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour};
}

} // namespace

const char* ScheduleUnitName(ScheduleUnit unit) {
    switch (unit) {
    case ScheduleUnit::Hours:
        return "Hours";
    case ScheduleUnit::Days:
        return "Days";
    case ScheduleUnit::Weeks:
        return "Weeks";
    case ScheduleUnit::Months:
        return "Months";
    case ScheduleUnit::Years:
        return "Years";
    }
    return "";
}

std::optional<ScheduleUnit> ScheduleUnitFromName(std::string_view name) {
    for (ScheduleUnit u : {ScheduleUnit::Hours, ScheduleUnit::Days, ScheduleUnit::Weeks,
                           ScheduleUnit::Months, ScheduleUnit::Years})
        if (name == ScheduleUnitName(u))
            return u;
    return std::nullopt;
}

BrxTime ScheduleBase() {
    return LocalDate(kBaseYear, 0, 1, kBaseHour);
}

BrxTime EncodeScheduleInterval(ScheduleUnit unit, int number) {
    const BrxTime n = number;
    switch (unit) {
    case ScheduleUnit::Hours:
        return ScheduleBase() + (n % 24) * kHour + (n / 24) * kDay;
    case ScheduleUnit::Days:
        return ScheduleBase() + n * kDay;
    case ScheduleUnit::Weeks:
        return ScheduleBase() + n * kWeek;
    case ScheduleUnit::Months:
        return LocalDate(kBaseYear + number / 12, number % 12, 1, kBaseHour);
    case ScheduleUnit::Years:
        return LocalDate(kBaseYear + static_cast<long long>(number), 0, 1, kBaseHour);
    }
    return kNoInterval;
}

int MaxScheduleNumber(ScheduleUnit unit) {
    // The encoding grows with the number: the largest that fits is found by halving.
    int low = 0;
    int high = kMaxScheduleNumber;
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (EncodeScheduleInterval(unit, mid) <= kMaxStoredInterval)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

namespace {

struct Decoded {
    ScheduleUnit unit;
    long long number;
};

// The unit and number of the classic decoding rules, whatever their size.
std::optional<Decoded> DecodeByRules(BrxTime value) {
    const std::optional<LocalParts> p = Breakdown(value);
    if (!p)
        return std::nullopt;
    const BrxTime base = ScheduleBase();
    if (p->hour != kBaseHour)
        return Decoded{ScheduleUnit::Hours, (value - base) / kHour};
    if (p->day == 1) {
        const long long years = p->year - kBaseYear;
        if (p->month0 != 0)
            return Decoded{ScheduleUnit::Months, p->month0 + 12 * years};
        if (years == 0)
            return Decoded{ScheduleUnit::Days, 0};
        return Decoded{ScheduleUnit::Years, years};
    }
    if (p->month0 == 0 && p->year == kBaseYear && (p->day - 1) % 7 == 0)
        return Decoded{ScheduleUnit::Weeks, (p->day - 1) / 7};
    return Decoded{ScheduleUnit::Days, (value - base) / kDay};
}

bool InBox(const Decoded& d) {
    // 0 Days is the base itself, which the editor shows as 1.
    return (d.number >= kMinScheduleNumber || (d.number == 0 && d.unit == ScheduleUnit::Days)) &&
           d.number <= MaxScheduleNumber(d.unit);
}

} // namespace

std::optional<ScheduleInterval> DecodeScheduleInterval(BrxTime value) {
    if (value == kNoInterval || value < kMinStoredInterval || value > kMaxStoredInterval)
        return std::nullopt;
    const std::optional<Decoded> d = DecodeByRules(value);
    if (!d)
        return std::nullopt;
    Decoded shown = *d;
    if (!InBox(shown)) {
        // Too many hours for the box may be whole days, too many days whole weeks: shown so
        // when that encodes the same value.
        if (shown.unit == ScheduleUnit::Hours && shown.number % 24 == 0)
            shown = Decoded{ScheduleUnit::Days, shown.number / 24};
        if (!InBox(shown) && shown.unit == ScheduleUnit::Days && shown.number % 7 == 0)
            shown = Decoded{ScheduleUnit::Weeks, shown.number / 7};
        if (!InBox(shown) ||
            EncodeScheduleInterval(shown.unit, static_cast<int>(shown.number)) != value)
            return std::nullopt;
    }
    return ScheduleInterval{shown.unit, static_cast<int>(shown.number)};
}

std::string ScheduleDetailText(BrxTime value) {
    if (value == kNoInterval)
        return {};
    if (!DecodeScheduleInterval(value))
        return "?";
    const std::optional<LocalParts> p = Breakdown(value);
    if (!p)
        return {};
    if (p->year == kBaseYear && p->month0 == 0 && (p->day - 1) % 7 == 0 && p->hour == kBaseHour)
        return std::to_string((p->day - 1) / 7) + " Weeks ";
    std::string text;
    if (p->year != kBaseYear)
        text += std::to_string(p->year - kBaseYear) + " Years ";
    if (p->month0 != 0)
        text += std::to_string(p->month0) + " Months ";
    if (p->day != 1)
        text += std::to_string(p->day - 1) + " Days ";
    if (p->hour != kBaseHour)
        text += std::to_string(p->hour - kBaseHour) + " Hours ";
    return text;
}

std::string ScheduleListDetail(const CSchedule& schedule) {
    std::string detail = ScheduleDetailText(schedule.m_tInterval);
    return schedule.m_bDefault ? "default   " + detail : detail;
}

} // namespace brindle
