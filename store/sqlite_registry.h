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
    // Another program held the file past kStoreLockWait: there is no backend.
    bool busy = false;
};

// Opens the database at this path, or at the end of a symbolic link of this user's to a file of
// this user's (FollowOwnLinks). kReadWrite: creates it when missing, its folder mode 0700 and
// the file mode 0600; a file that is not a database of ours is moved aside, never overwritten; a
// file that may not be written is opened for reading. kReadOnly: creates, changes and moves
// nothing, and fails for a missing or damaged file. Either way a save cut short (its process
// died) is rolled back where the file may be written; where it may not, the store is read as the
// last whole save left it (from a private copy). Waits at most kStoreLockWait for another
// program, then answers busy. Fails with one line saying why the store cannot be opened.
[[nodiscard]] Result<SqliteRegistryOpening> OpenSqliteRegistry(
    const std::filesystem::path& file, StoreAccess access = StoreAccess::kReadWrite);

}  // namespace vellamark
