#include "store/user_registry.h"

namespace vellamark {
namespace {

class UnavailableRegistry final : public RegistryBackend {
public:
    UnavailableRegistry(std::int32_t code, std::int32_t writeCode)
        : code_(code), writeCode_(writeCode) {}

    std::int32_t OpenKey(RegistryRoot, const std::string&, RegistryHandle& handle) override {
        handle = 0;
        return code_;
    }
    std::int32_t CreateKey(RegistryRoot, const std::string&, RegistryHandle& handle) override {
        handle = 0;
        return writeCode_;
    }
    std::int32_t QueryValue(RegistryHandle, const std::string&, std::uint32_t&, std::uint8_t*,
                            std::uint32_t&) override {
        return kErrorInvalidHandle;
    }
    std::int32_t SetValue(RegistryHandle, const std::string&, std::uint32_t, const std::uint8_t*,
                          std::uint32_t) override {
        return kErrorInvalidHandle;
    }
    std::int32_t CloseKey(RegistryHandle) override { return kErrorInvalidHandle; }
    std::int32_t BeginTransaction(RegistryRoot, const std::string&, bool write,
                                  std::chrono::milliseconds) override {
        return write ? writeCode_ : code_;
    }
    std::int32_t CommitTransaction() override { return code_; }
    std::int32_t RollbackTransaction() override { return code_; }
    std::int32_t EnumValues(RegistryHandle, std::vector<RegistryValueEntry>& values) override {
        values.clear();
        return kErrorInvalidHandle;
    }
    std::int32_t EnumSubkeys(RegistryHandle, std::vector<std::string>& names) override {
        names.clear();
        return kErrorInvalidHandle;
    }
    std::int32_t DeleteValue(RegistryHandle, const std::string&) override {
        return kErrorInvalidHandle;
    }
    std::int32_t DeleteKeyTree(RegistryRoot, const std::string&) override { return writeCode_; }

private:
    std::int32_t code_;
    std::int32_t writeCode_;
};

}  // namespace

std::shared_ptr<RegistryBackend> MakeUnavailableRegistry(std::int32_t code,
                                                         std::optional<std::int32_t> writeCode) {
    return std::make_shared<UnavailableRegistry>(code, writeCode.value_or(code));
}

}  // namespace vellamark
