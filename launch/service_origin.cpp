#include "launch/service_origin.h"

#include <cctype>
#include <cstdlib>

namespace vellamark {

namespace {

bool IsLoopbackHost(std::string_view host) {
    if (host == "localhost" || host == "[::1]") {
        return true;
    }
    // 127.0.0.0/8, written as four decimal parts.
    if (!host.starts_with("127.")) {
        return false;
    }
    int parts = 0;
    std::size_t digits = 0;
    for (char c : host) {
        if (c == '.') {
            if (digits == 0) {
                return false;
            }
            ++parts;
            digits = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0 && digits < 3) {
            ++digits;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0;
}

// The host (without the port) of "host[:port]", or empty when it is no such thing.
std::string_view HostOf(std::string_view authority) {
    if (authority.empty()) {
        return {};
    }
    std::string_view host = authority;
    std::string_view port;
    if (authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        host = authority.substr(0, close + 1);
        port = authority.substr(close + 1);
    } else if (const auto colon = authority.find(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon);
    }
    if (!port.empty()) {
        if (port.size() < 2 || port.front() != ':') {
            return {};
        }
        for (char c : port.substr(1)) {
            if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
                return {};
            }
        }
    }
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) == 0 && c != '.' && c != '-' && c != '[' && c != ']' && c != ':') {
            return {};
        }
    }
    return host;
}

}  // namespace

Result<std::string> CheckServiceOrigin(std::string_view configured) {
    std::string origin(configured);
    while (!origin.empty() && origin.back() == '/') {
        origin.pop_back();
    }
    const auto refuse = [&configured](const std::string& why) {
        return Result<std::string>::Fail(
            "VELLAMARK_SERVICE_ORIGIN is \"" + std::string(configured) + "\": " + why +
            " Set it to the service's https:// address (http:// is allowed only for a server on "
            "this computer: localhost, 127.x.x.x or [::1]), or unset it.");
    };
    const auto schemeEnd = origin.find("://");
    if (schemeEnd == std::string::npos) {
        return refuse("that is no web address.");
    }
    std::string scheme = origin.substr(0, schemeEnd);
    for (char& c : scheme) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string_view authority = std::string_view(origin).substr(schemeEnd + 3);
    const std::string_view host = HostOf(authority);
    if (scheme != "https" && scheme != "http") {
        return refuse("only https:// addresses are allowed.");
    }
    if (host.empty()) {
        return refuse("it must be a scheme and a host (and port) only, with no path.");
    }
    if (scheme == "http" && !IsLoopbackHost(host)) {
        return refuse("http:// would send the password unencrypted.");
    }
    return origin;
}

Result<std::string> ServiceOrigin() {
    // An empty override counts as none: a deployment that clears the variable gets the build's
    // own address rather than relative links.
    const char* configured = std::getenv("VELLAMARK_SERVICE_ORIGIN");
    if (configured == nullptr || *configured == '\0') {
        std::string origin(VELLAMARK_DEFAULT_SERVICE_ORIGIN);
        while (!origin.empty() && origin.back() == '/') {
            origin.pop_back();
        }
        return origin;
    }
    return CheckServiceOrigin(configured);
}

}  // namespace vellamark
