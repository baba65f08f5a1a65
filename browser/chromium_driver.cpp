#include "browser/chromium_driver.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "browser/browser_command_line.h"
#include "browser/browser_locator.h"
#include "browser/browser_profile.h"
#include "browser/chromium_process.h"
#include "browser/devtools_connection.h"
#include "platform/user_folders.h"

namespace vellamark {

namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;

// Where the window is parked while hidden, and where it comes back to before maximising.
constexpr int kOffScreen = -32000;
constexpr int kOnScreen = 0;

std::optional<json> ParseBody(const std::string& body) {
    auto parsed = json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return std::nullopt;
    }
    return parsed;
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
                   const ChromiumTimeouts& timeouts)
        : process_(std::move(process)),
          profileDir_(std::move(profileDir)),
          timeouts_(timeouts),
          connection_(*process_, [this](const DevToolsMessage& m) { OnEvent(m); }) {}

    ChromiumDriver(const ChromiumDriver&) = delete;
    ChromiumDriver& operator=(const ChromiumDriver&) = delete;

    ~ChromiumDriver() override {
        // A browser that was never shown would otherwise stay running out of sight.
        if (!finished_) {
            if (shown_) {
                Release();
            } else {
                Close();
            }
        }
    }

    // Finds the app window's page, attaches to it and learns its window.
    [[nodiscard]] Status Connect() {
        // Discovery reports the targets that exist and every new one; the app page appears a
        // few hundred milliseconds after start.
        auto discover = connection_.Call("Target.setDiscoverTargets", R"({"discover":true})", {},
                                         timeouts_.start);
        if (!discover) {
            return discover.status();
        }
        const auto deadline = std::chrono::steady_clock::now() + timeouts_.start;
        while (targetId_.empty()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return Status::Fail(
                    "The browser did not open its window within " +
                    std::to_string(
                        std::chrono::duration_cast<std::chrono::seconds>(timeouts_.start).count()) +
                    " seconds.");
            }
            if (auto status = connection_.Pump(deadline); !status) {
                return status;
            }
        }
        auto attach =
            Call("Target.attachToTarget", json{{"targetId", targetId_}, {"flatten", true}}, false);
        if (!attach) {
            return attach.status();
        }
        const auto attached = ParseBody(*attach);
        if (!attached || !attached->contains("sessionId") ||
            !(*attached)["sessionId"].is_string()) {
            return Status::Fail("The browser did not attach to its window's page.");
        }
        sessionId_ = (*attached)["sessionId"].get<std::string>();
        if (auto enabled = Call("Page.enable", json::object(), true); !enabled) {
            return enabled.status();
        }
        auto window = Call("Browser.getWindowForTarget", json{{"targetId", targetId_}}, false);
        if (!window) {
            return window.status();
        }
        const auto windowBody = ParseBody(*window);
        if (!windowBody || !windowBody->contains("windowId") ||
            !(*windowBody)["windowId"].is_number_unsigned()) {
            return Status::Fail("The browser did not name its window.");
        }
        windowId_ = (*windowBody)["windowId"].get<std::uint32_t>();
        return Status::Ok();
    }

    Status Navigate(std::string_view address) override {
        const std::string url = AddressToUrl(address);
        BeginLoad();
        auto reply = Call("Page.navigate", json{{"url", url}}, true);
        if (!reply) {
            loadPending_ = false;
            return reply.status();
        }
        const auto body = ParseBody(*reply);
        if (body && body->contains("errorText") && (*body)["errorText"].is_string() &&
            !(*body)["errorText"].get<std::string>().empty()) {
            loadPending_ = false;
            return Status::Fail("The browser could not open " + url + " (" +
                                (*body)["errorText"].get<std::string>() + ").");
        }
        // A move within the same document starts no load, and so has no loader.
        if (!body || !body->contains("loaderId")) {
            loadPending_ = false;
        }
        return Status::Ok();
    }

    bool Busy() override {
        if (!loadPending_) {
            return false;
        }
        if (!connection_.Pump(std::chrono::steady_clock::now())) {
            loadPending_ = false;  // a browser that has gone is not loading; the next call says so
        }
        return loadPending_;
    }

    // The app window has no address bar, tool bar or menu bar to hide.
    Status SetAddressBar(bool) override { return Usable(); }
    Status SetMenuBar(bool) override { return Usable(); }
    Status SetToolBar(bool) override { return Usable(); }

    Status SetVisible(bool visible) override {
        if (visible == shown_) {
            return Usable();
        }
        const int position = visible ? kOnScreen : kOffScreen;
        if (auto status = SetBounds(json{{"windowState", "normal"}}); !status) {
            return status;
        }
        if (auto status = SetBounds(json{{"left", position}, {"top", position}}); !status) {
            return status;
        }
        shown_ = visible;
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
        // A window may not go to "maximized" straight from a minimised or parked state: back
        // to normal first, onto the screen, then maximised.
        if (auto s = SetBounds(json{{"windowState", "normal"}}, window); !s) {
            return s;
        }
        if (auto s = SetBounds(json{{"left", kOnScreen}, {"top", kOnScreen}}, window); !s) {
            return s;
        }
        if (auto s = SetBounds(json{{"windowState", "maximized"}}, window); !s) {
            return s;
        }
        shown_ = true;
        return BringToTop(window);
    }

    Status BringToTop(std::uint32_t) override {
        return Call("Page.bringToFront", json::object(), true).status();
    }

    void Release() override {
        if (finished_) {
            return;
        }
        finished_ = true;
        // Switch off everything that makes the browser write to us, so it has nothing to send
        // once our ends of the pipes are closed. Failures here change nothing for the user.
        if (connection_.Fault().empty()) {
            if (!sessionId_.empty()) {
                (void)connection_.Call("Page.disable", "{}", sessionId_, timeouts_.release);
            }
            (void)connection_.Call("Target.setDiscoverTargets", R"({"discover":false})", {},
                                   timeouts_.release);
            if (!sessionId_.empty()) {
                (void)connection_.Call("Target.detachFromTarget",
                                       json{{"sessionId", sessionId_}}.dump(), {},
                                       timeouts_.release);
            }
        }
        process_->Detach();
    }

    void Close() override {
        if (finished_) {
            return;
        }
        if (shown_) {
            Release();  // a browser the user can see is theirs now
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
            return Status::Fail("The browser's answer to a script was unreadable.");
        }
        if (body->contains("exceptionDetails")) {
            const auto& details = (*body)["exceptionDetails"];
            std::string text = details.value("text", std::string("an error"));
            if (details.contains("exception") && details["exception"].is_object()) {
                text += ' ';
                text += details["exception"].value("description", std::string());
            }
            return Status::Fail("A script in the browser's page failed: " + text);
        }
        const auto result = body->find("result");
        if (result == body->end() || !result->is_object() || !result->contains("value")) {
            return std::string("null");
        }
        return (*result)["value"].dump();
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

    void OnEvent(const DevToolsMessage& message) {
        if (message.method == "Target.targetCreated" && targetId_.empty()) {
            const auto params = ParseBody(message.body);
            if (!params || !params->contains("targetInfo")) {
                return;
            }
            const auto& info = (*params)["targetInfo"];
            if (info.value("type", std::string()) == "page") {
                targetId_ = info.value("targetId", std::string());
            }
            return;
        }
        if (message.sessionId != sessionId_ || sessionId_.empty()) {
            return;
        }
        const bool started = message.method == "Page.frameStartedLoading";
        if (!started && message.method != "Page.frameStoppedLoading") {
            return;
        }
        const auto params = ParseBody(message.body);
        // The page target's id is its main frame's id.
        if (!params || params->value("frameId", std::string()) != targetId_) {
            return;
        }
        mainFrameLoading_ = started;
        if (started) {
            loadStarted_ = loadStarted_ || loadPending_;
        } else if (loadPending_ && loadStarted_) {
            loadPending_ = false;
        }
    }

    std::unique_ptr<ChromiumProcess> process_;
    std::string profileDir_;
    ChromiumTimeouts timeouts_;
    DevToolsConnection connection_;
    std::string targetId_;
    std::string sessionId_;
    std::uint32_t windowId_ = 0;
    bool shown_ = false;
    bool finished_ = false;
    bool mainFrameLoading_ = false;
    bool loadPending_ = false;
    bool loadStarted_ = false;
};

}  // namespace

BrowserStart ConnectChromiumDriver(std::unique_ptr<ChromiumProcess> process, std::string profileDir,
                                   const ChromiumTimeouts& timeouts) {
    auto driver =
        std::make_unique<ChromiumDriver>(std::move(process), std::move(profileDir), timeouts);
    if (auto status = driver->Connect(); !status) {
        driver->Close();
        return status;
    }
    return std::unique_ptr<BrowserDriver>(std::move(driver));
}

BrowserStart StartChromium(const ChromiumOptions& options) {
    const auto env = ProcessEnvironment();
    std::string program = options.browserPath;
    if (program.empty()) {
        auto located = LocateBrowser(env);
        if (!located) {
            return located.status();
        }
        program = *located;
    }
    std::string root = options.profileRoot;
    if (root.empty()) {
        auto folder = LauncherProfilesFolder(env);
        if (!folder) {
            return Status::Fail("There is no folder for the browser profile: " + folder.error() +
                                ".");
        }
        root = *folder;
    }
    RemoveStaleProfiles(root);
    auto profile = CreateLaunchProfile(root);
    if (!profile) {
        return profile.status();
    }

    BrowserCommandLineSettings settings;
    settings.profileDir = *profile;
    settings.runningAsRoot = RunningAsRoot();
    auto process = StartChromiumProcess(program, settings);
    if (!process) {
        RemoveProfileIfUnheld(*profile);
        return Status::Fail(process.error() +
                            " Set VELLAMARK_BROWSER to the full path of Chromium, Google "
                            "Chrome, Microsoft Edge or Brave.");
    }
    auto driver = ConnectChromiumDriver(std::move(*process), *profile);
    if (!driver) {
        return Status::Fail("The browser " + program + " could not be driven: " + driver.error() +
                            " Check that it is a Chromium-family browser (Chromium, Google "
                            "Chrome, Microsoft Edge or Brave) that starts on this desktop, or "
                            "set VELLAMARK_BROWSER to one that does.");
    }
    return driver;
}

}  // namespace vellamark
