#pragma once

#include <functional>
#include <string>

#include "form/form1.h"

namespace vellamark {

// The real launch: the user's browser, page files in the program's folder (or the temp working
// folder when that one cannot be written to), the service's address and this build's version.
struct DefaultLauncher {
    Launcher launch;
    // Starts the browser the login will use, once the window waits for the user, so that Login
    // only has to make its window. Does nothing when VELLAMARK_PRESTART is "0" (for machines
    // short of memory), or when called again.
    std::function<void()> prepare;
    // Starts it at Login when it was not started ahead (Form1::SetBrowserStart).
    std::function<void()> begin;
};
// serviceOrigin: the service's address, as checked at start.
[[nodiscard]] DefaultLauncher MakeDefaultLauncher(std::string programFolder, std::string tempFolder,
                                                  std::string serviceOrigin);

}  // namespace vellamark
