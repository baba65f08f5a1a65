#include "browser/browser_command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vellamark {
namespace {

bool Has(const std::vector<std::string>& args, const std::string& flag) {
    return std::find(args.begin(), args.end(), flag) != args.end();
}

TEST(ChromiumArgumentsTest, FlagsDependOnPlatformPipesAndUser) {
    struct Row {
        const char* name;
        BrowserCommandLineSettings settings;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const std::vector<Row> rows = {
        {"posix pipes, ordinary user",
         {"/home/u/.cache/vellamark/profiles/p1", "x11", false, "", ""},
         {"--remote-debugging-pipe", "--user-data-dir=/home/u/.cache/vellamark/profiles/p1",
          "--ozone-platform=x11"},
         {"--no-sandbox"}},
        {"posix pipes, root, Wayland",
         {"/var/lib/u/p", "wayland", true, "", ""},
         {"--no-sandbox", "--ozone-platform=wayland"},
         {}},
        {"windows handles",
         {"C:\\Users\\u\\p 1", "", false, "1234", "5678"},
         {"--remote-debugging-io-pipes=1234,5678", "--user-data-dir=C:\\Users\\u\\p 1"},
         {"--remote-debugging-pipe", "--no-sandbox", "--ozone-platform="}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto args = ChromiumArguments(row.settings);
        for (const auto& flag : row.present) {
            EXPECT_TRUE(Has(args, flag)) << flag;
        }
        for (const auto& flag : row.absent) {
            EXPECT_FALSE(Has(args, flag)) << flag;
        }
        // No window until the driver makes one, the automation defaults, and no TCP debugging
        // port ever.
        for (const char* flag : {"--silent-launch", "--no-first-run", "--no-default-browser-check",
                                 "--disable-background-networking", "--disable-component-update",
                                 "--disable-sync", "--disable-backgrounding-occluded-windows",
                                 "--disable-renderer-backgrounding", "--password-store=basic"}) {
            EXPECT_TRUE(Has(args, flag)) << flag;
        }
        for (const auto& arg : args) {
            EXPECT_EQ(arg.find("--remote-debugging-port"), std::string::npos) << arg;
            EXPECT_EQ(arg.find("--app="), std::string::npos) << arg;
        }
    }
}

TEST(QuoteWindowsArgumentTest, QuotesOnlyWhatNeedsIt) {
    struct Row {
        const char* name;
        std::string in;
        std::string out;
    };
    const std::vector<Row> rows = {
        {"plain", "--no-first-run", "--no-first-run"},
        {"empty", "", "\"\""},
        {"space", "C:\\Program Files\\x", "\"C:\\Program Files\\x\""},
        {"backslashes without quote stay single", "a\\\\b c", "\"a\\\\b c\""},
        {"quote is escaped", "a\"b", "\"a\\\"b\""},
        {"backslashes before a quote double", "a\\\"b", "\"a\\\\\\\"b\""},
        {"trailing backslash before closing quote doubles", "C:\\dir with space\\",
         "\"C:\\dir with space\\\\\""},
        {"tab", "a\tb", "\"a\tb\""},
        {"trailing backslash without space stays", "C:\\dir\\", "C:\\dir\\"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(QuoteWindowsArgument(row.in), row.out);
    }
}

TEST(WindowsCommandLineTest, ProgramQuotedArgumentsJoinedBySpaces) {
    EXPECT_EQ(WindowsCommandLine("C:\\Program Files\\Edge\\msedge.exe", {"--a", "b c"}),
              "\"C:\\Program Files\\Edge\\msedge.exe\" --a \"b c\"");
}

TEST(AddressToUrlTest, PlainPathsBecomeFileUrls) {
    struct Row {
        const char* name;
        std::string in;
        std::string out;
    };
    const std::vector<Row> rows = {
        {"about page unchanged", "about:blank", "about:blank"},
        {"web address unchanged", "https://vellamark.example/p?id=1",
         "https://vellamark.example/p?id=1"},
        {"file url unchanged", "file:///tmp/a.htm", "file:///tmp/a.htm"},
        {"posix path", "/home/u/vellamar_093512.htm", "file:///home/u/vellamar_093512.htm"},
        {"posix path with space and percent", "/home/u v/a%b.htm", "file:///home/u%20v/a%25b.htm"},
        {"non-ascii bytes encoded", "/tmp/\xC3\xA9.htm", "file:///tmp/%C3%A9.htm"},
        {"windows drive path", "C:\\vellamark\\vellamar_093512.htm",
         "file:///C:/vellamark/vellamar_093512.htm"},
        {"windows path with space", "c:\\Program Files\\v\\a.htm",
         "file:///c:/Program%20Files/v/a.htm"},
        {"unc path", "\\\\server\\share\\a.htm", "file://server/share/a.htm"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AddressToUrl(row.in), row.out);
    }
}

TEST(AddressToUrlTest, RelativePathIsMadeAbsolute) {
    const auto url = AddressToUrl("page.htm");
    ASSERT_EQ(url.rfind("file:///", 0), 0u) << url;
    EXPECT_EQ(url.substr(url.size() - 9), "/page.htm");
}

}  // namespace
}  // namespace vellamark
