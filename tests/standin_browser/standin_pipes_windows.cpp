#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <cstdint>
#include <string>

#include "platform/text.h"
#include "tests/standin_browser/standin_pipes.h"

namespace vellamark::standin {

DebuggingPipes::DebuggingPipes(const std::vector<std::string>& arguments) {
    constexpr std::string_view kOption = "--remote-debugging-io-pipes=";
    for (const std::string& argument : arguments) {
        if (argument.rfind(kOption, 0) != 0) {
            continue;
        }
        const std::string handles = argument.substr(kOption.size());
        const auto comma = handles.find(',');
        if (comma == std::string::npos) {
            return;
        }
        in_ = std::stoll(handles.substr(0, comma));
        out_ = std::stoll(handles.substr(comma + 1));
        valid_ = true;
    }
}

namespace {

HANDLE AsHandle(long long value) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

}  // namespace

bool DebuggingPipes::Read(std::string& bytes) {
    char buffer[65536];
    DWORD got = 0;
    if (!ReadFile(AsHandle(in_), buffer, sizeof buffer, &got, nullptr) || got == 0) {
        return false;
    }
    bytes.assign(buffer, got);
    return true;
}

bool DebuggingPipes::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD put = 0;
        if (!WriteFile(AsHandle(out_), bytes.data(), static_cast<DWORD>(bytes.size()), &put,
                       nullptr) ||
            put == 0) {
            return false;
        }
        bytes.remove_prefix(put);
    }
    return true;
}

std::vector<std::string> ProgramArguments(int, char**) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(Utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

void HoldProfile(const std::string& profileDir) {
    // Chromium keeps "lockfile" open without sharing delete access; so does this, until it ends.
    const std::wstring lock = WideFromUtf8(profileDir + "\\lockfile");
    static_cast<void>(CreateFileW(lock.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

long long ProcessId() {
    return static_cast<long long>(GetCurrentProcessId());
}

}  // namespace vellamark::standin
