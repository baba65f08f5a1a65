// What the Win32 window adds to Form1's behaviour: the control table's layout in pixels at the
// window's DPI, the fonts, captions and menus, the tab order, masking, and a window that keeps
// painting (and refuses to close) during the launch. Real user32 controls on wine's display.
#include "app/win32/form1_window_windows.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "store/registry.h"
#include "tests/support/fake_key_source.h"
#include "tests/support/scratch_store.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

std::string WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return Utf8FromWide(text);
}

class Form1WindowWindows : public ::testing::Test {
protected:
    void SetUp() override { SetRegistryBackend(store_.rooted()); }
    void TearDown() override { SetRegistryBackend(nullptr); }

    Form1Window& MakeWindow() {
        accounts_ = std::make_unique<AccountStore>(keys_);
        Launcher launcher = [this](const MMain&, const LaunchFlags&, LaunchUi& ui) {
            ++launches_;
            if (duringLaunch_) {
                duringLaunch_(ui);
            }
        };
        window_ =
            std::make_unique<Form1Window>(GetModuleHandleW(nullptr), *accounts_, launcher,
                                          WorkingFolders{(dir_.path() / "main").string(),
                                                         (dir_.path() / "main" / "temp").string()});
        window_->SetMessageSink([this](const std::string& text) { messages_.push_back(text); });
        EXPECT_TRUE(window_->Create().ok());
        return *window_;
    }

    // Where a control sits in the window's client area.
    RECT ClientRect(Control control) const {
        RECT rect{};
        GetWindowRect(window_->ControlHandle(control), &rect);
        MapWindowPoints(HWND_DESKTOP, window_->Handle(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    testsupport::TempFolder dir_;
    testsupport::ScratchStore store_;
    testsupport::FakeKeySource keys_;
    std::unique_ptr<AccountStore> accounts_;
    std::unique_ptr<Form1Window> window_;
    std::vector<std::string> messages_;
    int launches_ = 0;
    std::function<void(LaunchUi&)> duringLaunch_;
};

TEST_F(Form1WindowWindows, LayoutFontsAndCaptionsFollowTheControlTable) {
    Form1Window& window = MakeWindow();
    const UINT dpi = GetDpiForWindow(window.Handle());
    const auto px = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
    struct Row {
        Control control;
        int left, top, width, height;  // twips, in the window's client area
        double points;                 // 0: the system's font
        bool bold;
        const char* caption;
    };
    // Controls inside the frame are placed from its corner at 240, 240.
    const Row rows[] = {
        {Control::Frame1, 240, 240, 6255, 3735, 8.25, true, "VellaMark User Details"},
        {Control::Label1, 960, 960, 1215, 255, 9, false, "Username :"},
        {Control::Label2, 960, 1320, 1215, 255, 9, false, "Password :"},
        {Control::Text2, 3000, 1320, 2655, 330, 9, false, ""},
        {Control::Label5, 960, 1680, 1215, 255, 9, false, "PIN :"},
        {Control::Text8, 3000, 1680, 2655, 330, 9, false, ""},
        {Control::Check1, 3000, 2160, 2415, 315, 8.25, false, "Save Password"},
        {Control::Label4, 600, 2160, 4215, 255, 0, false, "Label4"},
        {Control::ProgressBar1, 600, 2520, 5655, 255, 0, false, ""},
        {Control::lblEncyrption, 960, 2880, 3375, 255, 8.25, false, "Label5"},
        {Control::Command1, 5040, 2880, 1215, 375, 8.25, true, "Login"},
        {Control::Label3, 240, 4200, 6135, 615, 8.25, false,
         "By logging in to this service you agree to be bound by the Subscriber Agreement and "
         "the Terms and Conditions therein, as found under the Help Menu."},
    };
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.control));
        const RECT rect = ClientRect(row.control);
        EXPECT_EQ(rect.left, px(row.left));
        EXPECT_EQ(rect.top, px(row.top));
        EXPECT_EQ(rect.right - rect.left, px(row.width));
        EXPECT_EQ(rect.bottom - rect.top, px(row.height));
        LOGFONTW font{};
        const auto handle = reinterpret_cast<HFONT>(
            SendMessageW(window.ControlHandle(row.control), WM_GETFONT, 0, 0));
        ASSERT_NE(GetObjectW(handle, sizeof font, &font), 0);
        if (row.points > 0) {
            EXPECT_EQ(Utf8FromWide(font.lfFaceName), "Verdana");
            EXPECT_EQ(font.lfHeight, -std::lround(row.points * dpi / 72.0));
            EXPECT_EQ(font.lfWeight, row.bold ? FW_BOLD : FW_NORMAL);
        } else {
            EXPECT_EQ(std::wstring(font.lfFaceName),
                      std::wstring(metrics.lfMessageFont.lfFaceName));
        }
        EXPECT_EQ(WindowText(window.ControlHandle(row.control)), row.caption);
    }
    // The combo box's edit field keeps the table's height.
    RECT combo{};
    GetWindowRect(window.ControlHandle(Control::Combo1), &combo);
    EXPECT_EQ(combo.bottom - combo.top, px(330));
    RECT client{};
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right, px(6750));
    EXPECT_EQ(client.bottom, px(5070));
    EXPECT_EQ(WindowText(window.Handle()), "VellaMark System");
}

TEST_F(Form1WindowWindows, MenusHaveTheirCaptionsAndStates) {
    Form1Window& window = MakeWindow();
    struct Row {
        std::vector<int> path;  // positions from the menu bar down
        const char* caption;
        bool checked;
        bool grayed;
    };
    const Row rows[] = {
        {{0}, "File", false, false},
        {{0, 0}, "Remove Current Username && Password", false, false},
        {{0, 1}, "Remove Current Password", false, false},
        {{0, 2}, "Remove All Usernames && Passwords", false, false},
        {{0, 3}, "Remove All Passwords", false, false},
        {{0, 4}, "E&xit", false, false},
        {{1}, "Settings", false, false},
        {{1, 0}, "Use encyrption", true, false},
        {{1, 1}, "Do not use encyrption", false, true},
        {{1, 2}, "Ignore MenuBar", false, false},
        {{1, 3}, "Create Browser Login", false, false},
        {{1, 4}, "Debug Mode", false, false},
        {{2}, "About", false, false},
    };
    for (const auto& row : rows) {
        HMENU menu = window.Menu();
        for (std::size_t i = 0; i + 1 < row.path.size(); ++i) {
            menu = GetSubMenu(menu, row.path[i]);
        }
        const auto position = static_cast<UINT>(row.path.back());
        wchar_t caption[128] = {};
        GetMenuStringW(menu, position, caption, 128, MF_BYPOSITION);
        EXPECT_EQ(Utf8FromWide(caption), row.caption);
        const UINT state = GetMenuState(menu, position, MF_BYPOSITION);
        EXPECT_EQ((state & MF_CHECKED) != 0, row.checked) << row.caption;
        EXPECT_EQ((state & MF_GRAYED) != 0, row.grayed) << row.caption;
    }
}

TEST_F(Form1WindowWindows, TabOrderStartsAtSavePasswordAndPinIsMaskedOncePicked) {
    Form1Window& window = MakeWindow();
    ASSERT_TRUE(window.Form().Form_Load());
    window.Show(SW_SHOWNORMAL);
    std::vector<Control> order;
    HWND focus = GetFocus();
    const Control controls[] = {Control::Check1, Control::Combo1, Control::Command1, Control::Text2,
                                Control::Text8};
    for (int i = 0; i < 6; ++i) {
        for (const Control control : controls) {
            if (focus == window.ControlHandle(control) ||
                IsChild(window.ControlHandle(control), focus)) {
                order.push_back(control);
            }
        }
        focus = GetNextDlgTabItem(window.Handle(), focus, FALSE);
    }
    EXPECT_EQ(order, (std::vector<Control>{Control::Check1, Control::Combo1, Control::Command1,
                                           Control::Text2, Control::Text8, Control::Check1}));
    EXPECT_EQ(SendMessageW(window.ControlHandle(Control::Text2), EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_EQ(SendMessageW(window.ControlHandle(Control::Text8), EM_GETPASSWORDCHAR, 0, 0), 0);
    window.SetPasswordCharacter(Control::Text8, true);
    EXPECT_EQ(SendMessageW(window.ControlHandle(Control::Text8), EM_GETPASSWORDCHAR, 0, 0), L'*');
}

TEST_F(Form1WindowWindows, ListKeepsTheTypedTextAndLeavingAnEntryKeepsIt) {
    Form1Window& window = MakeWindow();
    window.SetText(Control::Combo1, "typed");
    window.SetListEntries({"alice", "bob"});
    EXPECT_EQ(window.Text(Control::Combo1), "typed");
    EXPECT_EQ(window.ListIndex(), -1);
    window.SetListIndex(1);
    EXPECT_EQ(window.Text(Control::Combo1), "bob");
    window.SetText(Control::Combo1, "bobby");
    window.SetListIndex(-1);
    EXPECT_EQ(window.ListIndex(), -1);
    EXPECT_EQ(window.Text(Control::Combo1), "bobby");
    EXPECT_EQ(window.ListCount(), 2);
}

TEST_F(Form1WindowWindows, TheWindowPaintsAndStaysDuringTheLaunch) {
    Form1Window& window = MakeWindow();
    ASSERT_TRUE(window.Form().Form_Load());
    window.Show(SW_SHOWNORMAL);
    bool sawDisplay = false;
    duringLaunch_ = [&](LaunchUi& ui) {
        EXPECT_FALSE(IsWindowVisible(window.ControlHandle(Control::Combo1)));
        EXPECT_TRUE(IsWindowVisible(window.ControlHandle(Control::ProgressBar1)));
        EXPECT_EQ(WindowText(window.ControlHandle(Control::Frame1)), "Vellamark Login Progress");
        ui.SetProgress(37.6F);
        EXPECT_EQ(SendMessageW(window.ControlHandle(Control::ProgressBar1), PBM_GETPOS, 0, 0), 38);
        // Messages sent to the window meanwhile are handled in the pause: a close is refused.
        PostMessageW(window.Handle(), WM_CLOSE, 0, 0);
        InvalidateRect(window.Handle(), nullptr, TRUE);
        ui.Sleep(std::chrono::milliseconds(50));
        RECT dirty{};
        EXPECT_FALSE(GetUpdateRect(window.Handle(), &dirty, FALSE));  // painted
        EXPECT_TRUE(IsWindow(window.Handle()));
        EXPECT_FALSE(window.Form().ProgramEnded());
        ui.EndProgram(3);
        sawDisplay = true;
    };
    window.SetText(Control::Combo1, "ivy");
    window.SetText(Control::Text2, "ipw");
    window.Form().Command1_Click();
    EXPECT_TRUE(sawDisplay);
    EXPECT_EQ(launches_, 1);
    EXPECT_EQ(window.Run(), 3);
}

TEST_F(Form1WindowWindows, EachBoxIsNamedByTheLabelJustBeforeIt) {
    Form1Window& window = MakeWindow();
    // Read through oleacc as a screen reader reads them. Wine's oleacc names an edit box by the
    // static text just before it, and a combo box, a button or a check box by its own text, all
    // in the role "client" (Windows gives each its role, and names the combo box by its label).
    using Read = std::pair<LONG, std::string>;
    const auto read = [&](Control control) {
        IAccessible* object = nullptr;
        if (FAILED(AccessibleObjectFromWindow(
                window.ControlHandle(control), static_cast<DWORD>(OBJID_CLIENT),
                __uuidof(IAccessible), reinterpret_cast<void**>(&object)))) {
            return Read{};
        }
        VARIANT self{};
        self.vt = VT_I4;
        VARIANT role{};
        BSTR name = nullptr;
        object->get_accRole(self, &role);
        object->get_accName(self, &name);
        const std::string text = name != nullptr ? Utf8FromWide(name) : "";
        SysFreeString(name);
        object->Release();
        return Read(role.lVal, text);
    };
    EXPECT_EQ(read(Control::Text2), Read(ROLE_SYSTEM_TEXT, "Password :"));
    EXPECT_EQ(read(Control::Text8), Read(ROLE_SYSTEM_TEXT, "PIN :"));
    EXPECT_EQ(read(Control::Command1).second, "Login");
    EXPECT_EQ(read(Control::Check1).second, "Save Password");
    EXPECT_EQ(GetWindow(window.ControlHandle(Control::Combo1), GW_HWNDPREV),
              window.ControlHandle(Control::Label1));
}

}  // namespace
}  // namespace vellamark
