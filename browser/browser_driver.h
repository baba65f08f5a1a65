#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/result.h"

namespace vellamark {

// The operations the launch sequence needs from a browser instance. The sequence never sees
// the protocol behind them.
class BrowserDriver {
public:
    virtual ~BrowserDriver() = default;

    // Starts loading an address (a URL or a plain file path) and returns at once.
    [[nodiscard]] virtual Status Navigate(std::string_view address) = 0;
    // True from a navigation or a form submission until the main frame stops loading.
    [[nodiscard]] virtual bool Busy() = 0;
    // Waits while the browser is busy, `limit` at most, and returns as soon as the main frame
    // has stopped loading. `sleep` lets the window paint meanwhile; it is called with short
    // times (or none), never past the limit.
    virtual void WaitWhileBusy(std::chrono::milliseconds limit,
                               const std::function<void(std::chrono::milliseconds)>& sleep) = 0;
    [[nodiscard]] virtual Status SetAddressBar(bool shown) = 0;
    [[nodiscard]] virtual Status SetMenuBar(bool shown) = 0;
    [[nodiscard]] virtual Status SetToolBar(bool shown) = 0;
    [[nodiscard]] virtual Status SetVisible(bool visible) = 0;
    // The browser's top-level window, as a number (0 when there is none).
    [[nodiscard]] virtual std::uint32_t WindowHandle() = 0;
    // Replaces the loaded page's body with the given HTML.
    [[nodiscard]] virtual Status SetBodyHtml(std::string_view html) = 0;
    // Submits the form of that name in the page.
    [[nodiscard]] virtual Status SubmitForm(std::string_view formName) = 0;
    // Shows the window maximised and activates it.
    [[nodiscard]] virtual Status ShowMaximised(std::uint32_t windowHandle) = 0;
    [[nodiscard]] virtual Status BringToTop(std::uint32_t windowHandle) = 0;
    // Lets go of the browser: it stays running, and nothing can reach it any more. Fails when
    // the browser has already gone, so there is nothing left to hand over.
    [[nodiscard]] virtual Status Release() = 0;
    // Ends a browser instance that was started but never shown (a failed launch).
    virtual void Close() = 0;
};

// A started browser instance, hidden; or what failed and how to fix it.
using BrowserStart = Result<std::unique_ptr<BrowserDriver>>;

}  // namespace vellamark
