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
    std::unique_ptr<RegistryBackend> backend;
    // Set when the file at the path was not a database of ours: where it was moved to.
    std::optional<std::filesystem::path> movedAsideTo;
    std::string damage;  // what was wrong with the file moved aside
};

// Opens (creating when missing) the database at this path; its folder is created mode 0700 and
// the file mode 0600. A file that is not a database of ours is moved aside, never overwritten.
// Fails with one line saying why the store cannot be opened.
[[nodiscard]] Result<SqliteRegistryOpening> OpenSqliteRegistry(const std::filesystem::path& file);

}  // namespace vellamark
