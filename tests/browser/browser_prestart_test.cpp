// The browser started ahead of the login, over fake browser processes.
#include "browser/browser_prestart.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <vector>

#include "tests/support/fake_chromium_process.h"

namespace vellamark {
namespace {

using namespace std::chrono_literals;
using testsupport::FakeChromium;

TEST(BrowserPrestartTest, TheBrowserBegunIsTheLoginsUnlessItCannotBe) {
    struct Row {
        const char* name;
        std::function<void(FakeChromium&)> meanwhile;  // to the first browser, before Login
        bool beginFails = false;  // the first start fails (no browser, no profile folder)
        bool begin = true;        // the window was idle long enough to begin one
        bool login = true;        // false: the window closes without a login
        int spawns = 1;           // browsers started in all
    };
    const auto slow = [](FakeChromium& b) {
        b.SetAnswer("Target.createBrowserContext",
                    FakeChromium::Answer(R"({"browserContextId":"C"})").Taking(20s));
    };
    const std::vector<Row> rows = {
        {"ready", [](FakeChromium&) {}},
        {"still starting: Login waits for it", slow},
        {"died while the user typed", [](FakeChromium& b) { b.Exit(); }, false, true, true, 2},
        {"failed to start", [](FakeChromium&) {}, true, true, true, 2},
        {"Login before the window was idle", [](FakeChromium&) {}, false, false},
        {"closed without a login", [](FakeChromium&) {}, false, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::deque<FakeChromium> browsers;
        int spawns = 0;
        {
            BrowserPrestart prestart(
                [&]() -> Result<SpawnedChromium> {
                    if (++spawns == 1 && row.beginFails) {
                        return Status::Fail("no browser");
                    }
                    auto& browser = browsers.emplace_back();
                    if (spawns == 1) {
                        row.meanwhile(browser);
                    }
                    return SpawnedChromium{browser.Process(), "", "chromium", true};
                },
                [](SpawnedChromium spawned, BrowserIdle idle) {
                    return ConnectChromiumDriver(std::move(spawned.process), spawned.profileDir, {},
                                                 std::move(idle));
                });
            if (row.begin) {
                prestart.Begin();
                prestart.Begin();  // one browser per window
            }
            if (row.login) {
                auto driver = prestart.Take({});
                ASSERT_TRUE(driver.ok()) << driver.error();
                EXPECT_EQ(browsers.back().history.front(), "Target.createBrowserContext {}");
                prestart.Begin();  // nothing more once the login has its browser
            }
        }
        EXPECT_EQ(spawns, row.spawns);
        if (!row.login) {
            // Nothing asked of it; our ends of its pipes closed, which its keeper ends it for.
            EXPECT_EQ(browsers.back().history, std::vector<std::string>{"Dropped"});
        }
    }
}

}  // namespace
}  // namespace vellamark
