#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace vellamark {

// The pipe protocol sends one JSON message per frame, each ended by a NUL byte. Bytes arrive
// in pieces of any size; this gathers them and hands out whole messages.
class DevToolsFrameSplitter {
public:
    // A message longer than this is a protocol fault (the browser never sends one).
    static constexpr std::size_t kMaxMessage = 64 * 1024 * 1024;

    void Append(std::string_view bytes);
    // The next whole message (without its NUL), if one has arrived.
    [[nodiscard]] std::optional<std::string> Next();
    // True when the unfinished message has grown past kMaxMessage.
    [[nodiscard]] bool Overflowed() const;
    // Bytes of an unfinished message.
    [[nodiscard]] std::size_t Pending() const { return buffer_.size() - start_; }

private:
    std::string buffer_;
    std::size_t start_ = 0;  // where the first message not yet handed out begins
};

// A message framed for sending: the text and its closing NUL.
[[nodiscard]] std::string FrameDevToolsMessage(std::string_view json);

// One message from the browser: the reply to a command (by its id) or an event.
struct DevToolsMessage {
    enum class Kind { kReply, kEvent };
    Kind kind = Kind::kEvent;
    std::int64_t id = 0;    // kReply
    std::string method;     // kEvent
    std::string sessionId;  // empty for the browser's own messages
    std::string error;      // kReply: the browser's error message, empty on success
    std::string body;       // JSON text: the reply's result or the event's params ("{}" if none)
};

// Reads one message; fails, saying what was wrong, for text that is no valid protocol message.
[[nodiscard]] Result<DevToolsMessage> ParseDevToolsMessage(std::string_view text);

// The JSON text of a command. paramsJson must be a JSON object's text.
[[nodiscard]] std::string DevToolsCommand(std::int64_t id, std::string_view method,
                                          std::string_view paramsJson, std::string_view sessionId);

}  // namespace vellamark
