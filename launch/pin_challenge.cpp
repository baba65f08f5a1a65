#include "launch/pin_challenge.h"

#include <cstdio>

#include "platform/text.h"

namespace vellamark {
namespace {

// The character (one UTF-8 sequence) at the given code-point index, or empty past the end.
std::string CharacterAt(std::string_view text, int index) {
    std::size_t pos = 0;
    for (int k = 0; pos < text.size(); ++k) {
        const std::size_t start = pos;
        static_cast<void>(NextCodePoint(text, pos));
        if (k == index) {
            return std::string(text.substr(start, pos - start));
        }
    }
    return {};
}

int DigitValue(char c) {
    return (c >= '0' && c <= '9') ? c - '0' : 0;
}

}  // namespace

std::optional<PinChallenge> ComputePinChallenge(std::string_view timeText, std::int64_t seed,
                                                std::string_view pin) {
    if (timeText.size() != 6) {
        return std::nullopt;
    }
    std::int64_t t = 0;
    for (char c : timeText) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        t = t * 10 + (c - '0');
    }
    if (t == 0 || seed <= 0) {
        return std::nullopt;
    }

    PinChallenge challenge;
    // S x T stays below 2^53 (10,000,048 x 235,959), so whole-number division is the floor the
    // service computes in floating point.
    const std::int64_t x = seed * t / 17;
    challenge.i1 = static_cast<int>(x % 8) + 1;

    // The quotient as the standard conversion writes it (at most 15 significant digits); its
    // first character picks the second position. Every reachable q below 1 is written in plain
    // decimal form, so its first character is "0".
    char quotient[64];
    std::snprintf(quotient, sizeof quotient, "%.15G",
                  static_cast<double>(seed) / static_cast<double>(t));
    challenge.i2 = DigitValue(quotient[0]);
    if (challenge.i2 == challenge.i1) {
        challenge.i2 = ((challenge.i1 + 5) % 9) + 1;
    }

    const std::string u = std::to_string(2 * seed + t);
    challenge.i3 = u.size() >= 4 ? DigitValue(u[3]) : 0;
    // Moves along 1-4-7, 2-5-8 or 3-6-9 (entering at 3 from 0); two steps at most.
    while (challenge.i3 == challenge.i1 || challenge.i3 == challenge.i2) {
        challenge.i3 = ((challenge.i3 + 2) % 9) + 1;
    }

    challenge.pin1 = CharacterAt(pin, challenge.i1);
    challenge.pin2 = CharacterAt(pin, challenge.i2);
    challenge.pin3 = CharacterAt(pin, challenge.i3);
    return challenge;
}

}  // namespace vellamark
