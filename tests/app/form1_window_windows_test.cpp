// What the Win32 window adds to Form1's behaviour: the description's layout in pixels at the
// window's DPI, the fonts, captions and menus, the tab order, masking, and a window that keeps
// painting (and refuses to close) during the launch. Real user32 controls on wine's display.
#include "app/win32/form1_window_windows.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <cmath>
#include <string>
#include <vector>

#include "form/window_description.h"
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
    Form1Window& MakeWindow() {
        accounts_ = std::make_unique<AccountStore>(keys_, store_.session());
        Launcher launcher = [this](const MMain&, const LaunchFlags&, LaunchUi& ui) {
            ++launches_;
            if (duringLaunch_) {
                duringLaunch_(ui);
            }
        };
        window_ = std::make_unique<Form1Window>(
            GetModuleHandleW(nullptr), SW_SHOWNORMAL, *accounts_, launcher,
            WorkingFolders{(dir_.path() / "main").string(),
                           (dir_.path() / "main" / "temp").string()});
        window_->SetMessageSink([this](const std::string& text) { messages_.push_back(text); });
        EXPECT_TRUE(window_->Create().ok());
        return *window_;
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

TEST_F(Form1WindowWindows, ControlsFollowTheDescription) {
    Form1Window& window = MakeWindow();
    const UINT dpi = GetDpiForWindow(window.Handle());
    const auto px = [dpi](int twips) { return TwipsToPixels(twips, dpi); };
    const WindowDescription& form = Form1Description();
    // Controls inside the frame are placed from its corner.
    const ControlDescription& frame = DescriptionOf(Control::Frame1);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    for (const ControlDescription& row : form.controls) {
        SCOPED_TRACE(row.name);
        HWND control = window.ControlHandle(row.control);
        RECT rect{};
        // The username box's own rectangle leaves out its list.
        GetWindowRect(control, &rect);
        MapWindowPoints(HWND_DESKTOP, window.Handle(), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, px(row.left + (row.inFrame ? frame.left : 0)));
        EXPECT_EQ(rect.top, px(row.top + (row.inFrame ? frame.top : 0)));
        EXPECT_EQ(rect.right - rect.left, px(row.width));
        EXPECT_EQ(rect.bottom - rect.top, px(row.height));
        LOGFONTW font{};
        const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_NE(GetObjectW(handle, sizeof font, &font), 0);
        if (row.font != ControlFont::kSystem) {
            EXPECT_EQ(Utf8FromWide(font.lfFaceName), kVerdana);
            EXPECT_EQ(font.lfHeight, -std::lround(VerdanaSizeOf(row.font).points * dpi / 72.0));
            EXPECT_EQ(font.lfWeight, VerdanaSizeOf(row.font).bold ? FW_BOLD : FW_NORMAL);
        } else {
            EXPECT_EQ(std::wstring(font.lfFaceName),
                      std::wstring(metrics.lfMessageFont.lfFaceName));
        }
        EXPECT_EQ(WindowText(control), row.caption);
        EXPECT_EQ((GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0, row.visible);
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, row.enabled);
        if (row.kind == ControlKind::kTextBox) {
            EXPECT_EQ(SendMessageW(control, EM_GETPASSWORDCHAR, 0, 0) == L'*',
                      row.passwordCharacter);
        }
    }
    RECT client{};
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right, px(form.clientWidth));
    EXPECT_EQ(client.bottom, px(form.clientHeight));
    EXPECT_EQ(WindowText(window.Handle()), form.caption);
}

TEST_F(Form1WindowWindows, MenusFollowTheDescription) {
    Form1Window& window = MakeWindow();
    const auto expectItem = [](HMENU menu, int position, const MenuItemDescription& row) {
        wchar_t caption[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(position), caption, 128, MF_BYPOSITION);
        EXPECT_EQ(Utf8FromWide(caption), row.caption);
        const UINT state = GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
        EXPECT_EQ((state & MF_CHECKED) != 0, row.checked) << row.caption;
        EXPECT_EQ((state & MF_GRAYED) == 0, row.enabled) << row.caption;
    };
    for (int position = 0; const MenuDescription& menu : Form1Description().menus) {
        expectItem(window.Menu(), position, menu.title);
        for (int item = 0; item < static_cast<int>(menu.items.size()); ++item) {
            expectItem(GetSubMenu(window.Menu(), position), item, menu.items[item]);
        }
        ++position;
    }
}

TEST_F(Form1WindowWindows, TabOrderStartsAtSavePasswordAndPinIsMaskedOncePicked) {
    Form1Window& window = MakeWindow();
    ASSERT_TRUE(window.Form().Form_Load());
    window.Show();
    std::vector<Control> order;
    HWND focus = GetFocus();
    std::vector<Control> expected = TabOrder();
    expected.push_back(expected.front());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        for (const Control control : TabOrder()) {
            if (focus == window.ControlHandle(control) ||
                IsChild(window.ControlHandle(control), focus)) {
                order.push_back(control);
            }
        }
        focus = GetNextDlgTabItem(window.Handle(), focus, FALSE);
    }
    EXPECT_EQ(order, expected);
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
    window.Show();
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
    for (const ControlDescription& box : Form1Description().controls) {
        if (box.label) {
            EXPECT_EQ(GetWindow(window.ControlHandle(box.control), GW_HWNDPREV),
                      window.ControlHandle(*box.label))
                << box.name;
        }
    }
    // Read through oleacc as a screen reader reads it: wine's oleacc names an edit box by the
    // static text just before it (Windows does so for the combo box too).
    IAccessible* object = nullptr;
    ASSERT_TRUE(SUCCEEDED(AccessibleObjectFromWindow(
        window.ControlHandle(Control::Text8), static_cast<DWORD>(OBJID_CLIENT),
        __uuidof(IAccessible), reinterpret_cast<void**>(&object))));
    VARIANT self{};
    self.vt = VT_I4;
    BSTR name = nullptr;
    object->get_accName(self, &name);
    EXPECT_EQ(name != nullptr ? Utf8FromWide(name) : "", "PIN :");
    SysFreeString(name);
    object->Release();
}

}  // namespace
}  // namespace vellamark
