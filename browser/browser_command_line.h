#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vellamark {

// What the browser's command line depends on.
struct BrowserCommandLineSettings {
    std::string profileDir;     // --user-data-dir
    std::string ozonePlatform;  // --ozone-platform; empty: the browser's own choice
    bool runningAsRoot = false;
    // Windows: the browser's ends of the two pipes, as handle numbers. Empty on POSIX, where
    // the pipes are always file descriptors 3 and 4.
    std::string pipeIn;
    std::string pipeOut;
};

// The browser's arguments, without the program itself. Never holds credentials.
[[nodiscard]] std::vector<std::string> ChromiumArguments(const BrowserCommandLineSettings& s);

// One argument quoted so that CommandLineToArgvW and the C runtime read it back unchanged.
[[nodiscard]] std::string QuoteWindowsArgument(std::string_view argument);

// The whole Windows command line: the program, then each argument, quoted where needed.
[[nodiscard]] std::string WindowsCommandLine(std::string_view program,
                                             const std::vector<std::string>& arguments);

// A plain file-system path turned into a file:// URL; anything that already has a scheme
// (about:, http:, data:, file:, ...) is returned as it is.
[[nodiscard]] std::string AddressToUrl(std::string_view address);

}  // namespace vellamark
