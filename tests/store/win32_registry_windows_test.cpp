// The registry backend's transactions: a save cut short by a launcher that died is undone by
// the next transaction, so no reader ever sees half of it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "store/registry.h"
#include "store/win32_registry.h"
#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

constexpr char kDieIn[] = "VELLAMARK_TEST_DIE_IN";

// The launcher that dies: the test below starts this program again with a key in the
// environment, and then, before any test runs, it begins a save there, changes one value, adds
// another, and ends without committing or rolling back.
[[maybe_unused]] const bool kDiedInTheMiddleOfASave = [] {
    const char* key = std::getenv(kDieIn);
    if (key == nullptr) {
        return false;
    }
    auto backend = MakeWin32Registry("Local\\VellamarkTest-dies");
    RegistryHandle handle = 0;
    bool begun = backend->BeginTransaction(kHkeyCurrentUser, key, true, std::chrono::seconds(5)) ==
                     kErrorSuccess &&
                 backend->OpenKey(kHkeyCurrentUser, key, handle) == kErrorSuccess;
    for (const char* name : {"a", "c"}) {
        begun = begun &&
                backend->SetValue(handle, name, kRegSz,
                                  reinterpret_cast<const std::uint8_t*>("new"), 4) == kErrorSuccess;
    }
    ::ExitProcess(begun ? 3 : 2);
}();

TEST(Win32RegistryJournal, ASaveCutShortByADeadLauncherIsUndoneByTheNextTransaction) {
    testsupport::ScratchStore store;
    // The routines work below the scratch store's own key; the launcher that dies does not.
    const std::string key = "Settings";
    const auto value = [&](const char* name) {
        return TaggedValueText(ReadRegistryString(kHkeyCurrentUser, key, name));
    };
    WriteRegistryString(kHkeyCurrentUser, key, "a", std::string("old"));
    WriteRegistryString(kHkeyCurrentUser, key, "b", std::string("old"));

    char self[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    std::string commandLine = std::string("\"") + self + "\"";
    ASSERT_TRUE(::SetEnvironmentVariableA(kDieIn, (store.base() + "\\" + key).c_str()));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process));
    ::SetEnvironmentVariableA(kDieIn, nullptr);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ASSERT_EQ(exitCode, 3u);
    EXPECT_EQ(value("a") + value("c"), "newnew");  // half a save, for the moment

    // The next transaction, of any launcher, undoes it before it reads.
    auto next = store.another();
    ASSERT_EQ(next->BeginTransaction(kHkeyCurrentUser, key, false, std::chrono::seconds(5)),
              kErrorSuccess);
    EXPECT_EQ(value("a") + value("b") + value("c"), "oldold");
    EXPECT_EQ(next->CommitTransaction(), kErrorSuccess);
    EXPECT_FALSE(RegistryKeyExists(kHkeyCurrentUser, key + "\\VellamarkSaveJournal"));
}

}  // namespace
}  // namespace vellamark
