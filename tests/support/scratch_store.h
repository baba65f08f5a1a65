#pragma once

#include <memory>
#include <string>

#include "store/list_codec.h"
#include "store/registry.h"
#include "store/registry_backend.h"
#include "store/registry_session.h"
#include "tests/support/fake_key_source.h"
#include "tests/support/temp_folder.h"

namespace vellamark::testsupport {

// A store of this test's own: a fresh SQLite database in a temporary folder natively; under
// Windows (wine) the registry itself, with a scratch key under HKCU that is deleted afterwards.
// While it lives, the registry routines work on it, every key path taken below base().
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
    // The session the routines work on, rooted like rooted(): the one to hand an account store.
    [[nodiscard]] RegistrySession& session() { return *session_; }
    // Stores the three plain lists as a launcher keyed by keyText saves them (and, as older
    // launchers, nothing beside them), for a test to start from.
    void StoreLists(const PlainLists& plain, const std::string& keyText = FakeKeySource::kFirst);

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
    std::unique_ptr<RegistrySession> session_;
    std::unique_ptr<RegistryInUse> inUse_;
};

}  // namespace vellamark::testsupport
