#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <map>
#include <utility>

#include "form/form1.h"
#include "form/form1_view.h"
#include "form/program.h"

class QAction;
class QComboBox;
class QLabel;
class QProgressBar;
class QStyle;

namespace vellamark {

struct ControlDescription;

// The login window in Qt Widgets: builds the controls and menus of the window's description,
// renders what Form1 tells it, and passes the user's clicks and keys to Form1's handlers.
class Form1Window final : public QMainWindow, public Form1View, public ProgramWindow {
    Q_OBJECT

public:
    Form1Window(AccountStore& store, Launcher launcher, Result<WorkingFolders> folders,
                QWidget* parent = nullptr);
    ~Form1Window() override;
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;

    // Where the message boxes go; by default a QMessageBox with the text alone and one OK
    // button. Tests answer them here.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    [[nodiscard]] QWidget* MakeControl(const ControlDescription& description, QWidget* parent);
    void BuildMenus();
    void CentreOnScreen();
    [[nodiscard]] QWidget* Widget(Control control) const { return controls_.at(control); }
    [[nodiscard]] QComboBox* Combo1() const;
    [[nodiscard]] QLabel* Label4() const;
    [[nodiscard]] QProgressBar* ProgressBar1() const;
    [[nodiscard]] int Twips(int twips) const;

    Form1 form_;
    MessageSink messageSink_;
    double dpi_ = 96.0;

    QStyle* passwordStyle_ = nullptr;
    std::map<Control, QWidget*> controls_;
    std::map<MenuItem, QAction*> menuItems_;
};

}  // namespace vellamark
