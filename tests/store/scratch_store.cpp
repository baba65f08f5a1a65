#include "scratch_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <process.h>

#include "store/win32_registry.h"
#else
#include <unistd.h>

#include "store/sqlite_registry.h"
#endif

namespace vellamark::test {
namespace {

std::string UniqueName() {
    static std::atomic<int> counter{0};
    std::random_device random;
#ifdef _WIN32
    const int pid = _getpid();
#else
    const int pid = static_cast<int>(::getpid());
#endif
    return std::to_string(pid) + "-" + std::to_string(counter++) + "-" +
           std::to_string(random() % 1000000);
}

class RootedBackend final : public RegistryBackend {
public:
    RootedBackend(std::shared_ptr<RegistryBackend> inner, std::string base)
        : inner_(std::move(inner)), base_(std::move(base)) {}

    std::int32_t OpenKey(RegistryRoot root, const std::string& path,
                         RegistryHandle& handle) override {
        return inner_->OpenKey(root, Below(path), handle);
    }
    std::int32_t CreateKey(RegistryRoot root, const std::string& path,
                           RegistryHandle& handle) override {
        return inner_->CreateKey(root, Below(path), handle);
    }
    std::int32_t QueryValue(RegistryHandle handle, const std::string& name, std::uint32_t& kind,
                            std::uint8_t* data, std::uint32_t& size) override {
        return inner_->QueryValue(handle, name, kind, data, size);
    }
    std::int32_t SetValue(RegistryHandle handle, const std::string& name, std::uint32_t kind,
                          const std::uint8_t* data, std::uint32_t size) override {
        return inner_->SetValue(handle, name, kind, data, size);
    }
    std::int32_t CloseKey(RegistryHandle handle) override { return inner_->CloseKey(handle); }
    std::int32_t EnumValues(RegistryHandle handle,
                            std::vector<RegistryValueEntry>& values) override {
        return inner_->EnumValues(handle, values);
    }
    std::int32_t DeleteValue(RegistryHandle handle, const std::string& name) override {
        return inner_->DeleteValue(handle, name);
    }
    std::int32_t DeleteKeyTree(RegistryRoot root, const std::string& path) override {
        return inner_->DeleteKeyTree(root, Below(path));
    }

private:
    std::string Below(const std::string& path) const { return base_ + "\\" + path; }

    std::shared_ptr<RegistryBackend> inner_;
    std::string base_;
};

}  // namespace

std::shared_ptr<RegistryBackend> ScratchStore::rooted() {
    return std::make_shared<RootedBackend>(backend_, base_);
}

TempFolder::TempFolder() {
    const auto path = std::filesystem::temp_directory_path() / ("vellamark-store-" + UniqueName());
    std::filesystem::create_directories(path);
    path_ = path.string();
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ScratchStore::ScratchStore() {
#ifdef _WIN32
    backend_ = MakeWin32Registry();
    base_ = "Software\\VellamarkTest\\" + UniqueName();
#else
    const auto path = std::filesystem::temp_directory_path() / ("vellamark-store-" + UniqueName());
    folder_ = path.string();
    auto opening = OpenSqliteRegistry(path / "registry.sqlite3");
    if (!opening.backend) {
        ADD_FAILURE() << "cannot open the scratch store: " << opening.error;
    }
    backend_ = std::move(opening.backend);
    base_ = "Software\\VellamarkTest";
#endif
}

ScratchStore::~ScratchStore() {
#ifdef _WIN32
    (void)backend_->DeleteKeyTree(kHkeyCurrentUser, base_);
#else
    backend_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
#endif
}

}  // namespace vellamark::test
