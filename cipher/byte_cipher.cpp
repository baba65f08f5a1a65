#include "cipher/byte_cipher.h"

#include <cstddef>

#include "cipher/blowfish_rounds.h"
#include "cipher/blowfish_state.h"
#include "cipher/unsigned_word.h"

namespace vellamark {

namespace {

constexpr std::size_t kBlockBytes = 8;

// Blocks in ECB are independent, so the whole-array routine runs up to this many through the
// rounds side by side (see blowfish_rounds.h). Measured on x86-64, four was the fastest: from
// six on, the lanes' words no longer fit in registers and spill to the stack.
constexpr std::size_t kLanes = 4;

std::uint32_t LoadWord(const std::uint8_t* bytes) {
    return JoinWordBytes(bytes[0], bytes[1], bytes[2], bytes[3]);
}

void StoreWord(std::uint32_t word, std::uint8_t* bytes) {
    SplitWordBytes(word, bytes[0], bytes[1], bytes[2], bytes[3]);
}

template <std::size_t Lanes>
void CipherLanes(const BlowfishState& state, const std::uint8_t* in, std::uint8_t* out,
                 bool encipher) {
    static_assert(Lanes >= 1 && Lanes <= kLanes);
    std::uint32_t left[Lanes];
    std::uint32_t right[Lanes];
    for (std::size_t k = 0; k < Lanes; ++k) {
        left[k] = LoadWord(in + k * kBlockBytes);
        right[k] = LoadWord(in + k * kBlockBytes + 4);
    }
    if (encipher) {
        detail::EncipherLanes<Lanes>(state, left, right);
    } else {
        detail::DecipherLanes<Lanes>(state, left, right);
    }
    for (std::size_t k = 0; k < Lanes; ++k) {
        StoreWord(left[k], out + k * kBlockBytes);
        StoreWord(right[k], out + k * kBlockBytes + 4);
    }
}

}  // namespace

void EncipherBlockBytes(const BlowfishState& state, std::span<std::uint8_t, 8> block) {
    CipherLanes<1>(state, block.data(), block.data(), true);
}

void EncipherBlockBytes(std::span<std::uint8_t, 8> block) {
    EncipherBlockBytes(ProcessCipherState(), block);
}

void DecipherBlockBytes(const BlowfishState& state, std::span<std::uint8_t, 8> block) {
    CipherLanes<1>(state, block.data(), block.data(), false);
}

void DecipherBlockBytes(std::span<std::uint8_t, 8> block) {
    DecipherBlockBytes(ProcessCipherState(), block);
}

Bytes CipherBytesEcb(const BlowfishState& state, const Bytes& data, bool encipher) {
    const std::size_t blocks = data.size() / kBlockBytes;
    Bytes out(blocks * kBlockBytes);
    const std::uint8_t* in = data.data();
    std::uint8_t* to = out.data();
    std::size_t b = 0;
    for (; b + kLanes <= blocks; b += kLanes) {
        CipherLanes<kLanes>(state, in + b * kBlockBytes, to + b * kBlockBytes, encipher);
    }
    // The last few blocks still go side by side, so short arrays gain too.
    const std::uint8_t* tail_in = in + b * kBlockBytes;
    std::uint8_t* tail_out = to + b * kBlockBytes;
    switch (blocks - b) {
        case 3:
            CipherLanes<3>(state, tail_in, tail_out, encipher);
            break;
        case 2:
            CipherLanes<2>(state, tail_in, tail_out, encipher);
            break;
        case 1:
            CipherLanes<1>(state, tail_in, tail_out, encipher);
            break;
        default:
            break;
    }
    return out;
}

Bytes CipherBytesEcb(const Bytes& data, bool encipher) {
    return CipherBytesEcb(ProcessCipherState(), data, encipher);
}

Bytes AddBlockPadding(const Bytes& data) {
    const std::size_t pad = kBlockBytes - data.size() % kBlockBytes;
    Bytes out;
    out.reserve(data.size() + pad);
    out.assign(data.begin(), data.end());
    out.insert(out.end(), pad, static_cast<std::uint8_t>(pad));
    return out;
}

Bytes RemoveBlockPadding(const Bytes& data) {
    if (data.empty()) {
        return {};
    }
    // Only the last byte is read; a count above 8 is no padding at all, and a count that would
    // take everything (or more) leaves nothing.
    std::size_t pad = data.back();
    if (pad > kBlockBytes) {
        pad = 0;
    }
    if (data.size() <= pad) {
        return {};
    }
    return Bytes(data.begin(), data.end() - static_cast<std::ptrdiff_t>(pad));
}

Bytes EncipherBytesPadded(const BlowfishState& state, const Bytes& data) {
    return CipherBytesEcb(state, AddBlockPadding(data), true);
}

Bytes EncipherBytesPadded(const Bytes& data) {
    return EncipherBytesPadded(ProcessCipherState(), data);
}

Bytes DecipherBytesPadded(const BlowfishState& state, const Bytes& data) {
    return RemoveBlockPadding(CipherBytesEcb(state, data, false));
}

Bytes DecipherBytesPadded(const Bytes& data) {
    return DecipherBytesPadded(ProcessCipherState(), data);
}

}  // namespace vellamark
