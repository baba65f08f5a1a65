#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "store/registry_backend.h"

namespace vellamark {

// The registry of systems without one: a SQLite database of keys and typed values, one per user.
struct SqliteRegistryOpening {
    std::unique_ptr<RegistryBackend> backend;  // null when the store could not be opened
    std::string error;                         // why not, one line
    // Set when the file at the path was not a database of ours: where it was moved to.
    std::optional<std::filesystem::path> movedAsideTo;
    std::string damage;  // what was wrong with the file moved aside
};

// Opens (creating when missing) the database at this path; its folder is created mode 0700 and
// the file mode 0600. A file that is not a database of ours is moved aside, never overwritten.
[[nodiscard]] SqliteRegistryOpening OpenSqliteRegistry(const std::filesystem::path& file);

// $XDG_CONFIG_HOME/vellamark/registry.sqlite3, or ~/.config/vellamark/registry.sqlite3 when
// XDG_CONFIG_HOME is unset or not absolute; nullopt when there is no home folder either.
[[nodiscard]] std::optional<std::filesystem::path> UserRegistryDatabasePath();

}  // namespace vellamark
