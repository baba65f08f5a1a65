#pragma once

#include <cstdint>
#include <span>

#include "cipher/bytes.h"

namespace vellamark {

struct BlowfishState;

// One 8-byte block (bytes 0-3 the left word, 4-7 the right, big-endian), replaced in place.
void EncipherBlockBytes(std::span<std::uint8_t, 8> block);
void EncipherBlockBytes(const BlowfishState& state, std::span<std::uint8_t, 8> block);
void DecipherBlockBytes(std::span<std::uint8_t, 8> block);
void DecipherBlockBytes(const BlowfishState& state, std::span<std::uint8_t, 8> block);

// ECB over the whole blocks of data; a trailing part of fewer than 8 bytes is dropped, so
// fewer than 8 bytes give an empty array.
[[nodiscard]] Bytes CipherBytesEcb(const Bytes& data, bool encipher);
[[nodiscard]] Bytes CipherBytesEcb(const BlowfishState& state, const Bytes& data, bool encipher);

// Appends k bytes of value k, k = 8 - (size mod 8), from 1 to 8.
[[nodiscard]] Bytes AddBlockPadding(const Bytes& data);
// Drops as many bytes as the last byte says (when it is 0 to 8); never fails.
[[nodiscard]] Bytes RemoveBlockPadding(const Bytes& data);

[[nodiscard]] Bytes EncipherBytesPadded(const Bytes& data);
[[nodiscard]] Bytes EncipherBytesPadded(const BlowfishState& state, const Bytes& data);
[[nodiscard]] Bytes DecipherBytesPadded(const Bytes& data);
[[nodiscard]] Bytes DecipherBytesPadded(const BlowfishState& state, const Bytes& data);

}  // namespace vellamark
