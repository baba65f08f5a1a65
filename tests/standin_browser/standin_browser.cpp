// A stand-in for a Chromium-family browser, for the end-to-end tests of the launch on Windows
// (under wine) and on Linux. It takes its debugging pipes from its command line as Edge and
// Chrome do, answers the DevTools calls the launcher's driver makes with replies and events of
// the shapes Chromium gives (one app window with one page, attach, navigation with its loading
// events, script evaluation, window bounds), and records what it was asked to do as JSON lines
// in the file named by VELLAMARK_STANDIN_RECORD: the form written into the page, the submit, the
// addresses opened, the window states. Like Chromium, it ends only when its command pipe does:
// a launcher that hands its own ends to the browser leaves it running.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/standin_browser/standin_pipes.h"

namespace vellamark::standin {
namespace {

using json = nlohmann::json;

// Ids of the form Chromium gives: 32 upper-case hexadecimal digits.
std::string NewId() {
    static std::mt19937_64 random(static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ ProcessId()));
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string id;
    for (int i = 0; i < 32; ++i) {
        id += kDigits[random() % 16];
    }
    return id;
}

class Recorder {
public:
    Recorder() {
        if (const char* path = std::getenv("VELLAMARK_STANDIN_RECORD"); path && *path) {
            file_ = std::fopen(path, "ab");
        }
    }
    ~Recorder() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void Record(json entry) {
        if (file_ == nullptr) {
            return;
        }
        const std::string line = entry.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fflush(file_);
    }

private:
    std::FILE* file_ = nullptr;
};

// The JSON string literal that closes a script "(function(x){...})(<literal>)", as the driver
// passes its values: never as script source.
std::optional<std::string> TrailingStringArgument(const std::string& expression) {
    const auto open = expression.rfind("})(");
    if (open == std::string::npos || expression.empty() || expression.back() != ')') {
        return std::nullopt;
    }
    const std::string literal = expression.substr(open + 3, expression.size() - open - 4);
    const json parsed = json::parse(literal, nullptr, false);
    if (!parsed.is_string()) {
        return std::nullopt;
    }
    return parsed.get<std::string>();
}

// The action address of the form in the page (its first "action=" attribute, quoted or bare).
std::string FormAction(const std::string& html) {
    const auto at = html.find("action=");
    if (at == std::string::npos) {
        return "about:blank";
    }
    std::size_t start = at + 7;
    std::string action;
    if (start < html.size() && html[start] == '"') {
        const auto end = html.find('"', start + 1);
        action = html.substr(start + 1, end == std::string::npos ? end : end - start - 1);
    } else {
        const auto end = html.find_first_of(" >", start);
        action = html.substr(start, end == std::string::npos ? end : end - start);
    }
    // Character references other than "&amp;" do not occur in the launcher's addresses.
    std::string decoded;
    for (std::size_t i = 0; i < action.size(); ++i) {
        decoded += action[i];
        if (action.compare(i, 5, "&amp;") == 0) {
            i += 4;
        }
    }
    return decoded;
}

class StandinBrowser {
public:
    StandinBrowser(DebuggingPipes& pipes, Recorder& recorder, std::string startUrl)
        : pipes_(pipes), recorder_(recorder), url_(std::move(startUrl)) {}

    [[nodiscard]] bool Handle(const std::string& text) {
        const json message = json::parse(text, nullptr, false);
        if (!message.is_object() || !message.contains("id") || !message["id"].is_number_integer() ||
            !message.contains("method") || !message["method"].is_string()) {
            return true;  // Chromium drops what it cannot read
        }
        const auto id = message["id"].get<std::int64_t>();
        const std::string method = message["method"].get<std::string>();
        const json params = message.value("params", json::object());
        std::string session;
        if (message.contains("sessionId") && message["sessionId"].is_string()) {
            session = message["sessionId"].get<std::string>();
        }
        recorder_.Record({{"kind", "command"}, {"method", method}, {"onPage", !session.empty()}});
        if (!session.empty() && session != sessionId_) {
            return Error(id, session, -32001, "Session with given id not found.");
        }
        if (session.empty() && PageDomain(method)) {
            return Error(id, session, -32601, "'" + method + "' wasn't found");
        }
        return Dispatch(id, method, params, session);
    }

    // Where the window is first placed (--window-position).
    void Place(int left, int top) {
        left_ = left;
        top_ = top;
    }

private:
    static bool PageDomain(const std::string& method) {
        return method.rfind("Page.", 0) == 0 || method.rfind("Runtime.", 0) == 0;
    }

    json TargetInfo() const {
        return {{"targetId", targetId_},
                {"type", "page"},
                {"title", url_},
                {"url", url_},
                {"attached", !sessionId_.empty()},
                {"canAccessOpener", false},
                {"browserContextId", contextId_}};
    }

    json Bounds() const {
        return {{"left", left_},
                {"top", top_},
                {"width", width_},
                {"height", height_},
                {"windowState", windowState_}};
    }

    bool Send(const json& message) { return pipes_.Write(message.dump() + std::string(1, '\0')); }
    bool Reply(std::int64_t id, const std::string& session, json result) {
        json reply = {{"id", id}, {"result", std::move(result)}};
        if (!session.empty()) {
            reply["sessionId"] = session;
        }
        return Send(reply);
    }
    bool Error(std::int64_t id, const std::string& session, int code, const std::string& text) {
        json reply = {{"id", id}, {"error", {{"code", code}, {"message", text}}}};
        if (!session.empty()) {
            reply["sessionId"] = session;
        }
        return Send(reply);
    }
    bool Event(const std::string& method, json params, bool onPage) {
        json event = {{"method", method}, {"params", std::move(params)}};
        if (onPage && !sessionId_.empty()) {
            event["sessionId"] = sessionId_;
        }
        return Send(event);
    }

    // A load of the page's one frame, as Chromium reports it around its reply.
    bool Navigate(std::int64_t id, const std::string& session, const std::string& url) {
        url_ = url;
        const std::string loader = NewId();
        recorder_.Record({{"kind", "navigate"}, {"url", url}});
        const bool sent =
            Event("Page.frameStartedNavigating",
                  {{"frameId", targetId_},
                   {"url", url},
                   {"loaderId", loader},
                   {"navigationType", "differentDocument"}},
                  true) &&
            Event("Page.frameStartedLoading", {{"frameId", targetId_}}, true) &&
            (id == 0 ||
             Reply(id, session,
                   {{"frameId", targetId_}, {"loaderId", loader}, {"isDownload", false}}));
        body_.clear();
        return sent && FinishLoad(loader);
    }

    bool FinishLoad(const std::string& loader) {
        return Event("Page.frameNavigated",
                     {{"frame",
                       {{"id", targetId_},
                        {"loaderId", loader},
                        {"url", url_},
                        {"securityOrigin", "://"},
                        {"mimeType", "text/html"}}},
                      {"type", "Navigation"}},
                     true) &&
               Event("Page.domContentEventFired", {{"timestamp", 1.0}}, true) &&
               Event("Page.loadEventFired", {{"timestamp", 1.0}}, true) &&
               Event("Page.frameStoppedLoading", {{"frameId", targetId_}}, true);
    }

    bool Evaluate(std::int64_t id, const std::string& session, const json& params) {
        const std::string expression = params.value("expression", std::string());
        const auto argument = TrailingStringArgument(expression);
        if (argument && expression.find("document.body.innerHTML=") != std::string::npos) {
            body_ = *argument;
            recorder_.Record({{"kind", "body"}, {"html", body_}});
            return Reply(id, session, {{"result", {{"type", "boolean"}, {"value", true}}}});
        }
        if (argument && expression.find(".submit") != std::string::npos) {
            const bool found = body_.find("name=" + *argument) != std::string::npos ||
                               body_.find("name=\"" + *argument + "\"") != std::string::npos;
            if (!found) {
                return Reply(id, session, {{"result", {{"type", "boolean"}, {"value", false}}}});
            }
            recorder_.Record({{"kind", "submit"}, {"form", *argument}, {"html", body_}});
            // The submit starts the load of the form's answer, which Chromium reports after the
            // script's own reply.
            return Reply(id, session, {{"result", {{"type", "boolean"}, {"value", true}}}}) &&
                   Navigate(0, session, FormAction(body_));
        }
        recorder_.Record({{"kind", "evaluate"}, {"expression", expression}});
        return Reply(id, session, {{"result", {{"type", "undefined"}}}});
    }

    bool SetBounds(std::int64_t id, const json& params) {
        if (params.value("windowId", std::int64_t{-1}) != windowId_ || !params.contains("bounds") ||
            !params["bounds"].is_object()) {
            return Error(id, {}, -32000, "Browser window not found");
        }
        const json& bounds = params["bounds"];
        const std::string state = bounds.value("windowState", std::string("normal"));
        const bool placed = bounds.contains("left") || bounds.contains("top") ||
                            bounds.contains("width") || bounds.contains("height");
        if (state != "normal" && placed) {
            return Error(id, {}, -32000,
                         "The 'minimized', 'maximized' and 'fullscreen' states cannot be "
                         "combined with 'left', 'top', 'width' or 'height'");
        }
        if (bounds.contains("windowState")) {
            windowState_ = state;
        }
        left_ = bounds.value("left", left_);
        top_ = bounds.value("top", top_);
        width_ = bounds.value("width", width_);
        height_ = bounds.value("height", height_);
        recorder_.Record({{"kind", "bounds"}, {"bounds", Bounds()}});
        return Reply(id, {}, json::object());
    }

    // A new session on the page, announced as Chromium announces it.
    bool Attach() {
        sessionId_ = NewId();
        return Event("Target.attachedToTarget",
                     {{"sessionId", sessionId_},
                      {"targetInfo", TargetInfo()},
                      {"waitingForDebugger", false}},
                     false);
    }

    // The one window this stand-in makes, in the state and place it was asked for; recorded,
    // so a test sees how the window was made.
    bool CreateTarget(std::int64_t id, const std::string& session, const json& params) {
        if (created_) {
            return Error(id, session, -32000, "This stand-in makes one window only");
        }
        if (params.contains("browserContextId") && params["browserContextId"] != json(contextId_)) {
            return Error(id, session, -32000, "Failed to find browser context with id");
        }
        created_ = true;
        url_ = params.value("url", std::string("about:blank"));
        windowState_ = params.value("windowState", std::string("normal"));
        left_ = params.value("left", left_);
        top_ = params.value("top", top_);
        recorder_.Record({{"kind", "createTarget"}, {"params", params}});
        return (!discover_ ||
                Event("Target.targetCreated", {{"targetInfo", TargetInfo()}}, false)) &&
               (!autoAttach_ || Attach()) && Reply(id, session, {{"targetId", targetId_}});
    }

    bool Dispatch(std::int64_t id, const std::string& method, const json& params,
                  const std::string& session) {
        if (method == "Target.setDiscoverTargets") {
            discover_ = params.value("discover", false);
            if (discover_ && created_ &&
                !Event("Target.targetCreated", {{"targetInfo", TargetInfo()}}, false)) {
                return false;
            }
            return Reply(id, session, json::object());
        }
        if (method == "Target.setAutoAttach") {
            const bool wasOn = autoAttach_;
            autoAttach_ = params.value("autoAttach", false);
            // Switched off, it detaches what it attached.
            if (wasOn && !autoAttach_ && !sessionId_.empty()) {
                const std::string detached = std::exchange(sessionId_, std::string());
                return Reply(id, session, json::object()) &&
                       Event("Target.detachedFromTarget",
                             {{"sessionId", detached}, {"targetId", targetId_}}, false);
            }
            return Reply(id, session, json::object());
        }
        if (method == "Target.createBrowserContext") {
            return Reply(id, session, {{"browserContextId", contextId_}});
        }
        if (method == "Target.createTarget") {
            return CreateTarget(id, session, params);
        }
        if (method == "Target.attachToTarget") {
            if (!created_ || params.value("targetId", std::string()) != targetId_) {
                return Error(id, session, -32602, "No target with given id found");
            }
            return Attach() && Reply(id, session, {{"sessionId", sessionId_}});
        }
        if (method == "Target.detachFromTarget") {
            if (sessionId_.empty() || params.value("sessionId", std::string()) != sessionId_) {
                return Error(id, session, -32602, "No session with given id");
            }
            const std::string detached = sessionId_;
            sessionId_.clear();
            return Reply(id, session, json::object()) &&
                   Event("Target.detachedFromTarget",
                         {{"sessionId", detached}, {"targetId", targetId_}}, false);
        }
        if (method == "Browser.getWindowForTarget") {
            if (!created_ || params.value("targetId", std::string()) != targetId_) {
                return Error(id, session, -32602, "No target with given id found");
            }
            return Reply(id, session, {{"windowId", windowId_}, {"bounds", Bounds()}});
        }
        if (method == "Browser.getWindowBounds") {
            if (params.value("windowId", std::int64_t{-1}) != windowId_) {
                return Error(id, session, -32000, "Browser window not found");
            }
            return Reply(id, session, {{"bounds", Bounds()}});
        }
        if (method == "Browser.setWindowBounds") {
            return SetBounds(id, params);
        }
        if (method == "Page.enable" || method == "Page.disable" || method == "Runtime.enable") {
            return Reply(id, session, json::object());
        }
        if (method == "Page.bringToFront") {
            recorder_.Record({{"kind", "bringToFront"}});
            return Reply(id, session, json::object());
        }
        if (method == "Page.navigate") {
            const std::string url = params.value("url", std::string());
            if (url.empty()) {
                return Error(id, session, -32602, "Invalid parameters");
            }
            return Navigate(id, session, url);
        }
        if (method == "Runtime.evaluate") {
            return Evaluate(id, session, params);
        }
        return Error(id, session, -32601, "'" + method + "' wasn't found");
    }

    DebuggingPipes& pipes_;
    Recorder& recorder_;
    std::string url_;
    std::string body_;
    std::string targetId_ = NewId();
    std::string contextId_ = NewId();
    std::string sessionId_;
    std::int64_t windowId_ = 1000000 + static_cast<std::int64_t>(ProcessId() % 1000000);
    int left_ = 0;
    int top_ = 0;
    int width_ = 1050;
    int height_ = 775;
    std::string windowState_ = "normal";
    bool created_ = false;  // no window until the driver makes one
    bool discover_ = false;
    bool autoAttach_ = false;
};

}  // namespace
}  // namespace vellamark::standin

int main(int argc, char** argv) {
    using namespace vellamark::standin;
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    Recorder recorder;
    recorder.Record({{"kind", "started"}, {"pid", ProcessId()}, {"arguments", arguments}});
    DebuggingPipes pipes(arguments);
    if (!pipes.Valid()) {
        std::fprintf(stderr, "standin_browser: no debugging pipes on the command line\n");
        return 2;
    }
    StandinBrowser browser(pipes, recorder, "about:blank");
    for (const std::string& argument : arguments) {
        if (argument.rfind("--user-data-dir=", 0) == 0) {
            HoldProfile(argument.substr(16));
        } else if (argument.rfind("--window-position=", 0) == 0) {
            int left = 0;
            int top = 0;
            if (std::sscanf(argument.c_str() + 18, "%d,%d", &left, &top) == 2) {
                browser.Place(left, top);
            }
        }
    }
    std::string pending;
    std::string bytes;
    while (pipes.Read(bytes)) {
        pending += bytes;
        for (auto end = pending.find('\0'); end != std::string::npos; end = pending.find('\0')) {
            const std::string message = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!browser.Handle(message)) {
                recorder.Record({{"kind", "exit"}, {"why", "reply pipe closed"}});
                return 0;
            }
        }
    }
    recorder.Record({{"kind", "exit"}, {"why", "command pipe closed"}});
    return 0;
}
