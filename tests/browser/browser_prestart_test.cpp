// The browser started ahead of the login, over fake browser processes.
#include "browser/browser_prestart.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
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
        bool beginFails;    // the first start fails (no browser, no profile folder)
        bool begin = true;  // the window was idle long enough to begin one
        int spawns;         // browsers started in all
    };
    const std::vector<Row> rows = {
        {"ready", [](FakeChromium&) {}, false, true, 1},
        {"still starting: Login waits for it",
         [](FakeChromium& b) {
             b.SetAnswer("Target.createBrowserContext",
                         FakeChromium::Answer(R"({"browserContextId":"C"})").Taking(20s));
         },
         false, true, 1},
        {"died while the user typed", [](FakeChromium& b) { b.Exit(); }, false, true, 2},
        {"failed to start", [](FakeChromium&) {}, true, true, 2},
        {"Login before the window was idle", [](FakeChromium&) {}, false, false, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::deque<FakeChromium> browsers;
        int spawns = 0;
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
        auto driver = prestart.Take({});
        ASSERT_TRUE(driver.ok()) << driver.error();
        EXPECT_EQ(spawns, row.spawns);
        EXPECT_EQ(browsers.back().history.front(), "Target.createBrowserContext {}");
        prestart.Begin();  // nothing more once the login has its browser
        EXPECT_EQ(spawns, row.spawns);
    }
}

TEST(BrowserPrestartTest, AnUntakenBrowserIsLetGoWithTheWindow) {
    FakeChromium browser;
    {
        BrowserPrestart prestart(
            [&]() -> Result<SpawnedChromium> {
                return SpawnedChromium{browser.Process(), "", "chromium", true};
            },
            DriveChromium);
        prestart.Begin();
    }
    // Nothing was asked of it; our ends of its pipes closed, which its keeper ends it for.
    EXPECT_EQ(browser.history, std::vector<std::string>{"Dropped"});
}

}  // namespace
}  // namespace vellamark
