#include "store/sqlite_handles.h"

#include "store/registry_backend.h"

namespace vellamark {

std::int32_t ErrorFromSqlite(int rc) {
    switch (rc & 0xff) {
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
