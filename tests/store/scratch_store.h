#pragma once

#include <memory>
#include <string>

#include "store/registry_backend.h"

namespace vellamark::test {

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
    // The temporary folder (empty under Windows).
    [[nodiscard]] const std::string& folder() const { return folder_; }

private:
    std::shared_ptr<RegistryBackend> backend_;
    std::string base_;
    std::string folder_;
};

// A temporary folder removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace vellamark::test
