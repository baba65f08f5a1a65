// Where the browser is found on Windows, against wine's own registry: VELLAMARK_BROWSER, then the
// App Paths entries (this user's, then the machine's), then the usual install folders.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <string>

#include "browser/browser_locator.h"
#include "platform/text.h"
#include "tests/support/fake_environment.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

const std::wstring kAppPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// An App Paths entry of this user's for the test's length.
class AppPathEntry {
public:
    AppPathEntry(const wchar_t* program, const std::wstring& value) : key_(kAppPaths + program) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(
            RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ~AppPathEntry() { RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str()); }
    AppPathEntry(const AppPathEntry&) = delete;
    AppPathEntry& operator=(const AppPathEntry&) = delete;

private:
    std::wstring key_;
};

TEST(LocateBrowserWindows, AppPathsComeBeforeTheInstallFolders) {
    testsupport::TempFolder temp;
    const auto make = [&temp](const std::string& name) {
        std::filesystem::create_directories((temp.path() / name).parent_path());
        std::ofstream(temp.path() / name) << "MZ";
        return temp.text() + "\\" + name;
    };
    const std::string edge = make("edge\\msedge.exe");
    const std::string chrome = make("chrome\\chrome.exe");
    const std::string installed = make("Google\\Chrome\\Application\\chrome.exe");
    const std::string chosen = make("mine\\browser.exe");
    struct Row {
        const char* name;
        std::wstring edgeEntry;  // empty: no entry
        std::wstring chromeEntry;
        bool variable;
        std::string expected;  // empty: none found
    };
    const Row rows[] = {
        {"Edge's entry first", WideFromUtf8(edge), WideFromUtf8(chrome), false, edge},
        {"a quoted entry", L"\"" + WideFromUtf8(chrome) + L"\"", L"", false, chrome},
        {"an entry naming a missing file is passed over", L"c:\\nowhere\\msedge.exe",
         WideFromUtf8(chrome), false, chrome},
        {"the install folders without entries", L"", L"", false, installed},
        {"VELLAMARK_BROWSER first", WideFromUtf8(edge), L"", true, chosen},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<AppPathEntry> edgeEntry;
        std::unique_ptr<AppPathEntry> chromeEntry;
        if (!row.edgeEntry.empty()) {
            edgeEntry = std::make_unique<AppPathEntry>(L"msedge.exe", row.edgeEntry);
        }
        if (!row.chromeEntry.empty()) {
            chromeEntry = std::make_unique<AppPathEntry>(L"chrome.exe", row.chromeEntry);
        }
        std::map<std::string, std::string> env = {{"ProgramFiles", temp.text()}};
        if (row.variable) {
            env["VELLAMARK_BROWSER"] = chosen;
        }
        const auto found = LocateBrowser(testsupport::FakeEnvironment(env));
        ASSERT_TRUE(found.ok()) << found.error();
        EXPECT_EQ(*found, row.expected);
    }
}

TEST(LocateBrowserWindows, NoneFoundNamesTheBrowsersAndTheVariable) {
    const auto found = LocateBrowser(testsupport::FakeEnvironment({{"ProgramFiles", "c:\\none"}}));
    ASSERT_FALSE(found.ok());
    for (const char* named : {"Microsoft Edge", "Google Chrome", "VELLAMARK_BROWSER"}) {
        EXPECT_NE(found.error().find(named), std::string::npos) << named;
    }
}

}  // namespace
}  // namespace vellamark
