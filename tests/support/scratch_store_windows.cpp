#include "store/win32_registry.h"
#include "tests/support/scratch_store.h"

namespace vellamark::testsupport {

void ScratchStore::Open() {
    backend_ = MakeWin32Registry();
    base_ = "Software\\VellamarkTest\\" + UniqueName();
}

void ScratchStore::Close() {
    (void)backend_->DeleteKeyTree(kHkeyCurrentUser, base_);
}

}  // namespace vellamark::testsupport
