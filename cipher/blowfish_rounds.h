#pragma once

#include <cstddef>
#include <cstdint>

#include "cipher/blowfish_state.h"

// The 16 rounds, inlined into the key schedule and the byte-array routines. Several independent
// blocks ("lanes") go through each round together: each block's rounds form one long chain of
// dependent table loads, and working on several chains at once keeps the CPU busy while each
// load is in flight. One lane is the plain single-block cipher.

// The eight round pairs written out in full: the P-array words become fixed offsets, which frees
// the registers a loop counter would take for the lanes' words.
#if defined(__GNUC__)
#define VELLAMARK_UNROLL_ROUND_PAIRS _Pragma("GCC unroll 8")
#else
#define VELLAMARK_UNROLL_ROUND_PAIRS
#endif

namespace vellamark::detail {

[[nodiscard]] inline std::uint32_t RoundF(const BlowfishState& state, std::uint32_t x) {
    const auto& s = state.SBoxes;
    return ((s[0][x >> 24] + s[1][(x >> 16) & 0xFF]) ^ s[2][(x >> 8) & 0xFF]) + s[3][x & 0xFF];
}

// Written without the exchange of halves after each round: the halves trade roles from one
// round to the next instead. Each P-array word is folded into the half that the following round
// function does not read yet, so that XOR happens while the S-box loads are in flight instead of
// lengthening the chain of dependent rounds. Deciphering is the same with the P-array reversed.
template <std::size_t Lanes>
inline void EncipherLanes(const BlowfishState& state, std::uint32_t* left, std::uint32_t* right) {
    const auto& p = state.PArray;
    for (std::size_t k = 0; k < Lanes; ++k) {
        left[k] ^= p[0];
    }
    VELLAMARK_UNROLL_ROUND_PAIRS
    for (std::size_t i = 1; i < 17; i += 2) {
        for (std::size_t k = 0; k < Lanes; ++k) {
            right[k] = (right[k] ^ p[i]) ^ RoundF(state, left[k]);
        }
        for (std::size_t k = 0; k < Lanes; ++k) {
            left[k] = (left[k] ^ p[i + 1]) ^ RoundF(state, right[k]);
        }
    }
    for (std::size_t k = 0; k < Lanes; ++k) {
        const std::uint32_t l = left[k];
        left[k] = right[k] ^ p[17];
        right[k] = l;
    }
}

template <std::size_t Lanes>
inline void DecipherLanes(const BlowfishState& state, std::uint32_t* left, std::uint32_t* right) {
    const auto& p = state.PArray;
    for (std::size_t k = 0; k < Lanes; ++k) {
        left[k] ^= p[17];
    }
    VELLAMARK_UNROLL_ROUND_PAIRS
    for (std::size_t i = 16; i > 0; i -= 2) {
        for (std::size_t k = 0; k < Lanes; ++k) {
            right[k] = (right[k] ^ p[i]) ^ RoundF(state, left[k]);
        }
        for (std::size_t k = 0; k < Lanes; ++k) {
            left[k] = (left[k] ^ p[i - 1]) ^ RoundF(state, right[k]);
        }
    }
    for (std::size_t k = 0; k < Lanes; ++k) {
        const std::uint32_t l = left[k];
        left[k] = right[k] ^ p[0];
        right[k] = l;
    }
}

}  // namespace vellamark::detail
