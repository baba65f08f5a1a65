#include "tests/support/scratch_store.h"

#include "cipher/blowfish.h"
#include "store/key_text.h"
#include "store/stored_settings.h"

namespace vellamark::testsupport {
namespace {

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
    std::int32_t BeginTransaction(RegistryRoot root, const std::string& path, bool write,
                                  std::chrono::milliseconds wait) override {
        return inner_->BeginTransaction(root, Below(path), write, wait);
    }
    std::int32_t CommitTransaction() override { return inner_->CommitTransaction(); }
    std::int32_t RollbackTransaction() override { return inner_->RollbackTransaction(); }
    std::int32_t EnumValues(RegistryHandle handle,
                            std::vector<RegistryValueEntry>& values) override {
        return inner_->EnumValues(handle, values);
    }
    std::int32_t EnumSubkeys(RegistryHandle handle, std::vector<std::string>& names) override {
        return inner_->EnumSubkeys(handle, names);
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

std::shared_ptr<RegistryBackend> ScratchStore::another() {
    return std::make_shared<RootedBackend>(OpenAnother(), base_);
}

std::string ScratchStore::file() const {
    return folder_ ? (folder_->path() / "registry.sqlite3").string() : std::string();
}

void ScratchStore::StoreLists(const PlainLists& plain, const std::string& keyText) {
    BlowfishState key;
    (void)InitialiseKey(key, StoreKeyFromText(keyText));
    WriteRegistryString(kSettingsRoot, kSettingsKey, kUsernameValue,
                        EncodeStoredList(key, plain.usernameList));
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPasswordValue,
                        EncodeStoredList(key, plain.passwordList));
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPinValue,
                        EncodeStoredList(key, plain.pinList));
}

ScratchStore::ScratchStore() {
    Open();
    session_ = std::make_unique<RegistrySession>(rooted());
    inUse_ = std::make_unique<RegistryInUse>(*session_);
}

ScratchStore::~ScratchStore() {
    inUse_.reset();
    session_.reset();
    Close();
}

}  // namespace vellamark::testsupport
