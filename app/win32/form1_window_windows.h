#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "form/form1.h"
#include "form/form1_view.h"
#include "form/program.h"

namespace vellamark {

// A MessageBox with the text alone, one OK button and the program's title; returns when it is
// closed. owner: the window it belongs to, or none.
void ShowMessageBox(HWND owner, const std::string& text);

// The login window in plain Win32: user32 controls and the common-controls progress bar, laid
// out from the window's description in twips at the window's DPI. It renders what Form1 tells
// it and passes the user's clicks and keys to Form1's handlers.
class Form1Window final : public Form1View, public ProgramWindow {
public:
    // showCommand: how the program was asked to show its window.
    Form1Window(HINSTANCE instance, int showCommand, AccountStore& store, Launcher launcher,
                Result<WorkingFolders> folders);
    ~Form1Window() override;
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;

    // Makes the window and its controls, hidden, centred on the screen.
    [[nodiscard]] Status Create();
    [[nodiscard]] HWND Handle() const { return window_; }
    [[nodiscard]] HWND ControlHandle(Control control) const;
    [[nodiscard]] HMENU Menu() const { return menu_; }
    // Where the message boxes go; by default ShowMessageBox. Tests answer them here.
    void SetMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }

    // ProgramWindow
    [[nodiscard]] Form1& Form() override { return form_; }
    void Show() override;
    void WhenShownAndIdle(std::function<void()> task) override;
    [[nodiscard]] int Run() override;

    // Form1View
    [[nodiscard]] std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    void SetVisible(Control control, bool visible) override;
    void SetEnabled(Control control, bool enabled) override;
    [[nodiscard]] bool Checked(Control control) const override;
    void SetChecked(Control control, bool checked) override;
    void SetPasswordCharacter(Control control, bool masked) override;
    void SetFocus(Control control) override;
    void SetListEntries(const std::vector<std::string>& entries) override;
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

private:
    struct Fonts;

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    // Handles the keys the dialog manager must not see; true when the message is done.
    [[nodiscard]] bool PreTranslate(MSG& message);
    void CreateControls();
    HMENU CreateMenus();
    // Places and sizes everything again at the window's DPI, on screen.
    void LayOut();

    HINSTANCE instance_;
    int showCommand_;
    Form1 form_;
    HWND window_ = nullptr;
    HMENU menu_ = nullptr;
    std::map<Control, HWND> controls_;
    UINT dpi_ = 96;
    std::unique_ptr<Fonts> fonts_;
    MessageSink messageSink_;
    HWND lastFocus_ = nullptr;
    std::function<void()> idleTask_;
    bool quitPosted_ = false;
    int exitCode_ = 0;
};

}  // namespace vellamark
