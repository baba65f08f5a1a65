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
    auto id = Send(method, paramsJson, sessionId, deadline);
    if (!id) {
        return id.status();
    }
    return Await(*id, deadline);
}

Result<std::int64_t> DevToolsConnection::Send(std::string_view method, std::string_view paramsJson,
                                              std::string_view sessionId, Deadline deadline) {
    if (!fault_.empty()) {
        return Status::Fail(fault_);
    }
    const std::int64_t id = nextId_++;
    const Deadline sent = Now();
    auto written = process_.Write(
        FrameDevToolsMessage(DevToolsCommand(id, method, paramsJson, sessionId)), deadline);
    if (!written) {
        if (const std::string ended = process_.Ended(); !ended.empty()) {
            return Broken("The browser has ended (" + ended + ").");
        }
        return Broken(written.error());
    }
    pending_.push_back(Pending{id, std::string(method), sent, false, {}});
    return id;
}

DevToolsConnection::Pending* DevToolsConnection::Find(std::int64_t id) {
    const auto found = std::find_if(pending_.begin(), pending_.end(),
                                    [id](const Pending& p) { return p.id == id; });
    return found != pending_.end() ? &*found : nullptr;
}

bool DevToolsConnection::Answered(std::int64_t id) const {
    return std::any_of(pending_.begin(), pending_.end(),
                       [id](const Pending& p) { return p.id == id && p.replied; });
}

Result<std::string> DevToolsConnection::Await(std::int64_t id, Deadline deadline) {
    while (true) {
        Pending* pending = Find(id);
        if (pending == nullptr) {
            return Status::Fail("No command " + std::to_string(id) + " awaits its reply.");
        }
        if (pending->replied) {
            Pending done = std::move(*pending);
            pending_.erase(pending_.begin() + (pending - pending_.data()));
            if (!done.reply.error.empty()) {
                return Status::Fail("The browser refused " + done.method + ": " + done.reply.error);
            }
            return std::move(done.reply.body);
        }
        if (!fault_.empty()) {
            return Status::Fail(fault_);
        }
        if (Now() >= deadline) {
            // Still running and with its pipe open, but silent: only this says so.
            std::string text = "The browser is still running but did not answer " +
                               pending->method + " within " + Seconds(pending->sent, deadline) +
                               " seconds.";
            pending_.erase(pending_.begin() + (pending - pending_.data()));
            return Status::Fail(std::move(text));
        }
        if (auto status = ReadAndDispatch(deadline); !status) {
            return status;
        }
    }
}

Status DevToolsConnection::Pump(Deadline deadline) {
    if (!fault_.empty()) {
        return Status::Fail(fault_);
    }
    return ReadAndDispatch(deadline);
}

Status DevToolsConnection::ReadAndDispatch(Deadline deadline) {
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
        } else if (Pending* pending = Find(message->id); pending != nullptr) {
            pending->reply = std::move(*message);
            pending->replied = true;
        }
    }
    if (splitter_.Overflowed()) {
        return Broke("a message without end");
    }
    return Status::Ok();
}

}  // namespace vellamark
