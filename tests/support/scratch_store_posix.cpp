#include <gtest/gtest.h>

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

void ScratchStore::Close() {
    backend_.reset();
    folder_.reset();
}

}  // namespace vellamark::testsupport
