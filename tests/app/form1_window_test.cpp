// What the Qt window adds to Form1's behaviour: the description's layout and fonts, object
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
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "form/window_description.h"
#include "store/account_store.h"
#include "tests/support/fake_key_source.h"
#include "tests/support/scratch_store.h"

using namespace vellamark;

namespace {

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
    std::unique_ptr<testsupport::ScratchStore> scratch_;
    testsupport::FakeKeySource keys_;
    std::unique_ptr<AccountStore> store_;
    QStringList messages_;
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
        store_ = std::make_unique<AccountStore>(keys_, scratch_->session());
        auto form = std::make_unique<Form1Window>(*store_, launcher, Folders());
        form->SetMessageSink(
            [this](const std::string& text) { messages_ << QString::fromStdString(text); });
        return form;
    }

    std::unique_ptr<Form1Window> LoadedForm() {
        auto form = MakeForm();
        if (!form->Form().Form_Load()) {
            qFatal("Form_Load failed: %s", qPrintable(messages_.join('|')));
        }
        return form;
    }

    // Stores accounts the way a previous run would have, under the first way's key.
    void Seed(const AccountList& accounts) { scratch_->StoreLists(ListsOf(accounts)); }

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

    const AccountList threeAccounts_{
        {"alice", "apw", "1111"}, {"bob", "####", "2222"}, {"carol", "cpw", "3333"}};

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        scratch_ = std::make_unique<testsupport::ScratchStore>();
        keys_ = testsupport::FakeKeySource{};
        messages_.clear();
        launches_ = 0;
        duringLaunch_ = nullptr;
    }

    void cleanup() {
        store_.reset();
        scratch_.reset();
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

    void controlsFollowTheDescription_data() {
        QTest::addColumn<int>("control");
        for (const ControlDescription& control : Form1Description().controls) {
            QTest::newRow(control.name) << static_cast<int>(control.control);
        }
    }

    void controlsFollowTheDescription() {
        QFETCH(int, control);
        const ControlDescription& row = DescriptionOf(static_cast<Control>(control));
        auto form = MakeForm();  // before Form_Load: the design-time captions
        auto* widget = Find<QWidget>(*form, row.name);
        const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
        const auto px = [dpi](int twips) { return TwipsToPixels(twips, dpi); };
        QCOMPARE(widget->geometry(),
                 QRect(px(row.left), px(row.top), px(row.width), px(row.height)));
        if (row.font != ControlFont::kSystem) {
            // Verdana where it is installed; elsewhere the system's own font stands in for it.
            const QString verdana = QFontDatabase::hasFamily(kVerdana)
                                        ? QString(kVerdana)
                                        : QApplication::font().family();
            QCOMPARE(widget->font().family(), verdana);
            QCOMPARE(widget->font().pointSizeF(), VerdanaSizeOf(row.font).points);
            QCOMPARE(widget->font().bold(), VerdanaSizeOf(row.font).bold);
        } else {
            // The system font, not the bold Verdana of its frame.
            QCOMPARE(widget->font().family(), QApplication::font().family());
            QCOMPARE(widget->font().pointSizeF(), QApplication::font().pointSizeF());
            QCOMPARE(widget->font().bold(), false);
        }
        QCOMPARE(QString::fromStdString(form->Text(row.control)), QString(row.caption));
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(edit->echoMode() == QLineEdit::Password, row.passwordCharacter);
        }
        QCOMPARE(widget->isVisibleTo(form.get()), row.visible);
        QCOMPARE(widget->isEnabled(), row.enabled);
        QCOMPARE(form->centralWidget()->size(),
                 QSize(px(Form1Description().clientWidth), px(Form1Description().clientHeight)));
    }

    void menusHaveTheirCaptionsAndStates() {
        auto form = LoadedForm();
        const auto check = [&](const MenuItemDescription& row) {
            auto* action = Find<QAction>(*form, row.name);
            QCOMPARE(action->text(), QString(row.caption));
            QCOMPARE(action->isChecked(), row.checked);
            QCOMPARE(action->isEnabled(), row.enabled);
        };
        for (const MenuDescription& menu : Form1Description().menus) {
            check(menu.title);
            for (const MenuItemDescription& item : menu.items) {
                check(item);
            }
        }
    }

    void tabOrderStartsAtSavePassword() {
        auto form = LoadedForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QStringList order;
        QStringList expected;
        for (const Control control : TabOrder()) {
            expected << DescriptionOf(control).name;
        }
        expected << expected.front();
        for (int i = 0; i < expected.size(); ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus != nullptr);
            // The username box's edit field is its focus proxy.
            order << (qobject_cast<QLineEdit*>(focus) && focus->parent() &&
                              focus->parent()->objectName() == "Combo1"
                          ? QString("Combo1")
                          : focus->objectName());
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(order, expected);
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
        QVERIFY(messages_.isEmpty());
    }

    void enterInThePasswordBoxRefusesEmptyInput() {
        auto form = LoadedForm();
        Find<QLineEdit>(*form, "Text2")->setText("pw");
        QTest::keyClick(Find<QLineEdit>(*form, "Text2"), Qt::Key_Enter);
        QCOMPARE(messages_, QStringList({"You must enter a username and password"}));
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
