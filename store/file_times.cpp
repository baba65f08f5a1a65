#include "store/file_times.h"

#include <cmath>

namespace vellamark {

FileTimeSeconds FileTimeToDate(std::uint32_t low, std::uint32_t high) {
    const double seconds =
        (static_cast<double>(high) * 4294967296.0 + static_cast<double>(low)) / 10000000.0;
    // nearbyint rounds a tie to the even number in the default rounding mode.
    const double hours = std::nearbyint(seconds / 3600.0);
    const double rest = std::nearbyint(seconds - hours * 3600.0);
    return static_cast<FileTimeSeconds>(hours) * 3600 + static_cast<FileTimeSeconds>(rest);
}

std::int64_t NearestWholeSecond(std::int64_t seconds, std::int64_t nanoseconds) {
    constexpr std::int64_t kHalf = 500000000;
    if (nanoseconds > kHalf || (nanoseconds == kHalf && seconds % 2 != 0)) {
        return seconds + 1;
    }
    return seconds;
}

}  // namespace vellamark
