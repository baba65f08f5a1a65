#include <windows.h>

#include "platform/local_time.h"
#include "platform/text.h"

namespace vellamark {
namespace {

// Seconds from 1 January 1601 (the file-time epoch) to 1 January 1970.
constexpr std::int64_t kEpochDifference = 11644473600;

CivilTime FromSystemTime(const SYSTEMTIME& t) {
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wDayOfWeek};
}

}  // namespace

// Through the file-time calls rather than the C runtime, whose localtime_s knows no moment
// before 1970: a program file may well carry an older date.
std::optional<CivilTime> LocalCivilTime(std::int64_t unixSeconds) {
    if (!UtcCivilTime(unixSeconds)) {
        return std::nullopt;
    }
    const auto ticks = static_cast<std::uint64_t>(unixSeconds + kEpochDifference) * 10000000ULL;
    FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utcParts{};
    SYSTEMTIME localParts{};
    if (!::FileTimeToSystemTime(&utc, &utcParts) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &localParts)) {
        return std::nullopt;
    }
    return FromSystemTime(localParts);
}

CivilTime LocalNow() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return FromSystemTime(now);
}

DateNames UserDateNames() {
    DateNames names;
    auto name = [](LCTYPE type, std::string& into) {
        wchar_t text[128];
        const int size = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 128);
        if (size > 1) {
            into = Utf8FromWide(std::wstring_view(text, static_cast<std::size_t>(size - 1)));
        }
    };
    // LOCALE_SDAYNAME1 is Monday.
    for (int day = 0; day < 7; ++day) {
        name(static_cast<LCTYPE>(LOCALE_SDAYNAME1 + (day + 6) % 7),
             names.weekdays[static_cast<std::size_t>(day)]);
    }
    for (int month = 0; month < 12; ++month) {
        name(static_cast<LCTYPE>(LOCALE_SMONTHNAME1 + month),
             names.months[static_cast<std::size_t>(month)]);
    }
    return names;
}

}  // namespace vellamark
