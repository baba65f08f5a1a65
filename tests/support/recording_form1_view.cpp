#include "tests/support/recording_form1_view.h"

#include "form/window_description.h"

namespace vellamark::testsupport {

RecordingForm1View::RecordingForm1View() {
    for (const ControlDescription& control : Form1Description().controls) {
        controls[control.control] = {control.caption, control.visible, control.enabled, false,
                                     control.passwordCharacter};
    }
    for (const MenuDescription& menu : Form1Description().menus) {
        menuChecked[menu.title.item] = menu.title.checked;
        for (const MenuItemDescription& item : menu.items) {
            menuChecked[item.item] = item.checked;
        }
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
