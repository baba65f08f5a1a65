#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "browser/browser_driver.h"
#include "browser/chromium_process.h"
#include "browser/devtools_messages.h"

namespace vellamark {

// Commands and events over the browser's debugging pipes. One thread; every wait is bounded.
class DevToolsConnection {
public:
    // Handles one event; a failure means the event broke the protocol, and ends the connection.
    using EventHandler = std::function<Status(const DevToolsMessage&)>;
    // Called at least every kIdleSlice while a call waits, so a window can paint meanwhile.
    using Idle = std::function<void()>;
    static constexpr std::chrono::milliseconds kIdleSlice{50};

    DevToolsConnection(ChromiumProcess& process, EventHandler onEvent, Idle idle = {});
    DevToolsConnection(const DevToolsConnection&) = delete;
    DevToolsConnection& operator=(const DevToolsConnection&) = delete;

    // Sends a command and waits, until the deadline at most, for its reply: the JSON text of
    // its result. Events that arrive meanwhile are handled.
    [[nodiscard]] Result<std::string> Call(std::string_view method, std::string_view paramsJson,
                                           std::string_view sessionId, Deadline deadline);
    [[nodiscard]] Result<std::string> Call(std::string_view method, std::string_view paramsJson,
                                           std::string_view sessionId,
                                           std::chrono::milliseconds timeout) {
        return Call(method, paramsJson, sessionId, Now() + timeout);
    }
    // Handles what has arrived, waiting no later than the deadline for the first message.
    [[nodiscard]] Status Pump(Deadline deadline);
    // Ends the connection for a message that is no valid protocol message.
    Status Broke(const std::string& what);
    // Set once the browser has gone or broken the protocol; every later call fails with it.
    [[nodiscard]] const std::string& Fault() const { return fault_; }
    [[nodiscard]] Deadline Now() const { return process_.Now(); }

private:
    // Reads once (waiting until the deadline) and handles every whole message. A reply to
    // `awaited` is stored in reply_ instead of being dropped.
    [[nodiscard]] Status ReadAndDispatch(Deadline deadline, std::int64_t awaited);
    Status Broken(std::string text);

    ChromiumProcess& process_;
    EventHandler onEvent_;
    Idle idle_;
    DevToolsFrameSplitter splitter_;
    std::int64_t nextId_ = 1;
    bool replied_ = false;
    DevToolsMessage reply_;
    std::string fault_;
};

}  // namespace vellamark
