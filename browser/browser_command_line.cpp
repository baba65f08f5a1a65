#include "browser/browser_command_line.h"

#include <cctype>
#include <utility>

#include "platform/files.h"

namespace vellamark {

std::vector<std::string> ChromiumArguments(const BrowserCommandLineSettings& s) {
    std::vector<std::string> args;
    if (s.pipeIn.empty()) {
        args.emplace_back("--remote-debugging-pipe");
    } else {
        args.push_back("--remote-debugging-io-pipes=" + s.pipeIn + "," + s.pipeOut);
    }
    args.push_back("--user-data-dir=" + s.profileDir);
    // No window at start: the driver makes the login's window itself, already minimised, so
    // nothing is on screen while the browser starts. Unlike --no-startup-window, which keeps a
    // browser under automation running once its last window is closed, a silent launch ends
    // when the user closes the window it was handed.
    args.emplace_back("--silent-launch");
    if (!s.ozonePlatform.empty()) {
        args.push_back("--ozone-platform=" + s.ozonePlatform);
    }
    for (const char* flag : {"--no-first-run", "--no-default-browser-check",
                             "--disable-background-networking", "--disable-component-update",
                             "--disable-sync", "--disable-backgrounding-occluded-windows",
                             "--disable-renderer-backgrounding", "--password-store=basic"}) {
        args.emplace_back(flag);
    }
    // Chromium refuses to start as root with its sandbox on; anyone else keeps the sandbox.
    if (s.runningAsRoot) {
        args.emplace_back("--no-sandbox");
    }
    return args;
}

std::string QuoteWindowsArgument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        return std::string(argument);
    }
    // Backslashes are literal except in a run that ends at a quote: such a run is doubled,
    // and so is a run before the closing quote we add.
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, '\\');
    quoted.push_back('"');
    return quoted;
}

std::string WindowsCommandLine(std::string_view program,
                               const std::vector<std::string>& arguments) {
    // The program name is read by different rules (no backslash escapes), and may not hold a
    // quote at all, so it is simply wrapped in quotes.
    std::string line;
    line.reserve(program.size() + 2);
    line.push_back('"');
    line.append(program);
    line.push_back('"');
    for (const auto& argument : arguments) {
        line.push_back(' ');
        line += QuoteWindowsArgument(argument);
    }
    return line;
}

namespace {

bool HasScheme(std::string_view address) {
    // A scheme is a letter and then letters, digits, '+', '-' or '.', before a colon. One
    // letter before a colon is a Windows drive, not a scheme.
    const auto colon = address.find(':');
    if (colon == std::string_view::npos || colon < 2 ||
        !std::isalpha(static_cast<unsigned char>(address[0]))) {
        return false;
    }
    for (std::size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

std::string PercentEncodePath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/' ||
            c == ':') {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    return out;
}

bool IsDrivePath(std::string_view p) {
    return p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
}

}  // namespace

std::string AddressToUrl(std::string_view address) {
    if (address.empty() || HasScheme(address)) {
        return std::string(address);
    }
    std::string path(address);
    const bool windowsLike = IsDrivePath(path) || path.rfind("\\\\", 0) == 0;
    if (!windowsLike && path.front() != '/') {
        if (auto absolute = AbsolutePath(path); absolute) {
            path = std::move(*absolute);
        }
    }
    for (auto& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (path.rfind("//", 0) == 0) {
        return "file:" + PercentEncodePath(path);  // a UNC path: the host follows file://
    }
    if (IsDrivePath(path)) {
        return "file:///" + PercentEncodePath(path);
    }
    return "file://" + PercentEncodePath(path);
}

}  // namespace vellamark
