// Runs one launch as the login window would, with a console in place of the window: status
// texts and message boxes are printed, the poll sleeps are real. The credentials come on
// standard input (username, password and PIN, one a line), never on the command line.
//   launch_probe [--create-page] [--ignore-menu-bar] [--debug] [--folder DIR]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "browser/chromium_driver.h"
#include "launch/launch_sequence.h"
#include "launch/launch_ui.h"
#include "launch/service_origin.h"

namespace {

class ConsoleLaunchUi final : public vellamark::LaunchUi {
public:
    float Progress() const override { return progress_; }
    void SetProgress(float value) override { progress_ = value; }
    void SetStatus(const std::string& text) override { std::printf("status: %s\n", text.c_str()); }
    // One line per message box, each line break in it written as a backslash and "n".
    void ShowMessage(const std::string& text) override {
        std::string line;
        for (char c : text) {
            line += c == '\n' ? std::string("\\n") : std::string(1, c);
        }
        std::printf("message: %s\n", line.c_str());
    }
    void Sleep(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
    void EndProgram(int exitCode) override {
        ended_ = true;
        exitCode_ = exitCode;
    }

    bool ended_ = false;
    int exitCode_ = 0;

private:
    float progress_ = 2;
};

// The browser as the launch drives it, telling on standard output when each operation that
// changes the page or the window begins ("driver: ShowMaximised 1234.567890", on the clock of
// Python's time.monotonic()), so a test watching the screen knows what the browser held when.
class AnnouncingDriver final : public vellamark::BrowserDriver {
public:
    explicit AnnouncingDriver(std::unique_ptr<vellamark::BrowserDriver> inner)
        : inner_(std::move(inner)) {
        Announce("Started");
    }

    vellamark::Status Navigate(std::string_view a) override {
        Announce("Navigate");
        return inner_->Navigate(a);
    }
    bool Busy() override { return inner_->Busy(); }
    void WaitWhileBusy(std::chrono::milliseconds limit,
                       const std::function<void(std::chrono::milliseconds)>& sleep) override {
        inner_->WaitWhileBusy(limit, sleep);
    }
    vellamark::Status SetAddressBar(bool s) override { return inner_->SetAddressBar(s); }
    vellamark::Status SetMenuBar(bool s) override { return inner_->SetMenuBar(s); }
    vellamark::Status SetToolBar(bool s) override { return inner_->SetToolBar(s); }
    vellamark::Status SetVisible(bool v) override {
        Announce(v ? "SetVisible" : "SetHidden");
        return inner_->SetVisible(v);
    }
    std::uint32_t WindowHandle() override { return inner_->WindowHandle(); }
    vellamark::Status SetBodyHtml(std::string_view h) override {
        Announce("SetBodyHtml");
        return inner_->SetBodyHtml(h);
    }
    vellamark::Status SubmitForm(std::string_view f) override {
        Announce("SubmitForm");
        return inner_->SubmitForm(f);
    }
    vellamark::Status ShowMaximised(std::uint32_t w) override {
        Announce("ShowMaximised");
        return inner_->ShowMaximised(w);
    }
    vellamark::Status BringToTop(std::uint32_t w) override { return inner_->BringToTop(w); }
    vellamark::Status Release() override { return inner_->Release(); }
    void Close() override { inner_->Close(); }

private:
    static void Announce(const char* operation) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::printf("driver: %s %.6f\n", operation, std::chrono::duration<double>(now).count());
        std::fflush(stdout);
    }

    std::unique_ptr<vellamark::BrowserDriver> inner_;
};

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    vellamark::LaunchFlags flags;
    std::string folder = std::filesystem::current_path().string();
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--create-page") {
            flags.CreatePage = true;
        } else if (arg == "--ignore-menu-bar") {
            flags.IgnoreMenuBar = true;
        } else if (arg == "--debug") {
            flags.DebugMode = true;
        } else if (arg == "--folder" && i + 1 < argc) {
            folder = argv[++i];
        } else {
            std::fprintf(stderr, "launch_probe: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    vellamark::MMain values;
    std::getline(std::cin, values.LoginUsername);
    std::getline(std::cin, values.LoginPassword);
    std::getline(std::cin, values.LoginPin);

    ConsoleLaunchUi ui;
    vellamark::LaunchEnvironment env;
    env.ui = &ui;
    env.startBrowser = [](std::function<void()> idle) {
        vellamark::ChromiumOptions options;
        options.idle = std::move(idle);
        auto started = vellamark::StartChromium(options);
        if (!started) {
            return started;
        }
        return vellamark::BrowserStart(
            std::unique_ptr<vellamark::BrowserDriver>(new AnnouncingDriver(std::move(*started))));
    };
    env.programFolder = folder;
    env.tempFolder = folder;
    const auto origin = vellamark::ServiceOrigin();
    if (!origin) {
        std::fprintf(stderr, "launch_probe: %s\n", origin.error().c_str());
        return 1;
    }
    env.serviceOrigin = *origin;
    env.version = vellamark::ProgramVersionText();

    // The benchmark measures from here, on the same clock as Python's time.monotonic().
    const auto start = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("start-monotonic: %.6f\n", std::chrono::duration<double>(start).count());
    std::fflush(stdout);
    vellamark::LoginToService(values, flags, env);
    std::printf("ended: %d exit %d\n", ui.ended_ ? 1 : 0, ui.exitCode_);
    return ui.ended_ ? ui.exitCode_ : 3;
}
