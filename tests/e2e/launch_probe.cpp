// Runs one launch as the login window would, with a console in place of the window: status
// texts and message boxes are printed, the poll sleeps are real. The credentials come on
// standard input (username, password and PIN, one a line), never on the command line.
//   launch_probe [--create-page] [--ignore-menu-bar] [--debug] [--folder DIR]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

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

}  // namespace

int main(int argc, char** argv) {
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
        return vellamark::StartChromium(options);
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
