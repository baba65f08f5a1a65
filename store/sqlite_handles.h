#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vellamark {

// Owned SQLite handles: the connection, one prepared statement, one write transaction.

// A SQLite result as the registry's error code for it. systemErrno: the connection's last
// system error (sqlite3_system_errno), which tells why a file could not be opened or written.
[[nodiscard]] std::int32_t ErrorFromSqlite(int rc, int systemErrno = 0);
// True for the results that say the file is no database or a damaged one.
[[nodiscard]] bool IsDamage(int rc);
// The connection's message for rc, or SQLite's text for the code when there is no connection.
[[nodiscard]] std::string SqliteMessage(sqlite3* db, int rc);

struct ConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

// One prepared statement, finalised on scope exit.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    [[nodiscard]] int prepareResult() const { return rc_; }
    void Bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void BindBlob(int index, const std::uint8_t* data, std::uint32_t size) {
        // A null pointer would bind SQL NULL; an empty value is an empty blob.
        if (size == 0) {
            sqlite3_bind_zeroblob(stmt_, index, 0);
        } else {
            sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_TRANSIENT);
        }
    }
    [[nodiscard]] int Step() { return rc_ == SQLITE_OK ? sqlite3_step(stmt_) : rc_; }
    [[nodiscard]] std::int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
    [[nodiscard]] std::string Text(int column) {
        const auto* text = sqlite3_column_text(stmt_, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                    : std::string();
    }
    [[nodiscard]] std::vector<std::uint8_t> Blob(int column) {
        const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column));
        return data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

// A write transaction taken up front (BEGIN IMMEDIATE), so two writers queue on the busy timeout
// instead of one of them failing when it upgrades a read lock; rolled back unless committed.
// Inside a transaction the caller already holds (joined), it begins and commits nothing: the
// caller's transaction takes the change with the rest.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db, bool joined = false) : db_(db), joined_(joined) {
        rc_ = joined_ ? SQLITE_OK : sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    ~WriteTransaction() {
        if (!joined_ && rc_ == SQLITE_OK && !committed_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    [[nodiscard]] int beginResult() const { return rc_; }
    [[nodiscard]] int Commit() {
        if (joined_) {
            return SQLITE_OK;
        }
        const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        committed_ = rc == SQLITE_OK;
        return rc;
    }

private:
    sqlite3* db_;
    bool joined_;
    int rc_;
    bool committed_ = false;
};

}  // namespace vellamark
