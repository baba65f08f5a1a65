#include "form/form1.h"

#include <utility>
#include <vector>

#include "launch/login_page.h"
#include "platform/files.h"
#include "store/account_messages.h"

namespace vellamark {
namespace {

// The sentence that names the fields that reach the service altered, or empty text. The same
// rule on every system: the form posts in windows-1252, whatever code page the store uses.
std::string AlteredMessage(const std::string& username, const std::string& password,
                           const std::string& pin) {
    std::vector<std::string> fields;
    for (const auto& [name, text] :
         {std::pair<const char*, const std::string&>{"username", username},
          {"password", password},
          {"PIN", pin}}) {
        if (!PostsUnaltered(text)) {
            fields.emplace_back(name);
        }
    }
    if (fields.empty()) {
        return {};
    }
    const bool one = fields.size() == 1;
    return "The " + FieldNames(fields) + (one ? " reaches" : " reach") +
           " the service altered: " + (one ? "it contains" : "they contain") +
           " characters outside windows-1252, the character set of the login form, which the "
           "browser sends as numbered references (\"&#N;\"). The login goes on.";
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

Status Form1::Form_Load() {
    Status made =
        folders_ ? EnsureWorkingFolders(*folders_)
                 : Status::Fail("The working folders cannot be made: " + folders_.error() + ".");
    if (!made) {
        ShowMessage(made.error());
        EndProgram(1);
        return made;
    }
    // A store that cannot be opened reads as empty and keeps nothing; say so once rather than
    // let saved accounts and settings vanish without a word.
    if (const Status& opened = store_.Opened(); !opened) {
        ShowMessage(opened.error());
    }
    view_.SetListEntries({});
    StoredStart start = store_.Load();
    view_.SetText(Control::lblEncyrption, "(Encyrption is ON)");
    if (start.settings.createPage) {
        view_.SetMenuChecked(MenuItem::cmd5, true);
        createPage_ = true;
    }
    view_.SetMenuChecked(MenuItem::cmdIgnoreMenubar, start.settings.ignoreMenuBar);
    ignoreMenuBar_ = start.settings.ignoreMenuBar;
    view_.SetChecked(Control::Check1, start.settings.savePasswords);

    if (Status shown = ShowAccounts(std::move(start.accounts)); !shown) {
        return shown;
    }
    if (view_.ListCount() > 0) {
        SelectEntry(0);
    }
    view_.SetFocus(Control::Check1);
    return Status::Ok();
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

Status Form1::CreateDropDown() {
    // The username box keeps its text while the list is emptied and refilled.
    const std::string text = view_.Text(Control::Combo1);
    view_.SetListEntries({});
    Status shown = ShowAccounts(store_.ReadAccounts());
    view_.SetText(Control::Combo1, text);
    return shown;
}

Status Form1::ShowAccounts(Result<StoredAccounts> accounts) {
    if (!accounts) {
        // A store that could not be read leaves the list empty; the window goes on.
        ShowMessage(accounts.error());
        if (accounts.Is(StoreFailure::kNotRead)) {
            return Status::Ok();
        }
        EndProgram(1);
        return accounts.status();
    }
    if (!accounts->loginEnabled) {
        view_.SetEnabled(Control::Command1, false);
    }
    view_.SetListEntries(accounts->entries);
    // Lists that cannot be shown are told of once a run.
    if (!accounts->message.empty() && !(accounts->unreadable && toldUnreadable_)) {
        toldUnreadable_ = toldUnreadable_ || accounts->unreadable;
        ShowMessage(accounts->message);
    }
    return Status::Ok();
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

Status Form1::Save(const std::optional<LoginSettings>& settings, const std::string& note) {
    const WindowEntry entry{view_.Text(Control::Combo1), view_.Text(Control::Text2),
                            view_.Text(Control::Text8), view_.Checked(Control::Check1)};
    const Result<SaveReport> saved = store_.SaveUserDetails(entry, settings);
    const auto withNote = [&note](std::string text) {
        return note.empty() ? text : text.empty() ? note : text + " " + note;
    };
    if (saved.Is(StoreFailure::kNotWritten)) {
        ShowMessage(withNote(saved.error()));
        return saved.status();
    }
    if (!saved) {
        ShowMessage(saved.error());
        EndProgram(1);
        return saved.status();
    }
    if (const std::string message = withNote(saved->Notice()); !message.empty()) {
        ShowMessage(message);
    }
    return Status::Ok();
}

Status Form1::SaveRemoval() {
    if (Status saved = Save(std::nullopt); !saved) {
        return saved;
    }
    return CreateDropDown();
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
    if (startBrowser_) {
        startBrowser_();  // it starts while the accounts are saved
    }
    if (view_.ListIndex() == -1) {
        // A typed username goes into the tables after the list.
        store_.PlaceTypedAccount(
            view_.ListCount(), view_.Text(Control::Combo1),
            view_.Checked(Control::Check1) ? view_.Text(Control::Text2) : std::string());
    }

    // The settings and the accounts are one save: both are written, or (the message says why)
    // neither, and the login goes on either way. The debug messages follow the save, so that no
    // message box waits while the store is held.
    const LoginSettings settings{view_.MenuChecked(MenuItem::cmd5),
                                 view_.MenuChecked(MenuItem::cmdIgnoreMenubar),
                                 view_.Checked(Control::Check1), useEncryption_};
    const std::string altered = AlteredMessage(
        view_.Text(Control::Combo1), view_.Text(Control::Text2), view_.Text(Control::Text8));
    if (const Status saved = Save(settings, altered);
        !saved && !saved.Is(StoreFailure::kNotWritten)) {
        return;  // the program has ended
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
    store_.RemoveAccount(k);
    if (!SaveRemoval()) {
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
    store_.ForgetPassword(k);
    view_.SetText(Control::Text2, "");
    view_.SetChecked(Control::Check1, false);
    static_cast<void>(SaveRemoval());
}

void Form1::t_Click() {
    store_.RemoveAll();
    view_.SetText(Control::Text2, "");
    view_.SetText(Control::Text8, "");
    static_cast<void>(SaveRemoval());
}

void Form1::w_Click() {
    store_.ForgetAllPasswords();
    static_cast<void>(SaveRemoval());
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
