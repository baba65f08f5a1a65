#pragma once

#include <string>
#include <string_view>

#include "cipher/bytes.h"

namespace vellamark {

// Text inside the program is UTF-8. Where it meets the registry, the cipher and the page file it
// takes the system's ANSI form: the locale's character set on Linux (UTF-8, so these are
// identities), the ANSI code page (CP_ACP) on Windows, where a character the code page lacks
// becomes its best fit or "?".
[[nodiscard]] Bytes ToAnsiBytes(std::string_view utf8);
[[nodiscard]] std::string FromAnsiBytes(const Bytes& ansi);

}  // namespace vellamark
