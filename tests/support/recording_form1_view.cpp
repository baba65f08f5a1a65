#include "tests/support/recording_form1_view.h"

namespace vellamark::testsupport {

RecordingForm1View::RecordingForm1View() {
    for (const Control control :
         {Control::Frame1, Control::Label1, Control::Combo1, Control::Label2, Control::Text2,
          Control::Label5, Control::Text8, Control::Check1, Control::Label4, Control::ProgressBar1,
          Control::lblEncyrption, Control::Command1, Control::Label3}) {
        controls[control] = ControlState{};
    }
    controls[Control::Frame1].text = "VellaMark User Details";
    controls[Control::Label1].text = "Username :";
    controls[Control::Label2].text = "Password :";
    controls[Control::Label5].text = "PIN :";
    controls[Control::Check1].text = "Save Password";
    controls[Control::Label4].text = "Label4";
    controls[Control::Label4].visible = false;
    controls[Control::ProgressBar1].visible = false;
    controls[Control::lblEncyrption].text = "Label5";
    controls[Control::Command1].text = "Login";
    controls[Control::Text2].masked = true;
    for (const MenuItem item :
         {MenuItem::f, MenuItem::d, MenuItem::s, MenuItem::t, MenuItem::w, MenuItem::q, MenuItem::x,
          MenuItem::a1, MenuItem::a2, MenuItem::cmdIgnoreMenubar, MenuItem::cmd5,
          MenuItem::cmddebug, MenuItem::a}) {
        menuChecked[item] = item == MenuItem::a1;
    }
}

std::string RecordingForm1View::Text(Control control) const {
    return controls.at(control).text;
}

void RecordingForm1View::SetText(Control control, const std::string& text) {
    controls[control].text = text;
}

void RecordingForm1View::SetVisible(Control control, bool visible) {
    controls[control].visible = visible;
}

void RecordingForm1View::SetEnabled(Control control, bool enabled) {
    controls[control].enabled = enabled;
}

bool RecordingForm1View::Checked(Control control) const {
    return controls.at(control).checked;
}

void RecordingForm1View::SetChecked(Control control, bool checked) {
    controls[control].checked = checked;
}

void RecordingForm1View::SetPasswordCharacter(Control control, bool masked) {
    controls[control].masked = masked;
}

void RecordingForm1View::SetFocus(Control control) {
    focus = control;
}

void RecordingForm1View::SetListEntries(const std::vector<std::string>& newEntries) {
    entries = newEntries;
    listIndex = -1;
}

int RecordingForm1View::ListCount() const {
    return static_cast<int>(entries.size());
}

int RecordingForm1View::ListIndex() const {
    return listIndex;
}

void RecordingForm1View::SetListIndex(int index) {
    listIndex = index >= 0 && index < ListCount() ? index : -1;
    if (listIndex >= 0) {
        controls[Control::Combo1].text = entries[static_cast<std::size_t>(listIndex)];
    }
}

bool RecordingForm1View::MenuChecked(MenuItem item) const {
    return menuChecked.at(item);
}

void RecordingForm1View::SetMenuChecked(MenuItem item, bool checked) {
    menuChecked[item] = checked;
}

void RecordingForm1View::SetMenusEnabled(bool enabled) {
    menusEnabled = enabled;
}

void RecordingForm1View::SetProgressValue(float value) {
    progressValue = value;
}

void RecordingForm1View::ShowMessage(const std::string& text) {
    messages.push_back(text);
    if (onMessage) {
        onMessage(text);
    }
}

void RecordingForm1View::Pause(std::chrono::milliseconds duration) {
    pauses.push_back(duration);
}

void RecordingForm1View::EndProgram(int exitCode) {
    endCodes.push_back(exitCode);
}

}  // namespace vellamark::testsupport
