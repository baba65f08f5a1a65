#pragma once

#include <array>
#include <cstdint>

namespace vellamark {

// The whole state of the block cipher: the 18-word P-array and the four 256-word S-boxes
// (box 0 is S1 of the published description, box 3 is S4). A plain value: zeros until a key
// is set, copied and compared like any other value.
struct BlowfishState {
    std::array<std::uint32_t, 18> PArray{};
    std::array<std::array<std::uint32_t, 256>, 4> SBoxes{};

    friend bool operator==(const BlowfishState&, const BlowfishState&) = default;
};

// The initial tables: the hexadecimal digits of the fraction of pi, eight to a word, first the
// P-array (0x243F6A88, 0x85A308D3, ...) and then the S-boxes in box order.
extern const std::array<std::uint32_t, 18> kInitialPArray;
extern const std::array<std::array<std::uint32_t, 256>, 4> kInitialSBoxes;

// The process-wide cipher state that the routines without a state argument work on. One
// thread at a time: a key set-up must not overlap a block operation.
[[nodiscard]] BlowfishState& ProcessCipherState();

// Fills the tables with the initial values and tests every S-box entry against zero; false
// when one is zero (which the standard values never are).
[[nodiscard]] bool LoadInitialTables(BlowfishState& state);
[[nodiscard]] bool LoadInitialTables();

}  // namespace vellamark
