#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vellamark {

// A predefined root key, as the registry numbers them.
using RegistryRoot = std::uint32_t;
inline constexpr RegistryRoot kHkeyCurrentUser = 0x80000001u;

// An open key; 0 is "no key".
using RegistryHandle = std::uintptr_t;

// Value kinds, numbered as the registry numbers them.
enum RegistryKind : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegDwordBigEndian = 5,
    kRegLink = 6,
    kRegMultiSz = 7,
    kRegQword = 11,
};

// Windows error codes, which every backend reports so that a result means the same everywhere.
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorWriteProtect = 19;
inline constexpr std::int32_t kErrorInvalidParameter = 87;
inline constexpr std::int32_t kErrorDiskFull = 112;
inline constexpr std::int32_t kErrorBusy = 170;
inline constexpr std::int32_t kErrorBadPathname = 161;
inline constexpr std::int32_t kErrorMoreData = 234;
inline constexpr std::int32_t kErrorBadDatabase = 1009;       // ERROR_BADDB
inline constexpr std::int32_t kErrorRegistryIoFailed = 1016;  // ERROR_REGISTRY_IO_FAILED
inline constexpr std::int32_t kErrorKeyDeleted = 1018;        // ERROR_KEY_DELETED

// How long the window waits for the store when another program (another launcher, or
// vellamark-reg) holds it, at opening and at each transaction: long enough for another
// launcher's save, short enough that the window is never frozen for more than a moment. The
// wait ends in a message, never in a hang.
inline constexpr std::chrono::milliseconds kStoreLockWait{3000};

// How a store is opened: for reading and writing, or (vellamark-reg's query) for reading only,
// creating, changing and moving nothing.
enum class StoreAccess { kReadWrite, kReadOnly };

// One stored value as a backend enumerates it (for vellamark-reg).
struct RegistryValueEntry {
    std::string name;
    std::uint32_t kind = kRegNone;
    std::vector<std::uint8_t> data;
};

// The five registry operations the routines are built on, with the effects they rely on, plus
// the few that the vellamark-reg tool needs. Names and text are UTF-8 on every platform; a
// backend converts at its own boundary. Every call returns a Windows error code.
class RegistryBackend {
public:
    virtual ~RegistryBackend() = default;

    // Sets handle to a non-zero value exactly when the key exists and could be opened.
    virtual std::int32_t OpenKey(RegistryRoot root, const std::string& path,
                                 RegistryHandle& handle) = 0;
    // Opens the key, creating it and every missing key above it.
    virtual std::int32_t CreateKey(RegistryRoot root, const std::string& path,
                                   RegistryHandle& handle) = 0;
    // With data == nullptr: reports kind and size in bytes. With a buffer of size bytes: fills
    // it. A missing value returns an error and leaves kind untouched.
    virtual std::int32_t QueryValue(RegistryHandle handle, const std::string& name,
                                    std::uint32_t& kind, std::uint8_t* data,
                                    std::uint32_t& size) = 0;
    // Creates or replaces the value with exactly these bytes.
    virtual std::int32_t SetValue(RegistryHandle handle, const std::string& name,
                                  std::uint32_t kind, const std::uint8_t* data,
                                  std::uint32_t size) = 0;
    virtual std::int32_t CloseKey(RegistryHandle handle) = 0;

    // One transaction over the values of the key at path: the calls made until CommitTransaction
    // take effect together, or, after RollbackTransaction (or when the process dies first), not
    // at all; and no other process's transaction on the store runs in between. write: the
    // transaction changes values (a read one only sees them all at one moment). Waits at most
    // `wait` for another process's transaction to end, then fails with kErrorBusy. One at a
    // time, begun and ended on one thread.
    virtual std::int32_t BeginTransaction(RegistryRoot root, const std::string& path, bool write,
                                          std::chrono::milliseconds wait) = 0;
    // Fails (having rolled back) when the changes cannot be made durable.
    virtual std::int32_t CommitTransaction() = 0;
    virtual std::int32_t RollbackTransaction() = 0;

    // For vellamark-reg.
    virtual std::int32_t EnumValues(RegistryHandle handle,
                                    std::vector<RegistryValueEntry>& values) = 0;
    // The names of the key's subkeys, in the registry's order (by name, ignoring case).
    virtual std::int32_t EnumSubkeys(RegistryHandle handle, std::vector<std::string>& names) = 0;
    virtual std::int32_t DeleteValue(RegistryHandle handle, const std::string& name) = 0;
    // Deletes the key with everything below it.
    virtual std::int32_t DeleteKeyTree(RegistryRoot root, const std::string& path) = 0;
};

}  // namespace vellamark
