#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/sqlite_registry.h"
#include "tests/support/scratch_store.h"

namespace vellamark::testsupport {

void ScratchStore::Open() {
    folder_ = std::make_unique<TempFolder>();
    auto opening = OpenSqliteRegistry(folder_->path() / "registry.sqlite3");
    if (!opening) {
        ADD_FAILURE() << "cannot open the scratch store: " << opening.error();
        return;
    }
    backend_ = std::move(opening->backend);
    base_ = "Software\\VellamarkTest";
}

std::shared_ptr<RegistryBackend> ScratchStore::OpenAnother() {
    auto opening = OpenSqliteRegistry(file());
    if (!opening) {
        ADD_FAILURE() << "cannot open the scratch store again: " << opening.error();
        return nullptr;
    }
    return std::move(opening->backend);
}

namespace {

class ExclusiveConnection final : public ScratchStore::Hold {
public:
    explicit ExclusiveConnection(const std::string& file) {
        if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
            sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "cannot hold the scratch store: " << sqlite3_errmsg(db_);
        }
    }
    ~ExclusiveConnection() override {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }
    ExclusiveConnection(const ExclusiveConnection&) = delete;
    ExclusiveConnection& operator=(const ExclusiveConnection&) = delete;

private:
    sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<ScratchStore::Hold> ScratchStore::HoldWholeStore() {
    return std::make_unique<ExclusiveConnection>(file());
}

void ScratchStore::Close() {
    backend_.reset();
    folder_.reset();
}

}  // namespace vellamark::testsupport
