#include "store/key_text.h"

#include <cstdio>
#include <utility>

#include "cipher/hex_text.h"
#include "store/program_file.h"

namespace vellamark {

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

Bytes StoreKeyFromText(std::string_view keyText) {
    return HexTextToBytes(keyText);
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
