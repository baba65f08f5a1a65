#pragma once

#include <functional>
#include <optional>

#include "browser/chromium_driver.h"

namespace vellamark {

// A browser started ahead of the login, while the login window waits for the user, so that a
// login only has to make its window, fill the form and post. One per window: Begin starts it
// at most once. One that is never taken ends with this object (its keeper ends it once our
// ends of its pipes close, also when we are killed), and its profile goes with it.
class BrowserPrestart {
public:
    using Spawner = std::function<Result<SpawnedChromium>()>;
    using Driver = std::function<BrowserStart(SpawnedChromium, BrowserIdle)>;

    // By default the user's browser, as StartChromium finds and drives it.
    BrowserPrestart();
    BrowserPrestart(Spawner spawn, Driver drive);
    BrowserPrestart(const BrowserPrestart&) = delete;
    BrowserPrestart& operator=(const BrowserPrestart&) = delete;

    // Starts the browser without waiting for it; a browser that cannot be started is left to
    // the login, which starts one itself and says why it failed.
    void Begin();
    // The browser for a login, its window made: the one begun, waited for if it is still
    // starting; a new one when none was begun or it has ended meanwhile.
    [[nodiscard]] BrowserStart Take(BrowserIdle idle);

private:
    Spawner spawn_;
    Driver drive_;
    std::optional<SpawnedChromium> begun_;
    bool started_ = false;
};

}  // namespace vellamark
