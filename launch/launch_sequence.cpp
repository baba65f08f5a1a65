#include "launch/launch_sequence.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <random>
#include <utility>

#include "browser/chromium_driver.h"
#include "launch/login_page.h"
#include "launch/page_file.h"
#include "launch/pin_challenge.h"
#include "launch/service_origin.h"

namespace vellamark {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kPollInterval = 50ms;
// While the driver waits on the browser: a short sleep that lets the window paint, and a creep
// of the bar by this share of what is left to the ceiling.
constexpr std::chrono::milliseconds kIdleSleep = 10ms;
constexpr float kIdleCreep = 0.01F;
constexpr int kMaxPolls = 101;
constexpr double kProgressStep = 0.2;
// The clock is read again while it shows midnight; a real clock leaves 00:00:00 within a
// second, so this bound (5 s) only stops a clock that is stuck.
constexpr int kMaxMidnightReads = 100;

CivilTime ClockNow(const LaunchEnvironment& env) {
    return env.clock ? env.clock() : LocalNow();
}

// Re-seeded from the clock on every draw, as the launch has always done; 53 random bits make a
// double in [0, 1) that can never round up to 1.
double RandomFromClock() {
    const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    std::mt19937_64 generator(static_cast<std::uint64_t>(ticks));
    return static_cast<double>(generator() >> 11) * 0x1.0p-53;
}

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string TimeText(const CivilTime& now) {
    return TwoDigits(now.hour) + TwoDigits(now.minute) + TwoDigits(now.second);
}

std::string DateTimeDigits(const CivilTime& now) {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", now.year);
    return year + TwoDigits(now.month) + TwoDigits(now.day) + TimeText(now);
}

bool IsUsableTimeText(const std::string& text) {
    if (text.size() != 6 || text == "000000") {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

Result<std::string> EffectiveServiceOrigin(const LaunchEnvironment& env) {
    if (env.serviceOrigin.empty()) {
        return ServiceOrigin();
    }
    std::string origin = env.serviceOrigin;
    while (!origin.empty() && origin.back() == '/') {
        origin.pop_back();
    }
    return origin;
}

// One run of the launch: the browser it started, its step log and how far it got.
class BrowserLogin {
public:
    BrowserLogin(const LaunchFlags& flags, LaunchEnvironment& env, LaunchUi& ui)
        : flags_(flags), env_(env), ui_(ui) {}
    BrowserLogin(const BrowserLogin&) = delete;
    BrowserLogin& operator=(const BrowserLogin&) = delete;

    LaunchOutcome Run(const std::string& checkUrl, const MMain& credentials,
                      const std::string& version);

private:
    void Log(const std::string& line) { log_ += line + "\r\n"; }
    void ShowLog() {
        if (flags_.DebugMode) {
            ui_.ShowMessage(log_);
        }
    }
    void Wait(int ceiling) {
        idleCeiling_ = static_cast<float>(ceiling);
        WaitWhileBrowserBusy(*browser_, ui_, ceiling);
    }
    // While the driver waits on a slow browser: the window paints and the bar creeps on, ever
    // slower, never past the ceiling of the step in progress.
    void Idle() {
        ui_.Sleep(kIdleSleep);
        const float value = ui_.Progress();
        if (value < idleCeiling_) {
            ui_.SetProgress(value + (idleCeiling_ - value) * kIdleCreep);
        }
    }

    // A failed step: one message naming it and the way out. Before the login has reached the
    // service, a browser never shown is closed (a hidden window nobody can reach would
    // linger), and so is a page file it never opened. After that, the login stands: the
    // message says what went wrong with the window, and the browser and page are left alone.
    LaunchOutcome Fail(const std::string& what, const std::string& detail) {
        std::string message =
            reached_ ? reached_ + (", but " + what + ".") : "Login failed: " + what + ".";
        if (!detail.empty()) {
            message += "\n\n" + detail;
        }
        ui_.ShowMessage(message);
        if (browser_) {
            if (shown_ || reached_ != nullptr) {
                (void)browser_->Release();
            } else {
                browser_->Close();
                if (!pageFile_.empty()) {
                    RemovePageFile(pageFile_);
                }
            }
        }
        return {log_, 1};
    }
    // The end of a launch that got through: the browser is handed over to the user.
    LaunchOutcome HandOver() {
        if (Status status = browser_->Release(); !status) {
            ui_.ShowMessage(std::string(reached_) +
                            ", but the browser closed before it could be handed over.\n\n" +
                            status.error() + " Start the login again.");
            return {log_, 1};
        }
        return {log_, 0};
    }
    LaunchOutcome FailedCall(const std::string& what, const Status& status) {
        return Fail(what, status.error().empty()
                              ? "The browser stopped answering. Close it and log in again."
                              : status.error());
    }

    std::optional<std::string> ReadTimeText();
    LaunchOutcome PageFileRoute(const LoginFormValues& values, const std::string& time);
    LaunchOutcome InBrowserRoute(const LoginFormValues& values);

    const LaunchFlags& flags_;
    LaunchEnvironment& env_;
    LaunchUi& ui_;
    std::unique_ptr<BrowserDriver> browser_;
    std::string log_;
    std::string pageFile_;
    bool shown_ = false;
    // Set once the login has reached the service (or its page is open in the browser): how
    // the messages after that begin.
    const char* reached_ = nullptr;
    float idleCeiling_ = 5.0F;
};

std::optional<std::string> BrowserLogin::ReadTimeText() {
    for (int read = 0; read < kMaxMidnightReads; ++read) {
        std::string time = TimeText(ClockNow(env_));
        if (IsUsableTimeText(time)) {
            return time;
        }
        // At midnight the time number is zero and the challenge would divide by it.
        ui_.Sleep(kPollInterval);
    }
    return std::nullopt;
}

LaunchOutcome BrowserLogin::Run(const std::string& checkUrl, const MMain& credentials,
                                const std::string& version) {
    if (flags_.DebugMode) {
        ui_.ShowMessage("Start Launch");
    }
    log_ = "1. Initialised\r\n";

    std::function<void()> idle = [this] { Idle(); };
    ChromiumOptions options;
    options.idle = idle;
    BrowserStart start =
        env_.startBrowser ? env_.startBrowser(std::move(idle)) : StartChromium(options);
    if (!start) {
        return Fail("the browser could not be started", start.error());
    }
    browser_ = std::move(*start);
    ui_.SetProgress(5.0F);
    ShowLog();
    Log("2. IE object Created");
    ShowLog();

    const std::optional<std::string> time = ReadTimeText();
    if (!time) {
        return Fail("the system clock gives no usable time of day",
                    "Check the computer's date and time settings, then log in again.");
    }
    double r = env_.random ? env_.random() : RandomFromClock();
    if (!(r >= 0.0 && r < 1.0)) {
        r = 0.0;  // a generator outside [0, 1) would put the seed out of the service's range
    }
    const auto seed = static_cast<std::int64_t>(std::floor(r * 9999999.0)) + 50;
    const std::optional<PinChallenge> challenge =
        ComputePinChallenge(*time, seed, credentials.LoginPin);
    if (!challenge) {
        return Fail("the PIN challenge could not be worked out", "Log in again.");
    }

    Wait(85);
    Wait(85);
    if (Status status = browser_->Navigate("about:blank"); !status) {
        return FailedCall("the browser could not open a blank page", status);
    }
    Log("3. IE object navigation successful");
    ShowLog();
    Wait(85);
    Wait(95);
    if (Status status = browser_->SetAddressBar(false); !status) {
        return FailedCall("the browser's address bar could not be hidden", status);
    }
    Log("4. IE object address bar set");
    ShowLog();
    Wait(95);
    if (!flags_.IgnoreMenuBar) {
        if (Status status = browser_->SetMenuBar(false); !status) {
            return FailedCall("the browser's menu bar could not be hidden", status);
        }
        Log("5. IE object menu bar set");
        Wait(95);
    }
    if (Status status = browser_->SetToolBar(false); !status) {
        return FailedCall("the browser's tool bar could not be hidden", status);
    }
    Log("6. IE object toolbar set");
    ShowLog();

    const LoginFormValues values{
        checkUrl,        credentials.LoginUsername, credentials.LoginPassword, *time,  seed,
        challenge->pin1, challenge->pin2,           challenge->pin3,           version};
    return flags_.CreatePage ? PageFileRoute(values, *time) : InBrowserRoute(values);
}

LaunchOutcome BrowserLogin::PageFileRoute(const LoginFormValues& values, const std::string& time) {
    const std::string folder = ChoosePageFolder(env_.programFolder, env_.tempFolder);
    if (folder.empty()) {
        return Fail("there is no folder to write the login page to",
                    "The program's folder cannot be written to and no temp folder is set. "
                    "Switch off \"Create Browser Login\" or run the program from a folder you "
                    "may write to.");
    }
    if (Status status = RemoveOldPageFiles(folder); !status) {
        return Fail("old login pages could not be removed", status.error());
    }
    Log("7. Files removed");
    const Result<std::string> origin = EffectiveServiceOrigin(env_);
    if (!origin) {
        return Fail("the service's address is not allowed", origin.error());
    }
    const std::string page = CreateFullPage(values, *origin);
    const std::string path = vellamark::PageFilePath(folder, time);
    if (Status status = WritePageFile(path, page); !status) {
        return Fail("the login page could not be written", status.error());
    }
    pageFile_ = path;
    Wait(85);
    Log("7. Files created");
    Log("7. IE body created");
    if (Status status = browser_->Navigate(path); !status) {
        return FailedCall("the browser could not open the login page " + path, status);
    }
    reached_ = "The login page is open in the browser";
    ShowLog();
    const std::uint32_t window = browser_->WindowHandle();
    Wait(95);
    if (Status status = browser_->ShowMaximised(window); !status) {
        return FailedCall("the browser window could not be shown", status);
    }
    shown_ = true;
    if (Status status = browser_->SetVisible(true); !status) {
        return FailedCall("the browser window could not be made visible", status);
    }
    if (Status status = browser_->BringToTop(window); !status) {
        return FailedCall("the browser window could not be brought to the front", status);
    }
    return HandOver();
}

LaunchOutcome BrowserLogin::InBrowserRoute(const LoginFormValues& values) {
    const std::string form = CreateShortForm(values);
    Wait(85);
    if (Status status = browser_->SetBodyHtml(form); !status) {
        return FailedCall("the login form could not be put into the browser's page", status);
    }
    Log("7. IE body created");
    ShowLog();
    Wait(85);
    Wait(85);
    if (Status status = browser_->SubmitForm("frm1"); !status) {
        return FailedCall("the login form could not be sent", status);
    }
    reached_ = "Your login was sent to the service";
    Log("8. Credentials Submitted");
    ShowLog();
    const std::uint32_t window = browser_->WindowHandle();
    Wait(95);
    if (Status status = browser_->ShowMaximised(window); !status) {
        return FailedCall("the browser window could not be shown", status);
    }
    shown_ = true;
    Log("9. Window Maximised");
    Wait(100);
    ShowLog();
    if (Status status = browser_->SetVisible(true); !status) {
        return FailedCall("the browser window could not be made visible", status);
    }
    LaunchOutcome outcome = HandOver();
    if (outcome.exitCode != 0) {
        return outcome;
    }
    Log("10. Completed");
    ShowLog();
    outcome.launchLog = log_;
    return outcome;
}

}  // namespace

std::string ProgramVersionText() {
    return std::to_string(VELLAMARK_VERSION_MAJOR) + "." + std::to_string(VELLAMARK_VERSION_MINOR) +
           "." + std::to_string(VELLAMARK_VERSION_REVISION);
}

void WaitWhileBrowserBusy(BrowserDriver& browser, LaunchUi& ui, int ceiling) {
    for (int poll = 0; poll < kMaxPolls; ++poll) {
        if (!browser.Busy()) {
            return;
        }
        // A poll's sleep, cut short when the browser stops loading; the poll is counted and
        // the bar moved as for a whole one, so the bar and texts go as they always have.
        browser.WaitWhileBusy(kPollInterval, [&ui](std::chrono::milliseconds d) { ui.Sleep(d); });
        // Fast while the bar is low, ever slower towards 100. Worked out in double precision
        // and kept in single precision, as the bar holds it; a bar at 0 would divide by zero,
        // and the formula's limit there is "as far as the ceiling allows".
        const double value = ui.Progress();
        double next = value > 0.0 ? value + ((100.0 - value) * kProgressStep) / value
                                  : static_cast<double>(ceiling);
        if (next > ceiling) {
            next = ceiling;
        }
        const auto stored = static_cast<float>(next);
        ui.SetProgress(stored);
        const auto whole = static_cast<int>(std::floor(stored));
        if (whole == 40) {
            ui.SetStatus("Connecting to server ....");
        } else if (whole == 80) {
            ui.SetStatus("Authenicating User Details");
        }
    }
}

LaunchOutcome LaunchBrowserLogin(const std::string& checkUrl, const MMain& values,
                                 const std::string& version, const LaunchFlags& flags,
                                 LaunchEnvironment& env) {
    if (env.ui == nullptr) {
        return {{}, 1};  // nowhere to show anything: the caller set up no window
    }
    BrowserLogin login(flags, env, *env.ui);
    return login.Run(checkUrl, values, version);
}

void LoginToService(const MMain& values, const LaunchFlags& flags, LaunchEnvironment& env) {
    if (env.ui == nullptr) {
        return;
    }
    LaunchUi& ui = *env.ui;
    const std::string version = env.version.empty() ? ProgramVersionText() : env.version;
    if (flags.DebugMode) {
        ui.ShowMessage("App. version " + version);
    }
    const Result<std::string> origin = EffectiveServiceOrigin(env);
    if (!origin) {
        ui.ShowMessage("Login failed: the service's address is not allowed.\n\n" + origin.error());
        ui.EndProgram(1);
        return;
    }
    env.serviceOrigin = *origin;  // the page file's addresses use the same, not a second reading
    const std::string checkUrl =
        *origin + "/p_checkpassword.php?id=" + DateTimeDigits(ClockNow(env));
    const LaunchOutcome outcome = LaunchBrowserLogin(checkUrl, values, version, flags, env);
    ui.EndProgram(outcome.exitCode);
}

}  // namespace vellamark
