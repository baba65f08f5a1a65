#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/bytes.h"
#include "platform/local_time.h"

namespace vellamark {

// Where the store key texts come from; tests inject their own.
class StoreKeySource {
public:
    virtual ~StoreKeySource() = default;
    // The executable's creation time in UTC, rendered; nullopt when the times cannot be read.
    [[nodiscard]] virtual std::optional<std::string> FileTimeKeyText() = 0;
    // The same time in local time; nullopt when it cannot be had.
    [[nodiscard]] virtual std::optional<std::string> DateCreatedKeyText() = 0;
};

// The key text of a moment: full weekday name, four-digit year, full month name, two-digit day,
// hour (00-23), minute and second, nothing between them. utc: render in UTC, otherwise in the
// local time zone. nullopt when the moment cannot be represented.
[[nodiscard]] std::optional<std::string> RenderKeyText(std::int64_t unixSeconds, bool utc,
                                                       const DateNames& names = {});

// StoreKey of a key text: its pairs of hexadecimal digits, one character per character.
[[nodiscard]] Bytes StoreKeyFromText(std::string_view keyText);

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
