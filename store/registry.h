#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "store/registry_backend.h"

namespace vellamark {

// The tagged value of the registry routines: nothing, text, a 32-bit number, a Boolean or bytes.
// Nothing reads as empty text.
using TaggedValue =
    std::variant<std::monostate, std::string, std::int32_t, bool, std::vector<std::uint8_t>>;

// The text form a stored setting takes: text unchanged, a Boolean "True"/"False", a number in
// decimal, nothing (or bytes) empty text.
[[nodiscard]] std::string TaggedValueText(const TaggedValue& value);

// The registry routines. They never fail: a failure gives false, empty text or no effect, and
// the raw code of the last registry call is kept for LastRegistryResult.
[[nodiscard]] bool RegistryKeyExists(RegistryRoot root, const std::string& keyPath);
[[nodiscard]] TaggedValue ReadRegistryString(RegistryRoot root, const std::string& keyPath,
                                             const std::string& valueName);
void WriteRegistryString(RegistryRoot root, const std::string& keyPath,
                         const std::string& valueName, const TaggedValue& value);
void CreateRegistryKey(RegistryRoot root, const std::string& keyPath);
// Two more in the same manner, for the values the account store keeps beside its lists: the
// names of a key's values (none when it cannot be read), and the removal of one value (a
// missing one is no failure).
[[nodiscard]] std::vector<std::string> RegistryValueNames(RegistryRoot root,
                                                          const std::string& keyPath);
void DeleteRegistryValue(RegistryRoot root, const std::string& keyPath,
                         const std::string& valueName);
[[nodiscard]] std::int32_t LastRegistryResult();

enum class TransactionKind { kRead, kWrite };

// While one is open, the routines' calls are one transaction of the store: a write one takes
// effect at Commit as a whole or not at all, and no other process's transaction runs in between;
// a read one sees the store at one moment. When it cannot begin (another process holds the
// store past `wait`, say), or once a call inside it has failed (a write, in a write one; a read,
// in either), the routines do nothing until it ends: reads give empty text, writes are not made,
// LastRegistryResult and status() say why. A transaction opened inside another joins it, kind
// and all. It lives on one thread, begun and ended there.
class RegistryTransaction {
public:
    RegistryTransaction(RegistryRoot root, const std::string& keyPath, TransactionKind kind,
                        std::chrono::milliseconds wait);
    // Rolls back what was not committed.
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // kErrorSuccess while every call in it went well; otherwise the first error.
    [[nodiscard]] std::int32_t status() const;
    [[nodiscard]] bool ok() const { return status() == kErrorSuccess; }
    // Ends it: commits when every call went well, rolls back otherwise, and gives the outcome.
    // A joined one ends nothing (the outermost does) and gives the status so far.
    [[nodiscard]] std::int32_t Commit();

private:
    bool outermost_ = false;
    bool ended_ = false;
    std::int32_t outcome_ = kErrorSuccess;
};

// What an error code of the store means, in a few words ("the disk is full").
[[nodiscard]] std::string RegistryErrorText(std::int32_t code);

// The backend the routines work on, and what RegistryStoreProblem then says. Until one is set,
// the first call opens this user's store (the SQLite database on Linux, the registry on Windows);
// when another program held it past kStoreLockWait then, the next write transaction (the next
// save) opens it again.
void SetRegistryBackend(std::shared_ptr<RegistryBackend> backend, std::string problem = {});
[[nodiscard]] RegistryBackend& CurrentRegistryBackend();

// Why this user's store could not be opened (the routines then read empty and write nothing), or
// that a damaged store was moved aside and a fresh one started; empty text when all is well.
// Meant for the window to show once; it opens the store when none is set yet.
[[nodiscard]] std::string RegistryStoreProblem();

}  // namespace vellamark
