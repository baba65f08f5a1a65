#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "form/form1_view.h"
#include "launch/launch_sequence.h"
#include "launch/launch_ui.h"
#include "platform/result.h"
#include "platform/user_folders.h"
#include "store/account_store.h"

namespace vellamark {

// Runs the browser login with the launch values and flags, driving the window's progress display;
// it ends the program through the LaunchUi. Tests put a fake in its place.
using Launcher = std::function<void(const MMain&, const LaunchFlags&, LaunchUi&)>;

// The application title every message box carries.
inline constexpr char kApplicationTitle[] = "VellaMar";

// The key code of Enter, as the key handler receives it.
inline constexpr int kEnterKeyCode = 13;

// The login window's behaviour: its handlers, the program-wide flags and the saved accounts,
// over a view that any window toolkit can provide. It is also the launch's window: the progress
// display, the message boxes, the pauses and the end of the program.
class Form1 final : public LaunchUi {
public:
    // folders: the working folders startup makes sure of, or why there are none.
    Form1(Form1View& view, AccountStore& store, Launcher launcher, Result<WorkingFolders> folders);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Called when Login goes ahead, before the save: starts the browser the launch will use, so
    // that it starts while the accounts are saved. Nothing by default.
    void SetBrowserStart(std::function<void()> start) { startBrowser_ = std::move(start); }

    // Startup before the window is shown: working folders, settings key, settings, the saved
    // accounts and entry 0. Fails when the program has ended (the user has been told why).
    [[nodiscard]] Status Form_Load();
    // The window's close command. True when the close is to be refused (during the launch,
    // which ends the program itself); otherwise the program ends, with nothing written.
    [[nodiscard]] bool Form_Unload();

    void Command1_Click();
    // Enter (key code 13) runs the Login command, also while "Login" is disabled.
    void Text2_KeyDown(int keyCode, int shift);
    void Combo1_Click();
    // The user edited the username box's text: the picked entry is left, the name counts as typed.
    void Combo1_Change();

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

    // Rebuilds the username list and the tables from the store. Fails when the program ended.
    [[nodiscard]] Status CreateDropDown();

    // The program-wide flags: nothing, true or false.
    [[nodiscard]] std::optional<bool> CreatePage() const { return createPage_; }
    [[nodiscard]] std::optional<bool> IgnoreMenuBar() const { return ignoreMenuBar_; }
    [[nodiscard]] std::optional<bool> DebugMode() const { return debugMode_; }
    [[nodiscard]] std::optional<bool> UseEncryption() const { return useEncryption_; }

    [[nodiscard]] const AccountTables& Tables() const { return store_.Tables(); }
    [[nodiscard]] bool Launching() const { return launching_; }
    [[nodiscard]] bool ProgramEnded() const { return ended_; }
    [[nodiscard]] int ExitCode() const { return exitCode_; }

    // The About box's text, lines ended by CR LF.
    [[nodiscard]] static std::string AboutText();

    // LaunchUi
    [[nodiscard]] float Progress() const override { return progress_; }
    void SetProgress(float value) override;
    void SetStatus(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void Sleep(std::chrono::milliseconds duration) override;
    void EndProgram(int exitCode) override;

private:
    // The store's SaveUserDetails (with the login settings, for a login), told to the user in
    // one message: which field could not be stored as typed, or that nothing could be saved and
    // why, followed by the note (a login's word on fields the service gets altered). Fails as
    // the save did: kNotWritten, or, the program having ended, after "Filetime error".
    [[nodiscard]] Status Save(const std::optional<LoginSettings>& settings,
                              const std::string& note = {});
    // The removal commands' save, then the list rebuilt from the store. A save that wrote
    // nothing leaves the tables as the store has them. Done when written and shown.
    [[nodiscard]] Status SaveRemoval();
    // Fills the list from what the store read, and says once why the accounts cannot be shown.
    // Fails when the program ended.
    [[nodiscard]] Status ShowAccounts(Result<StoredAccounts> accounts);
    void SelectEntry(int index);
    void ShowProgressDisplay();
    void ToggleMenu(MenuItem item, std::optional<bool>& flag);
    [[nodiscard]] int SelectedSlot() const;

    Form1View& view_;
    AccountStore& store_;
    Launcher launcher_;
    std::function<void()> startBrowser_;
    Result<WorkingFolders> folders_;

    std::optional<bool> createPage_;
    std::optional<bool> ignoreMenuBar_;
    std::optional<bool> debugMode_;
    std::optional<bool> useEncryption_;

    float progress_ = 0.0F;
    bool toldUnreadable_ = false;
    bool launching_ = false;
    bool ended_ = false;
    int exitCode_ = 0;
};

// For each working folder in turn: when nothing of that name exists, create it. Fails with the
// message for the user, naming the folder and the reason, when one cannot be made.
[[nodiscard]] Status EnsureWorkingFolders(const WorkingFolders& folders);

}  // namespace vellamark
