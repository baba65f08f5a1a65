#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "browser/chromium_process.h"

namespace vellamark::testsupport {

// A Chromium-family browser on the far end of the debugging pipes, played from a script. It
// answers each command as it is written, so a test runs on one thread. Out of the box it answers
// everything as a healthy Chromium does: one page target, kTargetId, attached as kSessionId, in
// window kWindowId; page commands off that session, other targets and windows are refused.
// Tests change only what differs. It must outlive the driver that holds its process.
class FakeChromium {
public:
    static constexpr std::string_view kTargetId = "PAGE-1";
    static constexpr std::string_view kSessionId = "SESSION-1";
    static constexpr std::uint32_t kWindowId = 42;

    enum class Reply {
        kNow,    // at once
        kNever,  // held back for good, so the command times out
        kLate,   // held back, then read on its own just ahead of the next command's reply
    };
    // How the browser answers one command: at once, with this result.
    struct Answer {
        Answer() = default;
        explicit Answer(std::string resultJson) : result(std::move(resultJson)) {}
        Answer& Refusing(std::string message) {
            error = std::move(message);
            return *this;
        }
        // Sends a message (any bytes) ahead of the reply, or behind it.
        Answer& Before(std::string message) {
            before.push_back(std::move(message));
            return *this;
        }
        Answer& After(std::string message) {
            after.push_back(std::move(message));
            return *this;
        }
        Answer& Replying(Reply when) {
            reply = when;
            return *this;
        }
        // The reply comes this long (on the fake's clock) after the command.
        Answer& Taking(std::chrono::milliseconds time) {
            delay = time;
            return *this;
        }
        // The browser closes its pipe once this answer is out.
        Answer& Closing() {
            close = true;
            return *this;
        }
        // The browser process ends once this answer is out, and its pipe with it.
        Answer& Exiting() {
            close = true;
            exit = true;
            return *this;
        }

        std::string result = "{}";  // the result object's JSON text
        std::string error;          // non-empty: the command is refused with this message
        std::vector<std::string> before;
        std::vector<std::string> after;
        Reply reply = Reply::kNow;
        std::chrono::milliseconds delay{0};
        bool close = false;
        bool exit = false;
    };
    // A command as the driver wrote it.
    struct Command {
        std::int64_t id = 0;
        std::string method;
        std::string sessionId;
        std::chrono::steady_clock::time_point at;  // when it was written
        Deadline deadline;                         // the write's
    };

    FakeChromium();
    FakeChromium(const FakeChromium&) = delete;
    FakeChromium& operator=(const FakeChromium&) = delete;

    // The process half, for the driver.
    [[nodiscard]] std::unique_ptr<ChromiumProcess> Process();

    // How every later command of this method is answered, also in place of answers queued by
    // AnswerNext.
    void SetAnswer(const std::string& method, Answer answer);
    // How the next command of this method is answered, ahead of the standing answer.
    void AnswerNext(const std::string& method, Answer answer);
    // A message sent unasked; the driver sees it on its next read.
    void Send(std::string_view message);
    // Forgets what was recorded, so a test looks only at what comes next.
    void ClearRecord();

    // Each command as "Method params" ("Method@session params" on a session; params compact
    // with sorted keys, to compare as text), and "Kill" and "Detach", in order.
    std::vector<std::string> history;
    std::vector<Command> commands;
    // Each read: when it was made, and until when it would wait.
    std::vector<std::pair<std::chrono::steady_clock::time_point, Deadline>> reads;

    // The fake's clock: it stands still until a read waits, and a wait passes at once, moving
    // the clock to the deadline or to the next held reply. So a test of a slow browser takes
    // no time.
    [[nodiscard]] Deadline Now() const { return now_; }
    // How the process ended, empty while it runs.
    [[nodiscard]] std::string Ended() const { return exited_ ? "it exited with code 1" : ""; }

    // The process half's side.
    [[nodiscard]] Status Receive(std::string_view bytes, Deadline deadline);
    [[nodiscard]] PipeRead Deliver(Deadline deadline);
    void End(const char* how);
    void Drop();
    // The browser process ends by itself (it crashed, or was closed) and its pipe with it.
    void Exit();

private:
    void Respond(std::string_view text, Deadline deadline);

    std::map<std::string, Answer, std::less<>> standing_;
    std::map<std::string, std::deque<Answer>, std::less<>> next_;
    std::string written_;             // bytes of a command not yet whole
    std::deque<std::string> outbox_;  // what the driver has still to read, a read's worth each
    std::string late_;                // a reply held for the next command
    std::deque<std::pair<Deadline, std::string>> delayed_;  // replies and when they come
    Deadline now_;
    bool closeWhenDelivered_ = false;  // the pipe closes behind the held replies
    bool exited_ = false;
    bool closed_ = false;  // the browser has gone
    bool ended_ = false;   // the driver killed it or let go of its pipes
};

// An event's JSON text, on a session when one is given.
[[nodiscard]] std::string DevToolsEvent(std::string_view method, std::string_view paramsJson,
                                        std::string_view sessionId = {});
// Page.frameStartedLoading or Page.frameStoppedLoading.
[[nodiscard]] std::string FrameLoading(bool started,
                                       std::string_view frameId = FakeChromium::kTargetId,
                                       std::string_view sessionId = FakeChromium::kSessionId);
// Target.targetCreated for a target of that type.
[[nodiscard]] std::string TargetCreated(std::string_view targetId, std::string_view type);

}  // namespace vellamark::testsupport
