// The three-way merge of the saved accounts at a save.
#include "store/account_merge.h"

#include <gtest/gtest.h>

namespace vellamark {
namespace {

TEST(MergeAccountsTest, TakesThisWindowsChangesAndKeepsTheOthers) {
    const Account a{"ann", "a", "1"}, a2{"ann", "a2", "1"}, b{"ben", "b", "2"}, c{"cat", "c", "3"};
    struct Row {
        const char* name;
        AccountList base, ours, theirs, merged;
    };
    const Row rows[] = {
        {"another launcher added one", {a}, {a}, {a, c}, {a, c}},
        {"both added one", {a}, {a, b}, {a, c}, {a, b, c}},
        {"another launcher changed a password", {a, b}, {a, b}, {a2, b}, {a2, b}},
        {"this window changed it too: its own wins", {a, b}, {a2, b}, {a, b}, {a2, b}},
        {"another launcher removed one", {a, b}, {a, b}, {b}, {b}},
        {"this window removed one the other changed", {a, b}, {b}, {a2, b}, {b}},
        {"nothing was read: everything stored is kept", {}, {b}, {a, b}, {b, a}},
        {"the same name twice", {a, a}, {a, a2}, {a, a, c}, {a, a2, c}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MergeAccounts(row.base, row.ours, row.theirs), row.merged) << row.name;
    }
}

}  // namespace
}  // namespace vellamark
