#include "store/key_text.h"

#include <cmath>
#include <cstdio>

#include "platform/local_time.h"
#include "store/account_store.h"
#include "store/program_file.h"

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

std::optional<std::string> RenderKeyText(std::int64_t unixSeconds, bool utc,
                                         const DateNames& names) {
    const auto parts = utc ? UtcCivilTime(unixSeconds) : LocalCivilTime(unixSeconds);
    if (!parts) {
        return std::nullopt;
    }
    char digits[16];
    auto twoDigits = [&](int value) {
        std::snprintf(digits, sizeof digits, "%02d", value);
        return std::string(digits);
    };
    std::snprintf(digits, sizeof digits, "%04d", parts->year);
    const std::string year = digits;
    return names.weekdays[static_cast<std::size_t>(parts->weekday)] + year +
           names.months[static_cast<std::size_t>(parts->month - 1)] + twoDigits(parts->day) +
           twoDigits(parts->hour) + twoDigits(parts->minute) + twoDigits(parts->second);
}

ExecutableKeySource::ExecutableKeySource(std::string programFolder)
    : programFolder_(std::move(programFolder)) {}

std::optional<std::string> ExecutableKeySource::FileTimeKeyText() {
    const auto created = FileCreationTime(ProgramFilePath(programFolder_));
    return created ? RenderKeyText(*created, true, UserDateNames()) : std::nullopt;
}

std::optional<std::string> ExecutableKeySource::DateCreatedKeyText() {
    const auto created = FileCreationTime(ProgramFilePath(programFolder_));
    return created ? RenderKeyText(*created, false, UserDateNames()) : std::nullopt;
}

}  // namespace vellamark
