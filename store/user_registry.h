#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/result.h"
#include "store/registry_backend.h"

namespace vellamark {

// This user's store as opened: the registry on Windows, the SQLite database elsewhere.
struct UserRegistry {
    std::shared_ptr<RegistryBackend> backend;
    // That a damaged store was moved aside and a fresh one started; empty text otherwise.
    std::string problem;
    // Another program held the store past kStoreLockWait: the backend answers every call with
    // kErrorBusy, and the store is worth opening again later.
    bool busy = false;
};

// Fails, saying why in a few words, when the store cannot be opened at all.
[[nodiscard]] Result<UserRegistry> OpenUserRegistry(StoreAccess access = StoreAccess::kReadWrite);

// A backend that has no store: every call fails with this code, a write (creating a key,
// beginning a write transaction) with writeCode when one is given (handle calls with
// ERROR_INVALID_HANDLE, as no handle is ever given out).
[[nodiscard]] std::shared_ptr<RegistryBackend> MakeUnavailableRegistry(
    std::int32_t code, std::optional<std::int32_t> writeCode = std::nullopt);

}  // namespace vellamark
