#pragma once

#include <QMainWindow>
#include <QString>
#include <map>
#include <memory>

#include "form/form1.h"
#include "form/form1_view.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStyle;

namespace vellamark {

class MessageSink;

// The login window in Qt Widgets: builds the controls and menus of the control table, renders
// what Form1 tells it, and passes the user's clicks and keys to Form1's handlers.
class Form1Window final : public QMainWindow, public Form1View {
    Q_OBJECT

public:
    Form1Window(AccountStore& store, MessageSink& messages, Launcher launcher,
                Result<WorkingFolders> folders, QWidget* parent = nullptr);
    ~Form1Window() override;
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;

    [[nodiscard]] Form1& Form() { return form_; }

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
    void BuildMenus();
    void CentreOnScreen();
    [[nodiscard]] QWidget* Widget(Control control) const;
    [[nodiscard]] int Twips(int twips) const;

    MessageSink& messages_;
    Form1 form_;
    double dpiScale_ = 1.0;

    QStyle* passwordStyle_ = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Text8 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLabel* Label4 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lblEncyrption = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label3 = nullptr;
    std::map<MenuItem, QAction*> menuItems_;
};

}  // namespace vellamark
