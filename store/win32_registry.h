#pragma once

#include <memory>
#include <string>

#include "store/registry_backend.h"

namespace vellamark {

// The name of the mutex that serialises the launchers' transactions on this user's registry.
inline constexpr char kRegistryLockName[] = "Local\\VellamarkSettingsStore";

// The Windows registry through its narrow (...A) entry points. Key paths and value names are
// converted from UTF-8 to the ANSI code page here; value data passes through as bytes.
// Transactions take the named mutex lockName (tests give one of their own).
[[nodiscard]] std::unique_ptr<RegistryBackend> MakeWin32Registry(
    std::string lockName = kRegistryLockName);

}  // namespace vellamark
