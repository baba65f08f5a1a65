#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vellamark {

// A date and time as a calendar shows it.
struct CivilTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
    int weekday = 0;  // 0 Sunday .. 6 Saturday

    friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// A moment, in whole seconds since 1970 (negative before), in coordinated universal time and in
// this user's time zone; nullopt outside the years 1601 to 9999.
[[nodiscard]] std::optional<CivilTime> UtcCivilTime(std::int64_t unixSeconds);
[[nodiscard]] std::optional<CivilTime> LocalCivilTime(std::int64_t unixSeconds);

// The moment now in coordinated universal time as "YYYYMMDD-HHMMSSZ", for names of files and
// values kept aside.
[[nodiscard]] std::string UtcStampNow();

// The clock's local date and time now.
[[nodiscard]] CivilTime LocalNow();

// Full weekday names (Sunday first) and month names (January first), in UTF-8.
struct DateNames {
    std::array<std::string, 7> weekdays{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    std::array<std::string, 12> months{"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
};

// The names of the user's locale (LC_ALL / LC_TIME / LANG on Linux, the user's locale on
// Windows), whatever locale the program itself has set; English where there are none.
[[nodiscard]] DateNames UserDateNames();

}  // namespace vellamark
