#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "browser/chromium_process.h"
#include "platform/owned_handle_windows.h"
#include "platform/text.h"

namespace vellamark {

namespace {

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

class WindowsChromiumProcess final : public ChromiumProcess {
public:
    WindowsChromiumProcess(OwnedHandle process, DWORD id, OwnedHandle toBrowser,
                           OwnedHandle fromBrowser)
        : process_(std::move(process)),
          id_(id),
          toBrowser_(std::move(toBrowser)),
          fromBrowser_(std::move(fromBrowser)) {}

    Status Write(std::string_view bytes, Deadline) override {
        if (toBrowser_.Get() == nullptr) {
            return Status::Fail("The connection to the browser is already closed.");
        }
        // The pipe was made with a buffer far larger than any command, so a write does not
        // wait on the browser.
        while (!bytes.empty()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
            if (!::WriteFile(toBrowser_.Get(), bytes.data(), chunk, &written, nullptr)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA) {
                    return Status::Fail("The browser has closed.");
                }
                return Status::Fail("Writing to the browser failed: " + LastErrorText(error));
            }
            bytes.remove_prefix(written);
        }
        return Status::Ok();
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
        CloseAll();
    }

    // Until now only we held the far ends of the browser's pipes, so a launcher that died or was
    // killed took the browser with it: its command pipe reached end of file. From here on the
    // browser is the user's: it gets copies of our ends to hold itself, and never sees its pipes
    // close. We started it, so our handle to it may place handles in it.
    void Detach() override {
        if (process_.Get() != nullptr && Ended().empty()) {
            for (const OwnedHandle* end : {&toBrowser_, &fromBrowser_}) {
                HANDLE copy = nullptr;
                if (end->Get() != nullptr) {
                    static_cast<void>(::DuplicateHandle(::GetCurrentProcess(), end->Get(),
                                                        process_.Get(), &copy, 0, FALSE,
                                                        DUPLICATE_SAME_ACCESS));
                }
            }
        }
        CloseAll();
    }

    long long Id() const override { return id_; }

    std::string Ended() override {
        DWORD code = STILL_ACTIVE;
        if (process_.Get() == nullptr || !::GetExitCodeProcess(process_.Get(), &code) ||
            code == STILL_ACTIVE) {
            return {};
        }
        return "it exited with code " + std::to_string(code);
    }

private:
    void CloseAll() {
        process_.Reset();
        toBrowser_.Reset();
        fromBrowser_.Reset();
    }

    OwnedHandle process_;
    DWORD id_;
    OwnedHandle toBrowser_;
    OwnedHandle fromBrowser_;
};

}  // namespace

// Chromium runs its sandbox for administrators too.
bool RunningAsRoot() {
    return false;
}

Result<std::unique_ptr<ChromiumProcess>> StartChromiumProcess(const std::string& program,
                                                              BrowserCommandLineSettings settings) {
    using Started = Result<std::unique_ptr<ChromiumProcess>>;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    OwnedHandle commandRead, commandWrite, replyRead, replyWrite;
    if (!::CreatePipe(commandRead.Out(), commandWrite.Out(), &inheritable, 1 << 20) ||
        !::CreatePipe(replyRead.Out(), replyWrite.Out(), &inheritable, 1 << 20)) {
        return Started::Fail("Could not create the pipes to the browser: " +
                             LastErrorText(::GetLastError()));
    }
    // Our own ends are for no child of ours, the browser included: were they inherited, the
    // browser would outlive a launcher that dies before the hand-over.
    if (!::SetHandleInformation(commandWrite.Get(), HANDLE_FLAG_INHERIT, 0) ||
        !::SetHandleInformation(replyRead.Get(), HANDLE_FLAG_INHERIT, 0)) {
        return Started::Fail("Could not prepare the pipes to the browser: " +
                             LastErrorText(::GetLastError()));
    }
    settings.pipeIn = std::to_string(reinterpret_cast<std::uintptr_t>(commandRead.Get()));
    settings.pipeOut = std::to_string(reinterpret_cast<std::uintptr_t>(replyWrite.Get()));
    std::wstring commandLine =
        WideFromUtf8(WindowsCommandLine(program, ChromiumArguments(settings)));
    const std::wstring application = WideFromUtf8(program);

    // Exactly its two pipe ends go to the browser, and nothing else we hold.
    HANDLE inherited[] = {commandRead.Get(), replyWrite.Get()};
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> attributeStorage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeStorage.data());
    if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size) ||
        !::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                     sizeof inherited, nullptr, nullptr)) {
        return Started::Fail("Could not prepare the browser's start: " +
                             LastErrorText(::GetLastError()));
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
        return Started::Fail("Could not start the browser " + program + ": " +
                             LastErrorText(startError));
    }
    ::CloseHandle(info.hThread);
    return std::make_unique<WindowsChromiumProcess>(OwnedHandle(info.hProcess), info.dwProcessId,
                                                    std::move(commandWrite), std::move(replyRead));
}

}  // namespace vellamark
