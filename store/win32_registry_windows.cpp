#include <windows.h>

#include <mutex>
#include <set>

#include "platform/text.h"
#include "store/win32_registry.h"

namespace vellamark {
namespace {

// A C string in the ANSI code page.
std::string Ansi(const std::string& utf8) {
    return ToAnsi(std::string(utf8.c_str()));
}

std::string Utf8(const char* ansi, std::size_t size) {
    return FromAnsi(std::string_view(ansi, size));
}

// Predefined keys are 32-bit values sign-extended into a handle.
HKEY RootHandle(RegistryRoot root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

HKEY KeyHandle(RegistryHandle handle) {
    return reinterpret_cast<HKEY>(handle);
}

class Win32Registry final : public RegistryBackend {
public:
    Win32Registry() = default;
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;
    // Keys a caller left open are closed with the backend.
    ~Win32Registry() override {
        for (const auto handle : open_) {
            RegCloseKey(KeyHandle(handle));
        }
    }

    std::int32_t OpenKey(RegistryRoot root, const std::string& path,
                         RegistryHandle& handle) override {
        HKEY key = nullptr;
        const LONG rc = RegOpenKeyA(RootHandle(root), Ansi(path).c_str(), &key);
        handle = rc == ERROR_SUCCESS ? Track(key) : 0;
        return rc;
    }

    std::int32_t CreateKey(RegistryRoot root, const std::string& path,
                           RegistryHandle& handle) override {
        HKEY key = nullptr;
        const LONG rc = RegCreateKeyA(RootHandle(root), Ansi(path).c_str(), &key);
        handle = rc == ERROR_SUCCESS ? Track(key) : 0;
        return rc;
    }

    std::int32_t QueryValue(RegistryHandle handle, const std::string& name, std::uint32_t& kind,
                            std::uint8_t* data, std::uint32_t& size) override {
        DWORD type = kind;
        DWORD bytes = size;
        const LONG rc =
            RegQueryValueExA(KeyHandle(handle), Ansi(name).c_str(), nullptr, &type, data, &bytes);
        if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
            kind = type;
            size = bytes;
        }
        return rc;
    }

    std::int32_t SetValue(RegistryHandle handle, const std::string& name, std::uint32_t kind,
                          const std::uint8_t* data, std::uint32_t size) override {
        return RegSetValueExA(KeyHandle(handle), Ansi(name).c_str(), 0, kind, data, size);
    }

    std::int32_t CloseKey(RegistryHandle handle) override {
        {
            std::lock_guard lock(mutex_);
            open_.erase(handle);
        }
        return RegCloseKey(KeyHandle(handle));
    }

    std::int32_t EnumValues(RegistryHandle handle,
                            std::vector<RegistryValueEntry>& values) override {
        values.clear();
        DWORD count = 0;
        DWORD longestName = 0;
        DWORD longestData = 0;
        LONG rc = RegQueryInfoKeyA(KeyHandle(handle), nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, &count, &longestName, &longestData, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        for (DWORD index = 0; index < count; ++index) {
            // The ANSI name may take more bytes than the counted characters.
            std::string name(longestName * 2 + 2, '\0');
            std::vector<std::uint8_t> data(longestData + 2);
            DWORD nameSize = static_cast<DWORD>(name.size());
            DWORD dataSize = static_cast<DWORD>(data.size());
            DWORD type = 0;
            rc = RegEnumValueA(KeyHandle(handle), index, name.data(), &nameSize, nullptr, &type,
                               data.data(), &dataSize);
            if (rc == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (rc != ERROR_SUCCESS) {
                return rc;
            }
            data.resize(dataSize);
            values.push_back({Utf8(name.data(), nameSize), type, std::move(data)});
        }
        return ERROR_SUCCESS;
    }

    std::int32_t DeleteValue(RegistryHandle handle, const std::string& name) override {
        return RegDeleteValueA(KeyHandle(handle), Ansi(name).c_str());
    }

    std::int32_t DeleteKeyTree(RegistryRoot root, const std::string& path) override {
        std::string ansiPath = Ansi(path);
        if (!ansiPath.empty() && ansiPath.back() == '\\') {
            ansiPath.pop_back();
        }
        // Never the root itself.
        if (ansiPath.empty()) {
            return ERROR_ACCESS_DENIED;
        }
        return RegDeleteTreeA(RootHandle(root), ansiPath.c_str());
    }

private:
    RegistryHandle Track(HKEY key) {
        const auto handle = reinterpret_cast<RegistryHandle>(key);
        std::lock_guard lock(mutex_);
        open_.insert(handle);
        return handle;
    }

    std::mutex mutex_;
    std::set<RegistryHandle> open_;
};

}  // namespace

std::unique_ptr<RegistryBackend> MakeWin32Registry() {
    return std::make_unique<Win32Registry>();
}

}  // namespace vellamark
