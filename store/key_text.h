#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace vellamark {

// Seconds since 1 January 1601, 00:00 (the epoch of Windows file times).
using FileTimeSeconds = std::int64_t;
inline constexpr std::int64_t kFileTimeToUnixSeconds = 11644473600;

// A file time (100-nanosecond intervals since 1601, as two 32-bit halves, low first) to whole
// seconds: the whole hours rounded to the nearest (a tie to the even one), then the remaining
// seconds, which may be negative, also rounded to the nearest whole second.
[[nodiscard]] FileTimeSeconds FileTimeToDate(std::uint32_t low, std::uint32_t high);

// The same rule for a time given as seconds and nanoseconds since 1970 (statx, stat).
[[nodiscard]] std::int64_t NearestWholeSecond(std::int64_t seconds, std::int64_t nanoseconds);

// Full weekday names (Sunday first) and month names (January first), in UTF-8.
struct DateNames {
    std::array<std::string, 7> weekdays{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    std::array<std::string, 12> months{"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
};

// The names of the user's locale (LC_ALL / LC_TIME / LANG on POSIX systems, the user's locale
// on Windows), whatever locale the program itself has set; English where there are none.
[[nodiscard]] DateNames UserDateNames();

// The key text of a moment: full weekday name, four-digit year, full month name, two-digit day,
// hour (00-23), minute and second, nothing between them. utc: render in UTC, otherwise in the
// local time zone. nullopt when the moment cannot be represented.
[[nodiscard]] std::optional<std::string> RenderKeyText(std::int64_t unixSeconds, bool utc,
                                                       const DateNames& names = {});

// The key text as the key derivation reads it: one character for each character, so a name
// with letters outside ASCII (each several UTF-8 bytes) gives a key of the same length as the
// same name held as 16-bit characters. Every such letter becomes "?", which reads as no
// hexadecimal digit, as the letter itself would.
[[nodiscard]] std::string KeyTextCharacters(std::string_view utf8);

// The creation time of the file, in whole seconds since 1970: Windows' creation time; elsewhere
// the birth time (statx), or the modification time where the file system keeps no birth time.
// nullopt when the file or its times cannot be read.
[[nodiscard]] std::optional<std::int64_t> FileCreationTime(const std::string& path);

}  // namespace vellamark
