#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace vellamark {

// The controls of the login window, by their names.
enum class Control {
    Frame1,
    Label1,
    Combo1,
    Label2,
    Text2,
    Label5,
    Text8,
    Check1,
    Label4,
    ProgressBar1,
    lblEncyrption,
    Command1,
    Label3,
};

// The menu items, by their names.
enum class MenuItem { f, d, s, t, w, q, x, a1, a2, cmdIgnoreMenubar, cmd5, cmddebug, a };

// Where a window's message boxes go in place of the toolkit's own box: tests answer them there.
using MessageSink = std::function<void(const std::string& text)>;

// What Form1's behaviour needs of a window. A window toolkit implements it (Qt on Linux, Win32
// on Windows); tests put a recording one in its place. Nothing here raises a handler: a change
// made through the view is the code's own, not the user's.
class Form1View {
public:
    virtual ~Form1View() = default;

    // The text of a box (Combo1's edit text, Text2, Text8) or the caption of a control.
    [[nodiscard]] virtual std::string Text(Control control) const = 0;
    virtual void SetText(Control control, const std::string& text) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    // Check1's tick.
    [[nodiscard]] virtual bool Checked(Control control) const = 0;
    virtual void SetChecked(Control control, bool checked) = 0;
    // Shows the box's text masked with "*" from now on (Text8 once an account is picked).
    virtual void SetPasswordCharacter(Control control, bool masked) = 0;
    virtual void SetFocus(Control control) = 0;

    // Combo1's list: the entries replaced (none selected, the edit text kept as it is), their
    // number, the selected entry (-1 for none), and selecting one from code (its text becomes
    // the edit text; -1 leaves the text as it is).
    virtual void SetListEntries(const std::vector<std::string>& entries) = 0;
    [[nodiscard]] virtual int ListCount() const = 0;
    [[nodiscard]] virtual int ListIndex() const = 0;
    virtual void SetListIndex(int index) = 0;

    [[nodiscard]] virtual bool MenuChecked(MenuItem item) const = 0;
    virtual void SetMenuChecked(MenuItem item, bool checked) = 0;
    // The whole menu bar, switched off while the launch runs.
    virtual void SetMenusEnabled(bool enabled) = 0;

    // ProgressBar1's value, 0 to 100 (a fraction is shown rounded).
    virtual void SetProgressValue(float value) = 0;

    // A modal box with the text alone and one OK button, titled "VellaMar"; returns when closed.
    virtual void ShowMessage(const std::string& text) = 0;
    // Waits this long; the window keeps painting but takes no input.
    virtual void Pause(std::chrono::milliseconds duration) = 0;
    // Ends the program with this exit code once control returns to the window's loop.
    virtual void EndProgram(int exitCode) = 0;
};

}  // namespace vellamark
