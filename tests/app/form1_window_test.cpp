// What the Qt window adds to Form1's behaviour: the control table's layout and fonts, object
// names, menus, the tab order, keys, masking as shown, and painting during the launch. Real
// widgets found by their names, a store of its own, fixed key texts, a fake launcher and a
// message sink that answers every box.

#include "app/qt/form1_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qt/message_sink.h"
#include "store/account_store.h"
#include "store/registry.h"
#include "store/sqlite_registry.h"
#include "tests/support/fake_key_source.h"

using namespace vellamark;

namespace {

class RecordingSink final : public MessageSink {
public:
    QStringList texts;
    QStringList titles;
    void ShowMessage(const QString& text, const QString& title) override {
        texts << text;
        titles << title;
    }
};

template <typename T>
T* Find(QObject& form, const char* name) {
    T* found = form.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no control named %s", name);
    }
    return found;
}

}  // namespace

class Form1WindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    testsupport::FakeKeySource keys_;
    std::unique_ptr<AccountStore> store_;
    RecordingSink sink_;
    int launches_ = 0;
    std::function<void(LaunchUi&)> duringLaunch_;

    WorkingFolders Folders() const {
        return {(dir_->path() + "/data/vellamark").toStdString(),
                (dir_->path() + "/data/vellamark/temp").toStdString()};
    }

    std::unique_ptr<Form1Window> MakeForm() {
        Launcher launcher = [this](const MMain&, const LaunchFlags&, LaunchUi& ui) {
            ++launches_;
            if (duringLaunch_) {
                duringLaunch_(ui);
            }
        };
        store_ = std::make_unique<AccountStore>(keys_);
        return std::make_unique<Form1Window>(*store_, sink_, launcher, Folders());
    }

    std::unique_ptr<Form1Window> LoadedForm() {
        auto form = MakeForm();
        if (!form->Form().Form_Load()) {
            qFatal("Form_Load failed: %s", qPrintable(sink_.texts.join('|')));
        }
        return form;
    }

    // Stores accounts the way a previous run would have, under the first way's key.
    void Seed(const std::vector<std::array<const char*, 3>>& accounts) {
        AccountStore store(keys_);
        for (std::size_t i = 0; i < accounts.size(); ++i) {
            store.Tables().savedUsernames[i] = accounts[i][0];
            store.Tables().savedPasswords[i] = accounts[i][1];
            store.Tables().savedPins[i] = accounts[i][2];
        }
        QVERIFY(store.SaveUserDetails(WindowEntry{}).ok());
    }

    static QStringList ListOf(QComboBox* combo) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        return items;
    }

    // Replaces the username box's text as typing would.
    static void TypeUsername(Form1Window& form, const QString& text) {
        QLineEdit* edit = Find<QComboBox>(form, "Combo1")->lineEdit();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    const std::vector<std::array<const char*, 3>> threeAccounts_{
        {"alice", "apw", "1111"}, {"bob", "####", "2222"}, {"carol", "cpw", "3333"}};

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        auto opening = OpenSqliteRegistry((dir_->path() + "/registry.sqlite3").toStdString());
        QVERIFY2(opening.ok(), opening.error().c_str());
        SetRegistryBackend(std::shared_ptr<RegistryBackend>(std::move(opening->backend)));
        keys_ = testsupport::FakeKeySource{};
        sink_ = RecordingSink{};
        launches_ = 0;
        duringLaunch_ = nullptr;
    }

    void cleanup() {
        SetRegistryBackend(nullptr);
        dir_.reset();
    }

    void boxesShowWhatTheUserMayReadAndPickingMasksThePin() {
        {
            // On a first run the PIN box shows what is typed until an account is picked.
            auto fresh = LoadedForm();
            auto* freshPin = Find<QLineEdit>(*fresh, "Text8");
            QTest::keyClicks(freshPin, "4711");
            QCOMPARE(freshPin->displayText(), QString("4711"));
        }
        Seed(threeAccounts_);
        auto form = LoadedForm();
        QCOMPARE(form->windowTitle(), QString("VellaMark System"));
        auto* combo = Find<QComboBox>(*form, "Combo1");
        auto* password = Find<QLineEdit>(*form, "Text2");
        auto* pin = Find<QLineEdit>(*form, "Text8");
        QCOMPARE(ListOf(combo), QStringList({"alice", "bob", "carol"}));
        QCOMPARE(combo->currentText(), QString("alice"));
        QCOMPARE(password->displayText(), QString("***"));
        QCOMPARE(pin->displayText(), QString("****"));
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QCOMPARE(password->text(), QString());
        QCOMPARE(pin->displayText(), QString("****"));
        QVERIFY(!Find<QCheckBox>(*form, "Check1")->isChecked());
    }

    void closingTheWindowEndsTheProgramWithNothingWritten() {
        auto form = LoadedForm();
        form->show();
        QVERIFY(form->close());
        QVERIFY(form->Form().ProgramEnded());
        QCOMPARE(form->Form().ExitCode(), 0);
        QCOMPARE(launches_, 0);
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
        } else if (name == QStringLiteral("Label4")) {
            // The status text: the system font, not the bold Verdana of its frame.
            QCOMPARE(widget->font().family(), QApplication::font().family());
            QCOMPARE(widget->font().pointSizeF(), QApplication::font().pointSizeF());
            QCOMPARE(widget->font().bold(), false);
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

    void enterInThePasswordBoxRefusesEmptyInput() {
        auto form = LoadedForm();
        Find<QLineEdit>(*form, "Text2")->setText("pw");
        QTest::keyClick(Find<QLineEdit>(*form, "Text2"), Qt::Key_Enter);
        QCOMPARE(sink_.texts, QStringList({"You must enter a username and password"}));
        QCOMPARE(launches_, 0);
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
            QCOMPARE(status->accessibleName(), QString("Opening browser"));  // not "Label4"
            QCOMPARE(bar->accessibleDescription(), QString("Opening browser"));

            // Timers (and with them painting) go on through the poll sleep.
            QTimer::singleShot(0, [&] { timerRanDuringSleep = true; });
            ui.Sleep(std::chrono::milliseconds(50));
            QVERIFY(timerRanDuringSleep);

            QVERIFY(!form->close());  // the window stays until the launch ends the program
            ui.EndProgram(3);
            sawDisplay = true;
        };
        TypeUsername(*form, "ivy");
        Find<QLineEdit>(*form, "Text2")->setText("ipw");
        Find<QPushButton>(*form, "Command1")->click();
        QVERIFY(sawDisplay);
        QVERIFY(form->Form().ProgramEnded());
        QCOMPARE(form->Form().ExitCode(), 3);
    }
};

QTEST_MAIN(Form1WindowTest)
#include "form1_window_test.moc"
