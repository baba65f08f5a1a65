// vellamark-reg's commands, run in-process on a scratch store.
#include "tools/vellamark-reg/reg_command.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "store/registry.h"
#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

constexpr char kNotFound[] =
    "ERROR: The system was unable to find the specified registry key or value.\n";

struct RegRun {
    int exit = -1;
    std::string out;
    std::string err;
};

class RegCommand : public ::testing::Test {
protected:
    // Runs a command line in which "{K}" stands for this test's key.
    RegRun Reg(const std::vector<std::string>& args, const std::string& input = "") {
        std::vector<std::string> expanded;
        for (const auto& arg : args) {
            expanded.push_back(Expand(arg));
        }
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        RegRun run;
        run.exit = RunRegCommand(expanded, store_.backend(), in, out, err);
        run.out = out.str();
        run.err = err.str();
        return run;
    }
    std::string Expand(std::string text) const {
        for (auto at = text.find("{K}"); at != std::string::npos; at = text.find("{K}")) {
            text.replace(at, 3, store_.base());
        }
        return text;
    }

    testsupport::ScratchStore store_;
};

TEST_F(RegCommand, AddsQueriesAndDeletesValues) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::string input;
        int exit;
        std::string out;  // with KEY for the test's key
        std::string err;
    };
    const std::string done = "The operation completed successfully.\n";
    const Row rows[] = {
        {"add a key", {"add", "HKCU\\{K}\\Sub"}, "", 0, done, ""},
        {"add text", {"add", "HKCU\\{K}\\Sub", "/v", "username", "/d", "alice"}, "", 0, done, ""},
        {"add a number in hex",
         {"add", "HKCU\\{K}\\Sub", "/v", "n", "/t", "REG_DWORD", "/d", "0x1F"},
         "",
         0,
         done,
         ""},
        {"add bytes",
         {"add", "HKCU\\{K}\\Sub", "/v", "b", "/t", "reg_binary", "/d", "00aBff"},
         "",
         0,
         done,
         ""},
        {"query one value, any case",
         {"query", "HKEY_CURRENT_USER\\{K}\\sub\\", "/v", "USERNAME"},
         "",
         0,
         "\nHKEY_CURRENT_USER\\{K}\\sub\n    username    REG_SZ    alice\n\n",
         ""},
        {"query a number",
         {"query", "HKCU\\{K}\\Sub", "/v", "n"},
         "",
         0,
         "\nHKEY_CURRENT_USER\\{K}\\Sub\n    n    REG_DWORD    0x1f\n\n",
         ""},
        {"query bytes",
         {"query", "HKCU\\{K}\\Sub", "/v", "b"},
         "",
         0,
         "\nHKEY_CURRENT_USER\\{K}\\Sub\n    b    REG_BINARY    00ABFF\n\n",
         ""},
        {"replace refused without /f",
         {"add", "HKCU\\{K}\\Sub", "/v", "n", "/d", "x"},
         "no\n",
         1,
         "Value n exists, overwrite (Yes/No)? ",
         "ERROR: The value was not overwritten.\n"},
        {"replace with /f",
         {"add", "HKCU\\{K}\\Sub", "/v", "n", "/t", "REG_DWORD", "/d", "4294967295", "/f"},
         "",
         0,
         done,
         ""},
        {"replaced number",
         {"query", "HKCU\\{K}\\Sub", "/v", "n"},
         "",
         0,
         "\nHKEY_CURRENT_USER\\{K}\\Sub\n    n    REG_DWORD    0xffffffff\n\n",
         ""},
        {"missing value", {"query", "HKCU\\{K}\\Sub", "/v", "nope"}, "", 1, "", kNotFound},
        {"missing key", {"query", "HKCU\\{K}\\Nope"}, "", 1, "", kNotFound},
        {"delete a value", {"delete", "HKCU\\{K}\\Sub", "/v", "b", "/f"}, "", 0, done, ""},
        {"deleted value", {"query", "HKCU\\{K}\\Sub", "/v", "b"}, "", 1, "", kNotFound},
        {"delete a missing value",
         {"delete", "HKCU\\{K}\\Sub", "/v", "b", "/f"},
         "",
         1,
         "",
         kNotFound},
        {"delete a key confirmed",
         {"delete", "HKCU\\{K}\\Sub"},
         "yes\n",
         0,
         "Permanently delete the registry key HKEY_CURRENT_USER\\{K}\\Sub (Yes/No)? " + done,
         ""},
        {"deleted key", {"query", "HKCU\\{K}\\Sub"}, "", 1, "", kNotFound},
    };
    for (const auto& row : rows) {
        const RegRun run = Reg(row.args, row.input);
        EXPECT_EQ(run.exit, row.exit) << row.name;
        EXPECT_EQ(run.out, Expand(row.out)) << row.name;
        EXPECT_EQ(run.err, row.err) << row.name;
    }
}

TEST_F(RegCommand, QueryListsEveryValueOfTheKey) {
    ASSERT_EQ(Reg({"add", "HKCU\\{K}", "/v", "a", "/d", "one"}).exit, 0);
    ASSERT_EQ(Reg({"add", "HKCU\\{K}", "/v", "m", "/t", "REG_MULTI_SZ", "/d", "x\\0y"}).exit, 0);
    const RegRun run = Reg({"query", "HKCU\\{K}"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_NE(run.out.find("    a    REG_SZ    one\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("    m    REG_MULTI_SZ    x\\0y\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.rfind(Expand("\nHKEY_CURRENT_USER\\{K}\n"), 0), 0u) << run.out;
}

TEST_F(RegCommand, StoresTextWithOneClosingNul) {
    ASSERT_EQ(Reg({"add", "HKCU\\{K}", "/v", "t", "/d", "abc"}).exit, 0);
    {
        RegistrySession whole(store_.shared());
        const RegistryInUse use(whole);
        EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, store_.base(), "t"),
                  TaggedValue(std::string("abc")));
    }
    RegistryHandle handle = 0;
    ASSERT_EQ(store_.backend().OpenKey(kHkeyCurrentUser, store_.base(), handle), kErrorSuccess);
    std::uint32_t kind = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(store_.backend().QueryValue(handle, "t", kind, nullptr, size), kErrorSuccess);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(store_.backend().CloseKey(handle), kErrorSuccess);
}

TEST_F(RegCommand, RefusesBadArgumentsWithOneLine) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
    };
    const Row rows[] = {
        {"nothing", {}},
        {"unknown command", {"copy", "HKCU\\{K}"}},
        {"no key", {"query"}},
        {"other root", {"query", "HKLM\\Software"}},
        {"/v without a name", {"query", "HKCU\\{K}", "/v"}},
        {"number that is not one", {"add", "HKCU\\{K}", "/v", "n", "/t", "REG_DWORD", "/d", "12x"}},
        {"number too large",
         {"add", "HKCU\\{K}", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"}},
        {"odd hex", {"add", "HKCU\\{K}", "/v", "b", "/t", "REG_BINARY", "/d", "abc"}},
        {"unknown kind", {"add", "HKCU\\{K}", "/v", "q", "/t", "REG_WHATEVER", "/d", "1"}},
        {"data without a name", {"add", "HKCU\\{K}", "/d", "1"}},
        {"option of another command", {"query", "HKCU\\{K}", "/f"}},
    };
    for (const auto& row : rows) {
        const RegRun run = Reg(row.args);
        EXPECT_EQ(run.exit, 1) << row.name;
        EXPECT_EQ(run.out, "") << row.name;
        EXPECT_EQ(run.err.rfind("ERROR: ", 0), 0u) << row.name << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << row.name;
    }
    // Nothing was created by the refused adds.
    EXPECT_EQ(Reg({"query", "HKCU\\{K}"}).exit, 1);
    EXPECT_EQ(Reg({"/?"}).exit, 0);
}

}  // namespace
}  // namespace vellamark
