#include "app/form1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <utility>

#include "app/message_sink.h"
#include "app/password_style.h"
#include "store/registry.h"

namespace vellamark {

namespace {

// 1440 twips make an inch; at 96 dots per inch that is 15 twips a pixel.
constexpr double kTwipsPerInch = 1440.0;
constexpr double kReferenceDpi = 96.0;

constexpr int kClientWidthTwips = 6750;
constexpr int kClientHeightTwips = 5070;

QFont Verdana(double points, bool bold) {
    // Where Verdana is not installed the system's own font stands in. Asking the font database
    // once, instead of naming Verdana with a fallback, spares fontconfig a substitution and a
    // sort of every installed font for each control's font, a noticeable part of the start-up.
    static const bool haveVerdana = QFontDatabase::hasFamily(QStringLiteral("Verdana"));
    QFont font(haveVerdana ? QStringLiteral("Verdana") : QApplication::font().family());
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

bool IsEnterKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
        return false;
    }
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

QString CommaMessage(const SaveOutcome& outcome) {
    QStringList fields;
    if (outcome.usernameLeftOut) {
        fields << QStringLiteral("username");
    }
    if (outcome.passwordNotSaved) {
        fields << QStringLiteral("password");
    }
    if (outcome.pinNotSaved) {
        fields << QStringLiteral("PIN");
    }
    QString named = fields.first();
    if (fields.size() == 2) {
        named = fields[0] + QStringLiteral(" and ") + fields[1];
    } else if (fields.size() == 3) {
        named = fields[0] + QStringLiteral(", ") + fields[1] + QStringLiteral(" and ") + fields[2];
    }
    const bool one = fields.size() == 1;
    return QStringLiteral(
               "The %1 %2 not saved: %3 a comma, which the list of saved accounts "
               "cannot hold.")
        .arg(named, one ? QStringLiteral("was") : QStringLiteral("were"),
             one ? QStringLiteral("it contains") : QStringLiteral("they contain"));
}

}  // namespace

Form1::Form1(StoreKeySource& keys, MessageSink& messages, Launcher launcher, WorkingFolders folders,
             QWidget* parent)
    : QMainWindow(parent),
      keys_(keys),
      messages_(messages),
      launcher_(std::move(launcher)),
      folders_(std::move(folders)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("VellaMark System"));
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/vellamark/icons/vellamark-%1.png").arg(size),
                     QSize(size, size));
    }
    setWindowIcon(icon);

    // Twips are scaled with the screen's logical resolution, so the form keeps its proportions
    // on a screen set above 96 dpi.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        dpiScale_ = screen->logicalDotsPerInchY() / kReferenceDpi;
    }

    BuildControls();
    BuildMenus();
    CentreOnScreen();
}

Form1::~Form1() = default;

int Form1::Twips(int twips) const {
    return static_cast<int>(std::lround(twips * kReferenceDpi * dpiScale_ / kTwipsPerInch));
}

void Form1::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(Twips(kClientWidthTwips), Twips(kClientHeightTwips));
    setCentralWidget(client);

    const auto place = [this](QWidget* widget, const char* name, int left, int top, int width,
                              int height) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(Twips(left), Twips(top), Twips(width), Twips(height));
    };
    const QFont verdana9 = Verdana(9.0, false);
    const QFont verdana825 = Verdana(8.25, false);
    const QFont verdana825Bold = Verdana(8.25, true);

    Frame1 = new QGroupBox(QStringLiteral("VellaMark User Details"), client);
    place(Frame1, "Frame1", 240, 240, 6255, 3735);
    Frame1->setFont(verdana825Bold);

    Label3 = new QLabel(QStringLiteral("By logging in to this service you agree to be bound by "
                                       "the Subscriber Agreement and the Terms and Conditions "
                                       "therein, as found under the Help Menu."),
                        client);
    place(Label3, "Label3", 240, 4200, 6135, 615);
    Label3->setFont(verdana825);
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Created in the tab order, so the focus chain runs Check1, Combo1, Command1, Text2, Text8
    // and round again; the frame, the labels and the bar take no focus.
    Check1 = new QCheckBox(QStringLiteral("Save Password"), Frame1);
    place(Check1, "Check1", 2760, 1920, 2415, 315);
    Check1->setFont(verdana825);

    Combo1 = new QComboBox(Frame1);
    place(Combo1, "Combo1", 2760, 720, 2655, 330);
    Combo1->setFont(verdana9);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    // The list is a plain pick list: no inline completion that would pick an entry by itself.
    Combo1->setCompleter(nullptr);

    Command1 = new QPushButton(QStringLiteral("Login"), Frame1);
    place(Command1, "Command1", 4800, 2640, 1215, 375);
    Command1->setFont(verdana825Bold);
    Command1->setAutoDefault(false);
    Command1->setDefault(false);

    passwordStyle_ = new PasswordCharacterStyle();
    passwordStyle_->setParent(this);

    Text2 = new QLineEdit(Frame1);
    place(Text2, "Text2", 2760, 1080, 2655, 330);
    Text2->setFont(verdana9);
    Text2->setStyle(passwordStyle_);
    Text2->setEchoMode(QLineEdit::Password);

    Text8 = new QLineEdit(Frame1);
    place(Text8, "Text8", 2760, 1440, 2655, 330);
    Text8->setFont(verdana9);
    Text8->setStyle(passwordStyle_);  // shown in clear until an account is picked

    QWidget::setTabOrder(Check1, Combo1);
    QWidget::setTabOrder(Combo1, Command1);
    QWidget::setTabOrder(Command1, Text2);
    QWidget::setTabOrder(Text2, Text8);

    Label1 = new QLabel(QStringLiteral("Username :"), Frame1);
    place(Label1, "Label1", 720, 720, 1215, 255);
    Label1->setFont(verdana9);

    Label2 = new QLabel(QStringLiteral("Password :"), Frame1);
    place(Label2, "Label2", 720, 1080, 1215, 255);
    Label2->setFont(verdana9);

    Label5 = new QLabel(QStringLiteral("PIN :"), Frame1);
    place(Label5, "Label5", 720, 1440, 1215, 255);
    Label5->setFont(verdana9);

    Label4 = new QLabel(QStringLiteral("Label4"), Frame1);
    place(Label4, "Label4", 360, 1920, 4215, 255);
    Label4->hide();

    ProgressBar1 = new QProgressBar(Frame1);
    place(ProgressBar1, "ProgressBar1", 360, 2280, 5655, 255);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    ProgressBar1->hide();

    lblEncyrption = new QLabel(QStringLiteral("Label5"), Frame1);
    place(lblEncyrption, "lblEncyrption", 720, 2640, 3375, 255);
    lblEncyrption->setFont(verdana825);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Combo1, &QComboBox::activated, this, [this](int) { Combo1_Click(); });
    connect(Combo1->lineEdit(), &QLineEdit::textEdited, this, &Form1::Combo1_TextEdited);

    // Enter does nothing in the username box, the PIN box and "Save Password"; in the password
    // box it runs the Login command.
    for (QObject* watched :
         {static_cast<QObject*>(Combo1), static_cast<QObject*>(Combo1->lineEdit()),
          static_cast<QObject*>(Text8), static_cast<QObject*>(Check1),
          static_cast<QObject*>(Text2)}) {
        watched->installEventFilter(this);
    }
}

void Form1::BuildMenus() {
    const auto item = [this](QMenu* menu, const char* name, const QString& caption,
                             void (Form1::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    // Qt flips a checkable item before it reports the click; the handlers decide from the mark
    // as the user saw it, so it is put back first.
    const auto checkItem = [this](QMenu* menu, const char* name, const QString& caption,
                                  void (Form1::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, action, handler](bool checked) {
            action->setChecked(!checked);
            (this->*handler)();
        });
        return action;
    };

    QMenu* f = menuBar()->addMenu(QStringLiteral("File"));
    f->setObjectName(QStringLiteral("f"));
    f->menuAction()->setObjectName(QStringLiteral("f"));
    item(f, "d", QStringLiteral("Remove Current Username && Password"), &Form1::d_Click);
    item(f, "s", QStringLiteral("Remove Current Password"), &Form1::s_Click);
    item(f, "t", QStringLiteral("Remove All Usernames && Passwords"), &Form1::t_Click);
    item(f, "w", QStringLiteral("Remove All Passwords"), &Form1::w_Click);
    item(f, "q", QStringLiteral("E&xit"), &Form1::q_Click);

    QMenu* x = menuBar()->addMenu(QStringLiteral("Settings"));
    x->setObjectName(QStringLiteral("x"));
    x->menuAction()->setObjectName(QStringLiteral("x"));
    a1 = checkItem(x, "a1", QStringLiteral("Use encyrption"), &Form1::a1_Click);
    a1->setChecked(true);
    a2 = checkItem(x, "a2", QStringLiteral("Do not use encyrption"), &Form1::a2_Click);
    a2->setEnabled(false);
    cmdIgnoreMenubar = checkItem(x, "cmdIgnoreMenubar", QStringLiteral("Ignore MenuBar"),
                                 &Form1::cmdIgnoreMenubar_Click);
    cmd5 = checkItem(x, "cmd5", QStringLiteral("Create Browser Login"), &Form1::cmd5_Click);
    cmddebug = checkItem(x, "cmddebug", QStringLiteral("Debug Mode"), &Form1::cmddebug_Click);

    QAction* a = menuBar()->addAction(QStringLiteral("About"));
    a->setObjectName(QStringLiteral("a"));
    connect(a, &QAction::triggered, this, &Form1::a_Click);
}

void Form1::CentreOnScreen() {
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void Form1::Message(const QString& text) {
    messages_.ShowMessage(text, QString::fromLatin1(kApplicationTitle));
}

bool Form1::Form_Load() {
    if (const auto failure = EnsureWorkingFolders(folders_)) {
        Message(QString::fromStdString(*failure));
        ended_ = true;
        exitCode_ = 1;
        return false;
    }
    // A store that cannot be opened reads as empty and keeps nothing; say so once rather than
    // let saved accounts and settings vanish without a word.
    if (const std::string problem = RegistryStoreProblem(); !problem.empty()) {
        Message(QString::fromStdString(problem));
    }
    if (!RegistryKeyExists(kSettingsRoot, kSettingsKey)) {
        CreateRegistryKey(kSettingsRoot, kSettingsKeyNoSlash);
    }
    lblEncyrption->setText(QStringLiteral("(Encyrption is ON)"));

    const auto setting = [](const char* name) {
        return TaggedValueText(ReadRegistryString(kSettingsRoot, kSettingsKey, name));
    };
    if (setting(kCreatePageValue) == "True") {
        cmd5->setChecked(true);
        createPage_ = true;
    }
    if (setting(kIgnoreMenuBarValue) == "True") {
        cmdIgnoreMenubar->setChecked(true);
        ignoreMenuBar_ = true;
    } else {
        ignoreMenuBar_ = false;
    }
    // The value counts when it reads as the number 1 ("1", " 1 ", "1.0"); anything else clears.
    bool isNumber = false;
    const double savePasswords =
        QString::fromStdString(setting(kSavePasswordsValue)).trimmed().toDouble(&isNumber);
    Check1->setChecked(isNumber && savePasswords == 1.0);

    if (!CreateDropDown()) {
        return false;
    }
    if (Combo1->count() > 0) {
        SelectEntry(0);
    }
    Check1->setFocus();
    return true;
}

bool Form1::CreateDropDown() {
    // The username box keeps its text while the list is emptied and refilled.
    const QString text = Combo1->currentText();
    {
        const QSignalBlocker blocker(Combo1);
        for (int i = Combo1->count() - 1; i >= 0; --i) {
            Combo1->removeItem(i);
        }
    }
    const DropDownOutcome outcome = ReadStoredAccounts(tables_, keys_, lists_, storeKey_);
    if (outcome.filetimeError) {
        Message(QStringLiteral("Filetime error"));
        EndProgram(1);
        return false;
    }
    if (outcome.dateCreatedError) {
        Message(
            QStringLiteral("The saved accounts cannot be read: the creation date of the "
                           "launcher's own program file is not available."));
        EndProgram(1);
        return false;
    }
    if (!outcome.loginEnabled) {
        Command1->setEnabled(false);
    }
    {
        const QSignalBlocker blocker(Combo1);
        for (const std::string& entry : outcome.entries) {
            Combo1->addItem(QString::fromStdString(entry));
        }
        // The first item added to an empty list becomes current by itself; nothing is picked.
        Combo1->setCurrentIndex(-1);
        Combo1->setEditText(text);
    }
    return true;
}

void Form1::SelectEntry(int index) {
    {
        const QSignalBlocker blocker(Combo1);
        Combo1->setCurrentIndex(index);
    }
    Combo1_Click();
}

void Form1::Combo1_Click() {
    const int k = Combo1->currentIndex();
    if (k < 0 || k >= kAccountSlots) {
        return;
    }
    const std::string& password = tables_.savedPasswords[static_cast<std::size_t>(k)];
    Text2->setText(password != kNoPasswordMarker ? QString::fromStdString(password) : QString());
    Text8->setEchoMode(QLineEdit::Password);
    Text8->setText(QString::fromStdString(tables_.savedPins[static_cast<std::size_t>(k)]));
    Check1->setChecked(tables_.passwordSavedFlags[static_cast<std::size_t>(k)] == 1);
}

void Form1::Combo1_TextEdited(const QString& text) {
    // Editing the text leaves the picked entry: the username now counts as typed.
    if (Combo1->currentIndex() == -1) {
        return;
    }
    QLineEdit* edit = Combo1->lineEdit();
    const int cursor = edit->cursorPosition();
    const QSignalBlocker blocker(Combo1);
    Combo1->setCurrentIndex(-1);  // this empties the text, which is put back
    edit->setText(text);
    edit->setCursorPosition(cursor);
}

bool Form1::SaveUserDetails() {
    const WindowEntry entry{Combo1->currentText().toStdString(), Text2->text().toStdString(),
                            Text8->text().toStdString(), Check1->isChecked()};
    const SaveOutcome outcome =
        vellamark::SaveUserDetails(tables_, entry, keys_, lists_, storeKey_);
    if (outcome.filetimeError) {
        Message(QStringLiteral("Filetime error"));
        EndProgram(1);
        return false;
    }
    if (outcome.usernameLeftOut || outcome.passwordNotSaved || outcome.pinNotSaved) {
        Message(CommaMessage(outcome));
    }
    return true;
}

void Form1::Command1_Click() {
    if (launching_ || ended_) {
        return;
    }
    const bool debug = debugMode_.value_or(false);
    if (debug) {
        Message(QStringLiteral("Start click"));
    }
    if (Text2->text().isEmpty() || Combo1->currentText().isEmpty()) {
        Message(QStringLiteral("You must enter a username and password"));
        return;
    }
    if (Combo1->currentIndex() == -1) {
        // A typed username goes to slot n + 1; slot n stays the empty one after the list. With
        // the list full there is no slot for it: the login goes on without saving it.
        const int slot = Combo1->count() + 1;
        if (slot < kAccountSlots) {
            const auto k = static_cast<std::size_t>(slot);
            tables_.savedUsernames[k] = Combo1->currentText().toStdString();
            tables_.savedPasswords[k] = Check1->isChecked() ? Text2->text().toStdString() : "";
        }
    }

    WriteRegistryString(kSettingsRoot, kSettingsKey, kCreatePageValue, cmd5->isChecked());
    WriteRegistryString(kSettingsRoot, kSettingsKey, kIgnoreMenuBarValue,
                        cmdIgnoreMenubar->isChecked());
    WriteRegistryString(kSettingsRoot, kSettingsKey, kSavePasswordsValue,
                        std::string(Check1->isChecked() ? "1" : "0"));
    WriteRegistryString(kSettingsRoot, kSettingsKey, kSslValue,
                        useEncryption_ ? TaggedValue(*useEncryption_) : TaggedValue());
    if (debug) {
        Message(QStringLiteral("Keys Created"));
    }
    if (!SaveUserDetails()) {
        return;
    }
    if (debug) {
        Message(QStringLiteral("Details Saved"));
    }

    MMain values;
    values.LoginUsername = Combo1->currentText().toStdString();
    values.LoginPassword = Text2->text().toStdString();
    values.LoginPin = Text8->text().toStdString();

    ShowProgressDisplay();
    if (debug) {
        Message(QStringLiteral("Leaving Sub"));
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
    for (QWidget* widget : {static_cast<QWidget*>(Combo1), static_cast<QWidget*>(Command1),
                            static_cast<QWidget*>(Text2), static_cast<QWidget*>(Text8),
                            static_cast<QWidget*>(Check1), static_cast<QWidget*>(Label1),
                            static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label5)}) {
        widget->hide();
    }
    // The menus would run commands in the middle of the launch.
    menuBar()->setEnabled(false);
    Frame1->setTitle(QStringLiteral("Vellamark Login Progress"));
    Label4->setText(QStringLiteral("Initialising System ....."));
    Label4->show();
    ProgressBar1->show();
    SetProgress(2.0F);
}

void Form1::q_Click() {
    EndProgram(0);
}

void Form1::d_Click() {
    const int k = Combo1->currentIndex();
    if (k < 0 || k >= kAccountSlots) {
        return;  // a typed username has no slot to remove
    }
    tables_.savedPasswords[static_cast<std::size_t>(k)].clear();
    tables_.savedUsernames[static_cast<std::size_t>(k)].clear();
    if (!SaveUserDetails() || !CreateDropDown()) {
        return;
    }
    Text2->clear();
    Check1->setChecked(false);
}

void Form1::s_Click() {
    const int k = Combo1->currentIndex();
    if (k < 0 || k >= kAccountSlots) {
        return;
    }
    tables_.savedPasswords[static_cast<std::size_t>(k)] = kNoPasswordMarker;
    Text2->clear();
    Check1->setChecked(false);
    if (SaveUserDetails()) {
        static_cast<void>(CreateDropDown());
    }
}

void Form1::t_Click() {
    for (std::size_t i = 0; i < kAccountSlots; ++i) {
        tables_.savedUsernames[i].clear();
        tables_.savedPasswords[i].clear();
        tables_.savedPins[i].clear();
    }
    Text2->clear();
    Text8->clear();
    if (SaveUserDetails()) {
        static_cast<void>(CreateDropDown());
    }
}

void Form1::w_Click() {
    for (std::size_t i = 0; i < kAccountSlots; ++i) {
        tables_.savedPasswords[i] = kNoPasswordMarker;
    }
    if (SaveUserDetails()) {
        static_cast<void>(CreateDropDown());
    }
}

void Form1::a1_Click() {
    useEncryption_ = true;
    lblEncyrption->setText(QStringLiteral("(Encyrption is ON)"));
}

void Form1::a2_Click() {
    useEncryption_ = false;
    lblEncyrption->setText(QStringLiteral("(Encyrption is OFF)"));
}

void Form1::cmd5_Click() {
    const bool on = !cmd5->isChecked();
    cmd5->setChecked(on);
    createPage_ = on;
}

void Form1::cmdIgnoreMenubar_Click() {
    const bool on = !cmdIgnoreMenubar->isChecked();
    cmdIgnoreMenubar->setChecked(on);
    ignoreMenuBar_ = on;
}

void Form1::cmddebug_Click() {
    // Decided by the flag, not by the mark.
    const bool on = !debugMode_.value_or(false);
    cmddebug->setChecked(on);
    debugMode_ = on;
}

QString Form1::AboutText() {
    return QStringLiteral(
        "Vellamark Launcher Application Version : 3.25\r\n"
        "\r\n"
        "Corvane Software Limited\r\n"
        "1 Harbour Street\r\n"
        "Ostrand\r\n"
        "Vellamark\r\n"
        "\r\n"
        "www.vellamark.example\r\n");
}

void Form1::a_Click() {
    Message(AboutText());
}

void Form1::SetProgress(float value) {
    progress_ = value;
    ProgressBar1->setValue(static_cast<int>(std::lround(value)));
}

void Form1::SetStatus(const std::string& text) {
    Label4->setText(QString::fromStdString(text));
}

void Form1::ShowMessage(const std::string& text) {
    Message(QString::fromStdString(text));
}

void Form1::Sleep(std::chrono::milliseconds duration) {
    // Paint, timers and the window system's pings go on, so the window never looks hung; clicks
    // and keys wait, so nothing can be started in the middle of the launch.
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void Form1::EndProgram(int exitCode) {
    ended_ = true;
    exitCode_ = exitCode;
    // Quitting with no event loop running would leave Qt's quit flag set, and every later loop
    // (a message box, the poll sleep) would return at once; main() looks at ProgramEnded then.
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(exitCode);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (IsEnterKey(event)) {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();  // keep Enter away from shortcuts too
            return false;
        }
        if (watched == Text2) {
            Command1_Click();  // also while "Login" is disabled
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    if (launching_ && !ended_) {
        event->ignore();  // the launch ends the program itself
        return;
    }
    // Form_Unload: the program ends at once; nothing is written.
    event->accept();
    if (!ended_) {
        EndProgram(0);
    }
}

}  // namespace vellamark
