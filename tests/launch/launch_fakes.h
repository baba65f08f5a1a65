#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "launch/browser_driver.h"
#include "launch/launch_ui.h"

namespace vellamark::testing {

// A browser that records every operation, answers Busy from a script and fails the operations
// it is told to.
class FakeDriver : public BrowserDriver {
public:
    struct Record {
        std::vector<std::string> calls;
        std::map<std::string, std::string> failures;  // operation name -> error text
        std::function<bool()> busy = [] { return false; };
        int busyReads = 0;
        std::string bodyHtml;
    };

    explicit FakeDriver(Record& record) : record_(record) {}

    DriverStatus Navigate(std::string_view address) override {
        return Call("Navigate", std::string(address));
    }
    bool Busy() override {
        ++record_.busyReads;
        return record_.busy();
    }
    DriverStatus SetAddressBar(bool shown) override { return Call("SetAddressBar", Flag(shown)); }
    DriverStatus SetMenuBar(bool shown) override { return Call("SetMenuBar", Flag(shown)); }
    DriverStatus SetToolBar(bool shown) override { return Call("SetToolBar", Flag(shown)); }
    DriverStatus SetVisible(bool visible) override { return Call("SetVisible", Flag(visible)); }
    std::uint32_t WindowHandle() override {
        record_.calls.push_back("WindowHandle");
        return 77;
    }
    DriverStatus SetBodyHtml(std::string_view html) override {
        record_.bodyHtml = std::string(html);
        return Call("SetBodyHtml", "");
    }
    DriverStatus SubmitForm(std::string_view formName) override {
        return Call("SubmitForm", std::string(formName));
    }
    DriverStatus ShowMaximised(std::uint32_t window) override {
        return Call("ShowMaximised", std::to_string(window));
    }
    DriverStatus BringToTop(std::uint32_t window) override {
        return Call("BringToTop", std::to_string(window));
    }
    void Release() override { record_.calls.push_back("Release"); }
    void Close() override { record_.calls.push_back("Close"); }

private:
    static std::string Flag(bool value) { return value ? "true" : "false"; }
    DriverStatus Call(const std::string& name, const std::string& argument) {
        record_.calls.push_back(argument.empty() ? name : name + " " + argument);
        if (auto failure = record_.failures.find(name); failure != record_.failures.end()) {
            return DriverStatus::Fail(failure->second);
        }
        return DriverStatus::Ok();
    }

    Record& record_;
};

// A window that records what the launch shows it.
class RecordingUi : public LaunchUi {
public:
    float progress = 2.0F;  // the Login command leaves the bar at 2
    std::vector<float> progressHistory;
    std::vector<std::string> messages;
    std::vector<std::string> statuses;
    std::vector<int> endCodes;
    int sleeps = 0;

    float Progress() const override { return progress; }
    void SetProgress(float value) override {
        progress = value;
        progressHistory.push_back(value);
    }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Sleep(std::chrono::milliseconds duration) override {
        if (duration == std::chrono::milliseconds(50)) {
            ++sleeps;
        }
    }
    void EndProgram(int exitCode) override { endCodes.push_back(exitCode); }
};

}  // namespace vellamark::testing
