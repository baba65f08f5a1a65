#include "cipher/blowfish_state.h"

#include <algorithm>

namespace vellamark {

namespace {

// Zeros until the first key is set; block routines work on whatever it holds.
constinit BlowfishState process_state{};

}  // namespace

BlowfishState& ProcessCipherState() {
    return process_state;
}

bool LoadInitialTables(BlowfishState& state) {
    state.PArray = kInitialPArray;
    state.SBoxes = kInitialSBoxes;
    // A zero entry would mean damaged tables; it is also ruled out when the constants compile.
    return std::ranges::none_of(state.SBoxes, [](const auto& box) {
        return std::ranges::find(box, std::uint32_t{0}) != box.end();
    });
}

bool LoadInitialTables() {
    return LoadInitialTables(process_state);
}

}  // namespace vellamark
