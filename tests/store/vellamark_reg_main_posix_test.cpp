// The installed vellamark-reg program run as a user runs it, on a temporary store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Slurp(const fs::path& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

struct ToolRun {
    int exit;
    std::string out;
    std::string err;
};

ToolRun RunTool(const std::string& config, const std::vector<std::string>& args) {
    const fs::path out = fs::path(config) / "out.txt";
    const fs::path err = fs::path(config) / "err.txt";
    std::string command = "XDG_CONFIG_HOME=" + Quote(config) + " " + Quote(VELLAMARK_REG_PATH);
    for (const auto& arg : args) {
        command += " " + Quote(arg);
    }
    command += " </dev/null >" + Quote(out.string()) + " 2>" + Quote(err.string());
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

TEST(RegTool, WorksOnTheUsersStoreWithRegsTextAndExitCodes) {
    testsupport::TempFolder config;
    const std::string done = "The operation completed successfully.\n";
    const std::string notFound =
        "ERROR: The system was unable to find the specified registry key or value.\n";
    struct Row {
        const char* name;
        std::vector<std::string> args;
        int exit;
        std::string out;
        std::string err;
    };
    const Row rows[] = {
        {"missing key", {"query", "HKCU\\Software\\Corvane\\Vellamar"}, 1, "", notFound},
        {"add",
         {"add", "HKCU\\Software\\Corvane\\Vellamar\\", "/v", "savepasswords", "/d", "1"},
         0,
         done,
         ""},
        {"query",
         {"query", "HKEY_CURRENT_USER\\Software\\Corvane\\Vellamar"},
         0,
         "HKEY_CURRENT_USER\\Software\\Corvane\\Vellamar\n    savepasswords    REG_SZ    1\n",
         ""},
        {"delete without an answer",
         {"delete", "HKCU\\Software\\Corvane"},
         1,
         "Permanently delete the registry key HKEY_CURRENT_USER\\Software\\Corvane (Yes/No)? ",
         "ERROR: Nothing was deleted.\n"},
        {"delete /f", {"delete", "HKCU\\Software\\Corvane", "/f"}, 0, done, ""},
        {"deleted", {"query", "HKCU\\Software\\Corvane\\Vellamar"}, 1, "", notFound},
        {"bad arguments",
         {"query", "HKLM\\Software"},
         1,
         "",
         "ERROR: Invalid key name: \"HKLM\\Software\" does not begin with HKCU\\ or "
         "HKEY_CURRENT_USER\\.\n"},
    };
    for (const auto& row : rows) {
        const ToolRun result = RunTool(config.text(), row.args);
        EXPECT_EQ(result.exit, row.exit) << row.name;
        EXPECT_EQ(result.out, row.out) << row.name;
        EXPECT_EQ(result.err, row.err) << row.name;
    }
    EXPECT_TRUE(fs::exists(fs::path(config.path()) / "vellamark" / "registry.sqlite3"));
}

}  // namespace
}  // namespace vellamark
