#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "launch/chromium_process.h"

namespace vellamark {

namespace {

// A kernel handle closed when it goes out of scope.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.h_, nullptr));
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Reset(); }

    [[nodiscard]] HANDLE Get() const { return h_; }
    HANDLE* Out() {
        Reset();
        return &h_;
    }
    void Reset(HANDLE h = nullptr) {
        if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h_);
        }
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

std::string LastErrorText(DWORD error) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = n > 0 && text != nullptr ? std::string(text, n) : std::string();
    if (text != nullptr) {
        ::LocalFree(text);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
        out.pop_back();
    }
    return out.empty() ? "error " + std::to_string(error) : out;
}

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

class WindowsChromiumProcess final : public ChromiumProcess {
public:
    WindowsChromiumProcess(Handle process, DWORD id, Handle toBrowser, Handle fromBrowser)
        : process_(std::move(process)),
          id_(id),
          toBrowser_(std::move(toBrowser)),
          fromBrowser_(std::move(fromBrowser)) {}

    DriverStatus Write(std::string_view bytes, Deadline) override {
        if (toBrowser_.Get() == nullptr) {
            return DriverStatus::Fail("The connection to the browser is already closed.");
        }
        // The pipe was made with a buffer far larger than any command, so a write does not
        // wait on the browser.
        while (!bytes.empty()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
            if (!::WriteFile(toBrowser_.Get(), bytes.data(), chunk, &written, nullptr)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA) {
                    return DriverStatus::Fail("The browser has closed.");
                }
                return DriverStatus::Fail("Writing to the browser failed: " + LastErrorText(error));
            }
            bytes.remove_prefix(written);
        }
        return DriverStatus::Ok();
    }

    PipeRead Read(Deadline deadline) override {
        if (fromBrowser_.Get() == nullptr) {
            return {PipeRead::Kind::kClosed, {}, {}};
        }
        // Anonymous pipes have no overlapped reads: look before reading, in short naps, so
        // that no read can block past the deadline.
        for (;;) {
            DWORD available = 0;
            if (!::PeekNamedPipe(fromBrowser_.Get(), nullptr, 0, nullptr, &available, nullptr)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_BROKEN_PIPE) {
                    return {PipeRead::Kind::kClosed, {}, {}};
                }
                return {PipeRead::Kind::kError,
                        {},
                        "reading from the browser: " + LastErrorText(error)};
            }
            if (available > 0) {
                std::string buffer(std::min<DWORD>(available, 65536), '\0');
                DWORD got = 0;
                if (!::ReadFile(fromBrowser_.Get(), buffer.data(),
                                static_cast<DWORD>(buffer.size()), &got, nullptr)) {
                    const DWORD error = ::GetLastError();
                    if (error == ERROR_BROKEN_PIPE) {
                        return {PipeRead::Kind::kClosed, {}, {}};
                    }
                    return {PipeRead::Kind::kError,
                            {},
                            "reading from the browser: " + LastErrorText(error)};
                }
                buffer.resize(got);
                return {PipeRead::Kind::kData, std::move(buffer), {}};
            }
            if (process_.Get() != nullptr &&
                ::WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0) {
                return {PipeRead::Kind::kClosed, {}, {}};
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return {};
            }
            ::Sleep(1);
        }
    }

    void Kill() override {
        if (process_.Get() != nullptr) {
            ::TerminateProcess(process_.Get(), 1);
            ::WaitForSingleObject(process_.Get(), 3000);
        }
        Detach();
    }

    void Detach() override {
        process_.Reset();
        toBrowser_.Reset();
        fromBrowser_.Reset();
    }

    long long Id() const override { return id_; }

private:
    Handle process_;
    DWORD id_;
    Handle toBrowser_;
    Handle fromBrowser_;
};

}  // namespace

// Chromium runs its sandbox for administrators too.
bool RunningAsRoot() {
    return false;
}

std::unique_ptr<ChromiumProcess> StartChromiumProcess(const std::string& program,
                                                      BrowserCommandLineSettings settings,
                                                      std::string& error) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle commandRead, commandWrite, replyRead, replyWrite;
    if (!::CreatePipe(commandRead.Out(), commandWrite.Out(), &inheritable, 1 << 20) ||
        !::CreatePipe(replyRead.Out(), replyWrite.Out(), &inheritable, 1 << 20)) {
        error = "Could not create the pipes to the browser: " + LastErrorText(::GetLastError());
        return nullptr;
    }
    settings.pipeIn = std::to_string(reinterpret_cast<std::uintptr_t>(commandRead.Get()));
    settings.pipeOut = std::to_string(reinterpret_cast<std::uintptr_t>(replyWrite.Get()));
    std::wstring commandLine = Widen(WindowsCommandLine(program, ChromiumArguments(settings)));
    const std::wstring application = Widen(program);

    // Exactly these four handles go to the browser: its two pipe ends and, so that it never
    // sees its command pipe close once we are gone, our two as well.
    HANDLE inherited[] = {commandRead.Get(), replyWrite.Get(), commandWrite.Get(), replyRead.Get()};
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> attributeStorage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeStorage.data());
    if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size) ||
        !::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                     sizeof inherited, nullptr, nullptr)) {
        error = "Could not prepare the browser's start: " + LastErrorText(::GetLastError());
        return nullptr;
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION info{};
    const DWORD flags = EXTENDED_STARTUPINFO_PRESENT | DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP |
                        CREATE_UNICODE_ENVIRONMENT;
    // Out of our job where that is allowed, so closing a console or a job does not take the
    // browser with it.
    BOOL started = ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                    flags | CREATE_BREAKAWAY_FROM_JOB, nullptr, nullptr,
                                    &startup.StartupInfo, &info);
    if (!started && ::GetLastError() == ERROR_ACCESS_DENIED) {
        started = ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                   flags, nullptr, nullptr, &startup.StartupInfo, &info);
    }
    const DWORD startError = ::GetLastError();
    ::DeleteProcThreadAttributeList(attributes);
    if (!started) {
        error = "Could not start the browser " + program + ": " + LastErrorText(startError);
        return nullptr;
    }
    ::CloseHandle(info.hThread);
    // Our own ends are not for any later child of ours.
    ::SetHandleInformation(commandWrite.Get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(replyRead.Get(), HANDLE_FLAG_INHERIT, 0);
    return std::make_unique<WindowsChromiumProcess>(Handle(info.hProcess), info.dwProcessId,
                                                    std::move(commandWrite), std::move(replyRead));
}

}  // namespace vellamark
