// The list format's letter test; the codec's other rules are the account store's tests.
#include "store/list_codec.h"

#include <gtest/gtest.h>

namespace vellamark {
namespace {

TEST(LetterTest, PassesOnlyEmptyTextAndTheLatinLetters) {
    struct Row {
        const char* list;
        bool passes;
    };
    const Row rows[] = {{"", true},      {"alice,", true},   {"Zed,", true},
                        {"1st,", false}, {" alice,", false}, {"\xC3\xA9mile,", false},
                        {",", false},    {"_x,", false},     {"[x,", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(PassesLetterTest(row.list), row.passes) << row.list;
    }
}

}  // namespace
}  // namespace vellamark
