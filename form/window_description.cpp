#include "form/window_description.h"

#include <algorithm>
#include <cmath>

#include "form/form1.h"

namespace vellamark {
namespace {

using enum ControlKind;
using enum ControlFont;

constexpr ControlDescription kControls[] = {
    // control, name, kind, in the frame, left, top, width, height, tab index, font, caption,
    // visible, enabled, password character, accessible name, label
    {Control::Check1, "Check1", kCheckBox, true, 2760, 1920, 2415, 315, 3, kVerdana825,
     "Save Password", true, true, false, "", std::nullopt},
    {Control::Label1, "Label1", kLabel, true, 720, 720, 1215, 255, 9, kVerdana9, "Username :", true,
     true, false, "", std::nullopt},
    {Control::Combo1, "Combo1", kComboBox, true, 2760, 720, 2655, 330, 4, kVerdana9, "", true, true,
     false, "Username", Control::Label1},
    {Control::Command1, "Command1", kCommandButton, true, 4800, 2640, 1215, 375, 5, kVerdana825Bold,
     "Login", true, true, false, "", std::nullopt},
    {Control::Label2, "Label2", kLabel, true, 720, 1080, 1215, 255, 10, kVerdana9,
     "Password :", true, true, false, "", std::nullopt},
    {Control::Text2, "Text2", kTextBox, true, 2760, 1080, 2655, 330, 6, kVerdana9, "", true, true,
     true, "Password", Control::Label2},
    {Control::Label5, "Label5", kLabel, true, 720, 1440, 1215, 255, 12, kVerdana9, "PIN :", true,
     true, false, "", std::nullopt},
    // The PIN is shown in clear until an account is picked.
    {Control::Text8, "Text8", kTextBox, true, 2760, 1440, 2655, 330, 11, kVerdana9, "", true, true,
     false, "PIN", Control::Label5},
    // The status line and the bar are named by what they show, never by the caption "Label4".
    {Control::Label4, "Label4", kLabel, true, 360, 1920, 4215, 255, 8, kSystem, "Label4", false,
     true, false, "Login status", std::nullopt},
    {Control::ProgressBar1, "ProgressBar1", kProgressBar, true, 360, 2280, 5655, 255, 2, kSystem,
     "", false, true, false, "Login progress", std::nullopt},
    {Control::lblEncyrption, "lblEncyrption", kLabel, true, 720, 2640, 3375, 255, 7, kVerdana825,
     "Label5", true, true, false, "", std::nullopt},
    {Control::Label3, "Label3", kLabel, false, 240, 4200, 6135, 615, 0, kVerdana825,
     "By logging in to this service you agree to be bound by the Subscriber Agreement and the "
     "Terms and Conditions therein, as found under the Help Menu.",
     true, true, false, "", std::nullopt},
    {Control::Frame1, "Frame1", kFrame, false, 240, 240, 6255, 3735, 1, kVerdana825Bold,
     "VellaMark User Details", true, true, false, "", std::nullopt},
};

// item, name, caption, checkable, checked, enabled, command
constexpr MenuItemDescription kFileItems[] = {
    {MenuItem::d, "d", "Remove Current Username && Password", false, false, true, &Form1::d_Click},
    {MenuItem::s, "s", "Remove Current Password", false, false, true, &Form1::s_Click},
    {MenuItem::t, "t", "Remove All Usernames && Passwords", false, false, true, &Form1::t_Click},
    {MenuItem::w, "w", "Remove All Passwords", false, false, true, &Form1::w_Click},
    {MenuItem::q, "q", "E&xit", false, false, true, &Form1::q_Click},
};

constexpr MenuItemDescription kSettingsItems[] = {
    {MenuItem::a1, "a1", "Use encyrption", true, true, true, &Form1::a1_Click},
    {MenuItem::a2, "a2", "Do not use encyrption", true, false, false, &Form1::a2_Click},
    {MenuItem::cmdIgnoreMenubar, "cmdIgnoreMenubar", "Ignore MenuBar", true, false, true,
     &Form1::cmdIgnoreMenubar_Click},
    {MenuItem::cmd5, "cmd5", "Create Browser Login", true, false, true, &Form1::cmd5_Click},
    {MenuItem::cmddebug, "cmddebug", "Debug Mode", true, false, true, &Form1::cmddebug_Click},
};

constexpr MenuDescription kMenus[] = {
    {{MenuItem::f, "f", "File", false, false, true, nullptr}, kFileItems},
    {{MenuItem::x, "x", "Settings", false, false, true, nullptr}, kSettingsItems},
    {{MenuItem::a, "a", "About", false, false, true, &Form1::a_Click}, {}},
};

constexpr WindowDescription kForm1{"VellaMark System", 6750, 5070, kControls, kMenus};

constexpr double kTwipsPerInch = 1440.0;

}  // namespace

const WindowDescription& Form1Description() {
    return kForm1;
}

const ControlDescription& DescriptionOf(Control control) {
    return *std::ranges::find(kControls, control, &ControlDescription::control);
}

const MenuItemDescription& DescriptionOf(MenuItem item) {
    for (const MenuDescription& menu : kMenus) {
        if (menu.title.item == item) {
            return menu.title;
        }
        if (const auto found = std::ranges::find(menu.items, item, &MenuItemDescription::item);
            found != menu.items.end()) {
            return *found;
        }
    }
    return kMenus[0].title;  // every item is described
}

VerdanaSize VerdanaSizeOf(ControlFont font) {
    switch (font) {
        case kVerdana9:
            return {9.0, false};
        case kVerdana825:
            return {8.25, false};
        case kVerdana825Bold:
            return {8.25, true};
        case kSystem:
            break;
    }
    return {0.0, false};
}

bool TakesFocus(ControlKind kind) {
    return kind == kComboBox || kind == kTextBox || kind == kCheckBox || kind == kCommandButton;
}

std::vector<Control> TabOrder() {
    std::vector<const ControlDescription*> focusable;
    for (const ControlDescription& control : kControls) {
        if (TakesFocus(control.kind)) {
            focusable.push_back(&control);
        }
    }
    std::ranges::sort(focusable, {}, &ControlDescription::tabIndex);
    std::vector<Control> order;
    for (const ControlDescription* control : focusable) {
        order.push_back(control->control);
    }
    return order;
}

int TwipsToPixels(int twips, double dotsPerInch) {
    return static_cast<int>(std::lround(twips * dotsPerInch / kTwipsPerInch));
}

}  // namespace vellamark
