#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "browser/browser_command_line.h"

namespace vellamark {
namespace {

// Windows' own parser of command lines, the reference our quoting must satisfy.
std::vector<std::string> SplitWithShell(const std::string& line) {
    using Split = LPWSTR*(WINAPI*)(LPCWSTR, int*);
    HMODULE shell = ::LoadLibraryW(L"shell32.dll");
    EXPECT_NE(shell, nullptr);
    auto split = reinterpret_cast<Split>(
        reinterpret_cast<void*>(::GetProcAddress(shell, "CommandLineToArgvW")));
    EXPECT_NE(split, nullptr);
    const int wideSize = ::MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide.data(), wideSize);
    int count = 0;
    LPWSTR* args = split(wide.c_str(), &count);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, args[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(n), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, args[i], -1, arg.data(), n, nullptr, nullptr);
        arg.pop_back();  // the terminating NUL
        out.push_back(arg);
    }
    ::LocalFree(args);
    return out;
}

TEST(WindowsCommandLineTest, ShellReadsEveryArgumentBackUnchanged) {
    struct Row {
        const char* name;
        std::string program;
        std::vector<std::string> args;
    };
    const std::vector<Row> rows = {
        {"plain", "C:\\Edge\\msedge.exe", {"--no-first-run", "--app=data:text/html,"}},
        {"spaces in program and profile",
         "C:\\Program Files (x86)\\Microsoft\\Edge\\Application\\msedge.exe",
         {"--user-data-dir=C:\\Users\\Jo Smith\\AppData\\Local\\vellamark\\profiles\\p 1"}},
        {"empty argument", "C:\\b.exe", {"", "x"}},
        {"quotes and backslashes",
         "C:\\b.exe",
         {"a\"b", "a\\\"b", "trailing\\", "sp ace\\", "\\\\server\\share", "\"", "\\\\\""}},
        {"tabs and non-ascii", "C:\\b.exe", {"a\tb", "caf\xC3\xA9 au lait"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> expected = {row.program};
        expected.insert(expected.end(), row.args.begin(), row.args.end());
        EXPECT_EQ(SplitWithShell(WindowsCommandLine(row.program, row.args)), expected);
    }
}

TEST(WindowsCommandLineTest, ChromiumArgumentsSurviveTheRoundTrip) {
    BrowserCommandLineSettings settings;
    settings.profileDir = "C:\\Users\\A \"quoted\" name\\AppData\\Local\\vellamark\\profiles\\x\\";
    settings.pipeIn = "548";
    settings.pipeOut = "552";
    const auto args = ChromiumArguments(settings);
    const auto split = SplitWithShell(WindowsCommandLine("C:\\Chrome\\chrome.exe", args));
    ASSERT_EQ(split.size(), args.size() + 1);
    EXPECT_EQ(std::vector<std::string>(split.begin() + 1, split.end()), args);
    EXPECT_EQ(split[1], "--remote-debugging-io-pipes=548,552");
}

}  // namespace
}  // namespace vellamark
