// The key text: file times to whole seconds, the rendering, and the executable's creation time.
#include "store/key_text.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <string>

#include "store/account_store.h"
#include "store/program_file.h"
#include "tests/support/scratch_store.h"

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

TEST(RenderKeyTextTest, WritesFullNamesAndTwoDigitFieldsInUtc) {
    // The C locale's names; the program itself renders with the user's.
    struct Row {
        std::int64_t seconds;
        const char* text;
    };
    const Row rows[] = {{0, "Thursday1970January01000000"},
                        {1700000000, "Tuesday2023November14221320"},
                        {951782400, "Tuesday2000February29000000"},
                        {4102444799, "Thursday2099December31235959"}};
    for (const auto& row : rows) {
        EXPECT_EQ(RenderKeyText(row.seconds, true), std::optional<std::string>(row.text))
            << row.seconds;
    }
}

TEST(RenderKeyTextTest, UsesTheNamesItIsGiven) {
    DateNames german;
    german.weekdays = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                       "Donnerstag", "Freitag", "Samstag"};
    german.months = {"Januar", "Februar", "M\xC3\xA4rz", "April",   "Mai",      "Juni",
                     "Juli",   "August",  "September",   "Oktober", "November", "Dezember"};
    EXPECT_EQ(RenderKeyText(1700000000, true, german),
              std::optional<std::string>("Dienstag2023November14221320"));
    EXPECT_EQ(RenderKeyText(1709510400, true, german),
              std::optional<std::string>("Montag2024M\xC3\xA4rz04000000"));
}

TEST(ExecutableKeySourceTest, RendersTheCreationTimeOfTheProgramFile) {
    testsupport::TempFolder folder;
    const std::string file = ProgramFilePath(folder.text());
    ExecutableKeySource keys(folder.text());
    EXPECT_EQ(keys.FileTimeKeyText(), std::nullopt);
    EXPECT_EQ(keys.DateCreatedKeyText(), std::nullopt);

    const std::time_t before = std::time(nullptr);
    std::ofstream(file) << "program";
    const std::time_t after = std::time(nullptr);

    const auto utc = keys.FileTimeKeyText();
    const auto local = keys.DateCreatedKeyText();
    ASSERT_TRUE(utc.has_value());
    ASSERT_TRUE(local.has_value());
    // The file was made between the two clock readings (give or take the rounding).
    bool utcMatches = false;
    bool localMatches = false;
    for (std::int64_t t = before - 1; t <= after + 1; ++t) {
        utcMatches = utcMatches || RenderKeyText(t, true, UserDateNames()) == utc;
        localMatches = localMatches || RenderKeyText(t, false, UserDateNames()) == local;
    }
    EXPECT_TRUE(utcMatches) << *utc;
    EXPECT_TRUE(localMatches) << *local;
}

}  // namespace
}  // namespace vellamark
