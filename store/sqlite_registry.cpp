#include "store/sqlite_registry.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "store/private_files.h"
#include "store/sqlite_handles.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;

// Marks the file as ours ("VLMR"); a database without it that holds tables belongs to something
// else and is moved aside rather than written into.
constexpr int kApplicationId = 0x564C4D52;
constexpr int kSchemaVersion = 1;
constexpr std::int64_t kRootKeyId = 1;
// Another launcher or vellamark-reg may hold the write lock for a moment; wait this long for it.
constexpr int kBusyTimeoutMs = 10000;

// Rollback journal (truncated after each commit, which spares the folder updates of deleting
// it) rather than WAL: configuration folders are often on network file systems,
// where WAL's shared-memory index does not work, and the store sees a handful of tiny writes per
// run, so WAL's concurrency gains nothing. With synchronous=FULL every committed transaction is
// on disk, and a process killed mid-transaction leaves a hot journal that the next opener rolls
// back, so the database is always readable and no value is ever half-written.
constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER REFERENCES reg_keys(id),"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  UNIQUE(parent, name));"
    "CREATE TABLE IF NOT EXISTS reg_values("
    "  key_id INTEGER NOT NULL REFERENCES reg_keys(id),"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  kind INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key_id, name)) WITHOUT ROWID;"
    "INSERT OR IGNORE INTO reg_keys(id, parent, name) VALUES(1, NULL, 'HKEY_CURRENT_USER');";

// The registry's names are C strings, and a key path may end with one backslash.
std::string CName(const std::string& name) {
    return std::string(name.c_str());
}

// Splits a key path into its names; nullopt for an empty name inside the path.
std::optional<std::vector<std::string>> SplitKeyPath(const std::string& rawPath) {
    std::string path = CName(rawPath);
    if (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    std::vector<std::string> names;
    if (path.empty()) {
        return names;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        std::string name = path.substr(start, end == std::string::npos ? end : end - start);
        if (name.empty()) {
            return std::nullopt;
        }
        names.push_back(std::move(name));
        if (end == std::string::npos) {
            return names;
        }
        start = end + 1;
    }
}

// The names of a key path below the one root this store holds, or the error a registry gives
// for another root or a malformed path.
std::int32_t KeyNames(RegistryRoot root, const std::string& path, std::vector<std::string>& names) {
    if (root != kHkeyCurrentUser) {
        return kErrorInvalidHandle;
    }
    auto split = SplitKeyPath(path);
    if (!split) {
        return kErrorBadPathname;
    }
    names = std::move(*split);
    return kErrorSuccess;
}

class SqliteBackend final : public RegistryBackend {
public:
    explicit SqliteBackend(Connection db) : db_(std::move(db)) {}

    std::int32_t OpenKey(RegistryRoot root, const std::string& path,
                         RegistryHandle& handle) override {
        std::lock_guard lock(mutex_);
        handle = 0;
        std::vector<std::string> names;
        if (const auto rc = KeyNames(root, path, names); rc != kErrorSuccess) {
            return rc;
        }
        std::int32_t rc = kErrorSuccess;
        const auto id = FindKey(names, &rc);
        if (!id) {
            return rc;
        }
        handle = NewHandle(*id);
        return kErrorSuccess;
    }

    std::int32_t CreateKey(RegistryRoot root, const std::string& path,
                           RegistryHandle& handle) override {
        std::lock_guard lock(mutex_);
        handle = 0;
        std::vector<std::string> names;
        if (const auto rc = KeyNames(root, path, names); rc != kErrorSuccess) {
            return rc;
        }
        // Most creates find the key there already: answer those without taking the write lock.
        if (const auto existing = FindKey(names)) {
            handle = NewHandle(*existing);
            return kErrorSuccess;
        }
        WriteTransaction transaction(db_.get(), inTransaction_);
        if (transaction.beginResult() != SQLITE_OK) {
            return ErrorOf(transaction.beginResult());
        }
        std::int64_t id = kRootKeyId;
        for (const auto& name : names) {
            Statement insert(db_.get(),
                             "INSERT INTO reg_keys(parent, name) VALUES(?1, ?2) "
                             "ON CONFLICT(parent, name) DO NOTHING");
            insert.Bind(1, id);
            insert.Bind(2, name);
            if (const int rc = insert.Step(); rc != SQLITE_DONE) {
                return ErrorOf(rc);
            }
            // The key was just inserted or was there already: not finding it means damage.
            if (const int rc = FindChild(id, name, id); rc != SQLITE_ROW) {
                return ErrorOf(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
            }
        }
        if (const int rc = transaction.Commit(); rc != SQLITE_OK) {
            return ErrorOf(rc);
        }
        handle = NewHandle(id);
        return kErrorSuccess;
    }

    std::int32_t QueryValue(RegistryHandle handle, const std::string& name, std::uint32_t& kind,
                            std::uint8_t* data, std::uint32_t& size) override {
        std::lock_guard lock(mutex_);
        std::int64_t keyId = 0;
        if (const auto rc = LiveKey(handle, keyId); rc != kErrorSuccess) {
            return rc;
        }
        Statement find(db_.get(),
                       "SELECT kind, data FROM reg_values WHERE key_id = ?1 AND name = ?2");
        find.Bind(1, keyId);
        find.Bind(2, CName(name));
        const int rc = find.Step();
        if (rc == SQLITE_DONE) {
            return kErrorFileNotFound;
        }
        if (rc != SQLITE_ROW) {
            return ErrorOf(rc);
        }
        const auto stored = find.Blob(1);
        kind = static_cast<std::uint32_t>(find.Int(0));
        const auto storedSize = static_cast<std::uint32_t>(stored.size());
        if (data == nullptr) {
            size = storedSize;
            return kErrorSuccess;
        }
        if (size < storedSize) {
            size = storedSize;
            return kErrorMoreData;
        }
        std::copy(stored.begin(), stored.end(), data);
        size = storedSize;
        return kErrorSuccess;
    }

    std::int32_t SetValue(RegistryHandle handle, const std::string& name, std::uint32_t kind,
                          const std::uint8_t* data, std::uint32_t size) override {
        std::lock_guard lock(mutex_);
        if (data == nullptr && size != 0) {
            return kErrorInvalidParameter;
        }
        WriteTransaction transaction(db_.get(), inTransaction_);
        if (transaction.beginResult() != SQLITE_OK) {
            return ErrorOf(transaction.beginResult());
        }
        std::int64_t keyId = 0;
        if (const auto rc = LiveKey(handle, keyId); rc != kErrorSuccess) {
            return rc;
        }
        // Replacing keeps the name's stored case, as the registry does.
        Statement upsert(db_.get(),
                         "INSERT INTO reg_values(key_id, name, kind, data) VALUES(?1, ?2, ?3, ?4) "
                         "ON CONFLICT(key_id, name) DO UPDATE SET kind = excluded.kind, "
                         "data = excluded.data");
        upsert.Bind(1, keyId);
        upsert.Bind(2, CName(name));
        upsert.Bind(3, static_cast<std::int64_t>(kind));
        upsert.BindBlob(4, data, size);
        if (const int rc = upsert.Step(); rc != SQLITE_DONE) {
            return ErrorOf(rc);
        }
        return ErrorOf(transaction.Commit());
    }

    std::int32_t CloseKey(RegistryHandle handle) override {
        std::lock_guard lock(mutex_);
        return handles_.erase(handle) == 1 ? kErrorSuccess : kErrorInvalidHandle;
    }

    // SQLite's own locking does it: a write transaction takes the write lock up front (BEGIN
    // IMMEDIATE), a read one the shared lock; the busy timeout bounds the wait for either, and
    // for the commit's exclusive lock. The rollback journal makes the commit all or nothing, also
    // when the process dies.
    std::int32_t BeginTransaction(RegistryRoot, const std::string&, bool write,
                                  std::chrono::milliseconds wait) override {
        std::lock_guard lock(mutex_);
        if (inTransaction_) {
            return kErrorInvalidParameter;
        }
        sqlite3_busy_timeout(db_.get(), static_cast<int>(wait.count()));
        int rc = sqlite3_exec(db_.get(), write ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED", nullptr,
                              nullptr, nullptr);
        if (rc == SQLITE_OK && !write) {
            // A deferred transaction takes its lock at the first read: take it now, so that a
            // store locked by another process fails here rather than in the middle.
            Statement first(db_.get(), "SELECT count(*) FROM reg_keys WHERE id = 1");
            if (const int read = first.Step(); read != SQLITE_ROW) {
                rc = read;
            }
        }
        if (rc != SQLITE_OK) {
            const std::int32_t error = ErrorOf(rc);
            EndTransaction("ROLLBACK");
            return error;
        }
        inTransaction_ = true;
        return kErrorSuccess;
    }

    std::int32_t CommitTransaction() override {
        std::lock_guard lock(mutex_);
        if (!inTransaction_) {
            return kErrorInvalidParameter;
        }
        // An error inside the transaction (a full disk, say) may have rolled it back already.
        const int rc = sqlite3_get_autocommit(db_.get())
                           ? SQLITE_IOERR
                           : sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr);
        const std::int32_t error = ErrorOf(rc);
        EndTransaction("ROLLBACK");
        return error;
    }

    std::int32_t RollbackTransaction() override {
        std::lock_guard lock(mutex_);
        if (!inTransaction_) {
            return kErrorInvalidParameter;
        }
        EndTransaction("ROLLBACK");
        return kErrorSuccess;
    }

    std::int32_t EnumValues(RegistryHandle handle,
                            std::vector<RegistryValueEntry>& values) override {
        std::lock_guard lock(mutex_);
        values.clear();
        std::int64_t keyId = 0;
        if (const auto rc = LiveKey(handle, keyId); rc != kErrorSuccess) {
            return rc;
        }
        Statement all(db_.get(),
                      "SELECT name, kind, data FROM reg_values WHERE key_id = ?1 ORDER BY name");
        all.Bind(1, keyId);
        int rc = SQLITE_OK;
        while ((rc = all.Step()) == SQLITE_ROW) {
            values.push_back({all.Text(0), static_cast<std::uint32_t>(all.Int(1)), all.Blob(2)});
        }
        return rc == SQLITE_DONE ? kErrorSuccess : ErrorOf(rc);
    }

    std::int32_t EnumSubkeys(RegistryHandle handle, std::vector<std::string>& names) override {
        std::lock_guard lock(mutex_);
        names.clear();
        std::int64_t keyId = 0;
        if (const auto rc = LiveKey(handle, keyId); rc != kErrorSuccess) {
            return rc;
        }
        // The name column compares without case, so it also sorts without case.
        Statement all(db_.get(), "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY name");
        all.Bind(1, keyId);
        int rc = SQLITE_OK;
        while ((rc = all.Step()) == SQLITE_ROW) {
            names.push_back(all.Text(0));
        }
        return rc == SQLITE_DONE ? kErrorSuccess : ErrorOf(rc);
    }

    std::int32_t DeleteValue(RegistryHandle handle, const std::string& name) override {
        std::lock_guard lock(mutex_);
        WriteTransaction transaction(db_.get(), inTransaction_);
        if (transaction.beginResult() != SQLITE_OK) {
            return ErrorOf(transaction.beginResult());
        }
        std::int64_t keyId = 0;
        if (const auto rc = LiveKey(handle, keyId); rc != kErrorSuccess) {
            return rc;
        }
        Statement remove(db_.get(), "DELETE FROM reg_values WHERE key_id = ?1 AND name = ?2");
        remove.Bind(1, keyId);
        remove.Bind(2, CName(name));
        if (const int rc = remove.Step(); rc != SQLITE_DONE) {
            return ErrorOf(rc);
        }
        if (sqlite3_changes(db_.get()) == 0) {
            return kErrorFileNotFound;
        }
        return ErrorOf(transaction.Commit());
    }

    std::int32_t DeleteKeyTree(RegistryRoot root, const std::string& path) override {
        RegistryHandle handle = 0;
        if (const auto rc = OpenKey(root, path, handle); rc != kErrorSuccess) {
            return rc;
        }
        std::lock_guard lock(mutex_);
        const std::int64_t keyId = handles_[handle];
        handles_.erase(handle);
        if (keyId == kRootKeyId) {
            return kErrorAccessDenied;
        }
        WriteTransaction transaction(db_.get(), inTransaction_);
        if (transaction.beginResult() != SQLITE_OK) {
            return ErrorOf(transaction.beginResult());
        }
        // The key and everything below it, values first.
        constexpr char kTree[] =
            "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
            "SELECT k.id FROM reg_keys k JOIN tree ON k.parent = tree.id) ";
        const std::string removeValues =
            std::string(kTree) + "DELETE FROM reg_values WHERE key_id IN (SELECT id FROM tree)";
        const std::string removeKeys =
            std::string(kTree) + "DELETE FROM reg_keys WHERE id IN (SELECT id FROM tree)";
        for (const auto& sql : {removeValues, removeKeys}) {
            Statement remove(db_.get(), sql.c_str());
            remove.Bind(1, keyId);
            if (const int rc = remove.Step(); rc != SQLITE_DONE) {
                return ErrorOf(rc);
            }
        }
        return ErrorOf(transaction.Commit());
    }

private:
    std::int32_t ErrorOf(int rc) { return ErrorFromSqlite(rc, sqlite3_system_errno(db_.get())); }

    // Ends the transaction, if SQLite still has one open, with this statement, and puts the
    // ordinary busy timeout back.
    void EndTransaction(const char* statement) {
        if (!sqlite3_get_autocommit(db_.get())) {
            sqlite3_exec(db_.get(), statement, nullptr, nullptr, nullptr);
        }
        sqlite3_busy_timeout(db_.get(), kBusyTimeoutMs);
        inTransaction_ = false;
    }

    // The key at the end of the names; nullopt with the error code when it is not there.
    std::optional<std::int64_t> FindKey(const std::vector<std::string>& names,
                                        std::int32_t* error = nullptr) {
        std::int64_t id = kRootKeyId;
        for (const auto& name : names) {
            if (const int rc = FindChild(id, name, id); rc != SQLITE_ROW) {
                if (error) {
                    *error = rc == SQLITE_DONE ? kErrorFileNotFound : ErrorOf(rc);
                }
                return std::nullopt;
            }
        }
        return id;
    }

    // Looks up the subkey of parent called name: SQLITE_ROW with its id, SQLITE_DONE when there
    // is none, or the error.
    int FindChild(std::int64_t parent, const std::string& name, std::int64_t& id) {
        Statement find(db_.get(), "SELECT id FROM reg_keys WHERE parent = ?1 AND name = ?2");
        find.Bind(1, parent);
        find.Bind(2, name);
        const int rc = find.Step();
        if (rc == SQLITE_ROW) {
            id = find.Int(0);
        }
        return rc;
    }

    RegistryHandle NewHandle(std::int64_t keyId) {
        const RegistryHandle handle = ++lastHandle_;
        handles_[handle] = keyId;
        return handle;
    }

    // The key behind a handle; a key deleted since it was opened (by another process, say)
    // answers as the registry does.
    std::int32_t LiveKey(RegistryHandle handle, std::int64_t& keyId) {
        const auto found = handles_.find(handle);
        if (found == handles_.end()) {
            return kErrorInvalidHandle;
        }
        Statement exists(db_.get(), "SELECT 1 FROM reg_keys WHERE id = ?1");
        exists.Bind(1, found->second);
        const int rc = exists.Step();
        if (rc == SQLITE_DONE) {
            return kErrorKeyDeleted;
        }
        if (rc != SQLITE_ROW) {
            return ErrorOf(rc);
        }
        keyId = found->second;
        return kErrorSuccess;
    }

    Connection db_;
    std::mutex mutex_;
    std::map<RegistryHandle, std::int64_t> handles_;
    RegistryHandle lastHandle_ = 0;
    bool inTransaction_ = false;
};

// kBusy: another program held the file past the wait. kUnfinished (read-only only): a save was
// cut short and its journal must be rolled back before the file reads whole.
enum class Check { kReady, kEmpty, kDamaged, kFailed, kBusy, kUnfinished };

struct CheckedConnection {
    Check check = Check::kFailed;
    Connection db;
    std::string error;
};

// When the opening of a store stops waiting for another program: one bound for all of it.
using OpeningDeadline = std::chrono::steady_clock::time_point;

// SQLite's busy handler while a store is opened: short naps until the deadline, so that the
// opening as a whole (not each of its steps) waits at most kStoreLockWait.
int WaitUntilDeadline(void* deadline, int /*tries*/) {
    if (std::chrono::steady_clock::now() >=
        *static_cast<const std::chrono::steady_clock::time_point*>(deadline)) {
        return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return 1;
}

// Opens the file as our database; writable, it creates the schema in an empty one, read-only it
// answers kEmpty for one. kDamaged: the file is not a database, is corrupt, or is some other
// program's database.
CheckedConnection OpenChecked(const fs::path& file, bool readOnly, OpeningDeadline deadline) {
    CheckedConnection result;
    // A file that does not even begin like a database is damaged before SQLite looks at it
    // (and at the journal beside it, which it would otherwise discard as not belonging to it).
    static constexpr std::string_view kMagic{"SQLite format 3\0", 16};
    if (HasForeignHeader(file, kMagic)) {
        result.check = Check::kDamaged;
        result.error = "the file is not a database";
        return result;
    }
    sqlite3* raw = nullptr;
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int openRc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    Connection db(raw);
    if (openRc != SQLITE_OK) {
        result.check = IsDamage(openRc) ? Check::kDamaged : Check::kFailed;
        result.error = SqliteMessage(db.get(), openRc);
        return result;
    }
    sqlite3_busy_handler(db.get(), WaitUntilDeadline, &deadline);
    sqlite3_extended_result_codes(db.get(), 1);
    auto fail = [&](int rc) {
        const int primary = rc & 0xff;
        result.check = IsDamage(rc)                                         ? Check::kDamaged
                       : primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? Check::kBusy
                       : readOnly && primary == SQLITE_READONLY             ? Check::kUnfinished
                                                                            : Check::kFailed;
        result.error = SqliteMessage(db.get(), rc);
        return std::move(result);
    };
    const char* pragmas = readOnly ? "PRAGMA synchronous=FULL"
                                   : "PRAGMA journal_mode=TRUNCATE; PRAGMA synchronous=FULL";
    if (const int rc = sqlite3_exec(db.get(), pragmas, nullptr, nullptr, nullptr);
        rc != SQLITE_OK) {
        return fail(rc);
    }
    {
        // Read-only, the statements below read one at a time; that is enough for a look.
        WriteTransaction transaction(db.get(), readOnly);
        if (transaction.beginResult() != SQLITE_OK) {
            return fail(transaction.beginResult());
        }
        Statement identity(db.get(),
                           "SELECT (SELECT application_id FROM pragma_application_id), "
                           "(SELECT count(*) FROM sqlite_schema)");
        if (const int rc = identity.Step(); rc != SQLITE_ROW) {
            return fail(rc);
        }
        const auto applicationId = identity.Int(0);
        const auto tables = identity.Int(1);
        if (applicationId != kApplicationId && (applicationId != 0 || tables != 0)) {
            result.check = Check::kDamaged;
            result.error = "the file is not a vellamark settings database";
            return result;
        }
        Statement quickCheck(db.get(), "PRAGMA quick_check");
        if (const int rc = quickCheck.Step(); rc != SQLITE_ROW) {
            return fail(rc);
        }
        if (quickCheck.Text(0) != "ok") {
            result.check = Check::kDamaged;
            result.error = "the database is damaged: " + quickCheck.Text(0);
            return result;
        }
        if (tables == 0 && readOnly) {
            result.check = Check::kEmpty;
            return result;
        }
        if (tables == 0) {
            const std::string setup =
                std::string(kSchema) + "PRAGMA application_id=" + std::to_string(kApplicationId) +
                ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
            if (const int rc = sqlite3_exec(db.get(), setup.c_str(), nullptr, nullptr, nullptr);
                rc != SQLITE_OK) {
                return fail(rc);
            }
        }
        if (const int rc = transaction.Commit(); rc != SQLITE_OK) {
            return fail(rc);
        }
    }
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);  // the deadline goes with this call
    result.check = Check::kReady;
    result.db = std::move(db);
    return result;
}

// True when the file is there but this process may not write it (its mode, or a read-only
// file system); errno says which.
bool ExistsButIsNotWritable(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error) && ::access(file.c_str(), W_OK) != 0 &&
           (errno == EACCES || errno == EROFS || errno == EPERM);
}

// True when this process may write the file and the folder its journal goes to.
bool MayWrite(const fs::path& file) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    return ::access(file.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
}

// The last whole save of a store whose unfinished save may not be rolled back in place (the file
// may not be written): the file and its journal copied into a private temporary folder, the
// journal rolled back into the copy there, and the result taken into memory.
CheckedConnection LastWholeSave(const fs::path& file, OpeningDeadline deadline) {
    CheckedConnection result;
    std::error_code error;
    std::string folder = (fs::temp_directory_path(error) / "vellamark-store-XXXXXX").string();
    if (error || ::mkdtemp(folder.data()) == nullptr) {
        result.error = "cannot make a private temporary folder to read it in: " +
                       (error ? error.message() : std::string(std::strerror(errno)));
        return result;
    }
    const fs::path copy = fs::path(folder) / "registry.sqlite3";
    for (const std::string suffix : {"", "-journal"}) {
        const fs::path to = copy.string() + suffix;
        if (!error && fs::copy_file(file.string() + suffix, to, error)) {
            fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, error);
        }
    }
    if (error) {
        result.error = "cannot copy it to read it: " + error.message();
    } else if (auto copied = OpenChecked(copy, false, deadline); copied.check != Check::kReady) {
        result = std::move(copied);
    } else {
        sqlite3* raw = nullptr;
        (void)sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
        Connection memory(raw);
        sqlite3_backup* backup = sqlite3_backup_init(memory.get(), "main", copied.db.get(), "main");
        const int rc = backup ? (sqlite3_backup_step(backup, -1), sqlite3_backup_finish(backup))
                              : sqlite3_errcode(memory.get());
        if (rc == SQLITE_OK) {
            result.check = Check::kReady;
            result.db = std::move(memory);
        } else {
            result.error = SqliteMessage(memory.get(), rc);
        }
    }
    fs::remove_all(folder, error);
    return result;
}

// The store opened for reading only: nothing is created, changed or moved aside (a save that
// was cut short is rolled back, which leaves the store as its last whole save left it).
Result<SqliteRegistryOpening> OpenForReading(const fs::path& file, OpeningDeadline deadline) {
    using Opened = Result<SqliteRegistryOpening>;
    std::error_code error;
    const auto status = fs::status(file, error);
    if (fs::is_directory(status)) {
        return Opened::Fail(file.string() + " is a folder, not a file");
    }
    if (!fs::exists(status)) {
        return Opened::Fail(file.string() + " does not exist");
    }
    if (::access(file.c_str(), R_OK) != 0) {
        return Opened::Fail("access is denied: " + file.string() + " cannot be read (" +
                            std::strerror(errno) + ")");
    }
    auto checked = OpenChecked(file, true, deadline);
    if (checked.check == Check::kUnfinished) {
        checked =
            MayWrite(file) ? OpenChecked(file, false, deadline) : LastWholeSave(file, deadline);
    }
    SqliteRegistryOpening opening;
    if (checked.check == Check::kBusy) {
        opening.busy = true;
        return opening;
    }
    if (checked.check == Check::kDamaged) {
        return Opened::Fail(file.string() + " is damaged (" + checked.error +
                            "); the launcher moves it aside and starts a new one when it next "
                            "opens it for writing");
    }
    if (checked.check != Check::kReady && checked.check != Check::kEmpty) {
        return Opened::Fail("cannot open " + file.string() + ": " + checked.error);
    }
    if (checked.db) {
        // Also a connection that rolled a save back, or the copy of one in memory: every write
        // fails, as the file's may not be written or were not asked for.
        sqlite3_exec(checked.db.get(), "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    }
    opening.readOnly = true;
    opening.backend = checked.check == Check::kEmpty
                          ? std::unique_ptr<RegistryBackend>()
                          : std::make_unique<SqliteBackend>(std::move(checked.db));
    return opening;
}

}  // namespace

Result<SqliteRegistryOpening> OpenSqliteRegistry(const fs::path& path, StoreAccess access) {
    using Opened = Result<SqliteRegistryOpening>;
    const auto followed = FollowOwnLinks(path);
    if (!followed) {
        return followed.status();
    }
    const fs::path& file = *followed;
    // One bound for the whole opening, however many times the file must be opened.
    const OpeningDeadline deadline = std::chrono::steady_clock::now() + kStoreLockWait;
    if (access == StoreAccess::kReadOnly) {
        return OpenForReading(file, deadline);
    }
    if (ExistsButIsNotWritable(file)) {
        // Still readable, so the saved accounts still show; every write fails and says why.
        return OpenForReading(file, deadline);
    }
    if (auto folder =
            MakePrivateFolder(path.parent_path().empty() ? fs::path(".") : path.parent_path());
        !folder) {
        return folder;
    }
    if (auto made = MakePrivateFile(file); !made) {
        return made;
    }
    SqliteRegistryOpening opening;
    auto checked = OpenChecked(file, false, deadline);
    if (checked.check == Check::kDamaged) {
        // Two launchers may find the damage at once: one moves the file aside under this lock,
        // the other then finds the fresh database and keeps it.
        const auto lock = LockExclusively(file.string() + ".lock");
        if (!lock) {
            return lock.status();
        }
        checked = OpenChecked(file, false, deadline);
        if (checked.check == Check::kDamaged) {
            const std::string why = checked.error;
            checked.db.reset();
            // The journal goes with its database: a hot journal left beside a fresh database
            // would be rolled back into it.
            auto aside = MoveAside(file, "damaged", {"-journal", "-wal", "-shm"});
            if (!aside) {
                return aside.status();
            }
            if (auto made = MakePrivateFile(file); !made) {
                return made;
            }
            opening.movedAsideTo = *aside;
            checked = OpenChecked(file, false, deadline);
            opening.damage = why;
        }
    }
    if (checked.check == Check::kBusy) {
        opening.busy = true;
        return opening;
    }
    if (checked.check != Check::kReady) {
        return Opened::Fail("cannot open " + file.string() + ": " + checked.error);
    }
    opening.backend = std::make_unique<SqliteBackend>(std::move(checked.db));
    return opening;
}

}  // namespace vellamark
