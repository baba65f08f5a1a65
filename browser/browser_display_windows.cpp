#include "browser/browser_display.h"

namespace vellamark {

// Windows has one window system, and a program may minimise and restore its own windows there.
BrowserDisplay ChooseBrowserDisplay(const EnvironmentLookup&) {
    return {"", true, "the desktop"};
}

bool DisplayAnswers(const BrowserDisplay&, const EnvironmentLookup&) {
    return true;
}

}  // namespace vellamark
