// The DevTools message handling: frames split from any bytes, messages parsed from any text,
// and the driver's reading of replies and events through a whole launch, against a browser
// whose answers come from the input. Whatever it sends, the driver must fail with a message or
// go on; it must never throw, crash or wait past its time-outs.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/chromium_driver.h"
#include "browser/chromium_process.h"
#include "browser/devtools_messages.h"

namespace {

using namespace std::chrono_literals;
using vellamark::Deadline;
using vellamark::PipeRead;
using vellamark::Status;

// A browser that answers each command from the next piece of the input. The piece's first
// byte says how: a reply whose result is the rest, an error whose message is the rest, the
// rest as a message of its own ahead of an empty reply, the rest as a page target's
// description, or nothing at all. Its clock moves only when a read waits, so no time passes.
class InputBrowser final : public vellamark::ChromiumProcess {
public:
    explicit InputBrowser(std::string_view input) {
        std::size_t start = 0;
        while (start <= input.size()) {
            const auto end = input.find('\x01', start);
            pieces_.emplace_back(input.substr(
                start, end == std::string_view::npos ? std::string_view::npos : end - start));
            if (end == std::string_view::npos) {
                break;
            }
            start = end + 1;
        }
    }

    Status Write(std::string_view bytes, Deadline) override {
        written_.append(bytes);
        for (auto end = written_.find('\0'); end != std::string::npos; end = written_.find('\0')) {
            Answer(written_.substr(0, end));
            written_.erase(0, end + 1);
        }
        return Status::Ok();
    }

    PipeRead Read(Deadline deadline) override {
        if (!outbox_.empty()) {
            // Handed out in pieces of a size the input chose, to split frames anywhere.
            const std::size_t size = std::max<std::size_t>(1, chunk_);
            PipeRead read{PipeRead::Kind::kData, outbox_.substr(0, size), {}};
            outbox_.erase(0, size);
            return read;
        }
        if (next_ >= pieces_.size()) {
            return {PipeRead::Kind::kClosed, {}, {}};
        }
        now_ = std::max(now_, deadline);
        return {};
    }

    void Kill() override {}
    void Detach() override {}
    long long Id() const override { return 1; }
    std::string Ended() override { return next_ >= pieces_.size() ? "it exited with code 0" : ""; }
    Deadline Now() const override { return now_; }

private:
    void Answer(const std::string& command) {
        const auto idAt = command.find("\"id\":");
        if (idAt == std::string::npos || next_ >= pieces_.size()) {
            return;
        }
        const std::string id = command.substr(idAt + 5, command.find(',', idAt) - idAt - 5);
        std::string session;
        if (const auto at = command.find("\"sessionId\":"); at != std::string::npos) {
            session =
                ",\"sessionId\":" + command.substr(at + 12, command.find('"', at + 13) - at - 11);
        }
        const std::string piece = pieces_[next_++];
        const char how = piece.empty() ? '\0' : piece[0];
        const std::string rest = piece.empty() ? std::string() : piece.substr(1);
        chunk_ = static_cast<unsigned char>(how) % 7 + 1;
        const auto frame = [this](const std::string& text) { outbox_ += text + '\0'; };
        switch (static_cast<unsigned char>(how) % 5) {
            case 0:
                frame("{\"id\":" + id + session + ",\"result\":" + rest + "}");
                break;
            case 1:
                frame("{\"id\":" + id + session + ",\"error\":{\"message\":" + rest + "}}");
                break;
            case 2:
                outbox_ += rest + '\0';
                frame("{\"id\":" + id + session + ",\"result\":{}}");
                break;
            case 3:
                frame(R"({"method":"Target.targetCreated","params":{"targetInfo":)" + rest + "}}");
                frame("{\"id\":" + id + session + ",\"result\":{}}");
                break;
            default:
                break;  // no answer: the command times out
        }
    }

    std::vector<std::string> pieces_;
    std::size_t next_ = 0;
    std::string written_;
    std::string outbox_;
    std::size_t chunk_ = 1;
    Deadline now_ = std::chrono::steady_clock::now();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Frames and messages straight from the bytes.
    vellamark::DevToolsFrameSplitter splitter;
    splitter.Append(input);
    while (auto text = splitter.Next()) {
        auto message = vellamark::ParseDevToolsMessage(*text);
        if (message && message->kind == vellamark::DevToolsMessage::Kind::kReply &&
            message->body.empty()) {
            std::abort();  // a reply always carries its result's text, "{}" at least
        }
    }

    // A launch against a browser that answers from the input.
    auto started = vellamark::ConnectChromiumDriver(std::make_unique<InputBrowser>(input), {},
                                                    vellamark::ChromiumTimeouts{1s, 1s, 1s});
    if (!started) {
        if (started.error().empty()) {
            std::abort();  // every failure says what it was
        }
        return 0;
    }
    auto& browser = **started;
    (void)browser.Navigate("about:blank");
    (void)browser.Busy();
    (void)browser.SetBodyHtml("<form name=frm1></form>");
    (void)browser.SubmitForm("frm1");
    (void)browser.Busy();
    (void)browser.ShowMaximised(browser.WindowHandle());
    (void)browser.Release();
    return 0;
}
