// The Chromium driver: the launch's browser operations over the DevTools protocol.
//
// The protocol as this driver uses it, for anything that plays the browser's part (a real
// Chromium, the tests' fake, a stand-in browser). One JSON message per frame, each ended by a
// NUL byte. Commands carry "id", "method", "params" and, for the page, "sessionId"; every
// command gets one reply with the same "id" (and "sessionId") holding "result" (an object) or
// "error" ({"message": text}). Values the driver reads are checked for their type: anything
// else is a broken protocol and ends the connection.
//
// Start (ConnectChromiumDriver), one time budget for all of it. The browser runs without a
// window until the driver makes one:
//   1. Target.createBrowserContext {} -> {"browserContextId":text}: off the record, so the
//        page, the post and the answer stay in memory; sent together with
//   2. Target.setAutoAttach {"autoAttach":true,"waitForDebuggerOnStart":false,"flatten":true,
//        "filter":[{"type":"page"}]},
//        then Target.createTarget {"url":"about:blank","newWindow":true,"background":true,
//        "browserContextId":<context>} and, where the window may be minimised,
//        "windowState":"minimized","left":-32000,"top":-32000 -> {"targetId":text}; relies
//        on the event Target.attachedToTarget {"sessionId":text,"targetInfo":{"targetId":
//        <page>,"browserContextId":<context>,...}} before the reply
//   3. only without that event: Target.attachToTarget {"targetId":<page>,"flatten":true} ->
//        {"sessionId":text}
//   4. Page.enable {} (on the session), sent together with 5, as soon as the event has come
//   5. Browser.getWindowForTarget {"targetId":<page>} -> {"windowId":integer,"bounds":{...}};
//        a browser that made the window in another state than asked is sent
//        Browser.setWindowBounds {"windowId":<window>,"bounds":{"windowState":"minimized"}}
//   6. where minimised: Runtime.evaluate {"expression":<a promise that resolves once the page
//        is hidden, or after 300 ms>,"awaitPromise":true,"returnByValue":true} (session)
// Launch operations:
//   Navigate      Page.navigate {"url":text} (session) -> {"frameId":text,"loaderId":text?,
//                 "errorText":text?}; no loaderId: nothing loads. The first navigation to
//                 about:blank, where the window already is, sends nothing.
//   Busy          relies on Page.frameStartedLoading / Page.frameStoppedLoading {"frameId":
//                 text} on the session; the page's main frame has the page target's id.
//   SetBodyHtml   Runtime.evaluate {"expression":text,"returnByValue":true} (session) ->
//   SubmitForm      {"result":{"value":any}} or {"exceptionDetails":{"text":text,...}}
//   SetVisible    Browser.setWindowBounds: {"windowState":"minimized"} to hide; to show
//                   {"windowState":"normal"}, then {"left":0,"top":0}
//   ShowMaximised Browser.setWindowBounds {"windowState":"normal"}; Browser.getWindowBounds
//                 {"windowId":<window>} -> {"bounds":{"windowState":text,...}}, again every
//                 20 ms (3 s at most) while it says "minimized"; Browser.setWindowBounds
//                 {"left":0,"top":0}, then {"windowState":"maximized"}; Page.bringToFront {}
//                 (session). A window that was never minimised goes to "maximized" at once.
//   BringToTop    Page.bringToFront {} (session)
// Release (the browser stays open): Page.disable {} (session), Target.setAutoAttach
// {"autoAttach":false,"waitForDebuggerOnStart":false,"flatten":true}, Target.detachFromTarget
// {"sessionId":<session>}, then the process is handed over. Close (a browser never shown): the
// process is ended.
#include "browser/chromium_driver.h"

#include <algorithm>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "browser/browser_command_line.h"
#include "browser/browser_display.h"
#include "browser/browser_locator.h"
#include "browser/browser_profile.h"
#include "browser/chromium_process.h"
#include "browser/devtools_connection.h"
#include "platform/user_folders.h"

namespace vellamark {

namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;

// Where the window comes back to before maximising, and where it waits until then.
constexpr int kOnScreen = 0;
constexpr int kOffScreen = -32000;
// How long a window manager may take to restore an iconified window, and how often to look.
constexpr std::chrono::milliseconds kRestoreWait{3000};
constexpr std::chrono::milliseconds kRestorePoll{20};
// Resolves once the page is hidden (its window iconified), or after 300 ms.
constexpr char kUntilHidden[] =
    "new Promise(function(done){function hidden(){return document.visibilityState==='hidden';}"
    "if(hidden())return done(true);document.addEventListener('visibilitychange',function(){"
    "if(hidden())done(true);});setTimeout(function(){done(hidden());},300);})";
// Auto-attachment of new pages (not the browser's own user interface), flat (sessions on this
// connection), none paused.
constexpr char kAutoAttach[] =
    R"({"autoAttach":true,"waitForDebuggerOnStart":false,"flatten":true,)"
    R"("filter":[{"type":"page"}]})";
constexpr char kNoAutoAttach[] =
    R"({"autoAttach":false,"waitForDebuggerOnStart":false,"flatten":true})";
// The page a new window is made on.
constexpr char kBlankPage[] = "about:blank";
// The longest a wait on a load reads the browser before letting the window paint.
constexpr std::chrono::milliseconds kLoadSlice{10};

std::optional<json> ParseBody(const std::string& body) {
    auto parsed = json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return std::nullopt;
    }
    return parsed;
}

// A member of an object that must be a text when present: nullopt when it is absent, and a
// failure naming it when it is something else.
struct Field {
    bool present = false;
    bool wrongType = false;
    std::string text;
};
Field TextField(const json& object, const char* name) {
    Field field;
    const auto found = object.find(name);
    if (found == object.end()) {
        return field;
    }
    field.present = true;
    if (found->is_string()) {
        field.text = found->get<std::string>();
    } else {
        field.wrongType = true;
    }
    return field;
}

// The "windowState" of a reply's "bounds", or empty.
std::string StateIn(const json& reply) {
    const auto bounds = reply.find("bounds");
    if (bounds == reply.end() || !bounds->is_object()) {
        return {};
    }
    return TextField(*bounds, "windowState").text;
}

// A JSON string literal, which is also a valid JavaScript string literal. Text that is not
// valid UTF-8 is refused rather than altered.
std::optional<std::string> JsonString(std::string_view text) {
    try {
        return json(std::string(text)).dump(-1, ' ', /*ensure_ascii=*/true);
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

class ChromiumDriver final : public BrowserDriver {
public:
    ChromiumDriver(std::unique_ptr<ChromiumProcess> process, std::string profileDir,
                   const ChromiumTimeouts& timeouts, BrowserIdle idle, bool minimise)
        : process_(std::move(process)),
          profileDir_(std::move(profileDir)),
          timeouts_(timeouts),
          minimise_(minimise),
          connection_(
              *process_, [this](const DevToolsMessage& m) { return OnEvent(m); }, std::move(idle)) {
    }

    ChromiumDriver(const ChromiumDriver&) = delete;
    ChromiumDriver& operator=(const ChromiumDriver&) = delete;

    ~ChromiumDriver() override {
        // A browser that was never shown would otherwise stay running out of sight.
        if (!finished_) {
            if (shown_) {
                (void)Release();
            } else {
                Close();
            }
        }
    }

    // Makes the login's window (minimised where it may be), attaches to its page and learns
    // its window, all within the start budget.
    [[nodiscard]] Status Connect() {
        const Deadline deadline = connection_.Now() + timeouts_.start;
        // The context and the auto-attach need not wait for each other.
        auto contextCall = connection_.Send("Target.createBrowserContext", "{}", {}, deadline);
        if (!contextCall) {
            return contextCall.status();
        }
        auto attachCall = connection_.Send("Target.setAutoAttach", kAutoAttach, {}, deadline);
        if (!attachCall) {
            return attachCall.status();
        }
        auto context = connection_.Await(*contextCall, deadline);
        if (!context) {
            return context.status();
        }
        const auto contextBody = ParseBody(*context);
        const Field contextId = contextBody ? TextField(*contextBody, "browserContextId") : Field{};
        if (contextId.text.empty()) {
            return connection_.Broke("a browser context came without its id");
        }
        if (auto attach = connection_.Await(*attachCall, deadline); !attach) {
            return attach.status();
        }
        autoAttaching_ = true;
        contextId_ = contextId.text;
        json create = {{"url", kBlankPage},
                       {"newWindow", true},
                       {"background", true},
                       {"browserContextId", contextId.text}};
        if (minimise_) {
            // Off the screen as well, for a desktop without a window manager, which would show
            // a minimised window where it was put.
            create["windowState"] = "minimized";
            create["left"] = kOffScreen;
            create["top"] = kOffScreen;
        }
        auto createCall = connection_.Send("Target.createTarget", create.dump(), {}, deadline);
        if (!createCall) {
            return createCall.status();
        }
        // The page is attached (its session comes with it) before its making is answered,
        // while its renderer still starts: its page events and its window are asked for then,
        // a round trip sooner.
        while (autoAttached_.empty() && !connection_.Answered(*createCall) &&
               connection_.Now() < deadline) {
            if (auto pumped = connection_.Pump(deadline); !pumped) {
                return pumped;
            }
        }
        std::int64_t enableCall = 0;
        std::int64_t windowCall = 0;
        const auto askForPage = [&](const std::string& page, const std::string& session) {
            auto enable = connection_.Send("Page.enable", "{}", session, deadline);
            if (!enable) {
                return enable.status();
            }
            auto window = connection_.Send("Browser.getWindowForTarget",
                                           json{{"targetId", page}}.dump(), {}, deadline);
            if (!window) {
                return window.status();
            }
            enableCall = *enable;
            windowCall = *window;
            return Status::Ok();
        };
        std::string earlyTarget;
        if (!autoAttached_.empty()) {
            earlyTarget = autoAttached_.begin()->first;
            if (auto asked = askForPage(earlyTarget, autoAttached_.begin()->second); !asked) {
                return asked;
            }
        }
        auto created = connection_.Await(*createCall, deadline);
        if (!created) {
            return created.status();
        }
        const auto createdBody = ParseBody(*created);
        const Field target = createdBody ? TextField(*createdBody, "targetId") : Field{};
        if (target.text.empty()) {
            return connection_.Broke("the new page came without its id");
        }
        targetId_ = target.text;
        if (const auto found = autoAttached_.find(targetId_); found != autoAttached_.end()) {
            sessionId_ = found->second;
            sessionAutoAttached_ = true;
        } else {
            // A browser that attached nothing by itself is asked to.
            auto attach = connection_.Call("Target.attachToTarget",
                                           json{{"targetId", targetId_}, {"flatten", true}}.dump(),
                                           {}, deadline);
            if (!attach) {
                return attach.status();
            }
            const auto attached = ParseBody(*attach);
            const Field session = attached ? TextField(*attached, "sessionId") : Field{};
            if (session.text.empty()) {
                return connection_.Broke("the page was attached without a session");
            }
            sessionId_ = session.text;
        }
        autoAttached_.clear();
        if (earlyTarget != targetId_) {
            // Asked for another page than the one made (a browser that attached some other
            // page first): those answers are dropped and ours asked for.
            if (!earlyTarget.empty()) {
                (void)connection_.Await(enableCall, deadline);
                (void)connection_.Await(windowCall, deadline);
            }
            if (auto asked = askForPage(targetId_, sessionId_); !asked) {
                return asked;
            }
        }
        if (auto enabled = connection_.Await(enableCall, deadline); !enabled) {
            return enabled.status();
        }
        auto window = connection_.Await(windowCall, deadline);
        if (!window) {
            return window.status();
        }
        const auto windowBody = ParseBody(*window);
        const json* id = nullptr;
        if (windowBody) {
            if (const auto found = windowBody->find("windowId"); found != windowBody->end()) {
                id = &*found;
            }
        }
        if (id == nullptr || !id->is_number_integer() || *id <= 0 ||
            *id > std::numeric_limits<std::uint32_t>::max()) {
            return connection_.Broke("the page's window came without a usable id");
        }
        windowId_ = id->get<std::uint32_t>();
        if (!minimise_) {
            return Status::Ok();
        }
        if (StateIn(*windowBody) != "minimized") {
            // A browser that does not yet make windows minimised: minimised with its first
            // command that can reach the window.
            auto minimised = connection_.Call(
                "Browser.setWindowBounds",
                json{{"windowId", windowId_}, {"bounds", {{"windowState", "minimized"}}}}.dump(),
                {}, deadline);
            if (!minimised) {
                return minimised.status();
            }
        }
        // The window manager iconifies the new window in its own time (some take a fifth of a
        // second), and the page hears of it: it turns hidden. Nothing of the login goes into
        // the page before that, within a bound; a desktop without a window manager never
        // iconifies, and there the window stays off the screen instead.
        auto hidden = connection_.Call(
            "Runtime.evaluate",
            json{{"expression", kUntilHidden}, {"awaitPromise", true}, {"returnByValue", true}}
                .dump(),
            sessionId_, deadline);
        return connection_.Fault().empty() ? Status::Ok() : hidden.status();
    }

    Status Navigate(std::string_view address) override {
        const std::string url = AddressToUrl(address);
        // The window was made on a blank page: a first navigation there has nothing to load.
        if (!navigated_ && url == kBlankPage) {
            navigated_ = true;
            return Usable();
        }
        navigated_ = true;
        BeginLoad();
        auto reply = Call("Page.navigate", json{{"url", url}}, true);
        if (!reply) {
            loadPending_ = false;
            return reply.status();
        }
        const auto body = ParseBody(*reply);
        if (!body) {
            loadPending_ = false;
            return connection_.Broke("a navigation was answered with no object");
        }
        const Field errorText = TextField(*body, "errorText");
        const Field loader = TextField(*body, "loaderId");
        if (errorText.wrongType || loader.wrongType) {
            loadPending_ = false;
            return connection_.Broke("a navigation's answer holds values of the wrong type");
        }
        if (!errorText.text.empty()) {
            loadPending_ = false;
            return Status::Fail("The browser could not open " + url + " (" + errorText.text + ").");
        }
        // A move within the same document starts no load, and so has no loader.
        if (!loader.present) {
            loadPending_ = false;
        }
        return Status::Ok();
    }

    bool Busy() override {
        if (!loadPending_) {
            return false;
        }
        if (!connection_.Pump(connection_.Now())) {
            loadPending_ = false;  // a browser that has gone is not loading; the next call says so
        }
        return loadPending_;
    }

    void WaitWhileBusy(std::chrono::milliseconds limit,
                       const std::function<void(std::chrono::milliseconds)>& sleep) override {
        const Deadline end = connection_.Now() + limit;
        while (loadPending_) {
            const Deadline now = connection_.Now();
            if (now >= end) {
                return;
            }
            // Slices short enough for the window to paint between them; each returns as soon
            // as the browser has said something.
            if (!connection_.Pump(std::min(end, now + kLoadSlice))) {
                loadPending_ = false;  // a browser that has gone is not loading
                return;
            }
            if (loadPending_) {
                sleep(std::chrono::milliseconds(0));
            }
        }
    }

    // A window made over the protocol is an ordinary browser window of its context, and the
    // protocol has no way to hide its bars (only a window the browser opens at its own start
    // can be an app window, and that one is on screen before anything can reach it). These
    // change nothing; they fail only once the browser is gone.
    Status SetAddressBar(bool) override { return Usable(); }
    Status SetMenuBar(bool) override { return Usable(); }
    Status SetToolBar(bool) override { return Usable(); }

    Status SetVisible(bool visible) override {
        if (visible == shown_) {
            return Usable();
        }
        if (!minimise_) {
            // Where a window cannot be brought back from minimised it stays as it is: in the
            // background, unfocused.
            shown_ = visible;
            return Usable();
        }
        if (!visible) {
            if (auto status = SetBounds(json{{"windowState", "minimized"}}); !status) {
                return status;
            }
            shown_ = false;
            return Status::Ok();
        }
        if (auto status = SetBounds(json{{"windowState", "normal"}}); !status) {
            return status;
        }
        if (auto status = SetBounds(json{{"left", kOnScreen}, {"top", kOnScreen}}); !status) {
            return status;
        }
        shown_ = true;
        return Status::Ok();
    }

    std::uint32_t WindowHandle() override { return windowId_; }

    Status SetBodyHtml(std::string_view html) override {
        const auto literal = JsonString(html);
        if (!literal) {
            return Status::Fail("The login form holds text that is not valid UTF-8.");
        }
        // The HTML goes in as a string argument, never as script source.
        auto result = Evaluate(
            "(function(h){if(!document.body)return false;"
            "document.body.innerHTML=h;return true;})(" +
            *literal + ")");
        if (!result) {
            return result.status();
        }
        if (*result != "true") {
            return Status::Fail("The browser's page has no body to write the form into.");
        }
        return Status::Ok();
    }

    Status SubmitForm(std::string_view formName) override {
        const auto literal = JsonString(formName);
        if (!literal) {
            return Status::Fail("The form's name is not valid UTF-8.");
        }
        BeginLoad();
        // The prototype's submit, because a field named "submit" would hide the form's own.
        auto result = Evaluate(
            "(function(n){var f=document.forms[n];if(!f)return false;"
            "HTMLFormElement.prototype.submit.call(f);return true;})(" +
            *literal + ")");
        if (!result) {
            loadPending_ = false;
            return result.status();
        }
        if (*result != "true") {
            loadPending_ = false;
            return Status::Fail("The page has no form named \"" + std::string(formName) + "\".");
        }
        return Status::Ok();
    }

    Status ShowMaximised(std::uint32_t windowHandle) override {
        const std::uint32_t window = windowHandle != 0 ? windowHandle : windowId_;
        if (!minimise_) {
            if (auto s = SetBounds(json{{"windowState", "maximized"}}, window); !s) {
                return s;
            }
            shown_ = true;
            return BringToTop(window);
        }
        // A window may not go to "maximized" straight from minimised: back to normal first,
        // onto the screen, then maximised.
        if (auto s = SetBounds(json{{"windowState", "normal"}}, window); !s) {
            return s;
        }
        shown_ = true;
        if (auto s = WaitUntilRestored(window); !s) {
            return s;
        }
        if (auto s = SetBounds(json{{"left", kOnScreen}, {"top", kOnScreen}}, window); !s) {
            return s;
        }
        if (auto s = SetBounds(json{{"windowState", "maximized"}}, window); !s) {
            return s;
        }
        return BringToTop(window);
    }

    Status BringToTop(std::uint32_t) override {
        return Call("Page.bringToFront", json::object(), true).status();
    }

    Status Release() override {
        if (finished_) {
            return Status::Fail("The browser has already been let go.");
        }
        finished_ = true;
        // Switch off everything that makes the browser write to us, so it has nothing to send
        // once our ends of the pipes are closed. Only a browser that has gone matters here.
        if (connection_.Fault().empty()) {
            if (!sessionId_.empty()) {
                (void)connection_.Call("Page.disable", "{}", sessionId_, timeouts_.release);
            }
            // Ending the auto-attachment also detaches what it attached, the page included.
            if (autoAttaching_) {
                (void)connection_.Call("Target.setAutoAttach", kNoAutoAttach, {},
                                       timeouts_.release);
            }
            if (!sessionId_.empty() && !sessionAutoAttached_) {
                (void)connection_.Call("Target.detachFromTarget",
                                       json{{"sessionId", sessionId_}}.dump(), {},
                                       timeouts_.release);
            }
        }
        std::string gone = connection_.Fault();
        if (const std::string ended = process_->Ended(); !ended.empty()) {
            gone = "The browser has ended (" + ended + ").";
        }
        process_->Detach();
        if (!gone.empty()) {
            return Status::Fail(gone);
        }
        return Status::Ok();
    }

    void Close() override {
        if (finished_) {
            return;
        }
        if (shown_) {
            (void)Release();  // a browser the user can see is theirs now
            return;
        }
        finished_ = true;
        process_->Kill();
        RemoveProfileIfUnheld(profileDir_);
    }

private:
    Status Usable() const {
        if (!connection_.Fault().empty()) {
            return Status::Fail(connection_.Fault());
        }
        return finished_ ? Status::Fail("The browser has already been let go.") : Status::Ok();
    }

    Result<std::string> Call(std::string_view method, const json& params, bool onPage) {
        if (auto status = Usable(); !status) {
            return status;
        }
        return connection_.Call(method, params.dump(), onPage ? sessionId_ : std::string(),
                                timeouts_.command);
    }

    // The script's value as JSON text ("null" for none).
    Result<std::string> Evaluate(const std::string& expression) {
        auto reply = Call("Runtime.evaluate",
                          json{{"expression", expression}, {"returnByValue", true}}, true);
        if (!reply) {
            return reply.status();
        }
        const auto body = ParseBody(*reply);
        if (!body) {
            return connection_.Broke("a script's answer is no object");
        }
        if (const auto details = body->find("exceptionDetails"); details != body->end()) {
            if (!details->is_object()) {
                return connection_.Broke("a script's failure is no object");
            }
            const Field said = TextField(*details, "text");
            std::string text = said.text.empty() ? std::string("an error") : said.text;
            if (const auto exception = details->find("exception");
                exception != details->end() && exception->is_object()) {
                if (const Field description = TextField(*exception, "description");
                    !description.text.empty()) {
                    text += ' ';
                    text += description.text;
                }
            }
            return Status::Fail("A script in the browser's page failed: " + text);
        }
        const auto result = body->find("result");
        if (result == body->end()) {
            return std::string("null");
        }
        if (!result->is_object()) {
            return connection_.Broke("a script's result is no object");
        }
        const auto value = result->find("value");
        return value == result->end() ? std::string("null") : value->dump();
    }

    // A window manager restores an iconified window in its own time, and the browser refuses
    // to maximise a window it still knows as minimised: wait (a little) until it no longer is.
    Status WaitUntilRestored(std::uint32_t window) {
        const Deadline until = connection_.Now() + kRestoreWait;
        for (;;) {
            auto reply = Call("Browser.getWindowBounds", json{{"windowId", window}}, false);
            if (!reply) {
                return reply.status();
            }
            const auto body = ParseBody(*reply);
            if (!body || !body->contains("bounds") || !(*body)["bounds"].is_object()) {
                return connection_.Broke("a window's bounds came without their values");
            }
            const Field state = TextField((*body)["bounds"], "windowState");
            if (state.wrongType) {
                return connection_.Broke("a window's state is no text");
            }
            if (state.text != "minimized" || connection_.Now() >= until) {
                return Status::Ok();
            }
            if (auto status = connection_.Pump(connection_.Now() + kRestorePoll); !status) {
                return status;
            }
        }
    }

    Status SetBounds(const json& bounds, std::uint32_t window = 0) {
        return Call("Browser.setWindowBounds",
                    json{{"windowId", window != 0 ? window : windowId_}, {"bounds", bounds}}, false)
            .status();
    }

    // From here until the main frame has both started and stopped loading, Busy is true. A
    // frame still loading now counts as started: it sends no second start for the new load.
    void BeginLoad() {
        loadPending_ = true;
        loadStarted_ = mainFrameLoading_;
    }

    Status OnEvent(const DevToolsMessage& message) {
        if (message.method == "Target.attachedToTarget" && message.sessionId.empty()) {
            const auto params = ParseBody(message.body);
            const Field session = params ? TextField(*params, "sessionId") : Field{};
            const json* info = nullptr;
            if (params) {
                if (const auto found = params->find("targetInfo");
                    found != params->end() && found->is_object()) {
                    info = &*found;
                }
            }
            const Field target = info != nullptr ? TextField(*info, "targetId") : Field{};
            if (session.text.empty() || target.text.empty()) {
                return Status::Fail("a target was attached without its session or id");
            }
            // Only pages of the login's own context (a browser that leaves the context out is
            // taken at its word; the page made is checked against its reply anyway).
            const Field context = info != nullptr ? TextField(*info, "browserContextId") : Field{};
            if (sessionId_.empty() && (context.text.empty() || context.text == contextId_)) {
                autoAttached_[target.text] = session.text;
            }
            return Status::Ok();
        }
        if (message.sessionId != sessionId_ || sessionId_.empty()) {
            return Status::Ok();
        }
        const bool started = message.method == "Page.frameStartedLoading";
        if (!started && message.method != "Page.frameStoppedLoading") {
            return Status::Ok();
        }
        const auto params = ParseBody(message.body);
        const Field frame = params ? TextField(*params, "frameId") : Field{};
        if (!frame.present || frame.wrongType) {
            return Status::Fail("a frame's loading was reported without the frame");
        }
        // The page target's id is its main frame's id.
        if (frame.text != targetId_) {
            return Status::Ok();
        }
        mainFrameLoading_ = started;
        if (started) {
            loadStarted_ = loadStarted_ || loadPending_;
        } else if (loadPending_ && loadStarted_) {
            loadPending_ = false;
        }
        return Status::Ok();
    }

    std::unique_ptr<ChromiumProcess> process_;
    std::string profileDir_;
    ChromiumTimeouts timeouts_;
    bool minimise_;
    DevToolsConnection connection_;
    std::string targetId_;
    std::string sessionId_;
    std::uint32_t windowId_ = 0;
    bool shown_ = false;
    bool finished_ = false;
    bool navigated_ = false;
    bool autoAttaching_ = false;
    bool sessionAutoAttached_ = false;
    std::string contextId_;
    // Pages of our context attached by the browser, target -> session, until ours is known.
    std::map<std::string, std::string> autoAttached_;
    bool mainFrameLoading_ = false;
    bool loadPending_ = false;
    bool loadStarted_ = false;
};

// A sentence ends with its full stop, whatever the system's own text left off.
std::string Sentence(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) {
        text.pop_back();
    }
    if (!text.empty() && text.back() != '.' && text.back() != '!' && text.back() != '?') {
        text.push_back('.');
    }
    return text;
}

}  // namespace

BrowserStart ConnectChromiumDriver(std::unique_ptr<ChromiumProcess> process, std::string profileDir,
                                   const ChromiumTimeouts& timeouts, BrowserIdle idle,
                                   bool minimise) {
    auto driver = std::make_unique<ChromiumDriver>(std::move(process), std::move(profileDir),
                                                   timeouts, std::move(idle), minimise);
    if (auto status = driver->Connect(); !status) {
        driver->Close();
        return status;
    }
    return std::unique_ptr<BrowserDriver>(std::move(driver));
}

Result<SpawnedChromium> SpawnChromium(const ChromiumOptions& options) {
    using Spawned = Result<SpawnedChromium>;
    const auto env = ProcessEnvironment();
    SpawnedChromium spawned;
    spawned.program = options.browserPath;
    if (spawned.program.empty()) {
        auto located = LocateBrowser(env);
        if (!located) {
            return located.status();
        }
        spawned.program = *located;
    }
    std::string root = options.profileRoot;
    if (root.empty()) {
        auto folder = LauncherProfilesFolder(env);
        if (!folder) {
            return Spawned::Fail("There is no folder for the browser profile: " + folder.error() +
                                 ".");
        }
        root = *folder;
    }
    auto profile = CreateLaunchProfile(root);
    if (!profile) {
        return profile.status();
    }
    spawned.profileDir = *profile;

    const BrowserDisplay display = ChooseBrowserDisplay(env);
    spawned.minimise = display.minimise;
    BrowserCommandLineSettings settings;
    settings.profileDir = spawned.profileDir;
    settings.ozonePlatform = display.ozonePlatform;
    settings.runningAsRoot = RunningAsRoot();
    auto process = StartChromiumProcess(spawned.program, settings);
    if (!process) {
        RemoveProfileIfUnheld(spawned.profileDir);
        return Spawned::Fail(Sentence(process.error()) +
                             " Set VELLAMARK_BROWSER to the full path of Chromium, Google "
                             "Chrome, Microsoft Edge or Brave.");
    }
    spawned.process = std::move(*process);
    // Profiles of earlier launches whose browsers have ended go now, while this browser starts.
    RemoveStaleProfiles(root);
    return spawned;
}

BrowserStart DriveChromium(SpawnedChromium spawned, BrowserIdle idle) {
    const std::string program = spawned.program;
    auto driver = ConnectChromiumDriver(std::move(spawned.process), std::move(spawned.profileDir),
                                        {}, std::move(idle), spawned.minimise);
    if (driver) {
        return driver;
    }
    const auto env = ProcessEnvironment();
    if (const BrowserDisplay display = ChooseBrowserDisplay(env); !DisplayAnswers(display, env)) {
        // The browser's own words ("Missing X server or $DISPLAY") go nowhere we can show.
        return Status::Fail(
            display.name.empty()
                ? "The browser " + program +
                      " found no display to open its window on: neither DISPLAY nor "
                      "WAYLAND_DISPLAY is set. Start the launcher from the desktop session."
                : "The browser " + program + " could not open its window on " + display.name +
                      ": nothing answers there. Start the launcher from the desktop session, "
                      "or set DISPLAY (or WAYLAND_DISPLAY) to the display you see.");
    }
    return Status::Fail("The browser " + program + " could not be driven: " + driver.error() +
                        " Check that it is a Chromium-family browser (Chromium, Google "
                        "Chrome, Microsoft Edge or Brave) that starts on this desktop, or "
                        "set VELLAMARK_BROWSER to one that does.");
}

BrowserStart StartChromium(const ChromiumOptions& options) {
    auto spawned = SpawnChromium(options);
    if (!spawned) {
        return spawned.status();
    }
    return DriveChromium(std::move(*spawned), options.idle);
}

}  // namespace vellamark
