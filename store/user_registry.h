#pragma once

#include <memory>
#include <optional>
#include <string>

#include "store/registry_backend.h"

namespace vellamark {

// This user's store: the registry on Windows, the SQLite database elsewhere. When it cannot be
// opened, the backend answers every call with an error (reads give nothing, writes do nothing)
// and problem says why.
struct UserRegistry {
    std::shared_ptr<RegistryBackend> backend;
    std::string problem;
    // False when the store could not be opened at all (the backend only fails); failure then
    // says why, in a few words.
    bool opened = true;
    std::string failure;
    // Another program held the store past kStoreLockWait: the backend answers every call with
    // kErrorBusy, and the store is worth opening again later.
    bool busy = false;
};

[[nodiscard]] UserRegistry OpenUserRegistry(StoreAccess access = StoreAccess::kReadWrite);

// A backend that has no store: every call fails with this code, a write (creating a key,
// beginning a write transaction) with writeCode when one is given (handle calls with
// ERROR_INVALID_HANDLE, as no handle is ever given out).
[[nodiscard]] std::shared_ptr<RegistryBackend> MakeUnavailableRegistry(
    std::int32_t code, std::optional<std::int32_t> writeCode = std::nullopt);

}  // namespace vellamark
