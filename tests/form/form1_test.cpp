// The login window's behaviour as a user meets it, without a toolkit: a recording window, a store
// of its own, fixed key texts and a launcher that records what it was given.
#include "form/form1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "store/key_text.h"
#include "store/registry.h"
#include "store/registry_session.h"
#include "store/user_registry.h"
#include "tests/support/fake_key_source.h"
#include "tests/support/recording_form1_view.h"
#include "tests/support/scratch_store.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

using testsupport::RecordingForm1View;

using Strings = std::vector<std::string>;

// Every value of the settings key, as name=text, to show that nothing was written.
Strings Snapshot() {
    Strings lines;
    for (const auto& name : RegistryValueNames(kSettingsRoot, kSettingsKey)) {
        lines.push_back(name + "=" + ReadSetting(name));
    }
    return lines;
}

Strings Names(const AccountList& accounts) {
    Strings names;
    for (const auto& account : accounts) {
        names.push_back(account.username);
    }
    return names;
}

class Form1Test : public ::testing::Test {
protected:
    WorkingFolders Folders() const {
        return {(dir_.path() / "data" / "vellamark").string(),
                (dir_.path() / "data" / "vellamark" / "temp").string()};
    }

    Form1& MakeForm(RegistrySession* registry = nullptr) {
        accounts_ = std::make_unique<AccountStore>(keys_, registry ? *registry : store_.session());
        Launcher launcher = [this](const MMain& values, const LaunchFlags& flags, LaunchUi& ui) {
            ++launches_;
            launched_ = values;
            launchedFlags_ = flags;
            messagesAtLaunch_ = view_.messages;
            if (duringLaunch_) {
                duringLaunch_(ui);
            }
        };
        form_ = std::make_unique<Form1>(view_, *accounts_, launcher, Folders());
        return *form_;
    }

    Form1& LoadedForm() {
        Form1& form = MakeForm();
        EXPECT_TRUE(form.Form_Load()) << (view_.messages.empty() ? "" : view_.messages[0]);
        return form;
    }

    // Stores accounts the way a previous run would have, under the first way's key.
    void Seed(const AccountList& accounts) { store_.StoreLists(ListsOf(accounts)); }

    // Removes the settings key with everything in it, as on a first run.
    void ForgetStore() {
        static_cast<void>(
            store_.session().backend().DeleteKeyTree(kSettingsRoot, kSettingsKeyNoSlash));
    }

    // The stored accounts read back through the store, independently of the window.
    AccountList Stored() {
        AccountStore store(keys_, store_.session());
        const auto read = store.ReadAccounts();
        AccountList accounts;
        for (std::size_t i = 0; read && i < read->entries.size(); ++i) {
            const AccountTables& t = store.Tables();
            accounts.push_back({t.savedUsernames[i], t.savedPasswords[i], t.savedPins[i]});
        }
        return accounts;
    }

    // The user types into the username box, replacing its text.
    void TypeUsername(const std::string& text) {
        view_.SetText(Control::Combo1, text);
        form_->Combo1_Change();
    }

    void Fill(const std::string& user, const std::string& password, const std::string& pin) {
        TypeUsername(user);
        view_.SetText(Control::Text2, password);
        view_.SetText(Control::Text8, pin);
    }

    void Pick(int index) {
        view_.SetListIndex(index);
        form_->Combo1_Click();
    }

    const AccountList threeAccounts_{
        {"alice", "apw", "1111"}, {"bob", "bpw", "2222"}, {"carol", "cpw", "3333"}};

    testsupport::TempFolder dir_;
    testsupport::ScratchStore store_;
    testsupport::FakeKeySource keys_;
    RecordingForm1View view_;
    std::unique_ptr<AccountStore> accounts_;
    std::unique_ptr<Form1> form_;
    int launches_ = 0;
    MMain launched_;
    LaunchFlags launchedFlags_;
    Strings messagesAtLaunch_;
    std::function<void(LaunchUi&)> duringLaunch_;
};

TEST_F(Form1Test, FirstRunMakesFoldersAndKeyAndShowsTheEntryState) {
    Form1& form = LoadedForm();
    EXPECT_TRUE(std::filesystem::is_directory(Folders().main));
    EXPECT_TRUE(std::filesystem::is_directory(Folders().temp));
    EXPECT_TRUE(RegistryKeyExists(kSettingsRoot, kSettingsKey));
    EXPECT_EQ(Snapshot(), Strings{});
    EXPECT_EQ(view_.messages, Strings{});

    EXPECT_EQ(view_.ListCount(), 0);
    EXPECT_FALSE(view_[Control::Check1].checked);
    EXPECT_TRUE(view_[Control::Command1].enabled);
    EXPECT_FALSE(view_.MenuChecked(MenuItem::cmd5));
    EXPECT_FALSE(view_.MenuChecked(MenuItem::cmdIgnoreMenubar));
    EXPECT_EQ(view_[Control::lblEncyrption].text, "(Encyrption is ON)");
    EXPECT_FALSE(form.CreatePage().has_value());
    EXPECT_EQ(form.IgnoreMenuBar(), std::optional<bool>(false));
    EXPECT_FALSE(form.DebugMode().has_value());
    EXPECT_FALSE(form.UseEncryption().has_value());
    EXPECT_FALSE(view_[Control::Text8].masked);  // the PIN in clear until an account is picked
    EXPECT_FALSE(view_[Control::Label4].visible);
    EXPECT_FALSE(view_[Control::ProgressBar1].visible);
    EXPECT_EQ(view_.focus, Control::Check1);
}

TEST_F(Form1Test, StoredSettingsAreApplied) {
    struct Row {
        const char* name;
        const char* createpage;
        const char* ignoremenubar;
        const char* savepasswords;
        bool cmd5Checked;
        std::optional<bool> createPageFlag;
        bool ignoreChecked;
        bool check1;
    };
    const Row rows[] = {
        {"all set", "True", "True", "1", true, true, true, true},
        {"lower-case true is left off", "true", "true", "1", false, std::nullopt, false, true},
        {"False and 0", "False", "False", "0", false, std::nullopt, false, false},
        {"savepasswords not a number", "True", "False", "yes", true, true, false, false},
        {"savepasswords 1.0 reads as 1", "", "", "1.0", false, std::nullopt, false, true},
    };
    for (const auto& row : rows) {
        view_ = RecordingForm1View{};
        CreateRegistryKey(kSettingsRoot, kSettingsKeyNoSlash);
        WriteRegistryString(kSettingsRoot, kSettingsKey, kCreatePageValue,
                            std::string(row.createpage));
        WriteRegistryString(kSettingsRoot, kSettingsKey, kIgnoreMenuBarValue,
                            std::string(row.ignoremenubar));
        WriteRegistryString(kSettingsRoot, kSettingsKey, kSavePasswordsValue,
                            std::string(row.savepasswords));
        Form1& form = LoadedForm();
        EXPECT_EQ(view_.MenuChecked(MenuItem::cmd5), row.cmd5Checked) << row.name;
        EXPECT_EQ(form.CreatePage(), row.createPageFlag) << row.name;
        EXPECT_EQ(view_.MenuChecked(MenuItem::cmdIgnoreMenubar), row.ignoreChecked) << row.name;
        EXPECT_EQ(form.IgnoreMenuBar(), std::optional<bool>(row.ignoreChecked)) << row.name;
        EXPECT_EQ(view_[Control::Check1].checked, row.check1) << row.name;
    }
}

TEST_F(Form1Test, StartupFailuresEndBeforeTheWindowShows) {
    struct Row {
        const char* name;
        bool fileTimesReadable;
        bool mainFolderIsAFile;
        std::string message;
    };
    const Row rows[] = {
        {"file times unreadable", false, false, "Filetime error"},
        {"working folder is a file", true, true,
         "The working folder \"" + Folders().temp + "\" could not be created: "},
    };
    for (const auto& row : rows) {
        view_ = RecordingForm1View{};
        keys_.first =
            row.fileTimesReadable ? std::optional<std::string>(keys_.kFirst) : std::nullopt;
        std::filesystem::remove_all(dir_.path() / "data");
        if (row.mainFolderIsAFile) {
            std::filesystem::create_directories(dir_.path() / "data");
            std::ofstream(Folders().main) << "not a folder";
        }
        Form1& form = MakeForm();
        EXPECT_FALSE(form.Form_Load()) << row.name;
        EXPECT_TRUE(form.ProgramEnded()) << row.name;
        EXPECT_NE(form.ExitCode(), 0) << row.name;
        ASSERT_EQ(view_.messages.size(), 1u) << row.name;
        EXPECT_EQ(view_.messages[0].rfind(row.message, 0), 0u) << view_.messages[0];
    }
}

TEST_F(Form1Test, AnUnopenableStoreIsReportedOnceAndStartupGoesOn) {
    RegistrySession unopenable(MakeUnavailableRegistry(kErrorRegistryIoFailed),
                               Status::Fail("The settings cannot be kept: cannot open the store."));
    Form1& form = MakeForm(&unopenable);
    EXPECT_TRUE(form.Form_Load());
    EXPECT_EQ(view_.messages, Strings{"The settings cannot be kept: cannot open the store."});
    EXPECT_TRUE(view_[Control::Command1].enabled);
}

TEST_F(Form1Test, RefusalLeavesEverythingAsItWas) {
    const std::pair<const char*, const char*> rows[] = {{"", "pw"}, {"bob", ""}, {"", ""}};
    LoadedForm();
    int browserStarts = 0;
    form_->SetBrowserStart([&browserStarts] { ++browserStarts; });
    for (const auto& [username, password] : rows) {
        view_.messages.clear();
        const Strings before = Snapshot();
        Fill(username, password, "1234");
        form_->Command1_Click();
        EXPECT_EQ(view_.messages, Strings{"You must enter a username and password"});
        EXPECT_EQ(launches_, 0);
        EXPECT_EQ(Snapshot(), before);
        EXPECT_TRUE(view_[Control::Combo1].visible);
        EXPECT_EQ(view_[Control::Frame1].text, "VellaMark User Details");
    }
    EXPECT_EQ(browserStarts, 0);  // a refused login starts no browser; one that goes ahead does
    Fill("bob", "pw", "1234");
    form_->Command1_Click();
    EXPECT_EQ(browserStarts, 1);
}

TEST_F(Form1Test, EnterInThePasswordBoxRunsTheLoginCommandOnly) {
    LoadedForm();
    view_.SetText(Control::Text2, "pw");
    form_->Text2_KeyDown('A', 0);
    EXPECT_EQ(view_.messages, Strings{});
    form_->Text2_KeyDown(kEnterKeyCode, 1);  // the shift state is not looked at
    EXPECT_EQ(view_.messages, Strings{"You must enter a username and password"});
    EXPECT_EQ(launches_, 0);
}

TEST_F(Form1Test, TypedUsernameLandsInSlotAfterTheEmptyOne) {
    const std::pair<bool, const char*> rows[] = {{true, "dpw"}, {false, "####"}};
    for (const auto& [savePassword, storedPassword] : rows) {
        Seed(threeAccounts_);
        view_ = RecordingForm1View{};
        Form1& form = LoadedForm();
        Fill("dave", "dpw", "4444");
        view_.SetChecked(Control::Check1, savePassword);
        form.Command1_Click();

        EXPECT_EQ(form.Tables().savedUsernames[3], "");
        EXPECT_EQ(form.Tables().savedUsernames[4], "dave");
        const auto stored = Stored();
        EXPECT_EQ(Names(stored), (Strings{"alice", "bob", "carol", "dave"}));
        EXPECT_EQ(stored.at(3).password, storedPassword);
        EXPECT_EQ(stored.at(3).pin, "4444");
        EXPECT_EQ(launched_.LoginUsername, "dave");
        EXPECT_EQ(launched_.LoginPassword, "dpw");
        EXPECT_EQ(launched_.LoginPin, "4444");
    }
    EXPECT_EQ(launches_, 2);
}

TEST_F(Form1Test, LoginWritesTheSettings) {
    struct Row {
        const char* name;
        std::vector<MenuItem> commands;
        const char* ssl;
        const char* createpage;
        const char* ignoremenubar;
    };
    const Row rows[] = {
        {"no encryption item chosen", {}, "", "False", "False"},
        {"Use encyrption", {MenuItem::a1}, "True", "False", "False"},
        {"Do not use encyrption", {MenuItem::a2}, "False", "False", "False"},
        {"off then on", {MenuItem::a2, MenuItem::a1}, "True", "False", "False"},
        {"page and menu bar", {MenuItem::cmd5, MenuItem::cmdIgnoreMenubar}, "", "True", "True"},
        {"page twice", {MenuItem::cmd5, MenuItem::cmd5}, "", "False", "False"},
    };
    for (const auto& row : rows) {
        ForgetStore();
        view_ = RecordingForm1View{};
        Form1& form = LoadedForm();
        for (const MenuItem command : row.commands) {
            switch (command) {
                case MenuItem::a1:
                    form.a1_Click();
                    break;
                case MenuItem::a2:
                    form.a2_Click();  // the item is disabled; its handler still exists
                    break;
                case MenuItem::cmd5:
                    form.cmd5_Click();
                    break;
                default:
                    form.cmdIgnoreMenubar_Click();
            }
        }
        EXPECT_TRUE(view_.MenuChecked(MenuItem::a1)) << row.name;  // never changes
        Fill("erin", "epw", "");
        form.Command1_Click();
        EXPECT_EQ(ReadSetting(kSslValue), row.ssl) << row.name;
        EXPECT_EQ(ReadSetting(kCreatePageValue), row.createpage) << row.name;
        EXPECT_EQ(ReadSetting(kIgnoreMenuBarValue), row.ignoremenubar) << row.name;
        EXPECT_EQ(ReadSetting(kSavePasswordsValue), "0") << row.name;
        EXPECT_EQ(launchedFlags_.CreatePage, std::string(row.createpage) == "True") << row.name;
        EXPECT_EQ(launchedFlags_.IgnoreMenuBar, std::string(row.ignoremenubar) == "True")
            << row.name;
        EXPECT_EQ(launched_.LoginPin, "") << row.name;
    }
}

TEST_F(Form1Test, DebugModeShowsItsMessagesInOrder) {
    struct Row {
        int debugClicks;
        Strings expected;
    };
    const Row rows[] = {
        {0, {}},
        {1, {"Start click", "Keys Created", "Details Saved", "Leaving Sub"}},
        {2, {}},
    };
    for (const auto& row : rows) {
        view_ = RecordingForm1View{};
        Form1& form = LoadedForm();
        for (int i = 0; i < row.debugClicks; ++i) {
            form.cmddebug_Click();
        }
        EXPECT_EQ(view_.MenuChecked(MenuItem::cmddebug), row.debugClicks == 1);
        EXPECT_EQ(form.DebugMode(), row.debugClicks == 0
                                        ? std::optional<bool>()
                                        : std::optional<bool>(row.debugClicks == 1));
        Fill("frank", "fpw", "5555");
        form.Command1_Click();
        EXPECT_EQ(messagesAtLaunch_, row.expected) << row.debugClicks;
        EXPECT_EQ(launchedFlags_.DebugMode, row.debugClicks == 1);
    }
}

TEST_F(Form1Test, PickingAnAccountFillsTheBoxesAndMasksThePin) {
    Seed({{"alice", "apw", "1111"}, {"bob", "####", "2222"}, {"carol", "cpw", "3333"}});
    LoadedForm();
    EXPECT_EQ(view_.entries, (Strings{"alice", "bob", "carol"}));
    // Entry 0 is picked at startup.
    EXPECT_EQ(view_.ListIndex(), 0);
    EXPECT_EQ(view_[Control::Combo1].text, "alice");
    EXPECT_EQ(view_[Control::Text2].text, "apw");
    EXPECT_EQ(view_[Control::Text8].text, "1111");
    EXPECT_TRUE(view_[Control::Text8].masked);
    EXPECT_TRUE(view_[Control::Check1].checked);

    Pick(1);
    EXPECT_EQ(view_[Control::Text2].text, "");
    EXPECT_EQ(view_[Control::Text8].text, "2222");
    EXPECT_FALSE(view_[Control::Check1].checked);

    Pick(2);
    EXPECT_EQ(view_[Control::Text2].text, "cpw");
    EXPECT_TRUE(view_[Control::Check1].checked);
}

TEST_F(Form1Test, EditingThePickedNameMakesItTyped) {
    Seed(threeAccounts_);
    LoadedForm();
    ASSERT_EQ(view_.ListIndex(), 0);
    TypeUsername("alice2");
    EXPECT_EQ(view_.ListIndex(), -1);
    EXPECT_EQ(view_[Control::Combo1].text, "alice2");
    EXPECT_EQ(view_.ListCount(), 3);
}

TEST_F(Form1Test, UnreadableStoreDisablesLoginButEnterStillLogsIn) {
    // UTC and local time agree (a machine on UTC), so both ways give the same key and the
    // accounts read correctly, yet the first name fails the letter test under both.
    keys_.second = keys_.first;
    Seed({{"1abc", "pw1", "1"}, {"zed", "pw2", "2"}});
    LoadedForm();
    EXPECT_FALSE(view_[Control::Command1].enabled);
    EXPECT_EQ(view_.messages, Strings{});
    EXPECT_EQ(view_.ListCount(), 2);
    Fill("gina", "gpw", "7");
    form_->Text2_KeyDown(kEnterKeyCode, 0);
    EXPECT_EQ(launches_, 1);
    EXPECT_EQ(launched_.LoginUsername, "gina");
}

TEST_F(Form1Test, RemovalCommandsChangeTheStoredLists) {
    struct Row {
        const char* name;
        void (Form1::*command)();
        bool savePasswordTicked;
        Strings names;
        Strings passwords;
        bool passwordBoxEmpty;
        bool pinBoxEmpty;
    };
    const Row rows[] = {
        {"d removes the picked account",
         &Form1::d_Click,
         true,
         {"alice", "carol"},
         {"apw", "cpw"},
         true,
         false},
        {"s forgets its password",
         &Form1::s_Click,
         true,
         {"alice", "bob", "carol"},
         {"apw", "####", "cpw"},
         true,
         false},
        {"t forgets every account", &Form1::t_Click, true, {}, {}, true, true},
        {"w with Save Password clear",
         &Form1::w_Click,
         false,
         {"alice", "bob", "carol"},
         {"####", "####", "####"},
         false,
         false},
        {"w with Save Password ticked keeps the named one",
         &Form1::w_Click,
         true,
         {"alice", "bob", "carol"},
         {"####", "bpw", "####"},
         false,
         false},
    };
    for (const auto& row : rows) {
        Seed(threeAccounts_);
        view_ = RecordingForm1View{};
        Form1& form = LoadedForm();
        Pick(1);  // bob
        view_.SetChecked(Control::Check1, row.savePasswordTicked);
        (form.*row.command)();

        EXPECT_EQ(view_.messages, Strings{}) << row.name;
        EXPECT_FALSE(form.ProgramEnded()) << row.name;
        const auto stored = Stored();
        EXPECT_EQ(Names(stored), row.names) << row.name;
        Strings passwords;
        for (const auto& account : stored) {
            passwords.push_back(account.password);
        }
        EXPECT_EQ(passwords, row.passwords) << row.name;
        EXPECT_EQ(view_.entries, row.names) << row.name;
        EXPECT_EQ(view_[Control::Text2].text.empty(), row.passwordBoxEmpty) << row.name;
        EXPECT_EQ(view_[Control::Text8].text.empty(), row.pinBoxEmpty) << row.name;
        if (row.command == &Form1::t_Click) {
            EXPECT_EQ(ReadSetting(kUsernameValue), "");
            EXPECT_EQ(ReadSetting(kPasswordValue), "");
            EXPECT_EQ(ReadSetting(kPinValue), "");
        }
        if (row.command == &Form1::d_Click || row.command == &Form1::s_Click) {
            EXPECT_FALSE(view_[Control::Check1].checked) << row.name;
        }
    }
}

TEST_F(Form1Test, RemoveCurrentPasswordShowsNoPasswordOnTheNextPick) {
    Seed(threeAccounts_);
    Form1& form = LoadedForm();
    Pick(1);
    form.s_Click();
    Pick(1);
    EXPECT_EQ(view_[Control::Text2].text, "");
    EXPECT_FALSE(view_[Control::Check1].checked);
    EXPECT_EQ(view_[Control::Text8].text, "2222");
}

TEST_F(Form1Test, RemovalOfATypedNameTouchesNothing) {
    for (void (Form1::*command)() : {&Form1::d_Click, &Form1::s_Click}) {
        Seed(threeAccounts_);
        view_ = RecordingForm1View{};
        Form1& form = LoadedForm();
        const Strings before = Snapshot();
        TypeUsername("nobody");
        (form.*command)();
        EXPECT_EQ(Snapshot(), before);
        EXPECT_EQ(view_.ListCount(), 3);
    }
}

TEST_F(Form1Test, NothingIsWrittenOnExitOrClose) {
    for (const bool viaMenu : {true, false}) {
        Seed(threeAccounts_);
        view_ = RecordingForm1View{};
        Form1& form = LoadedForm();
        const Strings before = Snapshot();
        Fill("henry", "hpw", "8");
        form.cmd5_Click();
        if (viaMenu) {
            form.q_Click();
        } else {
            EXPECT_FALSE(form.Form_Unload());  // the close is not refused
        }
        EXPECT_TRUE(form.ProgramEnded());
        EXPECT_EQ(view_.endCodes, std::vector<int>{0});
        EXPECT_EQ(Snapshot(), before);
        EXPECT_EQ(launches_, 0);
        EXPECT_EQ(view_.messages, Strings{});
    }
}

TEST_F(Form1Test, AFullListStillLogsIn) {
    const std::pair<int, bool> rows[] = {{98, true}, {99, false}, {100, false}};
    for (const auto& [storedAccounts, newOneStored] : rows) {
        AccountList accounts;
        for (int i = 0; i < storedAccounts; ++i) {
            accounts.push_back({"user" + std::to_string(i), "pw" + std::to_string(i), "0"});
        }
        Seed(accounts);
        view_ = RecordingForm1View{};
        Form1& form = LoadedForm();
        EXPECT_EQ(view_.ListCount(), storedAccounts);
        Fill("newcomer", "npw", "9");
        form.Command1_Click();
        EXPECT_EQ(launched_.LoginUsername, "newcomer");
        EXPECT_EQ(view_.messages, Strings{});
        const auto stored = Stored();
        EXPECT_EQ(static_cast<int>(stored.size()), storedAccounts + (newOneStored ? 1 : 0));
        const Strings names = Names(stored);
        EXPECT_EQ(std::find(names.begin(), names.end(), "newcomer") != names.end(), newOneStored)
            << storedAccounts;
    }
}

TEST_F(Form1Test, ACommaIsReportedOnceAndTheLoginGoesOn) {
    struct Row {
        const char* username;
        const char* password;
        const char* pin;
        const char* message;
    };
    const Row rows[] = {
        {"a,b", "pw", "1", "The username was not saved: it contains a comma"},
        {"ann", "p,w", "1", "The password was not saved: it contains a comma"},
        {"ann", "pw", "1,2", "The PIN was not saved: it contains a comma"},
        {"ann", "p,w", "1,2", "The password and PIN were not saved: they contain"},
    };
    for (const auto& row : rows) {
        ForgetStore();
        view_ = RecordingForm1View{};
        Form1& form = LoadedForm();
        Fill(row.username, row.password, row.pin);
        view_.SetChecked(Control::Check1, true);
        form.Command1_Click();
        ASSERT_EQ(view_.messages.size(), 1u) << row.message;
        EXPECT_EQ(view_.messages[0].rfind(row.message, 0), 0u) << view_.messages[0];
        // The launch gets what was typed, comma and all.
        EXPECT_EQ(launched_.LoginUsername, row.username);
        EXPECT_EQ(launched_.LoginPassword, row.password);
        EXPECT_EQ(launched_.LoginPin, row.pin);
        // The stored lists stay in step: one account or none, never a split one.
        const auto stored = Stored();
        EXPECT_LE(stored.size(), 1u);
        for (const auto& account : stored) {
            EXPECT_EQ(account.username.find(','), std::string::npos);
        }
    }
}

TEST_F(Form1Test, AccountsOfAnotherZoneAreNeitherGarbledNorLostAtTheNextLogin) {
    // The first name begins with a digit, so the second way is tried too; local time differs
    // from UTC (keys_.second is another moment), as in any zone but UTC.
    Seed({{"1alpha", "1pw", "1111"}, {"zed", "zpw", "2222"}});
    LoadedForm();
    EXPECT_EQ(view_.entries, (Strings{"1alpha", "zed"}));
    EXPECT_FALSE(view_[Control::Command1].enabled);
    EXPECT_EQ(view_.messages, Strings{});
    Fill("bob", "bpw", "3333");
    form_->Text2_KeyDown(kEnterKeyCode, 0);
    EXPECT_EQ(launches_, 1);
    const auto stored = Stored();
    ASSERT_EQ(Names(stored), (Strings{"1alpha", "zed", "bob"}));
    EXPECT_EQ(stored[0].password, "1pw");
    EXPECT_EQ(stored[0].pin, "1111");
}

TEST_F(Form1Test, UnreadableAccountsAreToldOfOnceAndNeverShown) {
    // Saved by an older launcher (no key text beside the lists) whose file was made earlier.
    store_.StoreLists({"alice,", ",", ","}, *RenderKeyText(1700000000 - 3600, true));
    Form1& form = LoadedForm();
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_NE(view_.messages[0].find("program file was replaced"), std::string::npos);
    EXPECT_NE(view_.messages[0].find("not deleted"), std::string::npos);
    EXPECT_EQ(view_.ListCount(), 0);
    EXPECT_FALSE(view_[Control::Command1].enabled);
    // Rebuilding the list says nothing more; the login saves its account (the old lists are
    // kept beside it, see the account store's tests).
    EXPECT_TRUE(form.CreateDropDown());
    Fill("bob", "bpw", "2");
    form.Command1_Click();
    EXPECT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(Names(Stored()), Strings{"bob"});
}

TEST_F(Form1Test, AStoreHeldByAnotherProgramIsToldAndTheWindowGoesOn) {
    Seed(threeAccounts_);
    const auto started = std::chrono::steady_clock::now();
    auto held = store_.HoldWholeStore();
    Form1& form = LoadedForm();
    Fill("dave", "dpw", "4444");
    form.Command1_Click();
    EXPECT_EQ(view_.messages,
              (Strings{"The saved settings and accounts could not be read: another program holds "
                       "the settings store and did not let go of it within 3 seconds. The "
                       "launcher starts without them and tries the store again when it saves; "
                       "nothing stored was changed.",
                       "The accounts could not be saved: another program holds the settings store "
                       "and did not let go of it within 3 seconds. The login goes on without "
                       "saving them."}));
    EXPECT_EQ(launched_.LoginUsername, "dave");
    // Each wait is bounded by the lock wait, not by the other program.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    held.reset();
    EXPECT_EQ(Names(Stored()), (Strings{"alice", "bob", "carol"}));

    // A removal that cannot be saved leaves the list and the tables as the store has them.
    view_ = RecordingForm1View{};
    Form1& next = LoadedForm();
    accounts_->SetLockWait(std::chrono::milliseconds(100));
    Pick(1);
    held = store_.HoldWholeStore();
    next.d_Click();
    held.reset();
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_NE(view_.messages[0].find("Nothing was changed."), std::string::npos);
    EXPECT_EQ(view_.entries, (Strings{"alice", "bob", "carol"}));
    EXPECT_EQ(next.Tables().savedUsernames[1], "bob");
    EXPECT_EQ(Names(Stored()), (Strings{"alice", "bob", "carol"}));
}

TEST_F(Form1Test, TextTheCodePageCannotHoldIsNotStoredAltered) {
    const std::string lukasz = "\xC5\x81ukasz";
    const std::string password = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C\xE2\x82\xAC";
    // A code page that lacks them (Windows) stores neither; the service gets them altered on
    // every system, and is told so.
    const bool holds = ToAnsiExact(lukasz).has_value();
    const std::string outside =
        " not saved: it contains characters outside this system's character set, which the "
        "settings cannot hold exactly. ";
    const std::string altered =
        " the service altered: it contains characters outside windows-1252, the character set of "
        "the login form, which the browser sends as numbered references (\"&#N;\"). The login "
        "goes on.";
    struct Row {
        std::string username, password;
        Strings names;
        std::string storedPassword;
        std::string message;
    };
    const Row rows[] = {
        {lukasz, "pw", holds ? Strings{lukasz} : Strings{}, "pw",
         (holds ? "" : "The username was" + outside) + "The username reaches" + altered},
        {"lukas",
         password,
         {"lukas"},
         holds ? password : "####",
         (holds ? "" : "The password was" + outside) + "The password reaches" + altered},
    };
    for (const auto& row : rows) {
        ForgetStore();
        view_ = RecordingForm1View{};
        Form1& form = LoadedForm();
        Fill(row.username, row.password, "1");
        view_.SetChecked(Control::Check1, true);
        form.Command1_Click();
        EXPECT_EQ(view_.messages, Strings{row.message});
        // The login gets the text as typed; the store holds nothing altered.
        EXPECT_EQ(launched_.LoginUsername, row.username);
        EXPECT_EQ(launched_.LoginPassword, row.password);
        const auto stored = Stored();
        EXPECT_EQ(Names(stored), row.names);
        for (const auto& account : stored) {
            EXPECT_EQ(account.password, row.storedPassword);
        }
    }
}

TEST_F(Form1Test, ANameTheListHoldsIsNotAddedAgainAfterARemovalCommand) {
    Seed(threeAccounts_);
    Form1& form = LoadedForm();
    Pick(1);
    form.s_Click();  // the box keeps "bob", with nothing picked
    view_.SetText(Control::Text2, "again");
    form.Command1_Click();
    EXPECT_EQ(Names(Stored()), (Strings{"alice", "bob", "carol"}));
}

TEST_F(Form1Test, AboutShowsVersionAndMaker) {
    Form1& form = LoadedForm();
    const Strings before = Snapshot();
    form.a_Click();
    ASSERT_EQ(view_.messages.size(), 1u);
    Strings lines;
    const std::string& text = view_.messages[0];
    for (std::size_t start = 0;;) {
        const auto end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 9u);  // eight lines, each ended by CR LF
    EXPECT_EQ(lines[0], "Vellamark Launcher Application Version : 3.25");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Corvane Software Limited");
    for (int i = 3; i <= 5; ++i) {
        EXPECT_FALSE(lines[static_cast<std::size_t>(i)].empty());
    }
    EXPECT_EQ(lines[6], "");
    EXPECT_FALSE(lines[7].empty());
    EXPECT_EQ(lines[8], "");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Form1Test, LoginTurnsTheWindowIntoTheProgressDisplay) {
    Form1& form = LoadedForm();
    bool sawDisplay = false;
    duringLaunch_ = [&](LaunchUi& ui) {
        for (const Control control :
             {Control::Combo1, Control::Command1, Control::Text2, Control::Text8, Control::Check1,
              Control::Label1, Control::Label2, Control::Label5}) {
            EXPECT_FALSE(view_[control].visible);
        }
        EXPECT_FALSE(view_.menusEnabled);
        EXPECT_EQ(view_[Control::Frame1].text, "Vellamark Login Progress");
        EXPECT_TRUE(view_[Control::Label4].visible);
        EXPECT_EQ(view_[Control::Label4].text, "Initialising System .....");
        EXPECT_TRUE(view_[Control::ProgressBar1].visible);
        EXPECT_EQ(view_.progressValue, 2.0F);
        EXPECT_EQ(ui.Progress(), 2.0F);

        ui.SetProgress(37.6F);
        EXPECT_EQ(ui.Progress(), 37.6F);
        EXPECT_EQ(view_.progressValue, 37.6F);
        ui.SetStatus("Opening browser");
        EXPECT_EQ(view_[Control::Label4].text, "Opening browser");
        ui.Sleep(std::chrono::milliseconds(50));
        EXPECT_EQ(view_.pauses,
                  std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(50)});

        EXPECT_TRUE(form.Form_Unload());  // the window stays until the launch ends the program
        form.Command1_Click();            // nothing starts twice
        ui.EndProgram(3);
        sawDisplay = true;
    };
    Fill("ivy", "ipw", "1");
    form.Command1_Click();
    EXPECT_TRUE(sawDisplay);
    EXPECT_EQ(launches_, 1);
    EXPECT_TRUE(form.ProgramEnded());
    EXPECT_EQ(form.ExitCode(), 3);
    EXPECT_EQ(view_.endCodes, std::vector<int>{3});
}

}  // namespace
}  // namespace vellamark
