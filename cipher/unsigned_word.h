#pragma once

#include <cstdint>
#include <optional>

// Unsigned arithmetic on 32-bit words and the byte and shift helpers of the block cipher.
// Words are held as std::uint32_t, so sums wrap modulo 2^32 by the language's own rules.

namespace vellamark {

// (a + b) modulo 2^32.
[[nodiscard]] constexpr std::uint32_t AddWordsModulo(std::uint32_t a, std::uint32_t b) {
    return a + b;
}

// The word b0*2^24 + b1*2^16 + b2*2^8 + b3 (big-endian: b0 is the most significant byte).
[[nodiscard]] constexpr std::uint32_t JoinWordBytes(std::uint8_t b0, std::uint8_t b1,
                                                    std::uint8_t b2, std::uint8_t b3) {
    return (std::uint32_t{b0} << 24) | (std::uint32_t{b1} << 16) | (std::uint32_t{b2} << 8) |
           std::uint32_t{b3};
}

// Sets b0 to bits 31-24 of w, b1 to bits 23-16, b2 to bits 15-8 and b3 to bits 7-0.
constexpr void SplitWordBytes(std::uint32_t w, std::uint8_t& b0, std::uint8_t& b1, std::uint8_t& b2,
                              std::uint8_t& b3) {
    b0 = static_cast<std::uint8_t>(w >> 24);
    b1 = static_cast<std::uint8_t>(w >> 16);
    b2 = static_cast<std::uint8_t>(w >> 8);
    b3 = static_cast<std::uint8_t>(w);
}

// w shifted left by 8 bits: the top byte is dropped, the low byte becomes 0.
[[nodiscard]] constexpr std::uint32_t ShiftWordLeft8(std::uint32_t w) {
    return w << 8;
}

// The unsigned value of w, 0 to 4294967295.
[[nodiscard]] constexpr double WordToUnsigned(std::uint32_t w) {
    return static_cast<double>(w);
}

// The word whose unsigned value is x. Empty (the overflow error) when x is below 0, at least
// 4294967296, not a number, or not a whole number: no word has such an unsigned value.
[[nodiscard]] constexpr std::optional<std::uint32_t> UnsignedToWord(double x) {
    // Written so that NaN fails every comparison and lands in the refusal.
    if (!(x >= 0.0 && x < 4294967296.0)) {
        return std::nullopt;
    }
    const auto word = static_cast<std::uint32_t>(x);
    if (static_cast<double>(word) != x) {
        return std::nullopt;
    }
    return word;
}

}  // namespace vellamark
