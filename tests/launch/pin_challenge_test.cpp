#include "launch/pin_challenge.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace vellamark {
namespace {

struct ChallengeRow {
    const char* name;
    const char* time;
    std::int64_t seed;
    int i1, i2, i3;
};

// The published examples, including the one where both corrections apply.
const ChallengeRow kPublishedExamples[] = {
    {"MorningPlain", "093512", 1234567, 8, 1, 2},
    {"LastSecondOfTheDay", "235959", 7777777, 4, 3, 9},
    {"FirstSecondLargestSeed", "000001", 10000048, 7, 1, 0},
    {"BothCorrections", "142305", 9999999, 7, 4, 1},
};

class PublishedExample : public ::testing::TestWithParam<ChallengeRow> {};

TEST_P(PublishedExample, GivesThePublishedPositionsAndCharacters) {
    const ChallengeRow& row = GetParam();
    // With the PIN "0123456789" each character names its own index.
    const auto challenge = ComputePinChallenge(row.time, row.seed, "0123456789");
    ASSERT_TRUE(challenge.has_value());
    EXPECT_EQ(challenge->i1, row.i1);
    EXPECT_EQ(challenge->i2, row.i2);
    EXPECT_EQ(challenge->i3, row.i3);
    EXPECT_EQ(challenge->pin1, std::to_string(row.i1));
    EXPECT_EQ(challenge->pin2, std::to_string(row.i2));
    EXPECT_EQ(challenge->pin3, std::to_string(row.i3));
}

INSTANTIATE_TEST_SUITE_P(PinChallenge, PublishedExample, ::testing::ValuesIn(kPublishedExamples),
                         [](const auto& row) { return std::string(row.param.name); });

struct RejectedRow {
    const char* name;
    const char* time;
};

class RejectedTime : public ::testing::TestWithParam<RejectedRow> {};

TEST_P(RejectedTime, GivesNoChallenge) {
    EXPECT_FALSE(ComputePinChallenge(GetParam().time, 1234567, "123456789").has_value());
}

INSTANTIATE_TEST_SUITE_P(PinChallenge, RejectedTime,
                         ::testing::Values(RejectedRow{"Midnight", "000000"},
                                           RejectedRow{"TooShort", "93512"},
                                           RejectedRow{"NotDigits", "09:351"},
                                           RejectedRow{"Empty", ""}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PinChallenge, ShortPinGivesEmptyTextOnlyForPositionsPastItsEnd) {
    // 093512 / 1234567 asks for indexes 8, 1 and 2.
    const auto challenge = ComputePinChallenge("093512", 1234567, "4821");
    ASSERT_TRUE(challenge.has_value());
    EXPECT_EQ(challenge->pin1, "");
    EXPECT_EQ(challenge->pin2, "8");
    EXPECT_EQ(challenge->pin3, "2");

    const auto empty = ComputePinChallenge("093512", 1234567, "");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->pin1 + empty->pin2 + empty->pin3, "");
}

TEST(PinChallenge, CountsCharactersNotBytes) {
    // Index 1 and 2 of "aéü€x" are whole characters of two and two bytes.
    const auto challenge = ComputePinChallenge("093512", 1234567, "a\xC3\xA9\xC3\xBC\xE2\x82\xAC");
    ASSERT_TRUE(challenge.has_value());
    EXPECT_EQ(challenge->pin2, "\xC3\xA9");
    EXPECT_EQ(challenge->pin3, "\xC3\xBC");
}

// An independent reckoning with whole numbers only: the quotient's first character is the
// leading digit of floor(S / T) when S >= T and "0" otherwise (no quotient of these sizes lies
// close enough below a power of ten for 15 significant digits to round it up).
int ReferenceSecondPosition(std::int64_t s, std::int64_t t) {
    if (s < t) {
        return 0;
    }
    std::int64_t whole = s / t;
    while (whole >= 10) {
        whole /= 10;
    }
    return static_cast<int>(whole);
}

TEST(PinChallenge, AgreesWithAWholeNumberReckoningAcrossTheDay) {
    const std::int64_t seeds[] = {50, 51, 999, 93512, 93513, 1234567, 5000000, 9999999, 10000048};
    int checked = 0;
    for (int hour = 0; hour < 24; hour += 1) {
        for (int minute = 0; minute < 60; minute += 7) {
            for (int second = 0; second < 60; second += 13) {
                const std::int64_t t = hour * 10000 + minute * 100 + second;
                if (t == 0) {
                    continue;
                }
                char text[8];
                std::snprintf(text, sizeof text, "%06d", static_cast<int>(t));
                for (const std::int64_t s : seeds) {
                    const auto c = ComputePinChallenge(text, s, "0123456789");
                    ASSERT_TRUE(c.has_value()) << text;
                    const int i1 = static_cast<int>((s * t / 17) % 8) + 1;
                    int i2 = ReferenceSecondPosition(s, t);
                    if (i2 == i1) {
                        i2 = ((i1 + 5) % 9) + 1;
                    }
                    EXPECT_EQ(c->i1, i1) << text << " " << s;
                    EXPECT_EQ(c->i2, i2) << text << " " << s;
                    EXPECT_GE(c->i3, 0);
                    EXPECT_LE(c->i3, 9);
                    EXPECT_NE(c->i3, c->i1) << text << " " << s;
                    EXPECT_NE(c->i3, c->i2) << text << " " << s;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

}  // namespace
}  // namespace vellamark
