#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vellamark {

// Outcome of one browser operation: ok, or a text naming what failed and how to fix it.
struct DriverStatus {
    bool ok = true;
    std::string error;

    [[nodiscard]] static DriverStatus Ok() { return {}; }
    [[nodiscard]] static DriverStatus Fail(std::string text) { return {false, std::move(text)}; }
    explicit operator bool() const { return ok; }
};

// The operations the launch sequence needs from a browser instance. The sequence never sees
// the protocol behind them.
class BrowserDriver {
public:
    virtual ~BrowserDriver() = default;

    // Starts loading an address (a URL or a plain file path) and returns at once.
    [[nodiscard]] virtual DriverStatus Navigate(std::string_view address) = 0;
    // True from a navigation or a form submission until the main frame stops loading.
    [[nodiscard]] virtual bool Busy() = 0;
    [[nodiscard]] virtual DriverStatus SetAddressBar(bool shown) = 0;
    [[nodiscard]] virtual DriverStatus SetMenuBar(bool shown) = 0;
    [[nodiscard]] virtual DriverStatus SetToolBar(bool shown) = 0;
    [[nodiscard]] virtual DriverStatus SetVisible(bool visible) = 0;
    // The browser's top-level window, as a number (0 when there is none).
    [[nodiscard]] virtual std::uint32_t WindowHandle() = 0;
    // Replaces the loaded page's body with the given HTML.
    [[nodiscard]] virtual DriverStatus SetBodyHtml(std::string_view html) = 0;
    // Submits the form of that name in the page.
    [[nodiscard]] virtual DriverStatus SubmitForm(std::string_view formName) = 0;
    // Shows the window maximised and activates it.
    [[nodiscard]] virtual DriverStatus ShowMaximised(std::uint32_t windowHandle) = 0;
    [[nodiscard]] virtual DriverStatus BringToTop(std::uint32_t windowHandle) = 0;
    // Lets go of the browser: it stays running, and nothing can reach it any more.
    virtual void Release() = 0;
    // Ends a browser instance that was started but never shown (a failed launch).
    virtual void Close() = 0;
};

struct BrowserStart {
    std::unique_ptr<BrowserDriver> driver;  // null when the start failed
    std::string error;                      // what failed and how to fix it
};

}  // namespace vellamark
