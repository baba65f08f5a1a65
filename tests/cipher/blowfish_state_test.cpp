#include "cipher/blowfish_state.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "cipher/blowfish.h"
#include "cipher/byte_cipher.h"
#include "published_vectors.h"
#include "test_bytes.h"

// The routines without a state argument work on the one process-wide state. This is the only
// test that keys it (the others use states of their own), so "zeros until the first key" holds
// however the tests are ordered or grouped into processes.

namespace vellamark {
namespace {

using test::ParseHex;

TEST(ProcessCipherState, StartsZeroedThenFollowsInitialiseKeyAndIgnoresRefusedKeys) {
    BlowfishState& shared = ProcessCipherState();
    EXPECT_EQ(shared, BlowfishState{}) << "both tables hold zeros until the first key";

    const auto& v = test::kEcbVectors[7];
    const Bytes key = ParseHex(v.key);
    const Bytes plain = ParseHex(v.plain);
    const Bytes cipher = ParseHex(v.cipher);
    ASSERT_TRUE(InitialiseKey(key));

    std::uint32_t left = test::BigEndianWord(plain, 0);
    std::uint32_t right = test::BigEndianWord(plain, 4);
    EncipherWordPair(left, right);
    EXPECT_EQ(left, test::BigEndianWord(cipher, 0));
    EXPECT_EQ(right, test::BigEndianWord(cipher, 4));
    DecipherWordPair(left, right);
    EXPECT_EQ(left, test::BigEndianWord(plain, 0));
    EXPECT_EQ(right, test::BigEndianWord(plain, 4));

    std::array<std::uint8_t, 8> block = test::BlockAt(plain, 0);
    EncipherBlockBytes(block);
    EXPECT_EQ(Bytes(block.begin(), block.end()), cipher);
    DecipherBlockBytes(block);
    EXPECT_EQ(Bytes(block.begin(), block.end()), plain);

    EXPECT_EQ(CipherBytesEcb(plain, true), cipher);
    EXPECT_EQ(CipherBytesEcb(cipher, false), plain);
    const Bytes message = test::SeededBytes(37, 11);
    EXPECT_EQ(DecipherBytesPadded(EncipherBytesPadded(message)), message);

    const BlowfishState keyed = shared;
    EXPECT_FALSE(InitialiseKey(Bytes{}));
    EXPECT_FALSE(InitialiseKey(Bytes(57, 0x5A)));
    EXPECT_EQ(shared, keyed) << "a refused key leaves the state as it was";
    EXPECT_EQ(CipherBytesEcb(plain, true), cipher);

    BlowfishState own;
    ASSERT_TRUE(InitialiseKey(own, key));
    EXPECT_EQ(own, shared);
    EXPECT_EQ(BlowfishF(0x01234567), BlowfishF(own, 0x01234567));

    ASSERT_TRUE(LoadInitialTables());
    EXPECT_EQ(shared.PArray, kInitialPArray);
    ASSERT_TRUE(ScheduleKey(key, static_cast<std::uint16_t>(key.size())));
    EXPECT_EQ(shared, own);
}

}  // namespace
}  // namespace vellamark
