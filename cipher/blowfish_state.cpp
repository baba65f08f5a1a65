#include "cipher/blowfish_state.h"

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
    // Every entry is looked at, without an early exit, so the test vectorises: it runs on every
    // key set-up.
    bool no_zero = true;
    for (const auto& box : state.SBoxes) {
        for (const std::uint32_t word : box) {
            no_zero &= word != 0;
        }
    }
    return no_zero;
}

bool LoadInitialTables() {
    return LoadInitialTables(process_state);
}

}  // namespace vellamark
