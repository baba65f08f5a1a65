#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "form/form1_view.h"

namespace vellamark::testsupport {

// A window without a toolkit: it holds each control's state as the window's description leaves
// it at design time, records every message box, pause and end of the program, and answers what
// Form1 asks. Tests play the user by changing it and calling Form1's handlers, as a window would.
class RecordingForm1View final : public Form1View {
public:
    struct ControlState {
        std::string text;
        bool visible = true;
        bool enabled = true;
        bool checked = false;
        bool masked = false;
    };

    RecordingForm1View();

    std::map<Control, ControlState> controls;
    std::vector<std::string> entries;  // Combo1's list
    int listIndex = -1;
    std::map<MenuItem, bool> menuChecked;
    bool menusEnabled = true;
    float progressValue = 0.0F;
    Control focus = Control::Frame1;
    std::vector<std::string> messages;
    // Runs while a message box is open (a test may look at the window then).
    std::function<void(const std::string&)> onMessage;
    std::vector<std::chrono::milliseconds> pauses;
    std::vector<int> endCodes;

    [[nodiscard]] const ControlState& operator[](Control control) const {
        return controls.at(control);
    }

    [[nodiscard]] std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    void SetVisible(Control control, bool visible) override;
    void SetEnabled(Control control, bool enabled) override;
    [[nodiscard]] bool Checked(Control control) const override;
    void SetChecked(Control control, bool checked) override;
    void SetPasswordCharacter(Control control, bool masked) override;
    void SetFocus(Control control) override;
    void SetListEntries(const std::vector<std::string>& newEntries) override;
    [[nodiscard]] int ListCount() const override;
    [[nodiscard]] int ListIndex() const override;
    void SetListIndex(int index) override;
    [[nodiscard]] bool MenuChecked(MenuItem item) const override;
    void SetMenuChecked(MenuItem item, bool checked) override;
    void SetMenusEnabled(bool enabled) override;
    void SetProgressValue(float value) override;
    void ShowMessage(const std::string& text) override;
    void Pause(std::chrono::milliseconds duration) override;
    void EndProgram(int exitCode) override;
};

}  // namespace vellamark::testsupport
