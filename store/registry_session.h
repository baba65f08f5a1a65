#pragma once

#include <memory>

#include "platform/result.h"
#include "store/registry_backend.h"
#include "store/user_registry.h"

namespace vellamark {

// A store the registry routines work on, and what opening it said. The program opens this
// user's (UseUserRegistry) once, where it is composed, and hands it to the account store; a test
// makes one over its scratch store. Nothing opens a store on its own.
class RegistrySession {
public:
    // A store opened already (a test's, another launcher's); opened says what opening it said.
    explicit RegistrySession(std::shared_ptr<RegistryBackend> backend,
                             Status opened = Status::Ok());
    RegistrySession(const RegistrySession&) = delete;
    RegistrySession& operator=(const RegistrySession&) = delete;

    // Why this user's store could not be opened (the routines then read empty and write
    // nothing), or that a damaged store was moved aside and a fresh one started: for the window
    // to tell once. Done when all is well.
    [[nodiscard]] const Status& Opened() const { return opened_; }
    [[nodiscard]] RegistryBackend& backend() { return *backend_; }

private:
    friend RegistrySession UseUserRegistry();
    friend class RegistryTransaction;

    explicit RegistrySession(Result<UserRegistry> opened);
    // This user's store was held by another program when it was opened: a write transaction
    // opens it again first.
    void OpenAgainIfHeld();

    std::shared_ptr<RegistryBackend> backend_;
    Status opened_ = Status::Ok();
    bool heldAtOpening_ = false;
};

// This user's store: the SQLite database on Linux, the registry on Windows. When another program
// held it past kStoreLockWait, the routines find it busy until the next write transaction (the
// next save) opens it again.
[[nodiscard]] RegistrySession UseUserRegistry();

}  // namespace vellamark
