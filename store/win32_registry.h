#pragma once

#include <memory>

#include "store/registry_backend.h"

namespace vellamark {

// The Windows registry through its narrow (...A) entry points. Key paths and value names are
// converted from UTF-8 to the ANSI code page here; value data passes through as bytes.
[[nodiscard]] std::unique_ptr<RegistryBackend> MakeWin32Registry();

}  // namespace vellamark
