#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "browser/browser_locator.h"
#include "tests/support/fake_environment.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;

using testsupport::FakeEnvironment;

void MakeProgram(const fs::path& path, bool executable = true) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), executable ? 0755 : 0644);
}

TEST(LocateBrowserTest, SearchOrder) {
    struct Row {
        const char* name;
        std::vector<std::string>
            programs;                 // "dir/name" under the temp folder; "!" = not executable
        std::string browserVariable;  // relative to the temp folder; "" = unset
        std::string expected;         // relative path found; "" = none
    };
    const std::vector<Row> rows = {
        {"chromium first", {"a/google-chrome", "b/chromium"}, "", "b/chromium"},
        {"earlier folder wins for the same name", {"a/chromium", "b/chromium"}, "", "a/chromium"},
        {"chrome when no chromium",
         {"b/google-chrome-stable", "a/brave-browser"},
         "",
         "b/google-chrome-stable"},
        {"edge before brave", {"a/brave-browser", "b/microsoft-edge"}, "", "b/microsoft-edge"},
        {"chromium-browser before google-chrome",
         {"a/google-chrome", "b/chromium-browser"},
         "",
         "b/chromium-browser"},
        {"not executable is skipped", {"!a/chromium", "b/brave-browser"}, "", "b/brave-browser"},
        {"variable wins over PATH", {"a/chromium", "c/my-browser"}, "c/my-browser", "c/my-browser"},
        {"nothing found", {"a/firefox"}, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testsupport::TempFolder temp;
        for (auto program : row.programs) {
            const bool executable = program[0] != '!';
            if (!executable) {
                program.erase(0, 1);
            }
            MakeProgram(temp.path() / program, executable);
        }
        std::map<std::string, std::string> env = {
            {"PATH", (temp.path() / "a").string() + ":" + (temp.path() / "b").string()}};
        if (!row.browserVariable.empty()) {
            env["VELLAMARK_BROWSER"] = (temp.path() / row.browserVariable).string();
        }
        const auto found = LocateBrowser(FakeEnvironment(env));
        if (row.expected.empty()) {
            EXPECT_FALSE(found.ok());
            EXPECT_EQ(found.error(), NoBrowserMessage());
        } else {
            ASSERT_TRUE(found.ok()) << found.error();
            EXPECT_EQ(*found, (temp.path() / row.expected).string());
        }
    }
}

TEST(LocateBrowserTest, WrongVariableIsReportedNotPassedOver) {
    testsupport::TempFolder temp;
    MakeProgram(temp.path() / "a" / "chromium");
    const auto found =
        LocateBrowser(FakeEnvironment({{"PATH", (temp.path() / "a").string()},
                                       {"VELLAMARK_BROWSER", (temp.path() / "missing").string()}}));
    EXPECT_FALSE(found.ok());
    EXPECT_NE(found.error().find("VELLAMARK_BROWSER"), std::string::npos) << found.error();
    EXPECT_NE(found.error().find((temp.path() / "missing").string()), std::string::npos);
}

TEST(LocateBrowserTest, MessageNamesBrowsersAndVariable) {
    const auto text = NoBrowserMessage();
    for (const char* word :
         {"Chromium", "Google Chrome", "Microsoft Edge", "Brave", "VELLAMARK_BROWSER"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace vellamark
