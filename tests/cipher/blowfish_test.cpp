#include "cipher/blowfish.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cipher/blowfish_state.h"
#include "cipher/byte_cipher.h"
#include "published_vectors.h"
#include "test_bytes.h"

namespace vellamark {
namespace {

using test::BigEndianWord;
using test::ParseHex;

// One published triple, through both the word-pair routines and the 8-byte block routines
// (blocks read big-endian), each way.
void ExpectKnownAnswer(const Bytes& key, std::string_view plain_hex, std::string_view cipher_hex) {
    BlowfishState state;
    ASSERT_TRUE(InitialiseKey(state, key));
    const Bytes plain = ParseHex(plain_hex);
    const Bytes cipher = ParseHex(cipher_hex);

    std::uint32_t left = BigEndianWord(plain, 0);
    std::uint32_t right = BigEndianWord(plain, 4);
    EncipherWordPair(state, left, right);
    EXPECT_EQ(left, BigEndianWord(cipher, 0));
    EXPECT_EQ(right, BigEndianWord(cipher, 4));
    DecipherWordPair(state, left, right);
    EXPECT_EQ(left, BigEndianWord(plain, 0));
    EXPECT_EQ(right, BigEndianWord(plain, 4));

    auto block = test::BlockAt(plain, 0);
    EncipherBlockBytes(state, block);
    EXPECT_EQ(Bytes(block.begin(), block.end()), cipher);
    DecipherBlockBytes(state, block);
    EXPECT_EQ(Bytes(block.begin(), block.end()), plain);
}

TEST(BlowfishKnownAnswer, PublishedEcbVectors) {
    int row = 0;
    for (const auto& v : test::kEcbVectors) {
        SCOPED_TRACE("vector " + std::to_string(row++) + " key " + std::string(v.key));
        ExpectKnownAnswer(ParseHex(v.key), v.plain, v.cipher);
    }
}

TEST(BlowfishKnownAnswer, VariableKeyLengthsOneToTwentyFour) {
    const Bytes full_key = ParseHex(test::kVariableKey);
    for (std::size_t n = 1; n <= std::size(test::kVariableKeyCiphers); ++n) {
        SCOPED_TRACE("key of " + std::to_string(n) + " bytes");
        ExpectKnownAnswer(Bytes(full_key.begin(), full_key.begin() + n), test::kVariableKeyPlain,
                          test::kVariableKeyCiphers[n - 1]);
    }
}

TEST(BlowfishKeySetup, KeyLengthLimits) {
    struct Row {
        const char* name;
        std::size_t length;
        bool accepted;
    };
    const Row rows[] = {
        {"empty", 0, false},     {"one byte", 1, true},         {"56 bytes", 56, true},
        {"57 bytes", 57, false}, {"65536 bytes", 65536, false}, {"65537 bytes", 65537, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        BlowfishState state;
        ASSERT_TRUE(InitialiseKey(state, Bytes{0x01, 0x02, 0x03}));
        const BlowfishState before = state;
        const Bytes key = test::SeededBytes(row.length, 7);
        EXPECT_EQ(InitialiseKey(state, key), row.accepted);
        if (row.accepted) {
            EXPECT_NE(state, before);
        } else {
            EXPECT_EQ(state, before);
        }
    }
}

TEST(BlowfishKeySetup, KeyBytesCycleOverThePArray) {
    // 4 bytes and the same 4 bytes twice fill the 72 key-schedule bytes identically; so do
    // 3 bytes and 24 bytes made of them, since 72 is a multiple of both lengths.
    struct Row {
        const char* name;
        Bytes short_key;
        Bytes long_key;
    };
    const Row rows[] = {
        {"4 and 8", {0xDE, 0xAD, 0xBE, 0xEF}, {0xDE, 0xAD, 0xBE, 0xEF, 0xDE, 0xAD, 0xBE, 0xEF}},
        {"3 and 6", {0x01, 0x80, 0xFF}, {0x01, 0x80, 0xFF, 0x01, 0x80, 0xFF}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        BlowfishState a;
        BlowfishState b;
        ASSERT_TRUE(InitialiseKey(a, row.short_key));
        ASSERT_TRUE(InitialiseKey(b, row.long_key));
        EXPECT_EQ(a, b);
    }
    // A 5-byte key does not divide evenly into words: it must not equal the 4-byte prefix.
    BlowfishState four;
    BlowfishState five;
    ASSERT_TRUE(InitialiseKey(four, Bytes{1, 2, 3, 4}));
    ASSERT_TRUE(InitialiseKey(five, Bytes{1, 2, 3, 4, 1}));
    EXPECT_NE(four, five);
}

TEST(BlowfishKeySetup, NewKeyReplacesTheWholeState) {
    BlowfishState fresh;
    BlowfishState reused;
    ASSERT_TRUE(InitialiseKey(fresh, Bytes{0x42}));
    ASSERT_TRUE(InitialiseKey(reused, test::SeededBytes(56, 3)));
    ASSERT_TRUE(InitialiseKey(reused, Bytes{0x42}));
    EXPECT_EQ(fresh, reused);
}

TEST(BlowfishKeySetup, ScheduleKeyRefusesLengthsTheKeyDoesNotHold) {
    struct Row {
        const char* name;
        std::size_t key_size;
        std::uint16_t length;
        bool accepted;
    };
    const Row rows[] = {
        {"zero length", 8, 0, false},
        {"longer than the key", 4, 5, false},
        {"prefix of the key", 8, 4, true},
        {"whole key", 8, 8, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        BlowfishState state;
        EXPECT_EQ(ScheduleKey(state, test::SeededBytes(row.key_size, 9), row.length), row.accepted);
        EXPECT_EQ(state == BlowfishState{}, !row.accepted);
    }
    // Scheduling a prefix is the same as setting the prefix as the key.
    const Bytes key = test::SeededBytes(8, 9);
    BlowfishState prefix;
    BlowfishState direct;
    ASSERT_TRUE(ScheduleKey(prefix, key, 4));
    ASSERT_TRUE(InitialiseKey(direct, Bytes(key.begin(), key.begin() + 4)));
    EXPECT_EQ(prefix, direct);
}

TEST(BlowfishInitialTables, HoldTheDigitsOfPiAndPassTheZeroTest) {
    BlowfishState state;
    ASSERT_TRUE(LoadInitialTables(state));
    EXPECT_EQ(state.PArray, kInitialPArray);
    EXPECT_EQ(state.SBoxes, kInitialSBoxes);
    struct Row {
        const char* name;
        std::uint32_t actual;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {"P[0]", state.PArray[0], 0x243F6A88},
        {"P[1]", state.PArray[1], 0x85A308D3},
        {"P[2]", state.PArray[2], 0x13198A2E},
        {"P[16]", state.PArray[16], 0x9216D5D9},
        {"P[17]", state.PArray[17], 0x8979FB1B},
        {"S1[0]", state.SBoxes[0][0], 0xD1310BA6},
        {"S1[1]", state.SBoxes[0][1], 0x98DFB5AC},
        {"S4[254]", state.SBoxes[3][254], 0x578FDFE3},
        {"S4[255]", state.SBoxes[3][255], 0x3AC372E6},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.actual, row.expected) << row.name;
    }
}

TEST(BlowfishRoundFunction, CombinesTheFourBoxesByByte) {
    // With only chosen entries non-zero, F shows which box each byte indexes and how the
    // additions wrap.
    BlowfishState state;
    state.SBoxes[0][0x12] = 0xFFFFFFFF;
    state.SBoxes[1][0x34] = 0x00000002;
    state.SBoxes[2][0x56] = 0x0000000F;
    state.SBoxes[3][0x78] = 0x80000000;
    // ((0xFFFFFFFF + 2) ^ 0xF) + 0x80000000 = (1 ^ 0xF) + 0x80000000
    EXPECT_EQ(BlowfishF(state, 0x12345678), 0x8000000Eu);
    EXPECT_EQ(BlowfishF(state, 0x78563412), 0u);
}

}  // namespace
}  // namespace vellamark
