// The key text: the rendering, the executable's creation time, and the key it gives.
#include "store/key_text.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <string>

#include "store/program_file.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

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

TEST(StoreKey, HasOneByteForEachTwoCharactersOfTheKeyText) {
    struct Row {
        const char* keyText;
        Bytes key;
    };
    const Row rows[] = {
        // Odd length: "0T|ue|sd|ay|20|23|No|ve|mb|er|14|22|13|20", each pair read as far as
        // it has hexadecimal digits.
        {"Tuesday2023November14221320",
         Bytes{0x00, 0x00, 0x00, 0x0A, 0x20, 0x23, 0x00, 0x00, 0x00, 0x0E, 0x14, 0x22, 0x13, 0x20}},
        // A name with a letter outside ASCII counts that letter once, not per UTF-8 byte.
        {"Montag2024M\xC3\xA4rz04101500",
         Bytes{0x00, 0x00, 0x0A, 0x20, 0x24, 0x00, 0x00, 0x04, 0x10, 0x15, 0x00}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StoreKeyFromText(row.keyText), row.key) << row.keyText;
    }
}

}  // namespace
}  // namespace vellamark
