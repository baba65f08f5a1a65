#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/local_time.h"
#include "store/account_store.h"

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

// The key text of a moment: full weekday name, four-digit year, full month name, two-digit day,
// hour (00-23), minute and second, nothing between them. utc: render in UTC, otherwise in the
// local time zone. nullopt when the moment cannot be represented.
[[nodiscard]] std::optional<std::string> RenderKeyText(std::int64_t unixSeconds, bool utc,
                                                       const DateNames& names = {});

// Key texts from the launcher's program file in the given folder ("vellamark", "vellamark.exe"
// on Windows), rendered with the user's locale's names.
class ExecutableKeySource final : public StoreKeySource {
public:
    explicit ExecutableKeySource(std::string programFolder);
    [[nodiscard]] std::optional<std::string> FileTimeKeyText() override;
    [[nodiscard]] std::optional<std::string> DateCreatedKeyText() override;

private:
    std::string programFolder_;
};

}  // namespace vellamark
