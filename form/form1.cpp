#include "form/form1.h"

#include <cmath>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "store/registry.h"

namespace vellamark {
namespace {

// One sentence for each reason a field was not stored as typed, naming the fields.
std::string NotStoredMessage(const SaveReport& report) {
    struct Reason {
        NotStored why;
        const char* holds;   // what the fields hold
        const char* cannot;  // why that cannot be stored
    };
    static constexpr Reason kReasons[] = {
        {NotStored::kComma, "a comma", "which the list of saved accounts cannot hold"},
        {NotStored::kOutsideCodePage, "characters outside this system's character set",
         "which the settings cannot hold exactly"},
        {NotStored::kControlCharacter, "a control character",
         "which the list of saved accounts cannot hold"},
    };
    std::string message;
    for (const Reason& reason : kReasons) {
        std::vector<std::string> fields;
        if (report.username == reason.why) {
            fields.emplace_back("username");
        }
        if (report.password == reason.why) {
            fields.emplace_back("password");
        }
        if (report.pin == reason.why) {
            fields.emplace_back("PIN");
        }
        if (fields.empty()) {
            continue;
        }
        std::string named = fields.front();
        if (fields.size() == 2) {
            named = fields[0] + " and " + fields[1];
        } else if (fields.size() == 3) {
            named = fields[0] + ", " + fields[1] + " and " + fields[2];
        }
        const bool one = fields.size() == 1;
        message += std::string(message.empty() ? "" : " ") + "The " + named +
                   (one ? " was" : " were") +
                   " not saved: " + (one ? "it contains " : "they contain ") + reason.holds + ", " +
                   reason.cannot + ".";
    }
    return message;
}

Status EnsureFolder(const std::string& folder, bool withParents) {
    if (KindOf(folder) != FileKind::kNone) {
        // Something of that name is there: it is left alone, as the folder it should be.
        return Status::Ok();
    }
    // The data folder above the first one may be missing on a fresh account.
    const Status made = withParents ? CreateFolders(folder) : CreateFolder(folder).status();
    if (!made) {
        return Status::Fail("The working folder \"" + folder +
                            "\" could not be created: " + made.error() + ".");
    }
    return Status::Ok();
}

}  // namespace

Status EnsureWorkingFolders(const WorkingFolders& folders) {
    if (auto made = EnsureFolder(folders.main, true); !made) {
        return made;
    }
    return EnsureFolder(folders.temp, false);
}

Form1::Form1(Form1View& view, AccountStore& store, Launcher launcher,
             Result<WorkingFolders> folders)
    : view_(view), store_(store), launcher_(std::move(launcher)), folders_(std::move(folders)) {}

bool Form1::Form_Load() {
    Status made =
        folders_ ? EnsureWorkingFolders(*folders_)
                 : Status::Fail("The working folders cannot be made: " + folders_.error() + ".");
    if (!made) {
        ShowMessage(made.error());
        EndProgram(1);
        return false;
    }
    // A store that cannot be opened reads as empty and keeps nothing; say so once rather than
    // let saved accounts and settings vanish without a word.
    const std::string storeProblem = RegistryStoreProblem();
    if (!storeProblem.empty()) {
        ShowMessage(storeProblem);
    }
    bool createPage = false;
    bool ignoreMenuBar = false;
    bool savePasswords = false;
    std::int32_t readOutcome = kErrorSuccess;
    Result<StoredAccounts> accounts = Status::Fail("not read");
    {
        // One read of the store for all of startup: everything is seen at one moment, and a
        // store another program holds keeps the window waiting once, for a moment, not at every
        // value. The read ends before any message box opens.
        RegistryTransaction reading(kSettingsRoot, kSettingsKeyNoSlash, TransactionKind::kRead,
                                    store_.LockWait());
        store_.EnsureSettingsKey();
        createPage = store_.CreatePageSetting();
        ignoreMenuBar = store_.IgnoreMenuBarSetting();
        savePasswords = store_.SavePasswordsSetting();
        view_.SetListEntries({});
        accounts = store_.ReadAccounts();
        readOutcome = reading.Commit();
    }
    view_.SetText(Control::lblEncyrption, "(Encyrption is ON)");
    if (createPage) {
        view_.SetMenuChecked(MenuItem::cmd5, true);
        createPage_ = true;
    }
    view_.SetMenuChecked(MenuItem::cmdIgnoreMenubar, ignoreMenuBar);
    ignoreMenuBar_ = ignoreMenuBar;
    view_.SetChecked(Control::Check1, savePasswords);

    if (accounts && accounts->problem == StoredAccounts::Problem::kReadFailed) {
        // The settings were not read either: one message for both, none when the user has just
        // been told that the store cannot be opened at all.
        accounts->message = storeProblem.empty()
                                ? "The saved settings and accounts could not be read: " +
                                      StoreFailureText(readOutcome, store_.LockWait()) +
                                      ". The launcher starts without them; nothing stored was "
                                      "changed."
                                : std::string();
    }
    if (!ShowAccounts(std::move(accounts))) {
        return false;
    }
    if (view_.ListCount() > 0) {
        SelectEntry(0);
    }
    view_.SetFocus(Control::Check1);
    return true;
}

bool Form1::Form_Unload() {
    if (launching_ && !ended_) {
        return true;  // the launch ends the program itself
    }
    // The program ends at once; nothing is written.
    if (!ended_) {
        EndProgram(0);
    }
    return false;
}

bool Form1::CreateDropDown() {
    // The username box keeps its text while the list is emptied and refilled.
    const std::string text = view_.Text(Control::Combo1);
    view_.SetListEntries({});
    const bool shown = ShowAccounts(store_.ReadAccounts());
    view_.SetText(Control::Combo1, text);
    return shown;
}

bool Form1::ShowAccounts(Result<StoredAccounts> accounts) {
    if (!accounts) {
        ShowMessage(accounts.error());
        EndProgram(1);
        return false;
    }
    if (!accounts->loginEnabled) {
        view_.SetEnabled(Control::Command1, false);
    }
    view_.SetListEntries(accounts->entries);
    // Lists that cannot be shown are told of once a run; a store that could not be read, each
    // time.
    const bool unreadable = accounts->problem == StoredAccounts::Problem::kUnreadable;
    if (!accounts->message.empty() && !(unreadable && toldUnreadable_)) {
        toldUnreadable_ = toldUnreadable_ || unreadable;
        ShowMessage(accounts->message);
    }
    return true;
}

void Form1::SelectEntry(int index) {
    view_.SetListIndex(index);
    Combo1_Click();
}

int Form1::SelectedSlot() const {
    const int k = view_.ListIndex();
    return k >= 0 && k < kAccountSlots ? k : -1;
}

void Form1::Combo1_Click() {
    const int k = SelectedSlot();
    if (k < 0) {
        return;
    }
    const AccountTables& tables = store_.Tables();
    const auto slot = static_cast<std::size_t>(k);
    const std::string& password = tables.savedPasswords[slot];
    view_.SetText(Control::Text2, password != kNoPasswordMarker ? password : std::string());
    view_.SetPasswordCharacter(Control::Text8, true);
    view_.SetText(Control::Text8, tables.savedPins[slot]);
    view_.SetChecked(Control::Check1, tables.passwordSavedFlags[slot] == 1);
}

void Form1::Combo1_Change() {
    if (view_.ListIndex() == -1) {
        return;
    }
    // Leaving the picked entry keeps the text the user has just made.
    view_.SetListIndex(-1);
}

Form1::Saved Form1::SaveUserDetails(const std::optional<LoginSettings>& settings) {
    const WindowEntry entry{view_.Text(Control::Combo1), view_.Text(Control::Text2),
                            view_.Text(Control::Text8), view_.Checked(Control::Check1)};
    auto saved = store_.SaveUserDetails(entry, settings);
    if (!saved) {
        ShowMessage(saved.error());
        EndProgram(1);
        return Saved::kProgramEnded;
    }
    if (!saved->failure.empty()) {
        ShowMessage(
            "The accounts could not be saved: " + saved->failure + "." +
            (settings ? " The login goes on without saving them." : " Nothing was changed."));
        return Saved::kNotWritten;
    }
    if (const std::string notStored = NotStoredMessage(*saved); !notStored.empty()) {
        ShowMessage(notStored);
    }
    return Saved::kWritten;
}

bool Form1::SaveRemoval(const AccountTables& before) {
    const Saved saved = SaveUserDetails(std::nullopt);
    if (saved == Saved::kNotWritten) {
        store_.Tables() = before;
    }
    return saved == Saved::kWritten && CreateDropDown();
}

void Form1::Text2_KeyDown(int keyCode, int /*shift*/) {
    if (keyCode == kEnterKeyCode) {
        Command1_Click();
    }
}

void Form1::Command1_Click() {
    if (launching_ || ended_) {
        return;
    }
    const bool debug = debugMode_.value_or(false);
    if (debug) {
        ShowMessage("Start click");
    }
    if (view_.Text(Control::Text2).empty() || view_.Text(Control::Combo1).empty()) {
        ShowMessage("You must enter a username and password");
        return;
    }
    if (view_.ListIndex() == -1) {
        // A typed username goes to slot n + 1; slot n stays the empty one after the list. With
        // the list full there is no slot for it: the login goes on without saving it.
        const int slot = view_.ListCount() + 1;
        if (slot < kAccountSlots) {
            AccountTables& tables = store_.Tables();
            const auto k = static_cast<std::size_t>(slot);
            tables.savedUsernames[k] = view_.Text(Control::Combo1);
            tables.savedPasswords[k] =
                view_.Checked(Control::Check1) ? view_.Text(Control::Text2) : std::string();
        }
    }

    // The settings and the accounts are one save: both are written, or (the message says why)
    // neither, and the login goes on either way. The debug messages follow the save, so that no
    // message box waits while the store is held.
    const LoginSettings settings{view_.MenuChecked(MenuItem::cmd5),
                                 view_.MenuChecked(MenuItem::cmdIgnoreMenubar),
                                 view_.Checked(Control::Check1), useEncryption_};
    if (SaveUserDetails(settings) == Saved::kProgramEnded) {
        return;
    }
    if (debug) {
        ShowMessage("Keys Created");
        ShowMessage("Details Saved");
    }

    MMain values;
    values.LoginUsername = view_.Text(Control::Combo1);
    values.LoginPassword = view_.Text(Control::Text2);
    values.LoginPin = view_.Text(Control::Text8);

    ShowProgressDisplay();
    if (debug) {
        ShowMessage("Leaving Sub");
    }
    LaunchFlags flags;
    flags.DebugMode = debugMode_.value_or(false);
    flags.CreatePage = createPage_.value_or(false);
    flags.IgnoreMenuBar = ignoreMenuBar_.value_or(false);
    if (launcher_) {
        launcher_(values, flags, *this);
    }
}

void Form1::ShowProgressDisplay() {
    launching_ = true;
    for (const Control control :
         {Control::Combo1, Control::Command1, Control::Text2, Control::Text8, Control::Check1,
          Control::Label1, Control::Label2, Control::Label5}) {
        view_.SetVisible(control, false);
    }
    // The menus would run commands in the middle of the launch.
    view_.SetMenusEnabled(false);
    view_.SetText(Control::Frame1, "Vellamark Login Progress");
    view_.SetText(Control::Label4, "Initialising System .....");
    view_.SetVisible(Control::Label4, true);
    view_.SetVisible(Control::ProgressBar1, true);
    SetProgress(2.0F);
}

void Form1::q_Click() {
    EndProgram(0);
}

void Form1::d_Click() {
    const int k = SelectedSlot();
    if (k < 0) {
        return;  // a typed username has no slot to remove
    }
    AccountTables& tables = store_.Tables();
    const AccountTables before = tables;
    tables.savedPasswords[static_cast<std::size_t>(k)].clear();
    tables.savedUsernames[static_cast<std::size_t>(k)].clear();
    if (!SaveRemoval(before)) {
        return;
    }
    view_.SetText(Control::Text2, "");
    view_.SetChecked(Control::Check1, false);
}

void Form1::s_Click() {
    const int k = SelectedSlot();
    if (k < 0) {
        return;
    }
    const AccountTables before = store_.Tables();
    store_.Tables().savedPasswords[static_cast<std::size_t>(k)] = kNoPasswordMarker;
    view_.SetText(Control::Text2, "");
    view_.SetChecked(Control::Check1, false);
    static_cast<void>(SaveRemoval(before));
}

void Form1::t_Click() {
    AccountTables& tables = store_.Tables();
    const AccountTables before = tables;
    for (std::size_t i = 0; i < kAccountSlots; ++i) {
        tables.savedUsernames[i].clear();
        tables.savedPasswords[i].clear();
        tables.savedPins[i].clear();
    }
    view_.SetText(Control::Text2, "");
    view_.SetText(Control::Text8, "");
    static_cast<void>(SaveRemoval(before));
}

void Form1::w_Click() {
    AccountTables& tables = store_.Tables();
    const AccountTables before = tables;
    for (std::size_t i = 0; i < kAccountSlots; ++i) {
        tables.savedPasswords[i] = kNoPasswordMarker;
    }
    static_cast<void>(SaveRemoval(before));
}

void Form1::a1_Click() {
    useEncryption_ = true;
    view_.SetText(Control::lblEncyrption, "(Encyrption is ON)");
}

void Form1::a2_Click() {
    useEncryption_ = false;
    view_.SetText(Control::lblEncyrption, "(Encyrption is OFF)");
}

// "Create Browser Login" and "Ignore MenuBar" decide by their own check marks.
void Form1::ToggleMenu(MenuItem item, std::optional<bool>& flag) {
    const bool on = !view_.MenuChecked(item);
    view_.SetMenuChecked(item, on);
    flag = on;
}

void Form1::cmd5_Click() {
    ToggleMenu(MenuItem::cmd5, createPage_);
}

void Form1::cmdIgnoreMenubar_Click() {
    ToggleMenu(MenuItem::cmdIgnoreMenubar, ignoreMenuBar_);
}

void Form1::cmddebug_Click() {
    // Decided by the flag, not by the mark.
    const bool on = !debugMode_.value_or(false);
    view_.SetMenuChecked(MenuItem::cmddebug, on);
    debugMode_ = on;
}

std::string Form1::AboutText() {
    return "Vellamark Launcher Application Version : 3.25\r\n"
           "\r\n"
           "Corvane Software Limited\r\n"
           "1 Harbour Street\r\n"
           "Ostrand\r\n"
           "Vellamark\r\n"
           "\r\n"
           "www.vellamark.example\r\n";
}

void Form1::a_Click() {
    ShowMessage(AboutText());
}

void Form1::SetProgress(float value) {
    progress_ = value;
    view_.SetProgressValue(value);
}

void Form1::SetStatus(const std::string& text) {
    view_.SetText(Control::Label4, text);
}

void Form1::ShowMessage(const std::string& text) {
    view_.ShowMessage(text);
}

void Form1::Sleep(std::chrono::milliseconds duration) {
    view_.Pause(duration);
}

void Form1::EndProgram(int exitCode) {
    ended_ = true;
    exitCode_ = exitCode;
    view_.EndProgram(exitCode);
}

}  // namespace vellamark
