#include "store/registry_session.h"

#include <utility>

#include "store/user_registry.h"

namespace vellamark {
namespace {

Status Problem(const std::string& problem) {
    return problem.empty() ? Status::Ok() : Status::Fail(problem);
}

}  // namespace

RegistrySession::RegistrySession(std::shared_ptr<RegistryBackend> backend, Status opened)
    : backend_(std::move(backend)), opened_(std::move(opened)) {}

RegistrySession::RegistrySession(Result<UserRegistry> opened) {
    if (!opened) {
        // A store that cannot be opened at all reads as empty and keeps nothing, and says why.
        backend_ = MakeUnavailableRegistry(kErrorRegistryIoFailed);
        opened_ = Status::Fail("The settings cannot be kept: " + opened.error() + ".");
        return;
    }
    backend_ = std::move(opened->backend);
    opened_ = Problem(opened->problem);
    heldAtOpening_ = opened->busy;
}

RegistrySession UseUserRegistry() {
    return RegistrySession(OpenUserRegistry());
}

void RegistrySession::OpenAgainIfHeld() {
    if (heldAtOpening_) {
        // Only a store opened in full takes the held one's place: one still held, or one that
        // failed to open this time, leaves it to the next save to try again.
        auto reopened = OpenUserRegistry();
        if (reopened && !reopened->busy) {
            RegistrySession again(std::move(reopened));
            backend_ = std::move(again.backend_);
            opened_ = std::move(again.opened_);
            heldAtOpening_ = false;
        }
    }
}

}  // namespace vellamark
