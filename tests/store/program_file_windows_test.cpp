// The program file's creation time through the Windows file API, for files dated long before
// 1970 (the file times count from 1601).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/local_time.h"
#include "platform/text.h"
#include "store/account_store.h"
#include "store/key_text.h"
#include "store/program_file.h"
#include "store/registry.h"
#include "tests/support/scratch_store.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

// The key text of a calendar time, with the user's names, written out by hand.
std::string KeyTextOf(const SYSTEMTIME& t) {
    const DateNames names = UserDateNames();
    char digits[32];
    std::snprintf(digits, sizeof digits, "%04u%s%02u%02u%02u%02u", t.wYear,
                  names.months[t.wMonth - 1].c_str(), t.wDay, t.wHour, t.wMinute, t.wSecond);
    return names.weekdays[t.wDayOfWeek] + digits;
}

// Each time set below is a reinstall (another creation time, another key): the account saved
// under the time before is listed, and re-keyed by the save.
TEST(ProgramFileWindows, AFileDatedBefore1970GivesItsKeyTextBothWaysAndKeepsTheAccounts) {
    struct Row {
        std::uint64_t ticks;  // 100 ns since 1601
        SYSTEMTIME utc;       // year, month, weekday, day, hour, minute, second, ms
    };
    const Row rows[] = {
        {864000000000ull, {1601, 1, 2, 2, 0, 0, 0, 0}},
        {94406276960000000ull, {1900, 3, 4, 1, 12, 34, 56, 0}},
        {116444735990000000ull, {1969, 12, 3, 31, 23, 59, 59, 0}},
    };
    // Wine keeps a file's modification time as its creation time, and ext4 none before 1901: the
    // wine run names a folder on a tmpfs, which keeps any date.
    testsupport::TempFolder temp;
    const char* anyDate = std::getenv("VELLAMARK_TEST_ANY_DATE_FOLDER");
    const std::string folder =
        anyDate ? std::string(anyDate) + "\\vellamark-" + testsupport::UniqueName() : temp.text();
    std::filesystem::create_directories(PathFromUtf8(folder));
    const std::string path = ProgramFilePath(folder);
    std::ofstream(PathFromUtf8(path)) << "the program";
    ExecutableKeySource keys(folder);
    testsupport::ScratchStore store;
    AccountStore installed(keys, store.session());
    installed.PlaceTypedAccount(0, "alice", "");
    ASSERT_TRUE(installed.SaveUserDetails({}).ok());
    for (const auto& row : rows) {
        const FILETIME when{static_cast<DWORD>(row.ticks), static_cast<DWORD>(row.ticks >> 32)};
        const HANDLE file =
            ::CreateFileA(ToAnsi(path).c_str(), FILE_WRITE_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME kept{};
        ASSERT_TRUE(::SetFileTime(file, &when, nullptr, &when) &&
                    ::GetFileTime(file, &kept, nullptr, nullptr));
        ::CloseHandle(file);
        ASSERT_EQ(kept.dwHighDateTime, when.dwHighDateTime) << "the file system keeps no such date";
        EXPECT_EQ(keys.FileTimeKeyText(), KeyTextOf(row.utc)) << row.utc.wYear;
        // Local time by the other route Windows offers: the zone's bias today, which on these
        // dates (no daylight saving north of the equator) is the bias the zone's rules give.
        FILETIME local{};
        SYSTEMTIME localParts{};
        ASSERT_TRUE(::FileTimeToLocalFileTime(&when, &local) &&
                    ::FileTimeToSystemTime(&local, &localParts));
        EXPECT_EQ(keys.DateCreatedKeyText(), KeyTextOf(localParts)) << row.utc.wYear;
        AccountStore reinstalled(keys, store.session());
        EXPECT_EQ(reinstalled.ReadAccounts()->entries, std::vector<std::string>{"alice"});
        ASSERT_TRUE(reinstalled.SaveUserDetails({}).ok());
        EXPECT_EQ(ReadRegistryString(kSettingsRoot, kSettingsKey, kKeyTextValue),
                  TaggedValue(*keys.FileTimeKeyText()));
    }
    if (anyDate) {
        std::filesystem::remove_all(PathFromUtf8(folder));
    }
}

}  // namespace
}  // namespace vellamark
