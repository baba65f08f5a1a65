#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "launch/browser_driver.h"
#include "launch/chromium_process.h"
#include "launch/devtools_messages.h"

namespace vellamark {

struct DevToolsReply {
    DriverStatus status;
    std::string body;  // JSON text of the result when status is ok
};

// Commands and events over the browser's debugging pipes. One thread; every wait is bounded.
class DevToolsConnection {
public:
    using EventHandler = std::function<void(const DevToolsMessage&)>;

    DevToolsConnection(ChromiumProcess& process, EventHandler onEvent);
    DevToolsConnection(const DevToolsConnection&) = delete;
    DevToolsConnection& operator=(const DevToolsConnection&) = delete;

    // Sends a command and waits for its reply; events that arrive meanwhile are handled.
    [[nodiscard]] DevToolsReply Call(std::string_view method, std::string_view paramsJson,
                                     std::string_view sessionId, std::chrono::milliseconds timeout);
    // Handles what has arrived, waiting no later than the deadline for the first message.
    [[nodiscard]] DriverStatus Pump(Deadline deadline);
    // Set once the browser has gone or broken the protocol; every later call fails with it.
    [[nodiscard]] const std::string& Fault() const { return fault_; }

private:
    // Reads once (waiting until the deadline) and handles every whole message. A reply to
    // `awaited` is stored in reply_ instead of being dropped.
    [[nodiscard]] DriverStatus ReadAndDispatch(Deadline deadline, std::int64_t awaited);
    DriverStatus Broken(std::string text);

    ChromiumProcess& process_;
    EventHandler onEvent_;
    DevToolsFrameSplitter splitter_;
    std::int64_t nextId_ = 1;
    bool replied_ = false;
    DevToolsMessage reply_;
    std::string fault_;
};

}  // namespace vellamark
