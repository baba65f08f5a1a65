#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellamark {

// The three PIN positions asked for and the PIN's characters there. The PIN itself never
// leaves the machine: only these characters, the time text and the seed are posted.
struct PinChallenge {
    int i1 = 0;        // 1..8
    int i2 = 0;        // 0..9, never i1
    int i3 = 0;        // 0..9, never i1 or i2
    std::string pin1;  // the PIN's character at index i1, or empty past its end
    std::string pin2;
    std::string pin3;
};

// Works out the challenge from the six-digit time text ("hhnnss") and the seed. Empty when the
// time text is not six digits or is "000000" (midnight would divide by zero): the caller reads
// the clock again. PIN characters are counted in code points of its UTF-8 text.
[[nodiscard]] std::optional<PinChallenge> ComputePinChallenge(std::string_view timeText,
                                                              std::int64_t seed,
                                                              std::string_view pin);

}  // namespace vellamark
