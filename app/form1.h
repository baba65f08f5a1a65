#pragma once

#include <QMainWindow>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "app/working_folders.h"
#include "cipher/bytes.h"
#include "launch/launch_sequence.h"
#include "launch/launch_ui.h"
#include "store/account_store.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QStyle;

namespace vellamark {

class MessageSink;

// Runs the browser login with the launch values and flags, driving the window's progress display;
// it ends the program through the LaunchUi. Tests put a fake in its place.
using Launcher = std::function<void(const MMain&, const LaunchFlags&, LaunchUi&)>;

// The application title every message box carries.
inline constexpr char kApplicationTitle[] = "VellaMar";

// The one window: the login form, its menus, its handlers, and the progress display of the launch.
class Form1 final : public QMainWindow, public LaunchUi {
    Q_OBJECT

public:
    Form1(StoreKeySource& keys, MessageSink& messages, Launcher launcher, WorkingFolders folders,
          QWidget* parent = nullptr);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Startup before the window is shown: working folders, settings key, settings, the saved
    // accounts and entry 0. False when the program must end (the user has been told why).
    [[nodiscard]] bool Form_Load();

    // The handlers, public so that tests may call the one a disabled item cannot reach.
    void Command1_Click();
    void Combo1_Click();
    void q_Click();
    void d_Click();
    void s_Click();
    void t_Click();
    void w_Click();
    void a1_Click();
    void a2_Click();
    void cmdIgnoreMenubar_Click();
    void cmd5_Click();
    void cmddebug_Click();
    void a_Click();

    // Rebuilds the username list and the tables from the store. False when the program ended.
    [[nodiscard]] bool CreateDropDown();
    // Writes the account lists; says once which field a comma kept out. False when it ended.
    [[nodiscard]] bool SaveUserDetails();

    // The program-wide flags: nothing, true or false.
    [[nodiscard]] std::optional<bool> CreatePage() const { return createPage_; }
    [[nodiscard]] std::optional<bool> IgnoreMenuBar() const { return ignoreMenuBar_; }
    [[nodiscard]] std::optional<bool> DebugMode() const { return debugMode_; }
    [[nodiscard]] std::optional<bool> UseEncryption() const { return useEncryption_; }

    [[nodiscard]] const AccountTables& Tables() const { return tables_; }
    [[nodiscard]] bool ProgramEnded() const { return ended_; }
    [[nodiscard]] int ExitCode() const { return exitCode_; }

    // The About box's text, lines ended by CR LF.
    [[nodiscard]] static QString AboutText();

    // LaunchUi
    [[nodiscard]] float Progress() const override { return progress_; }
    void SetProgress(float value) override;
    void SetStatus(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void Sleep(std::chrono::milliseconds duration) override;
    void EndProgram(int exitCode) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void CentreOnScreen();
    void Message(const QString& text);
    void SelectEntry(int index);
    void ShowProgressDisplay();
    void Combo1_TextEdited(const QString& text);
    int Twips(int twips) const;

    StoreKeySource& keys_;
    MessageSink& messages_;
    Launcher launcher_;
    WorkingFolders folders_;

    AccountTables tables_;
    PlainLists lists_;
    Bytes storeKey_;

    std::optional<bool> createPage_;
    std::optional<bool> ignoreMenuBar_;
    std::optional<bool> debugMode_;
    std::optional<bool> useEncryption_;

    float progress_ = 0.0F;
    bool launching_ = false;
    bool ended_ = false;
    int exitCode_ = 0;
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

    QAction* a1 = nullptr;
    QAction* a2 = nullptr;
    QAction* cmdIgnoreMenubar = nullptr;
    QAction* cmd5 = nullptr;
    QAction* cmddebug = nullptr;
};

}  // namespace vellamark
