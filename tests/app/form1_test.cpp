// The login window as a user meets it: real widgets found by their names, a store of its own in
// a temporary folder, a fixed store key, a fake launcher and a message sink that answers every box.

#include "app/form1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/message_sink.h"
#include "store/account_store.h"
#include "store/registry.h"
#include "store/sqlite_registry.h"

using namespace vellamark;

namespace {

// Two different key texts, standing in for the executable's creation time in UTC and local time.
class FakeKeys final : public StoreKeySource {
public:
    std::optional<std::string> first = std::string("0123456789ABCDEF0123");
    std::optional<std::string> second = std::string("FEDCBA98765432100000");
    std::optional<std::string> FileTimeKeyText() override { return first; }
    std::optional<std::string> DateCreatedKeyText() override { return second; }
};

class RecordingSink final : public MessageSink {
public:
    QStringList texts;
    QStringList titles;
    void ShowMessage(const QString& text, const QString& title) override {
        texts << text;
        titles << title;
    }
};

struct Account {
    std::string username;
    std::string password;
    std::string pin;
};

std::string Setting(const char* name) {
    return TaggedValueText(ReadRegistryString(kSettingsRoot, kSettingsKey, name));
}

// Every value of the settings key, as name=bytes lines, to show that nothing was written.
QStringList Snapshot() {
    RegistryBackend& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    QStringList lines;
    if (backend.OpenKey(kSettingsRoot, kSettingsKeyNoSlash, handle) != kErrorSuccess) {
        return lines;
    }
    std::vector<RegistryValueEntry> values;
    static_cast<void>(backend.EnumValues(handle, values));
    static_cast<void>(backend.CloseKey(handle));
    for (const auto& value : values) {
        lines << QString::fromStdString(value.name) + "=" +
                     QString::fromLatin1(
                         QByteArray(reinterpret_cast<const char*>(value.data.data()),
                                    static_cast<int>(value.data.size()))
                             .toHex());
    }
    lines.sort();
    return lines;
}

template <typename T>
T* Find(QObject& form, const char* name) {
    T* found = form.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no control named %s", name);
    }
    return found;
}

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    FakeKeys keys_;
    RecordingSink sink_;
    int launches_ = 0;
    MMain launched_;
    LaunchFlags launchedFlags_;
    QStringList messagesAtLaunch_;
    std::function<void(LaunchUi&)> duringLaunch_;

    WorkingFolders Folders() const {
        return {(dir_->path() + "/data/vellamark").toStdString(),
                (dir_->path() + "/data/vellamark/temp").toStdString()};
    }

    std::unique_ptr<Form1> MakeForm(std::optional<WorkingFolders> folders = std::nullopt) {
        Launcher launcher = [this](const MMain& values, const LaunchFlags& flags, LaunchUi& ui) {
            ++launches_;
            launched_ = values;
            launchedFlags_ = flags;
            messagesAtLaunch_ = sink_.texts;
            if (duringLaunch_) {
                duringLaunch_(ui);
            }
        };
        return std::make_unique<Form1>(keys_, sink_, launcher, folders.value_or(Folders()));
    }

    std::unique_ptr<Form1> LoadedForm() {
        auto form = MakeForm();
        if (!form->Form_Load()) {
            qFatal("Form_Load failed: %s", qPrintable(sink_.texts.join('|')));
        }
        return form;
    }

    // Stores accounts the way a previous run would have, under the first way's key.
    void Seed(const std::vector<Account>& accounts) {
        AccountTables tables;
        for (std::size_t i = 0; i < accounts.size(); ++i) {
            tables.savedUsernames[i] = accounts[i].username;
            tables.savedPasswords[i] = accounts[i].password;
            tables.savedPins[i] = accounts[i].pin;
        }
        PlainLists lists;
        Bytes key;
        const SaveOutcome outcome =
            vellamark::SaveUserDetails(tables, WindowEntry{}, keys_, lists, key);
        QVERIFY(!outcome.filetimeError);
    }

    // The stored accounts read back through the store, independently of the window.
    std::vector<Account> Stored() {
        AccountTables tables;
        PlainLists lists;
        Bytes key;
        const DropDownOutcome outcome = ReadStoredAccounts(tables, keys_, lists, key);
        std::vector<Account> accounts;
        for (std::size_t i = 0; i < outcome.entries.size(); ++i) {
            accounts.push_back(
                {tables.savedUsernames[i], tables.savedPasswords[i], tables.savedPins[i]});
        }
        return accounts;
    }

    static QStringList Names(const std::vector<Account>& accounts) {
        QStringList names;
        for (const auto& account : accounts) {
            names << QString::fromStdString(account.username);
        }
        return names;
    }

    static QStringList ListOf(QComboBox* combo) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        return items;
    }

    static void Pick(Form1& form, int index) {
        auto* combo = Find<QComboBox>(form, "Combo1");
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    // Replaces the username box's text as typing would.
    static void TypeUsername(Form1& form, const QString& text) {
        QLineEdit* edit = Find<QComboBox>(form, "Combo1")->lineEdit();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    static void Fill(Form1& form, const QString& user, const QString& password,
                     const QString& pin) {
        TypeUsername(form, user);
        Find<QLineEdit>(form, "Text2")->setText(password);
        Find<QLineEdit>(form, "Text8")->setText(pin);
    }

    const std::vector<Account> threeAccounts_{
        {"alice", "apw", "1111"}, {"bob", "bpw", "2222"}, {"carol", "cpw", "3333"}};

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        auto opening = OpenSqliteRegistry((dir_->path() + "/registry.sqlite3").toStdString());
        QVERIFY2(opening.backend != nullptr, opening.error.c_str());
        SetRegistryBackend(std::shared_ptr<RegistryBackend>(std::move(opening.backend)));
        keys_ = FakeKeys{};
        sink_ = RecordingSink{};
        launches_ = 0;
        launched_ = MMain{};
        launchedFlags_ = LaunchFlags{};
        messagesAtLaunch_.clear();
        duringLaunch_ = nullptr;
    }

    void cleanup() { dir_.reset(); }

    void firstRunMakesFoldersAndKeyAndShowsTheEntryState() {
        auto form = LoadedForm();
        QVERIFY(std::filesystem::is_directory(Folders().main));
        QVERIFY(std::filesystem::is_directory(Folders().temp));
        QVERIFY(RegistryKeyExists(kSettingsRoot, kSettingsKey));
        QVERIFY2(Snapshot().isEmpty(), qPrintable(Snapshot().join(", ")));
        QVERIFY(sink_.texts.isEmpty());

        QCOMPARE(form->windowTitle(), QString("VellaMark System"));
        QCOMPARE(Find<QComboBox>(*form, "Combo1")->count(), 0);
        QVERIFY(!Find<QCheckBox>(*form, "Check1")->isChecked());
        QVERIFY(Find<QPushButton>(*form, "Command1")->isEnabled());
        QVERIFY(!Find<QAction>(*form, "cmd5")->isChecked());
        QVERIFY(!Find<QAction>(*form, "cmdIgnoreMenubar")->isChecked());
        QCOMPARE(Find<QLabel>(*form, "lblEncyrption")->text(), QString("(Encyrption is ON)"));
        QVERIFY(!form->CreatePage().has_value());
        QCOMPARE(form->IgnoreMenuBar(), std::optional<bool>(false));
        QVERIFY(!form->DebugMode().has_value());
        QVERIFY(!form->UseEncryption().has_value());

        auto* pin = Find<QLineEdit>(*form, "Text8");
        QTest::keyClicks(pin, "4711");
        QCOMPARE(pin->displayText(), QString("4711"));  // in clear until an account is picked
        auto* password = Find<QLineEdit>(*form, "Text2");
        QTest::keyClicks(password, "secret");
        QCOMPARE(password->displayText(), QString("******"));
        QVERIFY(!Find<QLabel>(*form, "Label4")->isVisibleTo(form.get()));
        QVERIFY(!Find<QProgressBar>(*form, "ProgressBar1")->isVisibleTo(form.get()));
    }

    void layoutFollowsTheControlTable_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("caption");
        const auto row = [](const char* name, QRect twips, double points, bool bold,
                            const char* caption) {
            QTest::newRow(name) << QString(name) << twips << points << bold << QString(caption);
        };
        row("Frame1", {240, 240, 6255, 3735}, 8.25, true, "VellaMark User Details");
        row("Label1", {720, 720, 1215, 255}, 9, false, "Username :");
        row("Combo1", {2760, 720, 2655, 330}, 9, false, "");
        row("Label2", {720, 1080, 1215, 255}, 9, false, "Password :");
        row("Text2", {2760, 1080, 2655, 330}, 9, false, "");
        row("Label5", {720, 1440, 1215, 255}, 9, false, "PIN :");
        row("Text8", {2760, 1440, 2655, 330}, 9, false, "");
        row("Check1", {2760, 1920, 2415, 315}, 8.25, false, "Save Password");
        row("Label4", {360, 1920, 4215, 255}, 0, false, "Label4");
        row("ProgressBar1", {360, 2280, 5655, 255}, 0, false, "");
        row("lblEncyrption", {720, 2640, 3375, 255}, 8.25, false, "Label5");
        row("Command1", {4800, 2640, 1215, 375}, 8.25, true, "Login");
        row("Label3", {240, 4200, 6135, 615}, 8.25, false,
            "By logging in to this service you agree to be bound by the Subscriber Agreement "
            "and the Terms and Conditions therein, as found under the Help Menu.");
    }

    void layoutFollowsTheControlTable() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QFETCH(QString, caption);
        if (QGuiApplication::primaryScreen()->logicalDotsPerInchY() != 96.0) {
            QSKIP("the table's pixel sizes hold at 96 dpi");
        }
        auto form = MakeForm();  // before Form_Load: the design-time captions
        auto* widget = Find<QWidget>(*form, name.toLatin1().constData());
        // 15 twips to the pixel.
        QCOMPARE(widget->geometry(),
                 QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
        if (points > 0) {
            // Verdana where it is installed; elsewhere the system's own font stands in for it.
            const QString verdana = QFontDatabase::hasFamily(QStringLiteral("Verdana"))
                                        ? QStringLiteral("Verdana")
                                        : QApplication::font().family();
            QCOMPARE(widget->font().family(), verdana);
            QCOMPARE(widget->font().pointSizeF(), points);
            QCOMPARE(widget->font().bold(), bold);
        }
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            text = box->title();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            text = edit->text();
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            text = combo->currentText();
        }
        QCOMPARE(text, caption);
        QCOMPARE(form->centralWidget()->size(), QSize(450, 338));
    }

    void menusHaveTheirCaptionsAndStates_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("enabled");
        const auto row = [](const char* name, const char* caption, bool checked, bool enabled) {
            QTest::newRow(name) << QString(name) << QString(caption) << checked << enabled;
        };
        row("f", "File", false, true);
        row("d", "Remove Current Username && Password", false, true);
        row("s", "Remove Current Password", false, true);
        row("t", "Remove All Usernames && Passwords", false, true);
        row("w", "Remove All Passwords", false, true);
        row("q", "E&xit", false, true);
        row("x", "Settings", false, true);
        row("a1", "Use encyrption", true, true);
        row("a2", "Do not use encyrption", false, false);
        row("cmdIgnoreMenubar", "Ignore MenuBar", false, true);
        row("cmd5", "Create Browser Login", false, true);
        row("cmddebug", "Debug Mode", false, true);
        row("a", "About", false, true);
    }

    void menusHaveTheirCaptionsAndStates() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(bool, checked);
        QFETCH(bool, enabled);
        auto form = LoadedForm();
        auto* action = Find<QAction>(*form, name.toLatin1().constData());
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->isChecked(), checked);
        QCOMPARE(action->isEnabled(), enabled);
    }

    void tabOrderStartsAtSavePassword() {
        auto form = LoadedForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QStringList order;
        for (int i = 0; i < 6; ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus != nullptr);
            // The username box's edit field is its focus proxy.
            order << (qobject_cast<QLineEdit*>(focus) && focus->parent() &&
                              focus->parent()->objectName() == "Combo1"
                          ? QString("Combo1")
                          : focus->objectName());
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(order, QStringList({"Check1", "Combo1", "Command1", "Text2", "Text8", "Check1"}));
    }

    void storedSettingsAreApplied_data() {
        QTest::addColumn<QString>("createpage");
        QTest::addColumn<QString>("ignoremenubar");
        QTest::addColumn<QString>("savepasswords");
        QTest::addColumn<bool>("cmd5Checked");
        QTest::addColumn<int>("createPageFlag");  // -1 no value, 0 false, 1 true
        QTest::addColumn<bool>("ignoreChecked");
        QTest::addColumn<bool>("check1");
        QTest::newRow("all set") << "True"
                                 << "True"
                                 << "1" << true << 1 << true << true;
        QTest::newRow("lower-case true is left off") << "true"
                                                     << "true"
                                                     << "1" << false << -1 << false << true;
        QTest::newRow("False and 0") << "False"
                                     << "False"
                                     << "0" << false << -1 << false << false;
        QTest::newRow("savepasswords not a number") << "True"
                                                    << "False"
                                                    << "yes" << true << 1 << false << false;
        QTest::newRow("savepasswords 1.0 reads as 1") << ""
                                                      << ""
                                                      << "1.0" << false << -1 << false << true;
    }

    void storedSettingsAreApplied() {
        QFETCH(QString, createpage);
        QFETCH(QString, ignoremenubar);
        QFETCH(QString, savepasswords);
        QFETCH(bool, cmd5Checked);
        QFETCH(int, createPageFlag);
        QFETCH(bool, ignoreChecked);
        QFETCH(bool, check1);
        CreateRegistryKey(kSettingsRoot, kSettingsKeyNoSlash);
        WriteRegistryString(kSettingsRoot, kSettingsKey, kCreatePageValue,
                            createpage.toStdString());
        WriteRegistryString(kSettingsRoot, kSettingsKey, kIgnoreMenuBarValue,
                            ignoremenubar.toStdString());
        WriteRegistryString(kSettingsRoot, kSettingsKey, kSavePasswordsValue,
                            savepasswords.toStdString());
        auto form = LoadedForm();
        QCOMPARE(Find<QAction>(*form, "cmd5")->isChecked(), cmd5Checked);
        QCOMPARE(form->CreatePage(), createPageFlag < 0 ? std::optional<bool>()
                                                        : std::optional<bool>(createPageFlag == 1));
        QCOMPARE(Find<QAction>(*form, "cmdIgnoreMenubar")->isChecked(), ignoreChecked);
        QCOMPARE(form->IgnoreMenuBar(), std::optional<bool>(ignoreChecked));
        QCOMPARE(Find<QCheckBox>(*form, "Check1")->isChecked(), check1);
    }

    void startupFailuresEndBeforeTheWindowShows_data() {
        QTest::addColumn<bool>("fileTimesReadable");
        QTest::addColumn<bool>("mainFolderIsAFile");
        QTest::addColumn<QString>("message");
        QTest::newRow("file times unreadable") << false << false << "Filetime error";
        QTest::newRow("working folder is a file")
            << true << true << "The working folder \"%1\" could not be created: ";
    }

    void startupFailuresEndBeforeTheWindowShows() {
        QFETCH(bool, fileTimesReadable);
        QFETCH(bool, mainFolderIsAFile);
        QFETCH(QString, message);
        if (!fileTimesReadable) {
            keys_.first.reset();
        }
        if (mainFolderIsAFile) {
            std::filesystem::create_directories(dir_->path().toStdString() + "/data");
            std::ofstream(Folders().main) << "not a folder";
        }
        auto form = MakeForm();
        QVERIFY(!form->Form_Load());
        QVERIFY(form->ProgramEnded());
        QVERIFY(form->ExitCode() != 0);
        QVERIFY(!form->isVisible());
        QCOMPARE(sink_.texts.size(), 1);
        if (message.contains("%1")) {
            message = message.arg(QString::fromStdString(Folders().temp));
        }
        QVERIFY2(sink_.texts[0].startsWith(message), qPrintable(sink_.texts[0]));
        QCOMPARE(sink_.titles[0], QString("VellaMar"));
    }

    void anUnopenableStoreIsReportedOnceAndStartupGoesOn() {
        // The configuration folder is a file, so this user's store cannot be made.
        const QString blocked = dir_->path() + "/config-is-a-file";
        std::ofstream(blocked.toStdString()) << "x";
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", blocked.toUtf8());
        SetRegistryBackend(nullptr);
        auto form = MakeForm();
        const bool loaded = form->Form_Load();
        qputenv("XDG_CONFIG_HOME", saved);
        QVERIFY(loaded);
        QCOMPARE(sink_.texts.size(), 1);
        QVERIFY2(sink_.texts[0].contains("config-is-a-file"), qPrintable(sink_.texts[0]));
        QVERIFY(Find<QPushButton>(*form, "Command1")->isEnabled());
    }

    void workingFoldersFollowTheDataHome_data() {
        QTest::addColumn<QByteArray>("dataHome");  // empty: unset
        QTest::addColumn<QString>("expected");
        QTest::newRow("XDG_DATA_HOME set") << QByteArray("/srv/data") << "/srv/data/vellamark";
        QTest::newRow("unset: under the home folder")
            << QByteArray() << "/home/someone/.local/share/vellamark";
        QTest::newRow("relative: ignored, as the base directory rules say")
            << QByteArray("data") << "/home/someone/.local/share/vellamark";
    }

    void workingFoldersFollowTheDataHome() {
#ifdef Q_OS_WIN
        QSKIP("Windows uses c:\\vellamark");
#endif
        QFETCH(QByteArray, dataHome);
        QFETCH(QString, expected);
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", "/home/someone");
        if (dataHome.isEmpty()) {
            qunsetenv("XDG_DATA_HOME");
        } else {
            qputenv("XDG_DATA_HOME", dataHome);
        }
        const WorkingFolders folders = DefaultWorkingFolders();
        qputenv("HOME", savedHome);
        if (savedData.isEmpty()) {
            qunsetenv("XDG_DATA_HOME");
        } else {
            qputenv("XDG_DATA_HOME", savedData);
        }
        QCOMPARE(QString::fromStdString(folders.main), expected);
        QCOMPARE(QString::fromStdString(folders.temp), expected + "/temp");
    }

    void refusalLeavesEverythingAsItWas_data() {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::newRow("empty username") << ""
                                        << "pw";
        QTest::newRow("empty password") << "bob"
                                        << "";
        QTest::newRow("both empty") << ""
                                    << "";
    }

    void refusalLeavesEverythingAsItWas() {
        QFETCH(QString, username);
        QFETCH(QString, password);
        auto form = LoadedForm();
        const QStringList before = Snapshot();
        Fill(*form, username, password, "1234");
        Find<QPushButton>(*form, "Command1")->click();
        QCOMPARE(sink_.texts, QStringList({"You must enter a username and password"}));
        QCOMPARE(launches_, 0);
        QCOMPARE(Snapshot(), before);
        QVERIFY(Find<QComboBox>(*form, "Combo1")->isVisibleTo(form.get()));
        QCOMPARE(Find<QGroupBox>(*form, "Frame1")->title(), QString("VellaMark User Details"));
    }

    void typedUsernameLandsInSlotAfterTheEmptyOne_data() {
        QTest::addColumn<bool>("savePassword");
        QTest::addColumn<QString>("storedPassword");
        QTest::newRow("Save Password ticked") << true << "dpw";
        QTest::newRow("Save Password clear") << false << "####";
    }

    void typedUsernameLandsInSlotAfterTheEmptyOne() {
        QFETCH(bool, savePassword);
        QFETCH(QString, storedPassword);
        Seed(threeAccounts_);
        auto form = LoadedForm();
        Fill(*form, "dave", "dpw", "4444");
        Find<QCheckBox>(*form, "Check1")->setChecked(savePassword);
        Find<QPushButton>(*form, "Command1")->click();

        QCOMPARE(launches_, 1);
        QCOMPARE(form->Tables().savedUsernames[3], std::string());
        QCOMPARE(form->Tables().savedUsernames[4], std::string("dave"));
        const auto stored = Stored();
        QCOMPARE(Names(stored), QStringList({"alice", "bob", "carol", "dave"}));
        QCOMPARE(QString::fromStdString(stored[3].password), storedPassword);
        QCOMPARE(stored[3].pin, std::string("4444"));
        QCOMPARE(launched_.LoginUsername, std::string("dave"));
        QCOMPARE(launched_.LoginPassword, std::string("dpw"));
        QCOMPARE(launched_.LoginPin, std::string("4444"));
    }

    void loginWritesTheSettings_data() {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QString>("ssl");
        QTest::addColumn<QString>("createpage");
        QTest::addColumn<QString>("ignoremenubar");
        QTest::newRow("no encryption item chosen") << QStringList() << ""
                                                   << "False"
                                                   << "False";
        QTest::newRow("Use encyrption") << QStringList({"a1"}) << "True"
                                        << "False"
                                        << "False";
        QTest::newRow("Do not use encyrption") << QStringList({"a2"}) << "False"
                                               << "False"
                                               << "False";
        QTest::newRow("off then on") << QStringList({"a2", "a1"}) << "True"
                                     << "False"
                                     << "False";
        QTest::newRow("page and menu bar") << QStringList({"cmd5", "cmdIgnoreMenubar"}) << ""
                                           << "True"
                                           << "True";
        QTest::newRow("page twice") << QStringList({"cmd5", "cmd5"}) << ""
                                    << "False"
                                    << "False";
    }

    void loginWritesTheSettings() {
        QFETCH(QStringList, commands);
        QFETCH(QString, ssl);
        QFETCH(QString, createpage);
        QFETCH(QString, ignoremenubar);
        auto form = LoadedForm();
        for (const QString& command : commands) {
            if (command == "a2") {
                form->a2_Click();  // the item is disabled; its handler still exists
            } else {
                Find<QAction>(*form, command.toLatin1().constData())->trigger();
            }
        }
        QCOMPARE(Find<QAction>(*form, "a1")->isChecked(), true);  // never changes
        Fill(*form, "erin", "epw", "");
        Find<QPushButton>(*form, "Command1")->click();
        QCOMPARE(launches_, 1);
        QCOMPARE(QString::fromStdString(Setting(kSslValue)), ssl);
        QCOMPARE(QString::fromStdString(Setting(kCreatePageValue)), createpage);
        QCOMPARE(QString::fromStdString(Setting(kIgnoreMenuBarValue)), ignoremenubar);
        QCOMPARE(Setting(kSavePasswordsValue), std::string("0"));
        QCOMPARE(launchedFlags_.CreatePage, createpage == "True");
        QCOMPARE(launchedFlags_.IgnoreMenuBar, ignoremenubar == "True");
        QCOMPARE(launched_.LoginPin, std::string());
    }

    void debugModeShowsItsMessagesInOrder_data() {
        QTest::addColumn<int>("debugClicks");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("off") << 0 << QStringList();
        QTest::newRow("on") << 1
                            << QStringList(
                                   {"Start click", "Keys Created", "Details Saved", "Leaving Sub"});
        QTest::newRow("on and off again") << 2 << QStringList();
    }

    void debugModeShowsItsMessagesInOrder() {
        QFETCH(int, debugClicks);
        QFETCH(QStringList, expected);
        auto form = LoadedForm();
        for (int i = 0; i < debugClicks; ++i) {
            Find<QAction>(*form, "cmddebug")->trigger();
        }
        QCOMPARE(Find<QAction>(*form, "cmddebug")->isChecked(), debugClicks == 1);
        QCOMPARE(form->DebugMode(),
                 debugClicks == 0 ? std::optional<bool>() : std::optional<bool>(debugClicks == 1));
        Fill(*form, "frank", "fpw", "5555");
        Find<QPushButton>(*form, "Command1")->click();
        QCOMPARE(launches_, 1);
        QCOMPARE(messagesAtLaunch_, expected);
        QCOMPARE(launchedFlags_.DebugMode, debugClicks == 1);
    }

    void pickingAnAccountFillsTheBoxesAndMasksThePin() {
        Seed({{"alice", "apw", "1111"}, {"bob", "####", "2222"}, {"carol", "cpw", "3333"}});
        auto form = LoadedForm();
        auto* combo = Find<QComboBox>(*form, "Combo1");
        auto* password = Find<QLineEdit>(*form, "Text2");
        auto* pin = Find<QLineEdit>(*form, "Text8");
        auto* save = Find<QCheckBox>(*form, "Check1");
        QCOMPARE(ListOf(combo), QStringList({"alice", "bob", "carol"}));
        // Entry 0 is picked at startup.
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(combo->currentText(), QString("alice"));
        QCOMPARE(password->text(), QString("apw"));
        QCOMPARE(pin->text(), QString("1111"));
        QCOMPARE(pin->displayText(), QString("****"));
        QVERIFY(save->isChecked());

        Pick(*form, 1);
        QCOMPARE(password->text(), QString());
        QCOMPARE(pin->text(), QString("2222"));
        QCOMPARE(pin->displayText(), QString("****"));
        QVERIFY(!save->isChecked());

        Pick(*form, 2);
        QCOMPARE(password->text(), QString("cpw"));
        QVERIFY(save->isChecked());
    }

    void editingThePickedNameMakesItTyped() {
        Seed(threeAccounts_);
        auto form = LoadedForm();
        auto* combo = Find<QComboBox>(*form, "Combo1");
        QCOMPARE(combo->currentIndex(), 0);
        combo->lineEdit()->setCursorPosition(5);
        QTest::keyClick(combo->lineEdit(), Qt::Key_2);
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(combo->currentText(), QString("alice2"));
        QCOMPARE(combo->count(), 3);
    }

    void enterDoesNothingOutsideThePasswordBox_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("key");
        QTest::newRow("Combo1 Return") << "Combo1" << int(Qt::Key_Return);
        QTest::newRow("Combo1 keypad Enter") << "Combo1" << int(Qt::Key_Enter);
        QTest::newRow("Text8") << "Text8" << int(Qt::Key_Return);
        QTest::newRow("Check1") << "Check1" << int(Qt::Key_Return);
    }

    void enterDoesNothingOutsideThePasswordBox() {
        QFETCH(QString, control);
        QFETCH(int, key);
        Seed(threeAccounts_);
        auto form = LoadedForm();
        TypeUsername(*form, "bob");  // matches an entry: must not pick or insert it
        auto* combo = Find<QComboBox>(*form, "Combo1");
        QWidget* target = control == "Combo1"
                              ? static_cast<QWidget*>(combo->lineEdit())
                              : Find<QWidget>(*form, control.toLatin1().constData());
        QTest::keyClick(target, static_cast<Qt::Key>(key));
        QCOMPARE(ListOf(combo), QStringList({"alice", "bob", "carol"}));
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(combo->currentText(), QString("bob"));
        QCOMPARE(launches_, 0);
        QVERIFY(sink_.texts.isEmpty());
    }

    void unreadableStoreDisablesLoginButEnterStillLogsIn() {
        // UTC and local time agree (a machine on UTC), so both ways give the same key and the
        // accounts read correctly, yet the first name fails the letter test under both.
        keys_.second = keys_.first;
        Seed({{"1abc", "pw1", "1"}, {"zed", "pw2", "2"}});
        auto form = LoadedForm();
        auto* login = Find<QPushButton>(*form, "Command1");
        QVERIFY(!login->isEnabled());
        QVERIFY(sink_.texts.isEmpty());
        QCOMPARE(Find<QComboBox>(*form, "Combo1")->count(), 2);
        login->click();
        QCOMPARE(launches_, 0);
        Fill(*form, "gina", "gpw", "7");
        QTest::keyClick(Find<QLineEdit>(*form, "Text2"), Qt::Key_Return);
        QCOMPARE(launches_, 1);
        QCOMPARE(launched_.LoginUsername, std::string("gina"));
    }

    void enterInThePasswordBoxRefusesEmptyInput() {
        auto form = LoadedForm();
        Find<QLineEdit>(*form, "Text2")->setText("pw");
        QTest::keyClick(Find<QLineEdit>(*form, "Text2"), Qt::Key_Enter);
        QCOMPARE(sink_.texts, QStringList({"You must enter a username and password"}));
        QCOMPARE(launches_, 0);
    }

    void removalCommandsChangeTheStoredLists_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("savePasswordTicked");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("passwords");
        QTest::addColumn<QStringList>("listShown");
        QTest::addColumn<bool>("passwordBoxEmpty");
        QTest::addColumn<bool>("pinBoxEmpty");
        QTest::newRow("d removes the picked account")
            << "d" << true << QStringList({"alice", "carol"}) << QStringList({"apw", "cpw"})
            << QStringList({"alice", "carol"}) << true << false;
        QTest::newRow("s forgets its password")
            << "s" << true << QStringList({"alice", "bob", "carol"})
            << QStringList({"apw", "####", "cpw"}) << QStringList({"alice", "bob", "carol"}) << true
            << false;
        QTest::newRow("t forgets every account")
            << "t" << true << QStringList() << QStringList() << QStringList() << true << true;
        QTest::newRow("w with Save Password clear")
            << "w" << false << QStringList({"alice", "bob", "carol"})
            << QStringList({"####", "####", "####"}) << QStringList({"alice", "bob", "carol"})
            << false << false;
        QTest::newRow("w with Save Password ticked keeps the named one")
            << "w" << true << QStringList({"alice", "bob", "carol"})
            << QStringList({"####", "bpw", "####"}) << QStringList({"alice", "bob", "carol"})
            << false << false;
    }

    void removalCommandsChangeTheStoredLists() {
        QFETCH(QString, command);
        QFETCH(bool, savePasswordTicked);
        QFETCH(QStringList, names);
        QFETCH(QStringList, passwords);
        QFETCH(QStringList, listShown);
        QFETCH(bool, passwordBoxEmpty);
        QFETCH(bool, pinBoxEmpty);
        Seed(threeAccounts_);
        auto form = LoadedForm();
        Pick(*form, 1);  // bob
        Find<QCheckBox>(*form, "Check1")->setChecked(savePasswordTicked);
        Find<QAction>(*form, command.toLatin1().constData())->trigger();

        QVERIFY(sink_.texts.isEmpty());
        QVERIFY(!form->ProgramEnded());
        const auto stored = Stored();
        QCOMPARE(Names(stored), names);
        QStringList storedPasswords;
        for (const auto& account : stored) {
            storedPasswords << QString::fromStdString(account.password);
        }
        QCOMPARE(storedPasswords, passwords);
        QCOMPARE(ListOf(Find<QComboBox>(*form, "Combo1")), listShown);
        QCOMPARE(Find<QLineEdit>(*form, "Text2")->text().isEmpty(), passwordBoxEmpty);
        QCOMPARE(Find<QLineEdit>(*form, "Text8")->text().isEmpty(), pinBoxEmpty);
        if (command == "t") {
            QCOMPARE(Setting(kUsernameValue), std::string());
            QCOMPARE(Setting(kPasswordValue), std::string());
            QCOMPARE(Setting(kPinValue), std::string());
        }
        if (command == "d" || command == "s") {
            QVERIFY(!Find<QCheckBox>(*form, "Check1")->isChecked());
        }
    }

    void removeCurrentPasswordShowsNoPasswordOnTheNextPick() {
        Seed(threeAccounts_);
        auto form = LoadedForm();
        Pick(*form, 1);
        Find<QAction>(*form, "s")->trigger();
        Pick(*form, 1);
        QCOMPARE(Find<QLineEdit>(*form, "Text2")->text(), QString());
        QVERIFY(!Find<QCheckBox>(*form, "Check1")->isChecked());
        QCOMPARE(Find<QLineEdit>(*form, "Text8")->text(), QString("2222"));
    }

    void removalOfATypedNameTouchesNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("d") << "d";
        QTest::newRow("s") << "s";
    }

    void removalOfATypedNameTouchesNothing() {
        QFETCH(QString, command);
        Seed(threeAccounts_);
        auto form = LoadedForm();
        const QStringList before = Snapshot();
        TypeUsername(*form, "nobody");
        Find<QAction>(*form, command.toLatin1().constData())->trigger();
        QCOMPARE(Snapshot(), before);
        QCOMPARE(Find<QComboBox>(*form, "Combo1")->count(), 3);
    }

    void nothingIsWrittenOnExitOrClose_data() {
        QTest::addColumn<bool>("viaMenu");
        QTest::newRow("E&xit") << true;
        QTest::newRow("window closed") << false;
    }

    void nothingIsWrittenOnExitOrClose() {
        QFETCH(bool, viaMenu);
        Seed(threeAccounts_);
        auto form = LoadedForm();
        form->show();
        const QStringList before = Snapshot();
        Fill(*form, "henry", "hpw", "8");
        Find<QAction>(*form, "cmd5")->trigger();
        if (viaMenu) {
            Find<QAction>(*form, "q")->trigger();
        } else {
            QVERIFY(form->close());
        }
        QVERIFY(form->ProgramEnded());
        QCOMPARE(form->ExitCode(), 0);
        QCOMPARE(Snapshot(), before);
        QCOMPARE(launches_, 0);
        QVERIFY(sink_.texts.isEmpty());
    }

    void aFullListStillLogsIn_data() {
        QTest::addColumn<int>("storedAccounts");
        QTest::addColumn<bool>("newOneStored");
        QTest::newRow("98 stored: the new one is the 99th") << 98 << true;
        QTest::newRow("99 stored: slot 100 is never stored") << 99 << false;
        QTest::newRow("100 stored: no slot at all") << 100 << false;
    }

    void aFullListStillLogsIn() {
        QFETCH(int, storedAccounts);
        QFETCH(bool, newOneStored);
        std::vector<Account> accounts;
        for (int i = 0; i < storedAccounts; ++i) {
            accounts.push_back({"user" + std::to_string(i), "pw" + std::to_string(i), "0"});
        }
        Seed(accounts);
        auto form = LoadedForm();
        QCOMPARE(Find<QComboBox>(*form, "Combo1")->count(), storedAccounts);
        Fill(*form, "newcomer", "npw", "9");
        Find<QPushButton>(*form, "Command1")->click();
        QCOMPARE(launches_, 1);
        QCOMPARE(launched_.LoginUsername, std::string("newcomer"));
        QVERIFY(sink_.texts.isEmpty());
        const auto stored = Stored();
        QCOMPARE(static_cast<int>(stored.size()), storedAccounts + (newOneStored ? 1 : 0));
        QCOMPARE(Names(stored).contains("newcomer"), newOneStored);
    }

    void aCommaIsReportedOnceAndTheLoginGoesOn_data() {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("pin");
        QTest::addColumn<QString>("message");
        QTest::newRow("username") << "a,b"
                                  << "pw"
                                  << "1"
                                  << "The username was not saved: it "
                                     "contains a comma";
        QTest::newRow("password") << "ann"
                                  << "p,w"
                                  << "1"
                                  << "The password was not saved: it "
                                     "contains a comma";
        QTest::newRow("PIN") << "ann"
                             << "pw"
                             << "1,2"
                             << "The PIN was not saved: it contains a "
                                "comma";
        QTest::newRow("password and PIN") << "ann"
                                          << "p,w"
                                          << "1,2"
                                          << "The password and PIN were not saved: they contain";
    }

    void aCommaIsReportedOnceAndTheLoginGoesOn() {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, pin);
        QFETCH(QString, message);
        auto form = LoadedForm();
        Fill(*form, username, password, pin);
        Find<QCheckBox>(*form, "Check1")->setChecked(true);
        Find<QPushButton>(*form, "Command1")->click();
        QCOMPARE(sink_.texts.size(), 1);
        QVERIFY2(sink_.texts[0].startsWith(message), qPrintable(sink_.texts[0]));
        QCOMPARE(launches_, 1);
        // The launch gets what was typed, comma and all.
        QCOMPARE(QString::fromStdString(launched_.LoginUsername), username);
        QCOMPARE(QString::fromStdString(launched_.LoginPassword), password);
        QCOMPARE(QString::fromStdString(launched_.LoginPin), pin);
        // The stored lists stay in step: one account or none, never a split one.
        const auto stored = Stored();
        QVERIFY(stored.size() <= 1);
        for (const auto& account : stored) {
            QVERIFY(account.username.find(',') == std::string::npos);
        }
    }

    void aboutShowsVersionAndMaker() {
        auto form = LoadedForm();
        const QStringList before = Snapshot();
        Find<QAction>(*form, "a")->trigger();
        QCOMPARE(sink_.titles, QStringList({"VellaMar"}));
        const QStringList lines = sink_.texts.value(0).split("\r\n");
        QCOMPARE(lines.size(), 9);  // eight lines, each ended by CR LF
        QCOMPARE(lines[0], QString("Vellamark Launcher Application Version : 3.25"));
        QCOMPARE(lines[1], QString());
        QCOMPARE(lines[2], QString("Corvane Software Limited"));
        for (int i = 3; i <= 5; ++i) {
            QVERIFY(!lines[i].isEmpty());
        }
        QCOMPARE(lines[6], QString());
        QVERIFY(!lines[7].isEmpty());
        QCOMPARE(lines[8], QString());
        QCOMPARE(Snapshot(), before);
    }

    void loginTurnsTheWindowIntoTheProgressDisplay() {
        auto form = LoadedForm();
        form->show();
        bool sawDisplay = false;
        bool timerRanDuringSleep = false;
        duringLaunch_ = [&](LaunchUi& ui) {
            for (const char* name :
                 {"Combo1", "Command1", "Text2", "Text8", "Check1", "Label1", "Label2", "Label5"}) {
                QVERIFY2(!Find<QWidget>(*form, name)->isVisible(), name);
            }
            QCOMPARE(Find<QGroupBox>(*form, "Frame1")->title(),
                     QString("Vellamark Login Progress"));
            auto* status = Find<QLabel>(*form, "Label4");
            QVERIFY(status->isVisible());
            QCOMPARE(status->text(), QString("Initialising System ....."));
            auto* bar = Find<QProgressBar>(*form, "ProgressBar1");
            QVERIFY(bar->isVisible());
            QCOMPARE(bar->value(), 2);
            QCOMPARE(ui.Progress(), 2.0F);

            ui.SetProgress(37.6F);
            QCOMPARE(ui.Progress(), 37.6F);
            QCOMPARE(bar->value(), 38);
            ui.SetStatus("Opening browser");
            QCOMPARE(status->text(), QString("Opening browser"));

            // Timers (and with them painting) go on through the poll sleep.
            QTimer::singleShot(0, [&] { timerRanDuringSleep = true; });
            ui.Sleep(std::chrono::milliseconds(50));
            QVERIFY(timerRanDuringSleep);

            QVERIFY(!form->close());  // the window stays until the launch ends the program
            ui.EndProgram(3);
            sawDisplay = true;
        };
        Fill(*form, "ivy", "ipw", "1");
        Find<QPushButton>(*form, "Command1")->click();
        QVERIFY(sawDisplay);
        QVERIFY(form->ProgramEnded());
        QCOMPARE(form->ExitCode(), 3);
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
