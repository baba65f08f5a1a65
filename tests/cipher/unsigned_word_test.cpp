#include "cipher/unsigned_word.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

namespace vellamark {
namespace {

TEST(UnsignedWord, AddWordsModulo) {
    struct Row {
        std::uint32_t a;
        std::uint32_t b;
        std::uint32_t sum;
    };
    const Row rows[] = {
        {0xFFFFFFFF, 0x00000001, 0x00000000}, {0x80000000, 0x80000000, 0x00000000},
        {0x7FFFFFFF, 0x00000001, 0x80000000}, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFE},
        {0x12345678, 0x11111111, 0x23456789},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(AddWordsModulo(row.a, row.b), row.sum) << std::hex << row.a << "+" << row.b;
        // The route through unsigned values: add, take off 2^32 when reached, back to a word.
        double total = WordToUnsigned(row.a) + WordToUnsigned(row.b);
        if (total >= 4294967296.0)
            total -= 4294967296.0;
        EXPECT_EQ(UnsignedToWord(total), std::optional<std::uint32_t>(row.sum));
    }
}

TEST(UnsignedWord, ShiftWordLeft8) {
    EXPECT_EQ(ShiftWordLeft8(0x12345678), 0x34567800u);
    EXPECT_EQ(ShiftWordLeft8(0x00800001), 0x80000100u);
    EXPECT_EQ(ShiftWordLeft8(0xFF000000), 0x00000000u);
}

TEST(UnsignedWord, JoinAndSplitBytes) {
    struct Row {
        std::uint8_t b[4];
        std::uint32_t word;
    };
    const Row rows[] = {
        {{0x12, 0x34, 0x56, 0x78}, 0x12345678},
        {{0x80, 0x00, 0x00, 0x00}, 0x80000000},
        {{0x00, 0x00, 0x00, 0xFF}, 0x000000FF},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFF},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(JoinWordBytes(row.b[0], row.b[1], row.b[2], row.b[3]), row.word);
        std::uint8_t b0 = 0, b1 = 0, b2 = 0, b3 = 0;
        SplitWordBytes(row.word, b0, b1, b2, b3);
        EXPECT_EQ(b0, row.b[0]);
        EXPECT_EQ(b1, row.b[1]);
        EXPECT_EQ(b2, row.b[2]);
        EXPECT_EQ(b3, row.b[3]);
    }
}

TEST(UnsignedWord, UnsignedValuesAndTheOverflowError) {
    EXPECT_EQ(WordToUnsigned(0xFFFFFFFF), 4294967295.0);
    EXPECT_EQ(WordToUnsigned(0x80000000), 2147483648.0);
    EXPECT_EQ(WordToUnsigned(0), 0.0);
    struct Row {
        const char* name;
        double in;
        std::optional<std::uint32_t> out;
    };
    const Row rows[] = {
        {"largest", 4294967295.0, 0xFFFFFFFF},
        {"top bit", 2147483648.0, 0x80000000},
        {"zero", 0.0, 0x00000000},
        {"negative zero", -0.0, 0x00000000},
        {"2^32 overflows", 4294967296.0, std::nullopt},
        {"-1 overflows", -1.0, std::nullopt},
        {"just below 0", -0.5, std::nullopt},
        {"not a whole number", 1.5, std::nullopt},
        {"not a number", std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {"infinity", std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(UnsignedToWord(row.in), row.out) << row.name;
    }
}

}  // namespace
}  // namespace vellamark
