#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string_view>

#include "cipher/bytes.h"

// Helpers of the cipher tests, kept apart from the library's own hex routines so the tests do
// not check the library with itself.

namespace vellamark::test {

inline Bytes ParseHex(std::string_view hex) {
    auto nibble = [](char c) -> std::uint8_t {
        if (c >= '0' && c <= '9')
            return static_cast<std::uint8_t>(c - '0');
        if (c >= 'A' && c <= 'F')
            return static_cast<std::uint8_t>(c - 'A' + 10);
        if (c >= 'a' && c <= 'f')
            return static_cast<std::uint8_t>(c - 'a' + 10);
        throw std::invalid_argument("not a hex digit in test data");
    };
    if (hex.size() % 2 != 0)
        throw std::invalid_argument("odd hex length in test data");
    Bytes out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
    }
    return out;
}

inline std::uint32_t BigEndianWord(const Bytes& bytes, std::size_t offset) {
    return std::uint32_t{bytes[offset]} << 24 | std::uint32_t{bytes[offset + 1]} << 16 |
           std::uint32_t{bytes[offset + 2]} << 8 | std::uint32_t{bytes[offset + 3]};
}

// The 8 bytes from offset, as a block buffer.
inline std::array<std::uint8_t, 8> BlockAt(const Bytes& bytes, std::size_t offset) {
    std::array<std::uint8_t, 8> block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = bytes.at(offset + i);
    return block;
}

// Reproducible pseudo-random bytes: the same seed gives the same bytes on every platform.
inline Bytes SeededBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 engine(seed);
    Bytes out(size);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(engine() >> 24);
    return out;
}

}  // namespace vellamark::test
