// Every public header of the cipher library, together: they must compile side by side and
// with nothing included before them.
#include "cipher/blowfish.h"
#include "cipher/blowfish_rounds.h"
#include "cipher/blowfish_state.h"
#include "cipher/byte_cipher.h"
#include "cipher/bytes.h"
#include "cipher/hex_text.h"
#include "cipher/unsigned_word.h"

// The word helpers are usable in constant expressions.
static_assert(vellamark::AddWordsModulo(0xFFFFFFFF, 1) == 0);
static_assert(vellamark::JoinWordBytes(0x12, 0x34, 0x56, 0x78) == 0x12345678);
static_assert(!vellamark::UnsignedToWord(4294967296.0).has_value());
