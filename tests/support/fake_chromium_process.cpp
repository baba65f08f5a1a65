#include "tests/support/fake_chromium_process.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

namespace vellamark::testsupport {

namespace {

using json = nlohmann::json;

class FakeChromiumProcess final : public ChromiumProcess {
public:
    explicit FakeChromiumProcess(FakeChromium& browser) : browser_(browser) {}
    FakeChromiumProcess(const FakeChromiumProcess&) = delete;
    FakeChromiumProcess& operator=(const FakeChromiumProcess&) = delete;
    // Our ends of the pipes close without a hand-over: the browser's keeper ends it.
    ~FakeChromiumProcess() override { browser_.Drop(); }

    Status Write(std::string_view bytes, Deadline deadline) override {
        return browser_.Receive(bytes, deadline);
    }
    PipeRead Read(Deadline deadline) override { return browser_.Deliver(deadline); }
    void Kill() override { browser_.End("Kill"); }
    void Detach() override { browser_.End("Detach"); }
    long long Id() const override { return 4242; }
    std::string Ended() override { return browser_.Ended(); }
    Deadline Now() const override { return browser_.Now(); }

private:
    FakeChromium& browser_;
};

std::string Framed(std::string_view message) {
    std::string frame(message);
    frame.push_back('\0');
    return frame;
}

}  // namespace

std::string DevToolsEvent(std::string_view method, std::string_view paramsJson,
                          std::string_view sessionId) {
    json event = {{"method", method}, {"params", json::parse(paramsJson)}};
    if (!sessionId.empty()) {
        event["sessionId"] = sessionId;
    }
    return event.dump();
}

std::string FrameLoading(bool started, std::string_view frameId, std::string_view sessionId) {
    return DevToolsEvent(started ? "Page.frameStartedLoading" : "Page.frameStoppedLoading",
                         json{{"frameId", frameId}}.dump(), sessionId);
}

std::string TargetCreated(std::string_view targetId, std::string_view type) {
    const json info = {{"targetId", targetId}, {"type", type}, {"attached", false}};
    return DevToolsEvent("Target.targetCreated", json{{"targetInfo", info}}.dump());
}

FakeChromium::FakeChromium() : now_(std::chrono::steady_clock::now()) {
    const std::string target(kTargetId);
    SetAnswer("Target.createBrowserContext", Answer(R"({"browserContextId":"CONTEXT-1"})"));
    const json attached = {{"sessionId", kSessionId},
                           {"targetInfo", {{"targetId", target}, {"type", "page"}}},
                           {"waitingForDebugger", false}};
    // Made and attached at once, as Chromium does while auto-attaching.
    SetAnswer("Target.createTarget",
              Answer(json{{"targetId", target}}.dump())
                  .Before(TargetCreated(target, "page"))
                  .Before(DevToolsEvent("Target.attachedToTarget", attached.dump())));
    SetAnswer("Target.attachToTarget",
              Answer(json{{"sessionId", kSessionId}}.dump())
                  .Before(DevToolsEvent("Target.attachedToTarget", attached.dump())));
    const json bounds = {{"left", -32000}, {"top", -32000}, {"windowState", "normal"}};
    json made = bounds;
    made["windowState"] = "minimized";
    SetAnswer("Browser.getWindowForTarget",
              Answer(json{{"windowId", kWindowId}, {"bounds", made}}.dump()));
    SetAnswer("Browser.getWindowBounds", Answer(json{{"bounds", bounds}}.dump()));
    SetAnswer("Page.navigate", Answer(json{{"frameId", target}, {"loaderId", "LOADER-1"}}.dump()));
    SetAnswer("Runtime.evaluate", Answer(R"({"result":{"type":"boolean","value":true}})"));
    for (const char* method :
         {"Page.enable", "Page.disable", "Page.bringToFront", "Browser.setWindowBounds",
          "Target.detachFromTarget", "Target.setAutoAttach"}) {
        SetAnswer(method, {});
    }
}

std::unique_ptr<ChromiumProcess> FakeChromium::Process() {
    return std::make_unique<FakeChromiumProcess>(*this);
}

void FakeChromium::SetAnswer(const std::string& method, Answer answer) {
    standing_[method] = std::move(answer);
    next_.erase(method);
}

void FakeChromium::AnswerNext(const std::string& method, Answer answer) {
    next_[method].push_back(std::move(answer));
}

void FakeChromium::Send(std::string_view message) {
    if (outbox_.empty()) {
        outbox_.emplace_back();
    }
    outbox_.back() += Framed(message);
}

void FakeChromium::ClearRecord() {
    history.clear();
    commands.clear();
    reads.clear();
}

void FakeChromium::Drop() {
    if (!ended_) {
        End("Dropped");
    }
}

void FakeChromium::Exit() {
    exited_ = true;
    closed_ = true;
}

void FakeChromium::End(const char* how) {
    history.emplace_back(how);
    ended_ = true;
}

Status FakeChromium::Receive(std::string_view bytes, Deadline deadline) {
    if (ended_ || closed_) {
        return Status::Fail("The browser's command pipe is closed.");
    }
    written_.append(bytes);
    for (auto end = written_.find('\0'); end != std::string::npos; end = written_.find('\0')) {
        const std::string text = written_.substr(0, end);
        written_.erase(0, end + 1);
        Respond(text, deadline);
    }
    return Status::Ok();
}

PipeRead FakeChromium::Deliver(Deadline deadline) {
    reads.emplace_back(now_, deadline);
    while (!outbox_.empty() && outbox_.front().empty()) {
        outbox_.pop_front();
    }
    if (!outbox_.empty()) {
        PipeRead read{PipeRead::Kind::kData, std::move(outbox_.front()), {}};
        outbox_.pop_front();
        return read;
    }
    if (!delayed_.empty() && !ended_) {
        // The wait passes at once: up to the held reply, if it comes before the deadline.
        if (delayed_.front().first <= deadline) {
            now_ = std::max(now_, delayed_.front().first);
            PipeRead read{PipeRead::Kind::kData, std::move(delayed_.front().second), {}};
            delayed_.pop_front();
            closed_ = closed_ || (delayed_.empty() && closeWhenDelivered_);
            return read;
        }
        now_ = std::max(now_, deadline);
        return {};
    }
    if (closed_ || ended_) {
        return {PipeRead::Kind::kClosed, {}, {}};
    }
    // Nothing can arrive while the driver waits (this fake answers only when written to), so a
    // read waits until its deadline as a real pipe with nothing coming would.
    now_ = std::max(now_, deadline);
    return {};
}

void FakeChromium::Respond(std::string_view text, Deadline deadline) {
    const auto command = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!command.is_object()) {
        history.push_back("unreadable: " + std::string(text));
        return;
    }
    Command sent{command.value("id", std::int64_t{0}), command.value("method", std::string()),
                 command.value("sessionId", std::string()), now_, deadline};
    const json params = command.value("params", json::object());
    history.push_back(sent.method + (sent.sessionId.empty() ? "" : "@" + sent.sessionId) + " " +
                      params.dump());
    commands.push_back(sent);

    Answer answer;
    if (auto queued = next_.find(sent.method); queued != next_.end() && !queued->second.empty()) {
        answer = std::move(queued->second.front());
        queued->second.pop_front();
    } else if (auto standing = standing_.find(sent.method); standing != standing_.end()) {
        answer = standing->second;
    } else {
        answer.error = "'" + sent.method + "' wasn't found";
    }
    // Chromium's own refusals: the page's domains live only on its session, the browser's only
    // off it (targets are handled on both), and there is one target and one window.
    const bool pageDomain = sent.method.starts_with("Page.") || sent.method.starts_with("Runtime.");
    if (pageDomain != (sent.sessionId == kSessionId) && !sent.method.starts_with("Target.")) {
        answer.error = "'" + sent.method + "' wasn't found";
    } else if (params.contains("targetId") && params["targetId"] != std::string(kTargetId)) {
        answer.error = "No target with given id found";
    } else if (params.contains("windowId") && params["windowId"] != kWindowId) {
        answer.error = "Browser window not found";
    }

    json reply = {{"id", sent.id}};
    if (answer.error.empty()) {
        reply["result"] = json::parse(answer.result);
    } else {
        reply["error"] = {{"code", -32000}, {"message", answer.error}};
    }
    if (!sent.sessionId.empty()) {
        reply["sessionId"] = sent.sessionId;
    }
    if (answer.delay.count() > 0) {
        std::string held;
        for (const auto& message : answer.before) {
            held += Framed(message);
        }
        held += Framed(reply.dump());
        for (const auto& message : answer.after) {
            held += Framed(message);
        }
        delayed_.emplace_back(now_ + answer.delay, std::move(held));
        closeWhenDelivered_ = closeWhenDelivered_ || answer.close;
        exited_ = exited_ || answer.exit;
        return;
    }
    for (const auto& message : answer.before) {
        Send(message);
    }
    if (answer.reply == Reply::kNow) {
        if (!late_.empty()) {
            // A read of its own, so the driver meets it before the reply it waits for.
            outbox_.push_back(std::exchange(late_, {}));
            outbox_.emplace_back();
        }
        Send(reply.dump());
    } else if (answer.reply == Reply::kLate) {
        late_ += Framed(reply.dump());
    }
    for (const auto& message : answer.after) {
        Send(message);
    }
    closed_ = closed_ || answer.close;
    exited_ = exited_ || answer.exit;
}

}  // namespace vellamark::testsupport
