#pragma once

#include <memory>
#include <string>

#include "store/registry_backend.h"

namespace vellamark {

// This user's store: the registry on Windows, the SQLite database elsewhere. When it cannot be
// opened, the backend answers every call with an error (reads give nothing, writes do nothing)
// and problem says why.
struct UserRegistry {
    std::shared_ptr<RegistryBackend> backend;
    std::string problem;
};

[[nodiscard]] UserRegistry OpenUserRegistry();

// A backend that has no store: every call fails with this code (handle calls with
// ERROR_INVALID_HANDLE, as no handle is ever given out).
[[nodiscard]] std::shared_ptr<RegistryBackend> MakeUnavailableRegistry(std::int32_t code);

}  // namespace vellamark
