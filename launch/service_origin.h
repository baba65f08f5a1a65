#pragma once

#include <string>

namespace vellamark {

// The service's web server: VELLAMARK_SERVICE_ORIGIN from the environment when set, otherwise
// the address this build was configured with. Never ends in a slash.
[[nodiscard]] std::string ServiceOrigin();

}  // namespace vellamark
