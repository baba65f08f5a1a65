// DecipherBytesPadded reads stored cipher bytes that may be damaged or forged: under a fixed key
// it must accept every input, return the deciphered whole blocks less 0 to 8 pad bytes, and
// give back whatever EncipherBytesPadded was given.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cipher/blowfish.h"
#include "cipher/blowfish_state.h"
#include "cipher/byte_cipher.h"

namespace {

const vellamark::BlowfishState& FixedKeyState() {
    static const vellamark::BlowfishState state = [] {
        vellamark::BlowfishState s;
        if (!vellamark::InitialiseKey(s, vellamark::Bytes{'v', 'e', 'l', 'l', 'a', 'm', 'a', 'r',
                                                          'k', 0x20, 0x26, 0x00, 0xFF})) {
            std::abort();
        }
        return s;
    }();
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& state = FixedKeyState();
    const vellamark::Bytes input(data, data + size);

    const vellamark::Bytes whole = vellamark::CipherBytesEcb(state, input, false);
    const vellamark::Bytes plain = vellamark::DecipherBytesPadded(state, input);
    if (whole.size() != size / 8 * 8 || plain.size() > whole.size() ||
        plain.size() + 8 < whole.size() || !std::equal(plain.begin(), plain.end(), whole.begin())) {
        std::abort();
    }

    const vellamark::Bytes cipher = vellamark::EncipherBytesPadded(state, input);
    if (cipher.size() != (size / 8 + 1) * 8 ||
        vellamark::DecipherBytesPadded(state, cipher) != input) {
        std::abort();
    }
    return 0;
}
