#include "browser/devtools_messages.h"

#include <nlohmann/json.hpp>

namespace vellamark {

void DevToolsFrameSplitter::Append(std::string_view bytes) {
    // Drop what was handed out before growing, so the buffer holds at most one message plus
    // one read's worth of bytes.
    if (start_ > 0) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(bytes);
}

std::optional<std::string> DevToolsFrameSplitter::Next() {
    const auto end = buffer_.find('\0', start_);
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string message = buffer_.substr(start_, end - start_);
    start_ = end + 1;
    return message;
}

bool DevToolsFrameSplitter::Overflowed() const {
    return buffer_.find('\0', start_) == std::string::npos && Pending() > kMaxMessage;
}

std::string FrameDevToolsMessage(std::string_view json) {
    std::string frame(json);
    frame.push_back('\0');
    return frame;
}

Result<DevToolsMessage> ParseDevToolsMessage(std::string_view text) {
    using Parsed = Result<DevToolsMessage>;
    const auto json = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) {
        return Parsed::Fail("the browser sent something that is not a protocol message");
    }
    DevToolsMessage message;
    if (const auto session = json.find("sessionId"); session != json.end()) {
        if (!session->is_string()) {
            return Parsed::Fail("a message with a malformed session");
        }
        message.sessionId = session->get<std::string>();
    }
    const auto id = json.find("id");
    const auto method = json.find("method");
    if (id != json.end()) {
        if (!id->is_number_integer()) {
            return Parsed::Fail("a reply with a malformed id");
        }
        message.kind = DevToolsMessage::Kind::kReply;
        message.id = id->get<std::int64_t>();
        if (const auto error = json.find("error"); error != json.end()) {
            // Only a text is shown to the user; anything else in its place says nothing.
            std::string said;
            if (error->is_object()) {
                if (const auto saidText = error->find("message");
                    saidText != error->end() && saidText->is_string()) {
                    said = saidText->get<std::string>();
                }
            }
            message.error = said.empty() ? std::string("unknown error") : said;
        }
        const auto result = json.find("result");
        message.body = result != json.end() && result->is_object() ? result->dump() : "{}";
        return message;
    }
    if (method != json.end() && method->is_string()) {
        message.kind = DevToolsMessage::Kind::kEvent;
        message.method = method->get<std::string>();
        const auto params = json.find("params");
        message.body = params != json.end() && params->is_object() ? params->dump() : "{}";
        return message;
    }
    return Parsed::Fail("a message that is neither a reply nor an event");
}

std::string DevToolsCommand(std::int64_t id, std::string_view method, std::string_view paramsJson,
                            std::string_view sessionId) {
    // Built by hand around the caller's params text, so a large HTML value is not copied
    // through a second JSON tree. The method and session are the driver's own ASCII names.
    nlohmann::json head = {{"id", id}, {"method", std::string(method)}};
    if (!sessionId.empty()) {
        head["sessionId"] = std::string(sessionId);
    }
    std::string text = head.dump();
    text.pop_back();  // the closing brace
    text += ",\"params\":";
    text += paramsJson.empty() ? std::string_view("{}") : paramsJson;
    text += '}';
    return text;
}

}  // namespace vellamark
