#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
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
    using Variable = std::pair<const std::string, std::string>;
    const Variable x{"DISPLAY", ":0"}, w{"WAYLAND_DISPLAY", "wayland-0"},
        onWayland{"XDG_SESSION_TYPE", "wayland"};
    const std::vector<Row> rows = {
        {"X11 session", {x, {"XDG_SESSION_TYPE", "x11"}}, "x11", true},
        {"GNOME or Plasma: XWayland beside Wayland", {x, w, onWayland}, "x11", true},
        {"Wayland without XWayland", {w, onWayland}, "wayland", false},
        {"Wayland session naming no socket", {onWayland}, "wayland", false},
        {"an empty DISPLAY is none", {{"DISPLAY", ""}, w}, "wayland", false},
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
