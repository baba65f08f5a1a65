#include "browser/browser_locator.h"

namespace vellamark {

std::string NoBrowserMessage() {
    return "No supported web browser was found. Vellamark works with Chromium, Google Chrome, "
           "Microsoft Edge and Brave: install one of them, or set the environment variable "
           "VELLAMARK_BROWSER to the full path of the browser's program.";
}

Result<std::string> LocateBrowser(const EnvironmentLookup& env) {
    if (auto chosen = env("VELLAMARK_BROWSER"); chosen && !chosen->empty()) {
        if (IsRunnableFile(*chosen)) {
            return *chosen;
        }
        // A wrong setting is reported rather than passed over for another browser.
        return Result<std::string>::Fail(
            "VELLAMARK_BROWSER is set to \"" + *chosen +
            "\", which is not a program that can be run. Set it to the full path of Chromium, "
            "Google Chrome, Microsoft Edge or Brave, or unset it to use the browser found on "
            "this system.");
    }
    for (const auto& candidate : BrowserCandidates(env)) {
        if (IsRunnableFile(candidate)) {
            return candidate;
        }
    }
    return Result<std::string>::Fail(NoBrowserMessage());
}

}  // namespace vellamark
