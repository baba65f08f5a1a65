#include "browser/browser_prestart.h"

#include <utility>

namespace vellamark {

BrowserPrestart::BrowserPrestart()
    : BrowserPrestart([] { return SpawnChromium({}); }, DriveChromium) {}

BrowserPrestart::BrowserPrestart(Spawner spawn, Driver drive)
    : spawn_(std::move(spawn)), drive_(std::move(drive)) {}

void BrowserPrestart::Begin() {
    if (started_) {
        return;
    }
    started_ = true;
    if (auto spawned = spawn_()) {
        begun_ = std::move(*spawned);
    }
}

BrowserStart BrowserPrestart::Take(BrowserIdle idle) {
    std::optional<SpawnedChromium> begun = std::move(begun_);
    begun_.reset();
    started_ = true;  // one browser per window: none is begun after the login has its own
    // A browser that died while the user typed (closed by a session manager, out of memory) is
    // replaced; one still starting is waited for by the drive itself.
    if (begun && begun->process->Ended().empty()) {
        return drive_(std::move(*begun), std::move(idle));
    }
    begun.reset();
    auto spawned = spawn_();
    if (!spawned) {
        return spawned.status();
    }
    return drive_(std::move(*spawned), std::move(idle));
}

}  // namespace vellamark
