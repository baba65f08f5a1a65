#include "cipher/blowfish.h"

#include <cstddef>

#include "cipher/blowfish_rounds.h"
#include "cipher/blowfish_state.h"
#include "cipher/unsigned_word.h"

namespace vellamark {

namespace {

constexpr std::size_t kMaxKeyBytes = 56;

}  // namespace

bool ScheduleKey(BlowfishState& state, const Bytes& key, std::uint16_t key_length) {
    const std::size_t n = key_length;
    if (n == 0 || n > key.size()) {
        return false;
    }
    if (!LoadInitialTables(state)) {
        return false;
    }
    // The key bytes cycle over the 72 bytes of the P-array, running on across word boundaries:
    // the first key byte lands in the most significant byte of P[0].
    std::size_t j = 0;
    for (auto& word : state.PArray) {
        std::uint32_t d = 0;
        for (int b = 0; b < 4; ++b) {
            d = ShiftWordLeft8(d) | key[j];
            j = (j + 1 == n) ? 0 : j + 1;
        }
        word ^= d;
    }
    // 521 encipherments, each on the previous result and with the tables as far as they have
    // been rewritten so far: 9 for the P-array, 512 for the S-boxes.
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (std::size_t i = 0; i < state.PArray.size(); i += 2) {
        detail::EncipherLanes<1>(state, &left, &right);
        state.PArray[i] = left;
        state.PArray[i + 1] = right;
    }
    for (auto& box : state.SBoxes) {
        for (std::size_t e = 0; e < box.size(); e += 2) {
            detail::EncipherLanes<1>(state, &left, &right);
            box[e] = left;
            box[e + 1] = right;
        }
    }
    return true;
}

bool ScheduleKey(const Bytes& key, std::uint16_t key_length) {
    return ScheduleKey(ProcessCipherState(), key, key_length);
}

bool InitialiseKey(BlowfishState& state, const Bytes& key) {
    // Checked on the full size, so a key longer than a 16-bit count can hold is refused too.
    if (key.empty() || key.size() > kMaxKeyBytes) {
        return false;
    }
    return ScheduleKey(state, key, static_cast<std::uint16_t>(key.size()));
}

bool InitialiseKey(const Bytes& key) {
    return InitialiseKey(ProcessCipherState(), key);
}

void EncipherWordPair(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right) {
    detail::EncipherLanes<1>(state, &left, &right);
}

void EncipherWordPair(std::uint32_t& left, std::uint32_t& right) {
    EncipherWordPair(ProcessCipherState(), left, right);
}

void DecipherWordPair(const BlowfishState& state, std::uint32_t& left, std::uint32_t& right) {
    detail::DecipherLanes<1>(state, &left, &right);
}

void DecipherWordPair(std::uint32_t& left, std::uint32_t& right) {
    DecipherWordPair(ProcessCipherState(), left, right);
}

std::uint32_t BlowfishF(const BlowfishState& state, std::uint32_t x) {
    return detail::RoundF(state, x);
}

std::uint32_t BlowfishF(std::uint32_t x) {
    return BlowfishF(ProcessCipherState(), x);
}

}  // namespace vellamark
