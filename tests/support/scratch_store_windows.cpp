#include <windows.h>

#include <thread>

#include "store/account_store.h"
#include "store/win32_registry.h"
#include "tests/support/scratch_store.h"

namespace vellamark::testsupport {
namespace {

constexpr char kTestsKey[] = "Software\\VellamarkTest";

// The registry has no lock against reading; another launcher's transaction holds the store, as
// every read of the launcher's own is a transaction too. The mutex belongs to the thread that
// took it, so the transaction lives on a thread of its own until the hold ends.
class HeldTransaction final : public ScratchStore::Hold {
public:
    explicit HeldTransaction(std::shared_ptr<RegistryBackend> backend)
        : backend_(std::move(backend)),
          begun_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          thread_([this] {
              const auto rc = backend_->BeginTransaction(kSettingsRoot, kSettingsKeyNoSlash, true,
                                                         std::chrono::seconds(10));
              ::SetEvent(begun_);
              ::WaitForSingleObject(release_, INFINITE);
              if (rc == kErrorSuccess) {
                  (void)backend_->RollbackTransaction();
              }
          }) {
        ::WaitForSingleObject(begun_, INFINITE);
    }
    ~HeldTransaction() override {
        ::SetEvent(release_);
        thread_.join();
        ::CloseHandle(begun_);
        ::CloseHandle(release_);
    }
    HeldTransaction(const HeldTransaction&) = delete;
    HeldTransaction& operator=(const HeldTransaction&) = delete;

private:
    std::shared_ptr<RegistryBackend> backend_;
    HANDLE begun_;
    HANDLE release_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<ScratchStore::Hold> ScratchStore::HoldWholeStore() {
    return std::make_unique<HeldTransaction>(another());
}

void ScratchStore::Open() {
    // A lock of its own, so that test programs running side by side never wait for each other.
    lockName_ = "Local\\VellamarkTest-" + UniqueName();
    backend_ = MakeWin32Registry(lockName_);
    base_ = std::string(kTestsKey) + "\\" + UniqueName();
}

std::shared_ptr<RegistryBackend> ScratchStore::OpenAnother() {
    return MakeWin32Registry(lockName_);
}

void ScratchStore::Close() {
    (void)backend_->DeleteKeyTree(kHkeyCurrentUser, base_);
    // The key above every test's own goes too, once it is empty: RegDeleteKeyA removes no key
    // that still has subkeys, so a test running beside this one keeps its own.
    (void)::RegDeleteKeyA(HKEY_CURRENT_USER, kTestsKey);
}

}  // namespace vellamark::testsupport
