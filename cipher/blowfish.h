#pragma once

#include <cstdint>

#include "cipher/bytes.h"

namespace vellamark {

struct BlowfishState;

// Sets the key (1 to 56 bytes, used in index order). False, with the state left as it was,
// for an empty key or one longer than 56 bytes.
[[nodiscard]] bool InitialiseKey(const Bytes& key);
[[nodiscard]] bool InitialiseKey(BlowfishState& state, const Bytes& key);

// Reloads the initial tables and mixes in the first key_length bytes of key. False, with the
// state left as it was, when key_length is 0 or more than key holds.
[[nodiscard]] bool ScheduleKey(const Bytes& key, std::uint16_t key_length);
[[nodiscard]] bool ScheduleKey(BlowfishState& state, const Bytes& key, std::uint16_t key_length);

// One 64-bit block as two words, enciphered or deciphered in place with the current key.
void EncipherWordPair(std::uint32_t& left, std::uint32_t& right);
void EncipherWordPair(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right);
void DecipherWordPair(std::uint32_t& left, std::uint32_t& right);
void DecipherWordPair(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right);

// The round function F(x) = ((S1[a] + S2[b]) ^ S3[c]) + S4[d], a the top byte of x.
[[nodiscard]] std::uint32_t BlowfishF(std::uint32_t x);
[[nodiscard]] std::uint32_t BlowfishF(const BlowfishState& state, std::uint32_t x);

}  // namespace vellamark
