// The Chromium driver over a fake browser process.
#include "browser/chromium_driver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/fake_chromium_process.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
using testsupport::FakeChromium;
using testsupport::FrameLoading;
using Answer = FakeChromium::Answer;
using Reply = FakeChromium::Reply;
using Action = std::function<Status(BrowserDriver&)>;

// Roomy enough that a browser answering at once never runs into them.
constexpr ChromiumTimeouts kRoomy{10s, 10s, 10s};
// For the tests whose browser holds a reply back.
constexpr ChromiumTimeouts kQuickCommand{10s, 200ms, 10s};

const std::string kValueTrue = R"({"result":{"type":"boolean","value":true}})";
const std::string kValueFalse = R"({"result":{"type":"boolean","value":false}})";
const std::string kOnSession = "@" + std::string(FakeChromium::kSessionId);
const std::string kReleaseSteps[] = {
    "Page.disable" + kOnSession + " {}",
    R"(Target.setAutoAttach {"autoAttach":false,"flatten":true,"waitForDebuggerOnStart":false})",
    "Detach"};

// A fake browser, a profile folder and, once connected, the driver (declared last, so it goes
// first).
struct Rig {
    Rig() { std::filesystem::create_directories(profile); }

    Status Connect(const ChromiumTimeouts& timeouts = kRoomy, bool minimise = true) {
        auto started =
            ConnectChromiumDriver(browser.Process(), Utf8FromPath(profile), timeouts, {}, minimise);
        if (!started) {
            return started.status();
        }
        driver = std::move(*started);
        return Status::Ok();
    }
    // Lets the driver read what the browser has sent so far, by a call answered after it.
    void Flush() { ASSERT_TRUE(driver->BringToTop(0)); }

    FakeChromium browser;
    testsupport::TempFolder folder;
    std::filesystem::path profile = folder.path() / "profile";
    std::unique_ptr<BrowserDriver> driver;
};

TEST(ChromiumDriverTest, RepliesAnswerOnlyTheirOwnCommand) {
    struct Row {
        const char* name;
        std::vector<Answer> answers;      // to the script calls, in order
        std::vector<std::string> errors;  // of the calls, in order ("" for success)
    };
    const std::string otherId = R"({"id":999,"result":)" + kValueFalse + "}";
    const std::vector<Row> rows = {
        {"a reply to an unknown id comes first", {Answer(kValueTrue).Before(otherId)}, {""}},
        {"events come between",
         {Answer(kValueTrue)
              .Before(FrameLoading(true, "CHILD"))
              .Before(testsupport::DevToolsEvent("Runtime.consoleAPICalled", "{}"))},
         {""}},
        {"only a reply to an unknown id comes",
         {Answer(kValueTrue).Before(otherId).Replying(Reply::kNever)},
         {"did not answer Runtime.evaluate"}},
        {"a late reply comes ahead of the next command's",
         {Answer(kValueFalse).Replying(Reply::kLate), Answer(kValueTrue)},
         {"did not answer Runtime.evaluate", ""}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        ASSERT_TRUE(rig.Connect(kQuickCommand));
        for (const auto& answer : row.answers) {
            rig.browser.AnswerNext("Runtime.evaluate", answer);
        }
        for (const auto& error : row.errors) {
            const auto status = rig.driver->SetBodyHtml("<p>x</p>");
            EXPECT_EQ(status.ok(), error.empty()) << status.error();
            EXPECT_THAT(status.error(), HasSubstr(error));
        }
    }
}

TEST(ChromiumDriverTest, FirstFaultStaysForEveryLaterCall) {
    struct Row {
        const char* name;
        Answer answer;  // to the script call that meets the fault
        const char* error;
    };
    const std::vector<Row> rows = {
        {"the pipe closes instead of a reply", Answer().Replying(Reply::kNever).Closing(),
         "The browser closed its debugging connection."},
        {"text that is no JSON", Answer().Before("<html>"), "broke the debugging protocol"},
        {"a reply with a malformed id", Answer().Before(R"({"id":"1","result":{}})"),
         "broke the debugging protocol"},
        {"neither reply nor event", Answer().Before(R"({"params":{}})"),
         "broke the debugging protocol"},
    };
    const std::vector<std::pair<const char*, Action>> later = {
        {"Navigate", [](BrowserDriver& d) { return d.Navigate("https://example.test/"); }},
        {"SetBodyHtml", [](BrowserDriver& d) { return d.SetBodyHtml("<p>x</p>"); }},
        {"SubmitForm", [](BrowserDriver& d) { return d.SubmitForm("login"); }},
        {"ShowMaximised", [](BrowserDriver& d) { return d.ShowMaximised(d.WindowHandle()); }},
        {"SetVisible", [](BrowserDriver& d) { return d.SetVisible(true); }},
        {"SetAddressBar", [](BrowserDriver& d) { return d.SetAddressBar(false); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        ASSERT_TRUE(rig.Connect());
        ASSERT_TRUE(rig.driver->Navigate("https://example.test/"));
        ASSERT_TRUE(rig.driver->Busy());
        rig.browser.AnswerNext("Runtime.evaluate", row.answer);
        const auto first = rig.driver->SetBodyHtml("<p>x</p>");
        ASSERT_FALSE(first);
        EXPECT_THAT(first.error(), HasSubstr(row.error));
        EXPECT_FALSE(rig.driver->Busy());
        rig.browser.ClearRecord();
        for (const auto& [name, call] : later) {
            EXPECT_EQ(call(*rig.driver).error(), first.error()) << name;
        }
        // A broken browser is not spoken to again, not even to switch things off, and there
        // is nothing to hand over.
        EXPECT_FALSE(rig.driver->Release());
        EXPECT_EQ(rig.browser.history, std::vector<std::string>{"Detach"});
    }
}

TEST(ChromiumDriverTest, CommandWithoutReplyTimesOutAndLeavesTheConnectionUsable) {
    struct Row {
        const char* method;
        Action call;
    };
    const std::vector<Row> rows = {
        {"Page.navigate", [](BrowserDriver& d) { return d.Navigate("https://example.test/"); }},
        {"Runtime.evaluate", [](BrowserDriver& d) { return d.SubmitForm("login"); }},
        {"Browser.setWindowBounds", [](BrowserDriver& d) { return d.ShowMaximised(0); }},
        {"Page.bringToFront", [](BrowserDriver& d) { return d.BringToTop(0); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.method);
        Rig rig;
        ASSERT_TRUE(rig.Connect(kQuickCommand));
        rig.browser.AnswerNext(row.method, Answer().Replying(Reply::kNever));
        rig.browser.ClearRecord();
        const auto begun = rig.browser.Now();
        const auto status = row.call(*rig.driver);
        EXPECT_THAT(status.error(), HasSubstr("did not answer " + std::string(row.method)));
        ASSERT_FALSE(rig.browser.commands.empty());
        const auto& sent = rig.browser.commands.back();
        EXPECT_GE(sent.deadline, begun + kQuickCommand.command);
        EXPECT_LE(sent.deadline, sent.at + kQuickCommand.command);
        for (const auto& [at, deadline] : rig.browser.reads) {
            EXPECT_LE(deadline, at + kQuickCommand.command);
        }
        EXPECT_FALSE(rig.driver->Busy());
        EXPECT_TRUE(row.call(*rig.driver));  // a slow answer is no broken browser
    }
}

TEST(ChromiumDriverTest, FailedStartKillsTheBrowser) {
    struct Row {
        const char* name;
        const char* method;
        Answer answer;
        const char* error;
        std::size_t commands;  // that reach the browser
    };
    const std::vector<Row> rows = {
        {"context refused", "Target.createBrowserContext", Answer().Refusing("Not allowed"),
         "refused", 2},
        {"context without an id",
         "Target.createBrowserContext",
         {},
         "broke the debugging protocol",
         2},
        {"window refused", "Target.createTarget", Answer().Refusing("Failed to open a new tab"),
         "refused Target.createTarget: Failed to open a new tab", 3},
        {"page id of a number", "Target.createTarget", Answer(R"({"targetId":7})"),
         "broke the debugging protocol", 3},
        {"attached with a numbered session", "Target.createTarget",
         Answer(R"({"targetId":"PAGE-1"})")
             .Before(R"({"method":"Target.attachedToTarget","params":{"sessionId":7,)"
                     R"("targetInfo":{"targetId":"PAGE-1"}}})"),
         "broke the debugging protocol", 3},
        {"not attached by itself, and refused", "Target.createTarget",
         Answer(R"({"targetId":"PAGE-2"})"), "refused Target.attachToTarget", 4},
        {"window id of text", "Browser.getWindowForTarget", Answer(R"({"windowId":"42"})"),
         "broke the debugging protocol", 5},
        {"error message of a number", "Page.enable",
         Answer().Before(R"({"id":4,"error":{"message":2}})").Replying(Reply::kNever),
         "refused Page.enable: unknown error", 5},
        {"window made shown cannot be hidden", "Browser.getWindowForTarget",
         Answer(R"({"windowId":42,"bounds":{"windowState":"normal"}})"),
         "refused Browser.setWindowBounds", 6},
        {"the pipe closes while the window is made", "Target.createTarget",
         Answer().Replying(Reply::kNever).Closing(), "closed its debugging connection", 3},
        {"the browser ends while the window is made", "Target.createTarget",
         Answer().Replying(Reply::kNever).Exiting(),
         "The browser has ended (it exited with code 1)", 3},
        {"silent past the start budget", "Page.enable", Answer().Taking(100s),
         "still running but did not answer Page.enable within 90 seconds", 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        rig.browser.SetAnswer(row.method, row.answer);
        rig.browser.SetAnswer("Browser.setWindowBounds", Answer().Refusing("No window"));
        rig.browser.SetAnswer("Target.attachToTarget", Answer().Refusing("No such target"));
        const auto status = rig.Connect(ChromiumTimeouts{});
        EXPECT_THAT(status.error(), HasSubstr(row.error));
        EXPECT_EQ(rig.browser.commands.size(), row.commands);
        ASSERT_FALSE(rig.browser.history.empty());
        EXPECT_EQ(rig.browser.history.back(), "Kill");
        EXPECT_FALSE(std::filesystem::exists(rig.profile));
    }
}

// The page's events and window are asked for as soon as a page of the login's context is
// attached; a page attached first that is not the one made is let go of, and ours asked for.
TEST(ChromiumDriverTest, OnlyThePageMadeIsDriven) {
    const std::string enable = "Page.enable" + kOnSession + " {}";
    const std::string window = R"(Browser.getWindowForTarget {"targetId":"PAGE-1"})";
    const std::string attach = R"(Target.attachToTarget {"flatten":true,"targetId":"PAGE-1"})";
    const auto other = [](const char* context) {
        return testsupport::DevToolsEvent(
            "Target.attachedToTarget",
            std::string(R"({"sessionId":"SESSION-9","targetInfo":{"targetId":"OTHER",)") +
                R"("type":"page","browserContextId":")" + context + R"("}})");
    };
    struct Row {
        const char* name;
        std::optional<Answer> created;  // none: as Chromium answers
        std::vector<std::string> sent;  // after Target.createTarget, before the page is hidden
    };
    const std::vector<Row> rows = {
        {"ours attached with it", std::nullopt, {enable, window}},
        {"another page of our context first",
         Answer(R"({"targetId":"PAGE-1"})").Before(other("CONTEXT-1")),
         {"Page.enable@SESSION-9 {}", R"(Browser.getWindowForTarget {"targetId":"OTHER"})", attach,
          enable, window}},
        {"a page of another context",
         Answer(R"({"targetId":"PAGE-1"})").Before(other("CONTEXT-2")),
         {attach, enable, window}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        if (row.created) {
            rig.browser.SetAnswer("Target.createTarget", *row.created);
        }
        ASSERT_TRUE(rig.Connect());
        const auto& h = rig.browser.history;
        ASSERT_EQ(h.size(), 3 + row.sent.size() + 1);
        EXPECT_EQ(std::vector<std::string>(h.begin() + 3, h.end() - 1), row.sent);
        rig.browser.ClearRecord();
        ASSERT_TRUE(rig.driver->BringToTop(0));
        EXPECT_EQ(rig.browser.history,
                  std::vector<std::string>{"Page.bringToFront" + kOnSession + " {}"});
    }
}

// A cold start on a slow machine: the browser runs and its pipe is open, it is starting, not
// broken. The fake's clock makes the 20 seconds pass at once; the idle function is called
// all along, as the window's painting needs.
TEST(ChromiumDriverTest, ABrowserAnsweringItsFirstCommandsAfter20SecondsStillStarts) {
    Rig rig;
    rig.browser.SetAnswer("Target.createTarget", Answer(R"({"targetId":"PAGE-1"})").Taking(20s));
    rig.browser.AnswerNext(
        "Target.attachToTarget",
        Answer(R"({"sessionId":"SESSION-1"})").Taking(std::chrono::milliseconds(20s) / 2));
    const auto begun = rig.browser.Now();
    int idles = 0;
    auto started = ConnectChromiumDriver(rig.browser.Process(), Utf8FromPath(rig.profile),
                                         ChromiumTimeouts{}, [&idles] { ++idles; });
    ASSERT_TRUE(started.ok()) << started.error();
    EXPECT_GE(rig.browser.Now() - begun, 30s);
    // At least one call a slice of 50 ms while the browser was silent.
    EXPECT_GE(idles, 30000 / 50 - 2);
    for (const auto& [at, deadline] : rig.browser.reads) {
        EXPECT_LE(deadline - at, 50ms);
    }
    // Made minimised and off the screen, in a context of its own, and never shown meanwhile.
    EXPECT_EQ(rig.browser.history[2],
              R"(Target.createTarget {"background":true,"browserContextId":"CONTEXT-1",)"
              R"("left":-32000,"newWindow":true,"top":-32000,"url":"about:blank",)"
              R"("windowState":"minimized"})");
    // Nothing goes into the page before the window manager has iconified the window.
    EXPECT_NE(rig.browser.history.back().find("visibilityState"), std::string::npos);
    rig.driver = std::move(*started);
    EXPECT_TRUE(rig.driver->Navigate("about:blank"));
}

TEST(ChromiumDriverTest, BusyUntilTheMainFrameHasStartedAndStopped) {
    const std::string start = FrameLoading(true), stop = FrameLoading(false);
    struct Step {
        std::vector<std::string> events;  // arriving before Busy is asked
        bool busy;
    };
    struct Row {
        const char* name;
        std::vector<std::string> earlier;  // read before the load begins
        std::vector<std::string> during;   // read while its command is answered
        std::vector<Step> steps;
    };
    const std::vector<Row> rows = {
        {"start and stop after the reply", {}, {}, {{{}, true}, {{start}, true}, {{stop}, false}}},
        {"start with the reply", {}, {start}, {{{}, true}, {{stop}, false}}},
        {"whole load with the reply", {}, {start, stop}, {{{}, false}}},
        {"another frame's stop",
         {},
         {start},
         {{{FrameLoading(false, "CHILD")}, true}, {{stop}, false}}},
        {"another session's load",
         {},
         {},
         {{{FrameLoading(true, FakeChromium::kTargetId, "SESSION-2"),
            FrameLoading(false, FakeChromium::kTargetId, "SESSION-2")},
           true},
          {{start, stop}, false}}},
        {"the browser's own load events",
         {},
         {},
         {{{FrameLoading(true, FakeChromium::kTargetId, ""),
            FrameLoading(false, FakeChromium::kTargetId, "")},
           true}}},
        {"a stop without a start", {}, {}, {{{stop}, true}, {{start}, true}, {{stop}, false}}},
        {"the frame was loading already", {start}, {}, {{{}, true}, {{stop}, false}}},
        {"the frame had stopped already",
         {start, stop},
         {},
         {{{stop}, true}, {{start, stop}, false}}},
    };
    const std::vector<std::pair<const char*, Action>> loads = {
        {"Navigate", [](BrowserDriver& d) { return d.Navigate("https://example.test/"); }},
        {"SubmitForm", [](BrowserDriver& d) { return d.SubmitForm("login"); }},
    };
    for (const auto& [load, begin] : loads) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(load) + ": " + row.name);
            Rig rig;
            ASSERT_TRUE(rig.Connect());
            for (const auto& event : row.earlier) {
                rig.browser.Send(event);
            }
            rig.Flush();
            EXPECT_FALSE(rig.driver->Busy());
            for (const auto& event : row.during) {
                rig.browser.Send(event);
            }
            ASSERT_TRUE(begin(*rig.driver));
            for (std::size_t i = 0; i < row.steps.size(); ++i) {
                for (const auto& event : row.steps[i].events) {
                    rig.browser.Send(event);
                }
                EXPECT_EQ(rig.driver->Busy(), row.steps[i].busy) << "step " << i;
            }
        }
    }
}

TEST(ChromiumDriverTest, LoadThatFailsOrStartsNothingIsNotBusy) {
    struct Row {
        const char* name;
        const char* method;
        Answer answer;
        Action load;
        const char* error;  // "" for success
        bool busy;
    };
    const Action navigate = [](BrowserDriver& d) { return d.Navigate("https://example.test/"); };
    const Action submit = [](BrowserDriver& d) { return d.SubmitForm("login"); };
    const std::vector<Row> rows = {
        {"navigation with an error text", "Page.navigate",
         Answer(R"({"frameId":"PAGE-1","loaderId":"L2","errorText":"net::ERR_NAME_NOT_RESOLVED"})"),
         navigate, "could not open https://example.test/ (net::ERR_NAME_NOT_RESOLVED)", false},
        {"navigation with an empty error text", "Page.navigate",
         Answer(R"({"frameId":"PAGE-1","loaderId":"L2","errorText":""})"), navigate, "", true},
        {"navigation within the page", "Page.navigate", Answer(R"({"frameId":"PAGE-1"})"), navigate,
         "", false},
        {"navigation refused", "Page.navigate", Answer().Refusing("Invalid URL"), navigate,
         "refused Page.navigate: Invalid URL", false},
        {"no such form", "Runtime.evaluate", Answer(kValueFalse), submit, "no form named \"login\"",
         false},
        {"submit script threw", "Runtime.evaluate",
         Answer(
             R"({"result":{"type":"undefined"},"exceptionDetails":{"text":"Uncaught","exception":{"description":"TypeError: f is null"}}})"),
         submit, "Uncaught TypeError: f is null", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        ASSERT_TRUE(rig.Connect(kQuickCommand));
        rig.browser.AnswerNext(row.method, row.answer);
        const auto status = row.load(*rig.driver);
        EXPECT_EQ(status.ok(), *row.error == '\0') << status.error();
        EXPECT_THAT(status.error(), HasSubstr(row.error));
        EXPECT_EQ(rig.driver->Busy(), row.busy);
    }
}

TEST(ChromiumDriverTest, WindowCallsGoToTheWindowLearnedAtStart) {
    const std::string normal =
        R"(Browser.setWindowBounds {"bounds":{"windowState":"normal"},"windowId":42})";
    const std::string onScreen =
        R"(Browser.setWindowBounds {"bounds":{"left":0,"top":0},"windowId":42})";
    const std::string minimised =
        R"(Browser.setWindowBounds {"bounds":{"windowState":"minimized"},"windowId":42})";
    const std::string maximised =
        R"(Browser.setWindowBounds {"bounds":{"windowState":"maximized"},"windowId":42})";
    const std::string front = "Page.bringToFront" + kOnSession + " {}";
    const std::string state = R"(Browser.getWindowBounds {"windowId":42})";
    struct Row {
        const char* name;
        Action call;
        std::vector<std::string> sent;
        bool minimise = true;  // false: a window system that cannot restore a minimised window
    };
    const std::vector<Row> rows = {
        {"never minimised: maximised at once",
         [](BrowserDriver& d) { return d.ShowMaximised(d.WindowHandle()); },
         {maximised, front},
         false},
        {"never minimised: hiding changes nothing",
         [](BrowserDriver& d) { return d.SetVisible(false); },
         {},
         false},
        {"maximised on its handle",
         [](BrowserDriver& d) { return d.ShowMaximised(d.WindowHandle()); },
         {normal, state, onScreen, maximised, front}},
        {"shown", [](BrowserDriver& d) { return d.SetVisible(true); }, {normal, onScreen}},
        {"hidden while hidden", [](BrowserDriver& d) { return d.SetVisible(false); }, {}},
        {"shown then hidden",
         [](BrowserDriver& d) {
             return d.SetVisible(true).ok() ? d.SetVisible(false) : Status::Fail("shown");
         },
         {normal, onScreen, minimised}},
        {"the blank page the window shows: spared once, and nothing to wait for",
         [](BrowserDriver& d) {
             return d.Navigate("about:blank").ok() && !d.Busy() ? d.Navigate("about:blank")
                                                                : Status::Fail("busy");
         },
         {"Page.navigate" + kOnSession + R"( {"url":"about:blank"})"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        ASSERT_TRUE(rig.Connect(kRoomy, row.minimise));
        EXPECT_EQ(rig.driver->WindowHandle(), FakeChromium::kWindowId);
        EXPECT_EQ(rig.browser.history[2].find("minimized") != std::string::npos, row.minimise);
        rig.browser.ClearRecord();
        EXPECT_TRUE(row.call(*rig.driver));
        EXPECT_EQ(rig.browser.history, row.sent);
    }
}

// The window manager restores the iconified window a little after the browser was asked to;
// the browser refuses to maximise it until then.
TEST(ChromiumDriverTest, ShowWaitsUntilTheWindowIsRestoredBeforeMaximising) {
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    const std::string minimised = R"({"bounds":{"windowState":"minimized"}})";
    rig.browser.AnswerNext("Browser.getWindowBounds", Answer(minimised));
    rig.browser.AnswerNext("Browser.getWindowBounds", Answer(minimised));
    rig.browser.ClearRecord();
    ASSERT_TRUE(rig.driver->ShowMaximised(0));
    const auto& sent = rig.browser.history;
    EXPECT_EQ(std::count(sent.begin(), sent.end(), R"(Browser.getWindowBounds {"windowId":42})"),
              3);
    EXPECT_EQ(sent[sent.size() - 2],
              R"(Browser.setWindowBounds {"bounds":{"windowState":"maximized"},"windowId":42})");

    // One that stays iconified is waited for 3 s at most; then the browser has its say.
    Rig stuck;
    ASSERT_TRUE(stuck.Connect());
    stuck.browser.SetAnswer("Browser.getWindowBounds", Answer(minimised));
    const auto begun = stuck.browser.Now();
    EXPECT_TRUE(stuck.driver->ShowMaximised(0));
    EXPECT_GE(stuck.browser.Now() - begun, 3s);
    EXPECT_LE(stuck.browser.Now() - begun, 4s);
}

TEST(ChromiumDriverTest, ReleaseLetsGoAndCloseKillsOnlyAnUnshownBrowser) {
    const std::vector<std::string> released(std::begin(kReleaseSteps), std::end(kReleaseSteps));
    const std::vector<std::string> killed = {"Kill"};
    struct Row {
        const char* name;
        bool shown;                                            // maximised first
        std::vector<std::function<void(BrowserDriver&)>> end;  // none: the driver is dropped
        const std::vector<std::string>& history;
    };
    const auto release = [](BrowserDriver& d) { EXPECT_TRUE(d.Release()); };
    const auto close = [](BrowserDriver& d) { d.Close(); };
    const std::vector<Row> rows = {
        {"released", false, {release}, released},
        {"released, then closed", false, {release, close}, released},
        {"closed unshown", false, {close}, killed},
        {"dropped unshown", false, {}, killed},
        {"closed once shown", true, {close}, released},
        {"dropped once shown", true, {}, released},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        ASSERT_TRUE(rig.Connect());
        if (row.shown) {
            ASSERT_TRUE(rig.driver->ShowMaximised(0));
        }
        rig.browser.ClearRecord();
        for (const auto& end : row.end) {
            end(*rig.driver);
        }
        if (row.end.empty()) {
            rig.driver.reset();
        }
        EXPECT_EQ(rig.browser.history, row.history);
        // The profile of a browser left running is its own; a killed one's is rubbish.
        EXPECT_EQ(std::filesystem::exists(rig.profile), &row.history == &released);
        if (rig.driver) {
            EXPECT_THAT(rig.driver->SetBodyHtml("<p>x</p>").error(), HasSubstr("let go"));
            EXPECT_EQ(rig.browser.history, row.history);
        }
    }
}

}  // namespace
}  // namespace vellamark
