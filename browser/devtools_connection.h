#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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
    // The two halves of Call, for commands that need not wait for each other: their replies
    // are kept until awaited, in any order.
    [[nodiscard]] Result<std::int64_t> Send(std::string_view method, std::string_view paramsJson,
                                            std::string_view sessionId, Deadline deadline);
    [[nodiscard]] Result<std::string> Await(std::int64_t id, Deadline deadline);
    [[nodiscard]] bool Answered(std::int64_t id) const;
    // Handles what has arrived, waiting no later than the deadline for the first message.
    [[nodiscard]] Status Pump(Deadline deadline);
    // Ends the connection for a message that is no valid protocol message.
    Status Broke(const std::string& what);
    // Set once the browser has gone or broken the protocol; every later call fails with it.
    [[nodiscard]] const std::string& Fault() const { return fault_; }
    [[nodiscard]] Deadline Now() const { return process_.Now(); }

private:
    // A command sent whose reply is still to be awaited.
    struct Pending {
        std::int64_t id = 0;
        std::string method;
        Deadline sent{};
        bool replied = false;
        DevToolsMessage reply;
    };

    // Reads once (waiting until the deadline) and handles every whole message. Replies to
    // pending commands are kept; others are dropped.
    [[nodiscard]] Status ReadAndDispatch(Deadline deadline);
    Status Broken(std::string text);
    [[nodiscard]] Pending* Find(std::int64_t id);

    ChromiumProcess& process_;
    EventHandler onEvent_;
    Idle idle_;
    DevToolsFrameSplitter splitter_;
    std::int64_t nextId_ = 1;
    std::vector<Pending> pending_;
    std::string fault_;
};

}  // namespace vellamark
