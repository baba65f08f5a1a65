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
    // The same store as another process would open it (another launcher): a connection of its
    // own natively, a registry backend with its own handle on the same lock under Windows;
    // rooted like rooted().
    [[nodiscard]] std::shared_ptr<RegistryBackend> another();
    // The database file natively; empty under Windows.
    [[nodiscard]] std::string file() const;

    // Another program holding the whole store, against reading and writing, until the object
    // returned goes: a connection in an exclusive transaction natively, another launcher's
    // transaction (its lock) under Windows.
    class Hold {
    public:
        virtual ~Hold() = default;
    };
    [[nodiscard]] std::unique_ptr<Hold> HoldWholeStore();

private:
    // One half per system: opens the backend and names the base key; opens another one.
    void Open();
    void Close();
    [[nodiscard]] std::shared_ptr<RegistryBackend> OpenAnother();

    std::shared_ptr<RegistryBackend> backend_;
    std::string base_;
    std::string lockName_;
    std::unique_ptr<TempFolder> folder_;
};

}  // namespace vellamark::testsupport
