// File times to whole seconds, as the key text reads them.
#include "store/file_times.h"

#include <gtest/gtest.h>

namespace vellamark {
namespace {

// 100-nanosecond intervals from 1601 to 1970.
constexpr std::uint64_t kTicksAt1970 = 116444736000000000ull;

TEST(FileTimeToDateTest, RoundsToTheNearestWholeSecond) {
    struct Row {
        const char* name;
        std::uint64_t ticks;
        FileTimeSeconds seconds;
    };
    const Row rows[] = {
        {"the epoch", 0, 0},
        {"1970", kTicksAt1970, kFileTimeToUnixSeconds},
        {"0.4 s drops", kTicksAt1970 + 4000000, kFileTimeToUnixSeconds},
        {"0.6 s rounds up", kTicksAt1970 + 6000000, kFileTimeToUnixSeconds + 1},
        {"a tie goes to the even second", kTicksAt1970 + 5000000, kFileTimeToUnixSeconds},
        {"a tie goes to the even second, upwards", kTicksAt1970 + 15000000,
         kFileTimeToUnixSeconds + 2},
        {"a remainder past the half hour (negative rest)",
         kTicksAt1970 + (1800ull + 59) * 10000000ull + 7000000, kFileTimeToUnixSeconds + 1860},
        {"2023-11-14 22:13:20 UTC", kTicksAt1970 + 1700000000ull * 10000000ull,
         kFileTimeToUnixSeconds + 1700000000},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FileTimeToDate(static_cast<std::uint32_t>(row.ticks),
                                 static_cast<std::uint32_t>(row.ticks >> 32)),
                  row.seconds)
            << row.name;
    }
}

TEST(NearestWholeSecondTest, UsesTheSameRuleAsFileTimes) {
    struct Row {
        std::int64_t seconds;
        std::int64_t nanoseconds;
        std::int64_t expected;
    };
    const Row rows[] = {{10, 0, 10},         {10, 499999999, 10}, {10, 500000000, 10},
                        {11, 500000000, 12}, {10, 500000001, 11}, {10, 999999999, 11}};
    for (const auto& row : rows) {
        EXPECT_EQ(NearestWholeSecond(row.seconds, row.nanoseconds), row.expected)
            << row.seconds << "." << row.nanoseconds;
    }
}

}  // namespace
}  // namespace vellamark
