#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "browser/browser_driver.h"

namespace vellamark::testsupport {

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

    Status Navigate(std::string_view address) override {
        return Call("Navigate", std::string(address));
    }
    bool Busy() override {
        ++record_.busyReads;
        return record_.busy();
    }
    // A scripted browser says nothing while it loads: each wait takes its whole time.
    void WaitWhileBusy(std::chrono::milliseconds limit,
                       const std::function<void(std::chrono::milliseconds)>& sleep) override {
        sleep(limit);
    }
    Status SetAddressBar(bool shown) override { return Call("SetAddressBar", Flag(shown)); }
    Status SetMenuBar(bool shown) override { return Call("SetMenuBar", Flag(shown)); }
    Status SetToolBar(bool shown) override { return Call("SetToolBar", Flag(shown)); }
    Status SetVisible(bool visible) override { return Call("SetVisible", Flag(visible)); }
    std::uint32_t WindowHandle() override {
        record_.calls.push_back("WindowHandle");
        return 77;
    }
    Status SetBodyHtml(std::string_view html) override {
        record_.bodyHtml = std::string(html);
        return Call("SetBodyHtml", "");
    }
    Status SubmitForm(std::string_view formName) override {
        return Call("SubmitForm", std::string(formName));
    }
    Status ShowMaximised(std::uint32_t window) override {
        return Call("ShowMaximised", std::to_string(window));
    }
    Status BringToTop(std::uint32_t window) override {
        return Call("BringToTop", std::to_string(window));
    }
    Status Release() override { return Call("Release", ""); }
    void Close() override { record_.calls.push_back("Close"); }

private:
    static std::string Flag(bool value) { return value ? "true" : "false"; }
    Status Call(const std::string& name, const std::string& argument) {
        record_.calls.push_back(argument.empty() ? name : name + " " + argument);
        if (auto failure = record_.failures.find(name); failure != record_.failures.end()) {
            return Status::Fail(failure->second);
        }
        return Status::Ok();
    }

    Record& record_;
};

}  // namespace vellamark::testsupport
