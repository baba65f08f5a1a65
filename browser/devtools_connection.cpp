#include "browser/devtools_connection.h"

#include <algorithm>
#include <utility>

namespace vellamark {

namespace {

std::string Seconds(Deadline from, Deadline to) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        to - from + std::chrono::milliseconds(500));
    return std::to_string(seconds.count());
}

}  // namespace

DevToolsConnection::DevToolsConnection(ChromiumProcess& process, EventHandler onEvent, Idle idle)
    : process_(process), onEvent_(std::move(onEvent)), idle_(std::move(idle)) {}

Status DevToolsConnection::Broken(std::string text) {
    if (fault_.empty()) {
        fault_ = std::move(text);
    }
    return Status::Fail(fault_);
}

Status DevToolsConnection::Broke(const std::string& what) {
    return Broken("The browser broke the debugging protocol: " + what + ".");
}

Result<std::string> DevToolsConnection::Call(std::string_view method, std::string_view paramsJson,
                                             std::string_view sessionId, Deadline deadline) {
    if (!fault_.empty()) {
        return Status::Fail(fault_);
    }
    const Deadline sent = Now();
    const std::int64_t id = nextId_++;
    auto written = process_.Write(
        FrameDevToolsMessage(DevToolsCommand(id, method, paramsJson, sessionId)), deadline);
    if (!written) {
        if (const std::string ended = process_.Ended(); !ended.empty()) {
            return Broken("The browser has ended (" + ended + ").");
        }
        return Broken(written.error());
    }
    replied_ = false;
    while (!replied_) {
        if (Now() >= deadline) {
            // Still running and with its pipe open, but silent: only this says so.
            return Status::Fail("The browser is still running but did not answer " +
                                std::string(method) + " within " + Seconds(sent, deadline) +
                                " seconds.");
        }
        if (auto status = ReadAndDispatch(deadline, id); !status) {
            return status;
        }
    }
    if (!reply_.error.empty()) {
        return Status::Fail("The browser refused " + std::string(method) + ": " + reply_.error);
    }
    return std::move(reply_.body);
}

Status DevToolsConnection::Pump(Deadline deadline) {
    if (!fault_.empty()) {
        return Status::Fail(fault_);
    }
    return ReadAndDispatch(deadline, 0);
}

Status DevToolsConnection::ReadAndDispatch(Deadline deadline, std::int64_t awaited) {
    // With somebody to keep alive, no single read waits longer than a slice.
    const Deadline until = idle_ ? std::min(deadline, Now() + kIdleSlice) : deadline;
    auto read = process_.Read(until);
    switch (read.kind) {
        case PipeRead::Kind::kTimeout:
            if (idle_ && Now() < deadline) {
                idle_();
            }
            return Status::Ok();
        case PipeRead::Kind::kClosed:
            if (const std::string ended = process_.Ended(); !ended.empty()) {
                return Broken("The browser has ended (" + ended + ").");
            }
            return Broken("The browser closed its debugging connection.");
        case PipeRead::Kind::kError:
            return Broken("The connection to the browser failed: " + read.error);
        case PipeRead::Kind::kData:
            break;
    }
    splitter_.Append(read.bytes);
    while (auto text = splitter_.Next()) {
        auto message = ParseDevToolsMessage(*text);
        if (!message) {
            return Broke(message.error());
        }
        if (message->kind == DevToolsMessage::Kind::kEvent) {
            if (onEvent_) {
                if (auto handled = onEvent_(*message); !handled) {
                    return Broke(handled.error());
                }
            }
        } else if (awaited != 0 && message->id == awaited) {
            reply_ = std::move(*message);
            replied_ = true;
        }
    }
    if (splitter_.Overflowed()) {
        return Broke("a message without end");
    }
    return Status::Ok();
}

}  // namespace vellamark
