#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/result.h"
#include "store/registry_backend.h"

namespace vellamark {

// The tagged value of the registry routines: nothing, text, a 32-bit number, a Boolean or bytes.
// Nothing reads as empty text.
using TaggedValue =
    std::variant<std::monostate, std::string, std::int32_t, bool, std::vector<std::uint8_t>>;

// The text form a stored setting takes: text unchanged, a Boolean "True"/"False", a number in
// decimal, nothing (or bytes) empty text.
[[nodiscard]] std::string TaggedValueText(const TaggedValue& value);

// The registry routines, on the store in use (RegistryInUse below). They never fail: a failure
// gives false, empty text or no effect, and the raw code of the last registry call is kept for
// LastRegistryResult.
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

class RegistrySession;
class RegistryTransaction;

// Which store the registry routines work on: while one of these lives, that session's; when it
// ends, the one before again. With none, the routines have no store at all: reads give empty
// text and writes have no effect, as over a registry that cannot be opened. The program's own
// store is in use only inside its transactions; a test's scratch store while the test runs.
class RegistryInUse {
public:
    explicit RegistryInUse(RegistrySession& session);
    ~RegistryInUse();
    RegistryInUse(const RegistryInUse&) = delete;
    RegistryInUse& operator=(const RegistryInUse&) = delete;

private:
    friend struct RegistryCalls;
    friend class RegistryTransaction;

    RegistrySession& session_;
    // The transaction the routines' calls belong to, while one is open here.
    RegistryTransaction* transaction_ = nullptr;
    RegistryInUse* previous_;
};

// While one is open, the routines' calls are one transaction of its session's store: a write one
// takes effect at Commit as a whole or not at all, and no other process's transaction runs in
// between; a read one sees the store at one moment. When it cannot begin (another process holds
// the store past `wait`, say), or once a call inside it has failed (a write, in a write one; a
// read, in either), the routines do nothing until it ends: reads give empty text, writes are not
// made, LastRegistryResult and status() say why. A transaction opened inside another of the same
// session joins it, kind and all. It lives on one thread, begun and ended there.
class RegistryTransaction {
public:
    RegistryTransaction(RegistrySession& session, RegistryRoot root, const std::string& keyPath,
                        TransactionKind kind, std::chrono::milliseconds wait);
    // Rolls back what was not committed.
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // Done while every call in it went well; otherwise why not, in a few words for a message
    // ("the disk is full", or that another program held the store past the wait).
    [[nodiscard]] Status status() const;
    [[nodiscard]] bool ok() const { return Outcome() == kErrorSuccess; }
    // Ends it: commits when every call went well, rolls back otherwise, and gives the outcome.
    // A joined one ends nothing (the outermost does) and gives the status so far.
    [[nodiscard]] Status Commit();

private:
    friend struct RegistryCalls;

    [[nodiscard]] std::int32_t Outcome() const;
    void End();

    RegistrySession& session_;
    std::chrono::milliseconds wait_;
    // The transaction this one joined; it ends nothing of its own.
    RegistryTransaction* joined_ = nullptr;
    bool write_ = false;
    bool begun_ = false;
    bool ended_ = false;
    // The first error of a call in it (of the beginning, of a call, or of the commit).
    std::int32_t code_ = kErrorSuccess;
    RegistryInUse inUse_;
};

// What an error code of the store means, in a few words ("the disk is full").
[[nodiscard]] std::string RegistryErrorText(std::int32_t code);

}  // namespace vellamark
