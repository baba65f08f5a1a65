#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "browser/browser_command_line.h"
#include "platform/result.h"

namespace vellamark {

using Deadline = std::chrono::steady_clock::time_point;

struct PipeRead {
    enum class Kind { kData, kTimeout, kClosed, kError };
    Kind kind = Kind::kTimeout;
    std::string bytes;  // kData
    std::string error;  // kError
};

// A browser process started detached, in a session of its own, with the two debugging pipes.
// Until it is handed over it ends with us: once our end of its command pipe closes (we let go
// of the object, end, or are killed) it reads end of file and ends, with its profile.
class ChromiumProcess {
public:
    ChromiumProcess() = default;
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;
    virtual ~ChromiumProcess() = default;

    // Writes all the bytes to the browser's command pipe, waiting no later than the deadline.
    [[nodiscard]] virtual Status Write(std::string_view bytes, Deadline deadline) = 0;
    // Waits until bytes arrive, the browser has gone, or the deadline passes.
    [[nodiscard]] virtual PipeRead Read(Deadline deadline) = 0;
    // Ends the browser and every process it started, waiting a bounded time for them.
    virtual void Kill() = 0;
    // Hands the browser over: it keeps its command pipe open from now on (its keeper holds it
    // on Linux, the browser itself on Windows), then our ends close and it stays running.
    virtual void Detach() = 0;
    [[nodiscard]] virtual long long Id() const = 0;
    // How the browser ended ("it exited with code 1"), or empty while it runs.
    [[nodiscard]] virtual std::string Ended() = 0;
    // The clock every deadline given to Write and Read is set on.
    [[nodiscard]] virtual Deadline Now() const { return std::chrono::steady_clock::now(); }
};

// Starts the program with ChromiumArguments(settings); the pipe fields of settings are filled
// in here.
[[nodiscard]] Result<std::unique_ptr<ChromiumProcess>> StartChromiumProcess(
    const std::string& program, BrowserCommandLineSettings settings);

// True when this process runs with administrator rights that make Chromium refuse its sandbox.
[[nodiscard]] bool RunningAsRoot();

}  // namespace vellamark
