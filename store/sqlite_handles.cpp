#include "store/sqlite_handles.h"

#include <cerrno>

#include "store/registry_backend.h"

namespace vellamark {

std::int32_t ErrorFromSqlite(int rc, int systemErrno) {
    // A journal that cannot be created in a read-only folder, a write to a full disk: the
    // system's reason says more than SQLite's code.
    const int primary = rc & 0xff;
    if (primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR || primary == SQLITE_READONLY ||
        primary == SQLITE_FULL) {
        switch (systemErrno) {
            case EACCES:
            case EPERM:
                return kErrorAccessDenied;
            case EROFS:
                return kErrorWriteProtect;
            case ENOSPC:
            case EDQUOT:
                return kErrorDiskFull;
            default:
                break;
        }
    }
    switch (primary) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return kErrorSuccess;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return kErrorBusy;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return kErrorAccessDenied;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return kErrorBadDatabase;
        case SQLITE_FULL:
            return kErrorDiskFull;
        default:
            return kErrorRegistryIoFailed;
    }
}

bool IsDamage(int rc) {
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
}

std::string SqliteMessage(sqlite3* db, int rc) {
    return db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
}

}  // namespace vellamark
