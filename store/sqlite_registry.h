#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/result.h"
#include "store/registry_backend.h"

namespace vellamark {

// The registry of systems without one: a SQLite database of keys and typed values, one per user.
struct SqliteRegistryOpening {
    // Null for a read-only store that holds no keys yet (the file is empty).
    std::unique_ptr<RegistryBackend> backend;
    // Set when the file at the path was not a database of ours: where it was moved to.
    std::optional<std::filesystem::path> movedAsideTo;
    std::string damage;  // what was wrong with the file moved aside
    // Opened for reading only: asked for, or the file may not be written (its mode, a read-only
    // file system); every write then fails with kErrorAccessDenied.
    bool readOnly = false;
};

// Opens the database at this path. kReadWrite: creates it when missing, its folder mode 0700
// and the file mode 0600; a file that is not a database of ours is moved aside, never
// overwritten; a file that may not be written is opened for reading. kReadOnly: creates,
// changes and moves nothing, and fails for a missing or damaged file. Fails with one line
// saying why the store cannot be opened.
[[nodiscard]] Result<SqliteRegistryOpening> OpenSqliteRegistry(
    const std::filesystem::path& file, StoreAccess access = StoreAccess::kReadWrite);

}  // namespace vellamark
