#include "platform/local_time.h"

#include <cstdio>
#include <ctime>

namespace vellamark {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// 1 January 1601 and 31 December 9999 23:59:59, in seconds since 1970.
constexpr std::int64_t kEarliest = -11644473600;
constexpr std::int64_t kLatest = 253402300799;

// The proleptic Gregorian date of a day count since 1970 (H. Hinnant's civil_from_days).
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

std::optional<CivilTime> UtcCivilTime(std::int64_t unixSeconds) {
    if (unixSeconds < kEarliest || unixSeconds > kLatest) {
        return std::nullopt;
    }
    std::int64_t days = unixSeconds / kSecondsPerDay;
    std::int64_t rest = unixSeconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    CivilTime t;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    // 1 January 1970 was a Thursday.
    t.weekday = static_cast<int>(((days % 7) + 7 + 4) % 7);
    return t;
}

std::string UtcStampNow() {
    const auto now = UtcCivilTime(static_cast<std::int64_t>(std::time(nullptr)));
    char text[32] = "unknown-time";
    if (now) {
        std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02dZ", now->year, now->month,
                      now->day, now->hour, now->minute, now->second);
    }
    return text;
}

}  // namespace vellamark
