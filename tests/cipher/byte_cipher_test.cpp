#include "cipher/byte_cipher.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "cipher/blowfish.h"
#include "cipher/blowfish_state.h"
#include "published_vectors.h"
#include "test_bytes.h"

namespace vellamark {
namespace {

using test::ParseHex;
using test::SeededBytes;

BlowfishState KeyedState(const Bytes& key) {
    BlowfishState state;
    EXPECT_TRUE(InitialiseKey(state, key));
    return state;
}

TEST(CipherBytesEcb, EveryBlockOnItsOwn) {
    // All the published plain blocks in one array, each under the same key: the array result
    // must match block-by-block encipherment, whichever lane of the interleaved loop a block
    // falls into. Lengths cover partial groups and a dropped tail.
    const BlowfishState state = KeyedState(ParseHex("0123456789ABCDEF"));
    for (std::size_t length : {0u, 7u, 8u, 20u, 31u, 32u, 40u, 48u, 72u, 88u, 257u, 8192u}) {
        SCOPED_TRACE("length " + std::to_string(length));
        const Bytes data = SeededBytes(length, static_cast<std::uint32_t>(length));
        const Bytes enciphered = CipherBytesEcb(state, data, true);
        ASSERT_EQ(enciphered.size(), length / 8 * 8);
        for (std::size_t p = 0; p + 8 <= length; p += 8) {
            std::array<std::uint8_t, 8> block = test::BlockAt(data, p);
            EncipherBlockBytes(state, block);
            ASSERT_EQ(Bytes(block.begin(), block.end()),
                      Bytes(enciphered.begin() + p, enciphered.begin() + p + 8))
                << "block at " << p;
        }
        const Bytes whole(data.begin(), data.begin() + enciphered.size());
        EXPECT_EQ(CipherBytesEcb(state, enciphered, false), whole);
    }
}

TEST(CipherBytesEcb, EqualPlainBlocksGiveEqualCipherBlocks) {
    const BlowfishState state = KeyedState(Bytes{0x10, 0x20, 0x30});
    const Bytes block = SeededBytes(8, 5);
    Bytes data(16);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = block[i % 8];
    const Bytes out = CipherBytesEcb(state, data, true);
    ASSERT_EQ(out.size(), 16u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), Bytes(out.begin() + 8, out.end()));
    EXPECT_NE(Bytes(out.begin(), out.begin() + 8), Bytes(data.begin(), data.begin() + 8));
}

TEST(CipherBytesEcb, ResultLengths) {
    const BlowfishState state = KeyedState(Bytes{0x01});
    struct Row {
        const char* name;
        std::size_t in;
        std::size_t out;
    };
    const Row rows[] = {
        {"empty", 0, 0},        {"short block", 7, 0},
        {"one block", 8, 8},    {"20 bytes, 4 dropped", 20, 16},
        {"two blocks", 16, 16},
    };
    for (const auto& row : rows) {
        const Bytes data = SeededBytes(row.in, 1);
        EXPECT_EQ(CipherBytesEcb(state, data, true).size(), row.out) << row.name;
        EXPECT_EQ(CipherBytesEcb(state, data, false).size(), row.out) << row.name;
    }
    // The dropped tail does not change the whole blocks.
    const Bytes twenty = SeededBytes(20, 2);
    EXPECT_EQ(CipherBytesEcb(state, twenty, true),
              CipherBytesEcb(state, Bytes(twenty.begin(), twenty.begin() + 16), true));
}

TEST(BlockPadding, AddBlockPadding) {
    struct Row {
        const char* name;
        Bytes in;
        Bytes out;
    };
    const Row rows[] = {
        {"empty: a whole block of 8s", {}, {8, 8, 8, 8, 8, 8, 8, 8}},
        {"7 bytes: one 1", {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7, 1}},
        {"8 bytes: a whole block",
         {1, 2, 3, 4, 5, 6, 7, 8},
         {1, 2, 3, 4, 5, 6, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8}},
        {"9 bytes: seven 7s",
         {9, 9, 9, 9, 9, 9, 9, 9, 9},
         {9, 9, 9, 9, 9, 9, 9, 9, 9, 7, 7, 7, 7, 7, 7, 7}},
        {"1 byte", {0xFF}, {0xFF, 7, 7, 7, 7, 7, 7, 7}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(AddBlockPadding(row.in), row.out) << row.name;
    }
}

TEST(BlockPadding, RemoveBlockPadding) {
    struct Row {
        const char* name;
        Bytes in;
        Bytes out;
    };
    const Row rows[] = {
        {"empty", {}, {}},
        {"last byte 0: unchanged", {1, 2, 3, 0}, {1, 2, 3, 0}},
        {"last byte above 8: unchanged", {1, 2, 3, 9}, {1, 2, 3, 9}},
        {"last byte 0xFF: unchanged", {0xFF}, {0xFF}},
        {"8 bytes of 8: empty", {8, 8, 8, 8, 8, 8, 8, 8}, {}},
        {"only the last byte is read", {0x10, 0x20, 0x41, 0x42, 0x03}, {0x10, 0x20}},
        {"count equal to the length: empty", {5, 5, 5}, {}},
        {"count beyond the length: empty", {8}, {}},
        {"one pad byte", {0x61, 0x62, 0x01}, {0x61, 0x62}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(RemoveBlockPadding(row.in), row.out) << row.name;
    }
}

TEST(PaddedCipher, LengthsAndTheEmptyInput) {
    const BlowfishState state = KeyedState(Bytes{0xAB, 0xCD});
    struct Row {
        std::size_t in;
        std::size_t out;
    };
    for (const Row row : {Row{0, 8}, Row{1, 8}, Row{7, 8}, Row{8, 16}, Row{9, 16}, Row{16, 24}}) {
        EXPECT_EQ(EncipherBytesPadded(state, SeededBytes(row.in, 3)).size(), row.out)
            << row.in << " bytes";
    }
    const Bytes empty_cipher = EncipherBytesPadded(state, {});
    EXPECT_EQ(empty_cipher, CipherBytesEcb(state, Bytes(8, 8), true));
    EXPECT_TRUE(DecipherBytesPadded(state, empty_cipher).empty());
    EXPECT_TRUE(DecipherBytesPadded(state, Bytes{1, 2, 3}).empty()) << "no whole block";
}

TEST(PaddedCipher, RoundTripEveryLengthUnderShortMiddleAndLongestKeys) {
    for (std::size_t key_length : {1u, 8u, 56u}) {
        const BlowfishState state =
            KeyedState(SeededBytes(key_length, static_cast<std::uint32_t>(key_length)));
        for (std::size_t length = 0; length <= 64; ++length) {
            const Bytes data = SeededBytes(length, static_cast<std::uint32_t>(100 + length));
            const Bytes cipher = EncipherBytesPadded(state, data);
            ASSERT_EQ(cipher.size(), (length / 8 + 1) * 8);
            EXPECT_EQ(DecipherBytesPadded(state, cipher), data)
                << "key " << key_length << " bytes, data " << length << " bytes";
        }
    }
}

TEST(PaddedCipher, WrongKeyGivesOtherBytesNotAFailure) {
    const Bytes data = {'a', 'l', 'i', 'c', 'e', ','};
    const Bytes cipher = EncipherBytesPadded(KeyedState(Bytes{1, 2, 3, 4}), data);
    const Bytes wrong = DecipherBytesPadded(KeyedState(Bytes{1, 2, 3, 5}), cipher);
    EXPECT_NE(wrong, data);
    EXPECT_LE(wrong.size(), 8u);
}

TEST(PaddedCipher, DamagedLengthDecipherWholeBlocksOnly) {
    const BlowfishState state = KeyedState(Bytes{7, 7, 7});
    const Bytes data = SeededBytes(13, 4);
    Bytes cipher = EncipherBytesPadded(state, data);
    cipher.push_back(0x55);
    cipher.push_back(0x66);
    EXPECT_EQ(DecipherBytesPadded(state, cipher), data);
}

}  // namespace
}  // namespace vellamark
