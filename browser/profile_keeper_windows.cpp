#include "browser/profile_keeper_windows.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "browser/browser_command_line.h"
#include "browser/browser_profile.h"
#include "platform/owned_handle_windows.h"
#include "platform/text.h"

namespace vellamark {
namespace {

std::string& KeeperProgram() {
    static std::string program;
    return program;
}

// The browser's helpers (renderers, the GPU process) let go of the profile's files a moment
// after the browser itself has ended.
constexpr auto kRemoveFor = std::chrono::seconds(30);
constexpr auto kRemoveEvery = std::chrono::milliseconds(250);

}  // namespace

void SetProfileKeeperProgram(std::string program) {
    KeeperProgram() = std::move(program);
}

void StartProfileKeeper(unsigned long browserProcessId, const std::string& profileDir) {
    const std::string& program = KeeperProgram();
    if (program.empty() || profileDir.empty()) {
        return;
    }
    std::wstring commandLine = WideFromUtf8(WindowsCommandLine(
        program, {kProfileKeeperOption, std::to_string(browserProcessId), profileDir}));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Detached and out of our job where allowed, like the browser: it outlives the launcher.
    const DWORD flags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT;
    const std::wstring application = WideFromUtf8(program);
    BOOL started =
        CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                       flags | CREATE_BREAKAWAY_FROM_JOB, nullptr, nullptr, &startup, &info);
    if (!started && GetLastError() == ERROR_ACCESS_DENIED) {
        started = CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                 flags, nullptr, nullptr, &startup, &info);
    }
    if (started) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
}

bool RunIfProfileKeeper(const std::vector<std::string>& arguments) {
    if (arguments.size() != 3 || arguments[0] != kProfileKeeperOption) {
        return false;
    }
    const std::string& profileDir = arguments[2];
    // Only a folder a launch made is ever removed.
    const auto slash = profileDir.find_last_of("\\/");
    if (!IsLaunchProfileName(slash == std::string::npos ? profileDir
                                                        : profileDir.substr(slash + 1))) {
        return true;
    }
    const auto browser = static_cast<DWORD>(std::stoul(arguments[1]));
    if (OwnedHandle process(OpenProcess(SYNCHRONIZE, FALSE, browser)); process.Valid()) {
        WaitForSingleObject(process.Get(), INFINITE);
    }
    // Until it is gone and stays gone: a helper of the browser may still write into it for a
    // moment.
    const auto until = std::chrono::steady_clock::now() + kRemoveFor;
    int goneFor = 0;
    while (goneFor < 4 && std::chrono::steady_clock::now() < until) {
        std::error_code absent;
        const bool gone = !std::filesystem::exists(PathFromUtf8(profileDir), absent) ||
                          RemoveProfileIfUnheld(profileDir);
        goneFor = gone ? goneFor + 1 : 0;
        std::this_thread::sleep_for(kRemoveEvery);
    }
    return true;
}

}  // namespace vellamark
