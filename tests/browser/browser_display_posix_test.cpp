#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "browser/browser_display.h"
#include "tests/support/fake_environment.h"
#include "tests/support/temp_folder.h"

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

TEST(BrowserDisplayTest, ADisplayAnswersOnlyWhileItsSocketIsServed) {
    testsupport::TempFolder folder;
    const auto env = FakeEnvironment(
        {{"WAYLAND_DISPLAY", "vm-test-0"}, {"XDG_RUNTIME_DIR", folder.path().string()}});
    EXPECT_FALSE(DisplayAnswers(env));
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = (folder.path() / "vm-test-0").string();
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server, 1), 0);
    EXPECT_TRUE(DisplayAnswers(env));
    ::close(server);
    EXPECT_FALSE(DisplayAnswers(env));
    EXPECT_FALSE(DisplayAnswers(FakeEnvironment({{"DISPLAY", ":97"}})));
}

}  // namespace
}  // namespace vellamark
