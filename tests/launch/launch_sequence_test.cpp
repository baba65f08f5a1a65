#include "launch/launch_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "launch/login_page.h"
#include "tests/support/fake_browser_driver.h"
#include "tests/support/html_form_reader.h"
#include "tests/support/recording_launch_ui.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;
using testsupport::FakeDriver;
using testsupport::PostedFields;
using testsupport::ReadFile;
using testsupport::ReadTags;
using testsupport::RecordingUi;
using testsupport::TempFolder;
using Lines = std::vector<std::string>;
using Fields = std::vector<std::pair<std::string, std::string>>;

// The r that draws the seed 1234567, the seed of the published example for 09:35:12.
constexpr double kRandomForSeed1234567 = (1234517.0 + 0.5) / 9999999.0;

class LaunchTest : public ::testing::Test {
protected:
    LaunchTest() {
        env.ui = &ui;
        env.startBrowser = [this](const std::function<void()>&) {
            if (!startError.empty()) {
                return BrowserStart(Status::Fail(startError));
            }
            return BrowserStart(std::make_unique<FakeDriver>(browser));
        };
        env.clock = [] { return CivilTime{2024, 3, 7, 9, 35, 12}; };
        env.random = [] { return kRandomForSeed1234567; };
        env.serviceOrigin = "https://svc.example";
        env.programFolder = programFolder.text();
        env.tempFolder = tempFolder.text();
    }

    void Login(const LaunchFlags& flags) { LoginToService(values, flags, env); }

    [[nodiscard]] int Count(const std::string& call) const {
        return static_cast<int>(std::count(browser.calls.begin(), browser.calls.end(), call));
    }

    MMain values{"alice", "secret", "0123456789"};
    FakeDriver::Record browser;
    RecordingUi ui;
    LaunchEnvironment env;
    std::string startError;
    TempFolder programFolder;
    TempFolder tempFolder;
};

std::string JoinLog(const Lines& lines) {
    std::string log;
    for (const std::string& line : lines) {
        log += line + "\r\n";
    }
    return log;
}

struct PathRow {
    const char* name;
    bool createPage;
    bool ignoreMenuBar;
    Lines log;
    Lines boxesAfter;  // the debug boxes show the log up to each of these lines
    Lines calls;       // "<page>" stands for the page file's path
    int waits;
};

const Lines kInBrowserLog = {"1. Initialised",
                             "2. IE object Created",
                             "3. IE object navigation successful",
                             "4. IE object address bar set",
                             "5. IE object menu bar set",
                             "6. IE object toolbar set",
                             "7. IE body created",
                             "8. Credentials Submitted",
                             "9. Window Maximised",
                             "10. Completed"};
const Lines kPageLog = {"1. Initialised",
                        "2. IE object Created",
                        "3. IE object navigation successful",
                        "4. IE object address bar set",
                        "5. IE object menu bar set",
                        "6. IE object toolbar set",
                        "7. Files removed",
                        "7. Files created",
                        "7. IE body created"};

Lines Without(Lines lines, const std::string& gone) {
    lines.erase(std::remove(lines.begin(), lines.end(), gone), lines.end());
    return lines;
}

const Lines kInBrowserBoxes = {"1. Initialised",
                               "2. IE object Created",
                               "3. IE object navigation successful",
                               "4. IE object address bar set",
                               "6. IE object toolbar set",
                               "7. IE body created",
                               "8. Credentials Submitted",
                               "9. Window Maximised",
                               "10. Completed"};
const Lines kPageBoxes = {"1. Initialised",
                          "2. IE object Created",
                          "3. IE object navigation successful",
                          "4. IE object address bar set",
                          "6. IE object toolbar set",
                          "7. IE body created"};
const Lines kInBrowserCalls = {"Navigate about:blank", "SetAddressBar false",
                               "SetMenuBar false",     "SetToolBar false",
                               "SetBodyHtml",          "SubmitForm frm1",
                               "WindowHandle",         "ShowMaximised 77",
                               "SetVisible true",      "Release"};
const Lines kPageCalls = {"Navigate about:blank", "SetAddressBar false",
                          "SetMenuBar false",     "SetToolBar false",
                          "Navigate <page>",      "WindowHandle",
                          "ShowMaximised 77",     "SetVisible true",
                          "BringToTop 77",        "Release"};

const PathRow kPaths[] = {
    {"InBrowser", false, false, kInBrowserLog, kInBrowserBoxes, kInBrowserCalls, 11},
    {"InBrowserIgnoringMenuBar", false, true, Without(kInBrowserLog, "5. IE object menu bar set"),
     kInBrowserBoxes, Without(kInBrowserCalls, "SetMenuBar false"), 10},
    {"PageFile", true, false, kPageLog, kPageBoxes, kPageCalls, 8},
    {"PageFileIgnoringMenuBar", true, true, Without(kPageLog, "5. IE object menu bar set"),
     kPageBoxes, Without(kPageCalls, "SetMenuBar false"), 7},
};

class LaunchPath : public LaunchTest, public ::testing::WithParamInterface<PathRow> {
protected:
    Lines ExpectedCalls() const {
        Lines calls = GetParam().calls;
        const std::string page =
            "Navigate " + (programFolder.path() / "vellamar_093512.htm").string();
        std::replace(calls.begin(), calls.end(), std::string("Navigate <page>"), page);
        return calls;
    }
};

TEST_P(LaunchPath, LogsEachStepAndDrivesTheBrowserInOrder) {
    const PathRow& row = GetParam();
    const LaunchOutcome outcome =
        LaunchBrowserLogin("https://svc.example/p_checkpassword.php?id=20240307093512",
                           MMain{"alice", "secret", "0123456789"}, "3.0.38",
                           LaunchFlags{false, row.createPage, row.ignoreMenuBar}, env);
    EXPECT_EQ(outcome.launchLog, JoinLog(row.log));
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(browser.calls, ExpectedCalls());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_P(LaunchPath, DebugModeShowsVersionStartAndTheLogAtFixedSteps) {
    const PathRow& row = GetParam();
    Login(LaunchFlags{true, row.createPage, row.ignoreMenuBar});

    Lines expected = {"App. version 3.0.38", "Start Launch"};
    for (const std::string& last : row.boxesAfter) {
        const auto end = std::find(row.log.begin(), row.log.end(), last);
        ASSERT_NE(end, row.log.end()) << last;
        expected.push_back(JoinLog(Lines(row.log.begin(), end + 1)));
    }
    EXPECT_EQ(ui.messages, expected);
    EXPECT_EQ(ui.endCodes, std::vector<int>{0});
}

TEST_P(LaunchPath, WaitsOncePerStepAndAtMost101PollsEach) {
    const PathRow& row = GetParam();
    const LaunchFlags flags{false, row.createPage, row.ignoreMenuBar};
    // An idle browser is asked once per wait.
    Login(flags);
    EXPECT_EQ(browser.busyReads, row.waits);
    EXPECT_EQ(ui.sleeps, 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.endCodes, std::vector<int>{0});

    // A browser that never stops loading holds each wait for its 101 polls, and the launch
    // still completes.
    browser = {};
    browser.busy = [] { return true; };
    ui = RecordingUi{};
    Login(flags);
    EXPECT_EQ(ui.sleeps, row.waits * 101);
    EXPECT_EQ(ui.endCodes, std::vector<int>{0});
    EXPECT_EQ(browser.calls, ExpectedCalls());
    EXPECT_LE(*std::max_element(ui.progressHistory.begin(), ui.progressHistory.end()), 100.0F);
}

INSTANTIATE_TEST_SUITE_P(Launch, LaunchPath, ::testing::ValuesIn(kPaths),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(LaunchTest, InBrowserFormPostsTheChallengeNotThePin) {
    Login(LaunchFlags{});
    EXPECT_EQ(PostedFields(browser.bodyHtml), (Fields{{"username", "alice"},
                                                      {"password", "secret"},
                                                      {"time", "093512"},
                                                      {"seed", "1234567"},
                                                      {"pin1", "8"},
                                                      {"pin2", "1"},
                                                      {"pin3", "2"},
                                                      {"appver", "3.0.38"}}));
    const auto forms = ReadTags(browser.bodyHtml, "form");
    ASSERT_EQ(forms.size(), 1U);
    EXPECT_EQ(forms[0].Get("action"), "https://svc.example/p_checkpassword.php?id=20240307093512");
    EXPECT_TRUE(browser.bodyHtml.ends_with("><input type=submit></form>"));
}

TEST_F(LaunchTest, MarkupAndQuotesInCredentialsArePostedAsTyped) {
    values = {"<img src=x onerror=alert(1)>", "a\"b>c&d", "12"};
    Login(LaunchFlags{});
    const Fields fields = PostedFields(browser.bodyHtml);
    ASSERT_EQ(fields.size(), 8U);
    EXPECT_EQ(fields[0].second, values.LoginUsername);
    EXPECT_EQ(fields[1].second, values.LoginPassword);
    // A two-character PIN has nothing at indexes 8 and 2, and "2" at index 1.
    EXPECT_EQ(fields[4].second, "");
    EXPECT_EQ(fields[5].second, "2");
    EXPECT_EQ(fields[6].second, "");
    EXPECT_EQ(ReadTags(browser.bodyHtml, "img").size(), 0U);
}

struct SeedRow {
    const char* name;
    double r;
    const char* seed;
};

class SeedDraw : public LaunchTest, public ::testing::WithParamInterface<SeedRow> {};

TEST_P(SeedDraw, IsWrittenInPlainDecimal) {
    const double r = GetParam().r;
    env.random = [r] { return r; };
    Login(LaunchFlags{});
    const Fields fields = PostedFields(browser.bodyHtml);
    ASSERT_EQ(fields.size(), 8U);
    EXPECT_EQ(fields[3], (std::pair<std::string, std::string>{"seed", GetParam().seed}));
}

INSTANTIATE_TEST_SUITE_P(Launch, SeedDraw,
                         ::testing::Values(SeedRow{"Smallest", 0.0, "50"},
                                           SeedRow{"Largest", 0.99999999999, "10000048"},
                                           SeedRow{"OutOfRangeTreatedAsZero", 1.0, "50"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(LaunchTest, CheckUrlDropsTrailingSlashesOfTheOrigin) {
    env.serviceOrigin = "https://svc.example//";
    env.clock = [] { return CivilTime{2031, 12, 1, 7, 5, 9}; };
    Login(LaunchFlags{});
    const auto forms = ReadTags(browser.bodyHtml, "form");
    ASSERT_EQ(forms.size(), 1U);
    EXPECT_EQ(forms[0].Get("action"), "https://svc.example/p_checkpassword.php?id=20311201070509");
}

TEST_F(LaunchTest, AtMidnightTheClockIsReadAgainUntilItMoves) {
    int reads = 0;
    env.clock = [&reads] {
        ++reads;
        // The check URL's read, then two reads at 00:00:00, then 00:00:01.
        return CivilTime{2024, 3, 8, 0, 0, reads >= 4 ? 1 : 0};
    };
    Login(LaunchFlags{});
    EXPECT_EQ(ui.endCodes, std::vector<int>{0});
    EXPECT_EQ(ui.sleeps, 2);
    const Fields fields = PostedFields(browser.bodyHtml);
    ASSERT_EQ(fields.size(), 8U);
    EXPECT_EQ(fields[2].second, "000001");
    EXPECT_EQ(ReadTags(browser.bodyHtml, "form")[0].Get("action"),
              "https://svc.example/p_checkpassword.php?id=20240308000000");
}

TEST_F(LaunchTest, AClockStuckAtMidnightEndsTheLaunchWithinABound) {
    env.clock = [] { return CivilTime{2024, 3, 8, 0, 0, 0}; };
    Login(LaunchFlags{});
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_NE(ui.messages[0].find("clock"), std::string::npos) << ui.messages[0];
    EXPECT_EQ(ui.sleeps, 100);
    EXPECT_EQ(browser.calls, Lines{"Close"});
    EXPECT_EQ(ui.endCodes, std::vector<int>{1});
}

TEST_F(LaunchTest, PageFileReplacesOldPagesAndHoldsTheFullPage) {
    programFolder.Write("vellamar_010101.htm", "old password");
    programFolder.Write("vellamarX.htm", "old");
    programFolder.Write("notes.txt", "keep");
    Login(LaunchFlags{false, true, false});

    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(programFolder.path())) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"notes.txt", "vellamar_093512.htm"}));
    const std::string contents = ReadFile(programFolder.path() / "vellamar_093512.htm");
    const LoginFormValues expected{"https://svc.example/p_checkpassword.php?id=20240307093512",
                                   "alice",
                                   "secret",
                                   "093512",
                                   1234567,
                                   "8",
                                   "1",
                                   "2",
                                   "3.0.38"};
    EXPECT_EQ(contents, CreateFullPage(expected, "https://svc.example") + "\r\n");
    EXPECT_EQ(contents.find('\n'), contents.size() - 1);
    EXPECT_EQ(Count("SubmitForm frm1"), 0);
    EXPECT_EQ(Count("SetBodyHtml"), 0);
}

TEST_F(LaunchTest, PageFileGoesToTheTempFolderWhenTheProgramFolderIsNotWritable) {
    env.programFolder = (programFolder.path() / "not-there").string();
    tempFolder.Write("vellamar_000001.htm", "old");
    Login(LaunchFlags{false, true, false});
    EXPECT_EQ(ui.endCodes, std::vector<int>{0});
    const fs::path page = tempFolder.path() / "vellamar_093512.htm";
    EXPECT_TRUE(fs::exists(page));
    EXPECT_FALSE(fs::exists(tempFolder.path() / "vellamar_000001.htm"));
    EXPECT_EQ(Count("Navigate " + page.string()), 1);
}

TEST_F(LaunchTest, InBrowserPathWritesNoFile) {
    programFolder.Write("vellamar_010101.htm", "old");
    Login(LaunchFlags{});
    EXPECT_TRUE(fs::exists(programFolder.path() / "vellamar_010101.htm"));
    EXPECT_FALSE(fs::exists(programFolder.path() / "vellamar_093512.htm"));
}

struct FailureRow {
    const char* name;
    bool createPage;
    const char* failingCall;  // empty: the browser does not start; "page": no folder to write
    const char* named;        // what the message must name
    // Failed after the login reached the service (or its page was open): the message says
    // so, the browser is released, not closed, and the page file stays.
    bool reached;
};

class LaunchFailure : public LaunchTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(LaunchFailure, ShowsOneMessageClosesAHiddenBrowserAndEndsWithAnError) {
    const FailureRow& row = GetParam();
    const std::string failing = row.failingCall;
    if (failing.empty()) {
        startError = "No browser was found. Install Chromium or set VELLAMARK_BROWSER.";
    } else if (failing == "page") {
        env.programFolder = (programFolder.path() / "absent").string();
        env.tempFolder = (tempFolder.path() / "absent").string();
    } else {
        browser.failures[failing] = "the browser's window went away";
    }
    Login(LaunchFlags{false, row.createPage, false});

    ASSERT_EQ(ui.messages.size(), 1U);
    const std::string& message = ui.messages[0];
    EXPECT_NE(message.find(row.named), std::string::npos) << message;
    EXPECT_EQ(message.starts_with("Login failed"), !row.reached) << message;
    if (failing.empty()) {
        EXPECT_NE(message.find(startError), std::string::npos) << message;
    } else if (failing != "page") {
        EXPECT_NE(message.find("the browser's window went away"), std::string::npos) << message;
    }
    EXPECT_EQ(ui.endCodes, std::vector<int>{1});
    if (failing.empty()) {
        EXPECT_TRUE(browser.calls.empty());
        return;
    }
    // The failing call is the last one made before the browser is let go.
    ASSERT_GE(browser.calls.size(), 2U);
    EXPECT_EQ(browser.calls.back(), row.reached ? "Release" : "Close");
    EXPECT_EQ(Count("Close") + Count("Release"), 1);
    if (failing != "page" && failing != "Release") {
        EXPECT_TRUE(browser.calls[browser.calls.size() - 2].starts_with(failing))
            << browser.calls[browser.calls.size() - 2];
    }
    // A page the browser never showed does not stay behind with the password in it; one it
    // shows stays, as after any launch on this path.
    if (row.createPage) {
        EXPECT_EQ(fs::exists(programFolder.path() / "vellamar_093512.htm"), row.reached);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Launch, LaunchFailure,
    ::testing::Values(
        FailureRow{"BrowserDoesNotStart", false, "", "could not be started", false},
        FailureRow{"BlankPageFails", false, "Navigate", "blank page", false},
        FailureRow{"AddressBarFails", false, "SetAddressBar", "address bar", false},
        FailureRow{"MenuBarFails", false, "SetMenuBar", "menu bar", false},
        FailureRow{"ToolBarFails", false, "SetToolBar", "tool bar", false},
        FailureRow{"BodyFails", false, "SetBodyHtml", "login form", false},
        FailureRow{"SubmitFails", false, "SubmitForm", "login form could not be sent", false},
        FailureRow{"ShowFailsAfterSubmit", false, "ShowMaximised", "could not be shown", true},
        FailureRow{"VisibleFailsAfterShown", false, "SetVisible", "visible", true},
        FailureRow{"BrowserGoneAtHandOver", false, "Release", "handed over", true},
        FailureRow{"PageCannotBeWritten", true, "page", "could not be written", false},
        FailureRow{"PageShowFailsOnceOpen", true, "ShowMaximised", "could not be shown", true},
        FailureRow{"PageBringToTopFailsAfterShown", true, "BringToTop", "front", true},
        FailureRow{"PageBrowserGoneAtHandOver", true, "Release", "handed over", true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(LaunchTest, PageNavigationFailureRemovesThePageItWrote) {
    browser.failures["Navigate"] = "gone";
    // Only the page's navigation fails: the blank page is the first navigation.
    int navigations = 0;
    env.startBrowser = [this, &navigations](const std::function<void()>&) {
        struct SecondNavigationFails : FakeDriver {
            SecondNavigationFails(Record& r, int& n) : FakeDriver(r), count(n) {}
            Status Navigate(std::string_view address) override {
                return ++count == 1 ? Status::Ok() : FakeDriver::Navigate(address);
            }
            int& count;
        };
        return BrowserStart(std::make_unique<SecondNavigationFails>(browser, navigations));
    };
    Login(LaunchFlags{false, true, false});
    EXPECT_EQ(navigations, 2);
    ASSERT_EQ(ui.messages.size(), 1U);
    EXPECT_NE(ui.messages[0].find("could not open the login page"), std::string::npos);
    EXPECT_EQ(browser.calls.back(), "Close");
    EXPECT_FALSE(fs::exists(programFolder.path() / "vellamar_093512.htm"));
    EXPECT_EQ(ui.endCodes, std::vector<int>{1});
}

// A browser slow to start: while the driver waits it calls the launch's idle function, which
// lets the window paint and keeps the bar moving, below the 5 the start ends on.
TEST_F(LaunchTest, WhileTheBrowserStartsTheWindowPaintsAndTheBarCreepsBelowFive) {
    env.startBrowser = [this](const std::function<void()>& idle) {
        for (int i = 0; i < 400; ++i) {  // 20 s of 50 ms slices
            idle();
        }
        return BrowserStart(std::make_unique<FakeDriver>(browser));
    };
    Login(LaunchFlags{});
    EXPECT_GE(ui.otherSleeps, 400);
    ASSERT_GE(ui.progressHistory.size(), 401U);
    float last = 2.0F;
    for (std::size_t i = 0; i < 400; ++i) {
        EXPECT_GT(ui.progressHistory[i], last) << i;
        EXPECT_LT(ui.progressHistory[i], 5.0F) << i;
        last = ui.progressHistory[i];
    }
    EXPECT_EQ(ui.progressHistory[400], 5.0F);  // then the step that follows the start
    EXPECT_EQ(ui.endCodes, std::vector<int>{0});
}

// The bar's creep during one wait on a browser that stays busy.
class ProgressCreep : public ::testing::Test {
protected:
    std::vector<float> Creep(float start, int ceiling, int busyPolls = 1000) {
        ui.progress = start;
        int remaining = busyPolls;
        browser.busy = [&remaining] { return remaining-- > 0; };
        FakeDriver driver(browser);
        WaitWhileBrowserBusy(driver, ui, ceiling);
        return ui.progressHistory;
    }

    FakeDriver::Record browser;
    RecordingUi ui;
};

TEST_F(ProgressCreep, FromFiveReaches40AtPoll54AndAbout51AfterTheLast) {
    const std::vector<float> bar = Creep(5.0F, 85);
    ASSERT_EQ(bar.size(), 101U);
    EXPECT_EQ(ui.sleeps, 101);
    EXPECT_EQ(bar[0], 8.8F);
    const auto first40 = std::find_if(bar.begin(), bar.end(), [](float v) { return v >= 40.0F; });
    ASSERT_NE(first40, bar.end());
    EXPECT_EQ(first40 - bar.begin() + 1, 54);
    EXPECT_NEAR(*first40, 40.19F, 0.01F);
    EXPECT_NEAR(bar.back(), 51.3F, 0.05F);
    // The status changes exactly on the polls whose whole part is 40.
    const auto at40 =
        std::count_if(bar.begin(), bar.end(), [](float v) { return static_cast<int>(v) == 40; });
    EXPECT_GT(at40, 0);
    EXPECT_EQ(ui.statuses, Lines(static_cast<std::size_t>(at40), "Connecting to server ...."));
}

TEST_F(ProgressCreep, ALowerCeilingPullsTheBarDown) {
    EXPECT_EQ(Creep(90.0F, 85, 1), std::vector<float>{85.0F});
}

TEST_F(ProgressCreep, NeverPassesTheCeiling) {
    const std::vector<float> bar = Creep(5.0F, 30);
    EXPECT_EQ(bar.size(), 101U);
    EXPECT_EQ(*std::max_element(bar.begin(), bar.end()), 30.0F);
}

TEST_F(ProgressCreep, IdleBrowserLeavesTheBarAlone) {
    EXPECT_TRUE(Creep(5.0F, 85, 0).empty());
    EXPECT_EQ(ui.sleeps, 0);
    EXPECT_EQ(browser.busyReads, 1);
}

TEST_F(ProgressCreep, StopsPollingWhenTheBrowserIsDone) {
    EXPECT_EQ(Creep(5.0F, 85, 3).size(), 3U);
    EXPECT_EQ(ui.sleeps, 3);
}

TEST_F(ProgressCreep, AuthenticatingTextAt80) {
    Creep(79.99F, 100, 1);
    EXPECT_EQ(ui.statuses, Lines{"Authenicating User Details"});
}

TEST(ProgramVersion, IsTheBuildsMajorMinorRevision) {
    EXPECT_EQ(ProgramVersionText(), "3.0.38");
}

}  // namespace
}  // namespace vellamark
