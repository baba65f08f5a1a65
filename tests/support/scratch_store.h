#pragma once

#include <memory>
#include <string>

#include "store/registry_backend.h"
#include "tests/support/temp_folder.h"

namespace vellamark::testsupport {

// A store of this test's own: a fresh SQLite database in a temporary folder natively; under
// Windows (wine) the registry itself, with a scratch key under HKCU that is deleted afterwards.
class ScratchStore {
public:
    ScratchStore();
    ~ScratchStore();
    ScratchStore(const ScratchStore&) = delete;
    ScratchStore& operator=(const ScratchStore&) = delete;

    [[nodiscard]] RegistryBackend& backend() { return *backend_; }
    [[nodiscard]] std::shared_ptr<RegistryBackend> shared() { return backend_; }
    // A key path under HKCU that belongs to this test (it does not exist yet).
    [[nodiscard]] const std::string& base() const { return base_; }
    // The same store with every key path taken below base(): code that works on fixed paths
    // (the settings key) then never touches the real ones.
    [[nodiscard]] std::shared_ptr<RegistryBackend> rooted();

private:
    // One half per system: opens the backend and names the base key.
    void Open();
    void Close();

    std::shared_ptr<RegistryBackend> backend_;
    std::string base_;
    std::unique_ptr<TempFolder> folder_;
};

}  // namespace vellamark::testsupport
