#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/owned_handle_windows.h"
#include "platform/text.h"
#include "store/win32_registry.h"

namespace vellamark {
namespace {

// Transactions. The registry of Windows has transactions of its own (RegCreateKeyTransacted and
// the kernel transaction manager), but Microsoft advises against building on them and wine only
// has stubs (ERROR_CALL_NOT_IMPLEMENTED). So a transaction here is:
//  - a named mutex, held from begin to end, so the launchers' transactions run one at a time;
//  - for a write transaction, an undo journal: before the first change to a value of the
//    transaction's key, its old value (or that it had none) goes into the subkey
//    kJournalKey\Old (or \Absent) of that key, whose value kJournalMarker says the journal is
//    live. Commit deletes the marker (one registry write, the moment the transaction takes
//    effect) and then the journal. Rollback, or the next transaction after a process died in the
//    middle, writes the old values back. A reader inside a transaction never sees half a save.
constexpr char kJournalKey[] = "VellamarkSaveJournal";
constexpr char kJournalMarker[] = "Incomplete";

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

std::string WithoutClosingBackslash(std::string path) {
    if (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

bool SameName(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// An open key, closed on scope exit.
class Key {
public:
    Key() = default;
    ~Key() { Reset(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    [[nodiscard]] HKEY Get() const { return key_; }
    HKEY* Out() {
        Reset();
        return &key_;
    }
    void Reset() {
        if (key_ != nullptr) {
            ::RegCloseKey(key_);
            key_ = nullptr;
        }
    }

private:
    HKEY key_ = nullptr;
};

// Every value of a key, with names in the ANSI code page, as the ...A calls give them.
LONG EnumAnsiValues(HKEY key, std::vector<RegistryValueEntry>& values) {
    values.clear();
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    LONG rc = ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                 &longestName, &longestData, nullptr, nullptr);
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
        rc = ::RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type, data.data(),
                             &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        name.resize(nameSize);
        data.resize(dataSize);
        values.push_back({std::move(name), type, std::move(data)});
    }
    return ERROR_SUCCESS;
}

class Win32Registry final : public RegistryBackend {
public:
    explicit Win32Registry(std::string lockName) : lockName_(std::move(lockName)) {}
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;
    // A transaction left open is rolled back; keys a caller left open are closed.
    ~Win32Registry() override {
        if (inTransaction_) {
            (void)RollbackTransaction();
        }
        for (const auto& [handle, path] : open_) {
            ::RegCloseKey(KeyHandle(handle));
        }
    }

    std::int32_t OpenKey(RegistryRoot root, const std::string& path,
                         RegistryHandle& handle) override {
        HKEY key = nullptr;
        const std::string ansiPath = Ansi(path);
        const LONG rc = ::RegOpenKeyA(RootHandle(root), ansiPath.c_str(), &key);
        handle = rc == ERROR_SUCCESS ? Track(key, root, ansiPath) : 0;
        return rc;
    }

    std::int32_t CreateKey(RegistryRoot root, const std::string& path,
                           RegistryHandle& handle) override {
        HKEY key = nullptr;
        const std::string ansiPath = Ansi(path);
        const LONG rc = ::RegCreateKeyA(RootHandle(root), ansiPath.c_str(), &key);
        handle = rc == ERROR_SUCCESS ? Track(key, root, ansiPath) : 0;
        return rc;
    }

    std::int32_t QueryValue(RegistryHandle handle, const std::string& name, std::uint32_t& kind,
                            std::uint8_t* data, std::uint32_t& size) override {
        DWORD type = kind;
        DWORD bytes = size;
        const LONG rc =
            ::RegQueryValueExA(KeyHandle(handle), Ansi(name).c_str(), nullptr, &type, data, &bytes);
        if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
            kind = type;
            size = bytes;
        }
        return rc;
    }

    std::int32_t SetValue(RegistryHandle handle, const std::string& name, std::uint32_t kind,
                          const std::uint8_t* data, std::uint32_t size) override {
        const std::string ansiName = Ansi(name);
        if (const LONG rc = JournalBefore(handle, ansiName); rc != ERROR_SUCCESS) {
            return rc;
        }
        return ::RegSetValueExA(KeyHandle(handle), ansiName.c_str(), 0, kind, data, size);
    }

    std::int32_t CloseKey(RegistryHandle handle) override {
        {
            std::lock_guard lock(mutex_);
            open_.erase(handle);
        }
        return ::RegCloseKey(KeyHandle(handle));
    }

    std::int32_t BeginTransaction(RegistryRoot root, const std::string& path, bool write,
                                  std::chrono::milliseconds wait) override {
        if (inTransaction_) {
            return ERROR_INVALID_PARAMETER;
        }
        if (!lock_.Valid()) {
            lock_.Reset(::CreateMutexW(nullptr, FALSE, WideFromUtf8(lockName_).c_str()));
            if (!lock_.Valid()) {
                return static_cast<std::int32_t>(::GetLastError());
            }
        }
        // WAIT_ABANDONED: a launcher ended while it held the lock; its journal is undone below.
        switch (::WaitForSingleObject(lock_.Get(), static_cast<DWORD>(wait.count()))) {
            case WAIT_OBJECT_0:
            case WAIT_ABANDONED:
                break;
            case WAIT_TIMEOUT:
                return kErrorBusy;
            default:
                return static_cast<std::int32_t>(::GetLastError());
        }
        root_ = root;
        path_ = WithoutClosingBackslash(Ansi(path));
        journalPath_ = path_ + "\\" + kJournalKey;
        write_ = write;
        inTransaction_ = true;
        if (const LONG rc = Recover(); rc != ERROR_SUCCESS) {
            EndTransaction();
            return rc;
        }
        return ERROR_SUCCESS;
    }

    std::int32_t CommitTransaction() override {
        if (!inTransaction_) {
            return ERROR_INVALID_PARAMETER;
        }
        LONG rc = ERROR_SUCCESS;
        if (journal_.Get() != nullptr) {
            rc = ::RegDeleteValueA(journal_.Get(), kJournalMarker);
            if (rc != ERROR_SUCCESS) {
                // Not committed: undone now, or (should that fail too) by the next transaction.
                (void)Undo();
            } else {
                // A journal without its marker is only cleared away, here or by the next one.
                CloseJournal();
                (void)::RegDeleteTreeA(RootHandle(root_), journalPath_.c_str());
            }
        }
        EndTransaction();
        return rc;
    }

    std::int32_t RollbackTransaction() override {
        if (!inTransaction_) {
            return ERROR_INVALID_PARAMETER;
        }
        // Should the undo fail, the journal keeps its marker and the next transaction tries again.
        const LONG rc = journal_.Get() != nullptr ? Undo() : ERROR_SUCCESS;
        EndTransaction();
        return rc;
    }

    std::int32_t EnumValues(RegistryHandle handle,
                            std::vector<RegistryValueEntry>& values) override {
        const LONG rc = EnumAnsiValues(KeyHandle(handle), values);
        for (auto& value : values) {
            value.name = Utf8(value.name.data(), value.name.size());
        }
        return rc;
    }

    std::int32_t EnumSubkeys(RegistryHandle handle, std::vector<std::string>& names) override {
        names.clear();
        DWORD count = 0;
        DWORD longest = 0;
        LONG rc = ::RegQueryInfoKeyA(KeyHandle(handle), nullptr, nullptr, nullptr, &count, &longest,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        for (DWORD index = 0; index < count; ++index) {
            std::string name(longest * 2 + 2, '\0');
            DWORD size = static_cast<DWORD>(name.size());
            rc = ::RegEnumKeyExA(KeyHandle(handle), index, name.data(), &size, nullptr, nullptr,
                                 nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (rc != ERROR_SUCCESS) {
                return rc;
            }
            names.push_back(Utf8(name.data(), size));
        }
        return ERROR_SUCCESS;
    }

    std::int32_t DeleteValue(RegistryHandle handle, const std::string& name) override {
        const std::string ansiName = Ansi(name);
        if (const LONG rc = JournalBefore(handle, ansiName); rc != ERROR_SUCCESS) {
            return rc;
        }
        return ::RegDeleteValueA(KeyHandle(handle), ansiName.c_str());
    }

    std::int32_t DeleteKeyTree(RegistryRoot root, const std::string& path) override {
        const std::string ansiPath = WithoutClosingBackslash(Ansi(path));
        // Never the root itself.
        if (ansiPath.empty()) {
            return ERROR_ACCESS_DENIED;
        }
        return ::RegDeleteTreeA(RootHandle(root), ansiPath.c_str());
    }

private:
    struct OpenedKey {
        RegistryRoot root;
        std::string path;
    };

    RegistryHandle Track(HKEY key, RegistryRoot root, const std::string& ansiPath) {
        const auto handle = reinterpret_cast<RegistryHandle>(key);
        std::lock_guard lock(mutex_);
        open_[handle] = {root, WithoutClosingBackslash(ansiPath)};
        return handle;
    }

    // Before a write transaction changes a value of its key for the first time, the journal
    // takes the value's old state. Changes to other keys, and outside write transactions, pass.
    LONG JournalBefore(RegistryHandle handle, const std::string& ansiName) {
        if (!inTransaction_ || !write_) {
            return ERROR_SUCCESS;
        }
        {
            std::lock_guard lock(mutex_);
            const auto found = open_.find(handle);
            if (found == open_.end() || found->second.root != root_ ||
                !SameName(found->second.path, path_)) {
                return ERROR_SUCCESS;
            }
        }
        for (const auto& done : journaled_) {
            if (SameName(done, ansiName)) {
                return ERROR_SUCCESS;
            }
        }
        if (journal_.Get() == nullptr) {
            if (const LONG rc = OpenJournal(); rc != ERROR_SUCCESS) {
                return rc;
            }
        }
        const HKEY key = KeyHandle(handle);
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = ::RegQueryValueExA(key, ansiName.c_str(), nullptr, &type, nullptr, &size);
        if (rc == ERROR_FILE_NOT_FOUND) {
            rc = ::RegSetValueExA(absent_.Get(), ansiName.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(""), 1);
        } else if (rc == ERROR_SUCCESS) {
            std::vector<BYTE> old(size + 2);
            DWORD filled = size;
            rc = ::RegQueryValueExA(key, ansiName.c_str(), nullptr, &type, old.data(), &filled);
            if (rc == ERROR_SUCCESS) {
                rc = ::RegSetValueExA(old_.Get(), ansiName.c_str(), 0, type, old.data(), filled);
            }
        }
        if (rc == ERROR_SUCCESS) {
            journaled_.push_back(ansiName);
        }
        return rc;
    }

    // The journal, live: its two lists first, its marker last.
    LONG OpenJournal() {
        const HKEY root = RootHandle(root_);
        LONG rc = ::RegCreateKeyA(root, journalPath_.c_str(), journal_.Out());
        if (rc == ERROR_SUCCESS) {
            rc = ::RegCreateKeyA(journal_.Get(), "Old", old_.Out());
        }
        if (rc == ERROR_SUCCESS) {
            rc = ::RegCreateKeyA(journal_.Get(), "Absent", absent_.Out());
        }
        if (rc == ERROR_SUCCESS) {
            rc = ::RegSetValueExA(journal_.Get(), kJournalMarker, 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>("1"), 2);
        }
        if (rc != ERROR_SUCCESS) {
            CloseJournal();
            (void)::RegDeleteTreeA(root, journalPath_.c_str());
        }
        return rc;
    }

    void CloseJournal() {
        absent_.Reset();
        old_.Reset();
        journal_.Reset();
        journaled_.clear();
    }

    // A journal left by a transaction that never ended: undone when it is still live, cleared
    // away when its commit had already happened.
    LONG Recover() {
        LONG rc = ::RegOpenKeyA(RootHandle(root_), journalPath_.c_str(), journal_.Out());
        if (rc == ERROR_FILE_NOT_FOUND) {
            return ERROR_SUCCESS;
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (::RegQueryValueExA(journal_.Get(), kJournalMarker, nullptr, nullptr, nullptr,
                               nullptr) == ERROR_SUCCESS) {
            (void)::RegOpenKeyA(journal_.Get(), "Old", old_.Out());
            (void)::RegOpenKeyA(journal_.Get(), "Absent", absent_.Out());
            return Undo();
        }
        CloseJournal();
        (void)::RegDeleteTreeA(RootHandle(root_), journalPath_.c_str());
        return ERROR_SUCCESS;
    }

    // Writes the journal's old values back and clears the journal away.
    LONG Undo() {
        Key target;
        LONG rc = ::RegCreateKeyA(RootHandle(root_), path_.c_str(), target.Out());
        std::vector<RegistryValueEntry> entries;
        if (rc == ERROR_SUCCESS && old_.Get() != nullptr) {
            rc = EnumAnsiValues(old_.Get(), entries);
            for (std::size_t i = 0; rc == ERROR_SUCCESS && i < entries.size(); ++i) {
                const auto& entry = entries[i];
                rc = ::RegSetValueExA(target.Get(), entry.name.c_str(), 0, entry.kind,
                                      entry.data.data(), static_cast<DWORD>(entry.data.size()));
            }
        }
        if (rc == ERROR_SUCCESS && absent_.Get() != nullptr) {
            rc = EnumAnsiValues(absent_.Get(), entries);
            for (std::size_t i = 0; rc == ERROR_SUCCESS && i < entries.size(); ++i) {
                const LONG removed = ::RegDeleteValueA(target.Get(), entries[i].name.c_str());
                rc = removed == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : removed;
            }
        }
        if (rc == ERROR_SUCCESS) {
            rc = ::RegDeleteValueA(journal_.Get(), kJournalMarker);
        }
        CloseJournal();
        if (rc == ERROR_SUCCESS) {
            (void)::RegDeleteTreeA(RootHandle(root_), journalPath_.c_str());
        }
        return rc;
    }

    void EndTransaction() {
        CloseJournal();
        inTransaction_ = false;
        ::ReleaseMutex(lock_.Get());
    }

    std::string lockName_;
    OwnedHandle lock_;
    bool inTransaction_ = false;
    bool write_ = false;
    RegistryRoot root_ = kHkeyCurrentUser;
    std::string path_;         // the transaction's key, ANSI
    std::string journalPath_;  // its journal
    Key journal_;
    Key old_;
    Key absent_;
    std::vector<std::string> journaled_;  // value names whose old state the journal holds

    std::mutex mutex_;
    std::map<RegistryHandle, OpenedKey> open_;
};

}  // namespace

std::unique_ptr<RegistryBackend> MakeWin32Registry(std::string lockName) {
    return std::make_unique<Win32Registry>(std::move(lockName));
}

}  // namespace vellamark
