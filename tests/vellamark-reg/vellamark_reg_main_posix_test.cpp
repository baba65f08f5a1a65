// The installed vellamark-reg program run as a user runs it, on a temporary store.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process_posix.h"
#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;

using testsupport::ReadFile;

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
        {"a query makes no store", {"query", "HKCU\\Software"}, 1, "", notFound},
        {"add",
         {"add", "HKCU\\Software\\Corvane\\Vellamar\\", "/v", "savepasswords", "/d", "1"},
         0,
         done,
         ""},
        {"query",
         {"query", "HKEY_CURRENT_USER\\Software\\Corvane\\Vellamar"},
         0,
         "\nHKEY_CURRENT_USER\\Software\\Corvane\\Vellamar\n    savepasswords    REG_SZ    1\n\n",
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
    const fs::path store = fs::path(config.path()) / "vellamark" / "registry.sqlite3";
    for (const auto& row : rows) {
        const ToolRun result = RunTool(config.text(), row.args);
        EXPECT_EQ(result.exit, row.exit) << row.name;
        EXPECT_EQ(result.out, row.out) << row.name;
        EXPECT_EQ(result.err, row.err) << row.name;
        if (&row == &rows[1]) {
            EXPECT_FALSE(fs::exists(store)) << "a query made the store";
        }
    }
    EXPECT_TRUE(fs::exists(store));
}

TEST(RegTool, QueryListsSubkeysAsRegDoes) {
    testsupport::TempFolder config;
    for (const char* key : {"HKCU\\Software\\V\\beta", "HKCU\\Software\\V\\Alpha"}) {
        ASSERT_EQ(RunTool(config.text(), {"add", key}).exit, 0);
    }
    ASSERT_EQ(RunTool(config.text(), {"add", "HKCU\\Software\\V", "/v", "m", "/t", "REG_MULTI_SZ",
                                      "/d", "a\\0\\0b"})
                  .exit,
              0);
    const ToolRun run = RunTool(config.text(), {"query", "HKCU\\Software\\V"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.out,
              "\nHKEY_CURRENT_USER\\Software\\V\n    m    REG_MULTI_SZ    a\\0\\0b\n\n"
              "HKEY_CURRENT_USER\\Software\\V\\Alpha\nHKEY_CURRENT_USER\\Software\\V\\beta\n");
    EXPECT_EQ(RunTool(config.text(), {"query", "HKCU\\Software"}).out,
              "\nHKEY_CURRENT_USER\\Software\\V\n");
}

// A save cut short: a process changes the values, writes more than its page cache holds (so
// changed pages reach the file before the commit) and dies, as kill -9 leaves it.
void CutShortSave(const fs::path& store) {
    (void)testsupport::InChildProcess([&]() -> std::string {
        sqlite3* db = nullptr;
        sqlite3_open(store.c_str(), &db);
        sqlite3_exec(
            db,
            "PRAGMA cache_size=1; BEGIN; UPDATE reg_values SET data=X'3200'; WITH RECURSIVE "
            "n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<300) INSERT INTO "
            "reg_values SELECT (SELECT key_id FROM reg_values), i, 1, zeroblob(3000) FROM n",
            nullptr, nullptr, nullptr);
        ::_exit(0);
    });
}

TEST(RegTool, AStoreItCannotUseIsNamedWithTheReasonAndAQueryChangesNothing) {
    const std::string open = "ERROR: The settings database cannot be opened: ";
    const std::vector<std::string> query = {"query", "HKCU\\Software\\Corvane"};
    struct Row {
        const char* name;
        std::function<void(const fs::path&)> spoil;  // the store, which holds one value
        std::vector<std::string> args;
        int exit;
        std::string out;
        std::string err;          // {F}: the store's path
        bool rolledBack = false;  // the file itself changes: a save cut short is rolled back
    };
    const std::string one = "\nHKEY_CURRENT_USER\\Software\\Corvane\n    v    REG_SZ    1\n\n";
    const Row rows[] = {
        {"a folder",
         [](const fs::path& p) {
             fs::remove(p);
             fs::create_directory(p);
         },
         query, 1, "", open + "{F} is a folder, not a file.\n"},
        {"damaged", [](const fs::path& p) { std::ofstream(p) << "not a database"; }, query, 1, "",
         open + "{F} is damaged (the file is not a database); the launcher moves it aside and "
                "starts a new one when it next opens it for writing.\n"},
        {"read-only, queried", [](const fs::path& p) { ::chmod(p.c_str(), 0400); }, query, 0,
         "\nHKEY_CURRENT_USER\\Software\\Corvane\n    v    REG_SZ    1\n\n", ""},
        {"read-only, written",
         [](const fs::path& p) { ::chmod(p.c_str(), 0400); },
         {"add", "HKCU\\Software\\Corvane", "/v", "v", "/d", "2", "/f"},
         1,
         "",
         "ERROR: Access is denied.\n"},
        {"unreadable", [](const fs::path& p) { ::chmod(p.c_str(), 0); }, query, 1, "",
         open + "access is denied: {F} cannot be read (Permission denied).\n"},
        {"a save cut short, queried", CutShortSave, query, 0, one, "", true},
        {"a save cut short, read-only, queried",
         [](const fs::path& p) { CutShortSave(p), ::chmod(p.c_str(), 0400); }, query, 0, one, ""},
    };
    for (const auto& row : rows) {
        testsupport::TempFolder config;
        const fs::path store = fs::path(config.path()) / "vellamark" / "registry.sqlite3";
        ASSERT_EQ(RunTool(config.text(), {"add", query[1], "/v", "v", "/d", "1"}).exit, 0);
        row.spoil(store);
        const auto contents = [&] { return fs::is_regular_file(store) ? ReadFile(store) : ""; };
        const std::string before = contents();
        std::string err = row.err;
        if (const auto at = err.find("{F}"); at != std::string::npos) {
            err.replace(at, 3, store.string());
        }
        // Without privileges, so that file modes bind root too.
        EXPECT_EQ(testsupport::InChildProcess([&]() -> std::string {
                      const ToolRun run = testsupport::DropPrivileges()
                                              ? RunTool(config.text(), row.args)
                                              : ToolRun{-1, "", "cannot drop privileges"};
                      return run.exit == row.exit && run.out == row.out && run.err == err
                                 ? ""
                                 : std::to_string(run.exit) + ": " + run.out + run.err;
                  }),
                  "")
            << row.name;
        ::chmod(store.c_str(), 0600);
        // Nothing was moved aside or changed.
        EXPECT_EQ(contents() == before, !row.rolledBack) << row.name;
        EXPECT_EQ(std::distance(fs::directory_iterator(store.parent_path()), {}),
                  fs::exists(store.string() + "-journal") ? 2 : 1)
            << row.name;
    }
}

}  // namespace
}  // namespace vellamark
