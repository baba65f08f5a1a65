#include "launch/service_origin.h"

#include <cstdlib>

namespace vellamark {

std::string ServiceOrigin() {
    // An empty override counts as none: a deployment that clears the variable gets the build's
    // own address rather than relative links.
    const char* configured = std::getenv("VELLAMARK_SERVICE_ORIGIN");
    std::string origin = (configured != nullptr && *configured != '\0')
                             ? std::string(configured)
                             : std::string(VELLAMARK_DEFAULT_SERVICE_ORIGIN);
    while (!origin.empty() && origin.back() == '/') {
        origin.pop_back();
    }
    return origin;
}

}  // namespace vellamark
