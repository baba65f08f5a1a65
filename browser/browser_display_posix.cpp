#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "browser/browser_display.h"
#include "platform/owned_fd.h"

namespace vellamark {

namespace {

std::string Variable(const EnvironmentLookup& env, const char* name) {
    return env(name).value_or("");
}

// Connects to a local stream socket: by path, or in the abstract namespace when the name starts
// with '@'.
bool SocketAnswers(const std::string& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name.front() == '@') {
        address.sun_path[0] = '\0';
    }
    const OwnedFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() +
                                               (name.front() == '@' ? 0 : 1));
    return fd.Get() >= 0 &&
           ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

// The Wayland display's socket name; where the session names none, Wayland clients look for
// "wayland-0". Empty outside a Wayland session.
std::string WaylandDisplay(const EnvironmentLookup& env) {
    std::string wayland = Variable(env, "WAYLAND_DISPLAY");
    if (wayland.empty() && Variable(env, "XDG_SESSION_TYPE") == "wayland") {
        wayland = "wayland-0";
    }
    return wayland;
}

}  // namespace

BrowserDisplay ChooseBrowserDisplay(const EnvironmentLookup& env) {
    if (const std::string x = Variable(env, "DISPLAY"); !x.empty()) {
        return {"x11", true, "the X display " + x};
    }
    if (const std::string wayland = WaylandDisplay(env); !wayland.empty()) {
        return {"wayland", false, "the Wayland display " + wayland};
    }
    return {};
}

bool DisplayAnswers(const BrowserDisplay& display, const EnvironmentLookup& env) {
    if (display.ozonePlatform == "x11") {
        // ":N" or ":N.S" is a local server; anything with a host before the colon is reached
        // over the network, which only the browser itself can try.
        const std::string x = Variable(env, "DISPLAY");
        if (x.front() != ':') {
            return true;
        }
        const std::string number = x.substr(1, x.find('.') - 1);
        const std::string socket = "/tmp/.X11-unix/X" + number;
        return SocketAnswers("@" + socket) || SocketAnswers(socket);
    }
    if (display.ozonePlatform == "wayland") {
        std::string socket = WaylandDisplay(env);
        if (socket.front() != '/') {
            socket = Variable(env, "XDG_RUNTIME_DIR") + "/" + socket;
        }
        return SocketAnswers(socket);
    }
    return false;
}

}  // namespace vellamark
