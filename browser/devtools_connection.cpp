#include "browser/devtools_connection.h"

#include <utility>

namespace vellamark {

DevToolsConnection::DevToolsConnection(ChromiumProcess& process, EventHandler onEvent)
    : process_(process), onEvent_(std::move(onEvent)) {}

Status DevToolsConnection::Broken(std::string text) {
    if (fault_.empty()) {
        fault_ = std::move(text);
    }
    return Status::Fail(fault_);
}

Result<std::string> DevToolsConnection::Call(std::string_view method, std::string_view paramsJson,
                                             std::string_view sessionId,
                                             std::chrono::milliseconds timeout) {
    if (!fault_.empty()) {
        return Status::Fail(fault_);
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const std::int64_t id = nextId_++;
    auto written = process_.Write(
        FrameDevToolsMessage(DevToolsCommand(id, method, paramsJson, sessionId)), deadline);
    if (!written) {
        return Broken(written.error());
    }
    replied_ = false;
    while (!replied_) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return Status::Fail("The browser did not answer " + std::string(method) + " within " +
                                std::to_string(timeout.count() / 1000) + " seconds.");
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
    auto read = process_.Read(deadline);
    switch (read.kind) {
        case PipeRead::Kind::kTimeout:
            return Status::Ok();
        case PipeRead::Kind::kClosed:
            return Broken("The browser closed unexpectedly.");
        case PipeRead::Kind::kError:
            return Broken("The connection to the browser failed: " + read.error);
        case PipeRead::Kind::kData:
            break;
    }
    splitter_.Append(read.bytes);
    while (auto text = splitter_.Next()) {
        auto message = ParseDevToolsMessage(*text);
        if (!message) {
            return Broken("The browser broke the debugging protocol: " + message.error() + ".");
        }
        if (message->kind == DevToolsMessage::Kind::kEvent) {
            if (onEvent_) {
                onEvent_(*message);
            }
        } else if (awaited != 0 && message->id == awaited) {
            reply_ = std::move(*message);
            replied_ = true;
        }
    }
    if (splitter_.Overflowed()) {
        return Broken("The browser broke the debugging protocol: a message without end.");
    }
    return Status::Ok();
}

}  // namespace vellamark
