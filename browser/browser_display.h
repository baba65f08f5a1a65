#pragma once

#include <string>

#include "platform/environment.h"

namespace vellamark {

// The window system the browser is started on, and what the driver may do with its window
// there.
struct BrowserDisplay {
    // The browser's --ozone-platform; empty leaves the choice to the browser.
    std::string ozonePlatform;
    // Whether the window may stay minimised until the show. A Wayland client cannot take its
    // own window out of the minimised state (the compositor refuses, while the browser still
    // reports the window as maximised), so on Wayland it never is.
    bool minimise = true;
    // The display as a message names it ("the X display :0"); empty where there is none to name.
    std::string name;
};

// Where an X display is reachable the browser goes there (X11 sessions, and the XWayland of
// GNOME, Plasma and sway), since minimising and restoring work there under every window
// manager; only a session with nothing but a Wayland display gets a Wayland browser.
[[nodiscard]] BrowserDisplay ChooseBrowserDisplay(const EnvironmentLookup& env);

// False when nothing answers on the display chosen, so a browser that died during its start
// can be told as having found no display rather than as no browser at all.
[[nodiscard]] bool DisplayAnswers(const BrowserDisplay& display, const EnvironmentLookup& env);

}  // namespace vellamark
