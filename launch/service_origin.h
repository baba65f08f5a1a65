#pragma once

#include <string>
#include <string_view>

#include "platform/result.h"

namespace vellamark {

// The service's web server: VELLAMARK_SERVICE_ORIGIN from the environment when set, otherwise
// the address this build was configured with. Never ends in a slash. A configured address that
// would send the password unencrypted (http:// to another computer) or that is no origin at
// all is refused with a message naming the variable.
[[nodiscard]] Result<std::string> ServiceOrigin();

// The rule for a configured origin, without the environment: "https://host[:port]", or
// "http://" for a loopback host only (localhost, 127.x.x.x, [::1]). Trailing slashes are
// dropped; the error text names the variable.
[[nodiscard]] Result<std::string> CheckServiceOrigin(std::string_view configured);

}  // namespace vellamark
