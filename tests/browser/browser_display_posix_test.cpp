#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "browser/browser_display.h"
#include "tests/support/fake_environment.h"

namespace vellamark {
namespace {

using testsupport::FakeEnvironment;

TEST(BrowserDisplayTest, AnXDisplayWinsAndOnlyWaylandAloneKeepsTheWindowUnminimised) {
    struct Row {
        const char* name;
        std::map<std::string, std::string> env;
        const char* ozone;
        bool minimise;
    };
    const std::vector<Row> rows = {
        {"X11 session", {{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}, "x11", true},
        {"GNOME or Plasma: XWayland beside Wayland",
         {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_SESSION_TYPE", "wayland"}},
         "x11",
         true},
        {"Wayland without XWayland",
         {{"WAYLAND_DISPLAY", "wayland-1"}, {"XDG_SESSION_TYPE", "wayland"}},
         "wayland",
         false},
        {"Wayland session naming no socket", {{"XDG_SESSION_TYPE", "wayland"}}, "wayland", false},
        {"an empty DISPLAY is none", {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", "w"}}, "wayland", false},
        {"no display at all", {{"XDG_SESSION_TYPE", "tty"}}, "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const BrowserDisplay display = ChooseBrowserDisplay(FakeEnvironment(row.env));
        EXPECT_EQ(display.ozonePlatform, row.ozone);
        EXPECT_EQ(display.minimise, row.minimise);
    }
}

}  // namespace
}  // namespace vellamark
