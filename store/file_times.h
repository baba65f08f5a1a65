#pragma once

#include <cstdint>

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

}  // namespace vellamark
