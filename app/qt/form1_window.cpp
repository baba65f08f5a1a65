#include "app/qt/form1_window.h"

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
#include <tuple>
#include <utility>

#include "app/qt/message_sink.h"
#include "app/qt/password_style.h"

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

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

Form1Window::Form1Window(AccountStore& store, MessageSink& messages, Launcher launcher,
                         Result<WorkingFolders> folders, QWidget* parent)
    : QMainWindow(parent),
      messages_(messages),
      form_(*this, store, std::move(launcher), std::move(folders)) {
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

Form1Window::~Form1Window() = default;

int Form1Window::Twips(int twips) const {
    return static_cast<int>(std::lround(twips * kReferenceDpi * dpiScale_ / kTwipsPerInch));
}

void Form1Window::BuildControls() {
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
    // The status text is in the system font, not the frame's bold Verdana: each attribute set
    // here is one the label no longer inherits from its frame.
    QFont systemFont = QApplication::font();
    systemFont.setFamilies(systemFont.families());
    systemFont.setFamily(systemFont.family());
    systemFont.setPointSizeF(systemFont.pointSizeF());
    systemFont.setWeight(QFont::Normal);
    systemFont.setItalic(false);
    Label4->setFont(systemFont);
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

    // What a screen reader reads. Each box is named after its label, not the frame around it,
    // and labelled by it through the buddy relation (on Linux Qt names an editable combo box by
    // its text once it has one; a screen reader then takes the name from the relation). The
    // status line and the bar are named by what they show, never by the design caption "Label4".
    for (const auto& [label, field, name] :
         {std::tuple<QLabel*, QWidget*, QString>{Label1, Combo1, QStringLiteral("Username")},
          {Label2, Text2, QStringLiteral("Password")},
          {Label5, Text8, QStringLiteral("PIN")}}) {
        label->setBuddy(field);
        field->setAccessibleName(name);
    }
    Combo1->lineEdit()->setAccessibleName(Combo1->accessibleName());
    Label4->setAccessibleName(QStringLiteral("Login status"));
    ProgressBar1->setAccessibleName(QStringLiteral("Login progress"));

    connect(Command1, &QPushButton::clicked, this, [this] { form_.Command1_Click(); });
    connect(Combo1, &QComboBox::activated, this, [this](int) { form_.Combo1_Click(); });
    connect(Combo1->lineEdit(), &QLineEdit::textEdited, this, [this] { form_.Combo1_Change(); });

    // Enter does nothing in the username box, the PIN box and "Save Password"; in the password
    // box it runs the Login command.
    for (QObject* watched :
         {static_cast<QObject*>(Combo1), static_cast<QObject*>(Combo1->lineEdit()),
          static_cast<QObject*>(Text8), static_cast<QObject*>(Check1),
          static_cast<QObject*>(Text2)}) {
        watched->installEventFilter(this);
    }
}

void Form1Window::BuildMenus() {
    const auto item = [this](QMenu* menu, MenuItem id, const char* name, const QString& caption,
                             void (Form1::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, handler] { (form_.*handler)(); });
        menuItems_[id] = action;
        return action;
    };
    // Qt flips a checkable item before it reports the click; the handlers decide from the mark
    // as the user saw it, so it is put back first.
    const auto checkItem = [this](QMenu* menu, MenuItem id, const char* name,
                                  const QString& caption, void (Form1::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, action, handler](bool checked) {
            action->setChecked(!checked);
            (form_.*handler)();
        });
        menuItems_[id] = action;
        return action;
    };

    QMenu* f = menuBar()->addMenu(QStringLiteral("File"));
    f->setObjectName(QStringLiteral("f"));
    f->menuAction()->setObjectName(QStringLiteral("f"));
    menuItems_[MenuItem::f] = f->menuAction();
    item(f, MenuItem::d, "d", QStringLiteral("Remove Current Username && Password"),
         &Form1::d_Click);
    item(f, MenuItem::s, "s", QStringLiteral("Remove Current Password"), &Form1::s_Click);
    item(f, MenuItem::t, "t", QStringLiteral("Remove All Usernames && Passwords"), &Form1::t_Click);
    item(f, MenuItem::w, "w", QStringLiteral("Remove All Passwords"), &Form1::w_Click);
    item(f, MenuItem::q, "q", QStringLiteral("E&xit"), &Form1::q_Click);

    QMenu* x = menuBar()->addMenu(QStringLiteral("Settings"));
    x->setObjectName(QStringLiteral("x"));
    x->menuAction()->setObjectName(QStringLiteral("x"));
    menuItems_[MenuItem::x] = x->menuAction();
    checkItem(x, MenuItem::a1, "a1", QStringLiteral("Use encyrption"), &Form1::a1_Click)
        ->setChecked(true);
    checkItem(x, MenuItem::a2, "a2", QStringLiteral("Do not use encyrption"), &Form1::a2_Click)
        ->setEnabled(false);
    checkItem(x, MenuItem::cmdIgnoreMenubar, "cmdIgnoreMenubar", QStringLiteral("Ignore MenuBar"),
              &Form1::cmdIgnoreMenubar_Click);
    checkItem(x, MenuItem::cmd5, "cmd5", QStringLiteral("Create Browser Login"),
              &Form1::cmd5_Click);
    checkItem(x, MenuItem::cmddebug, "cmddebug", QStringLiteral("Debug Mode"),
              &Form1::cmddebug_Click);

    QAction* a = menuBar()->addAction(QStringLiteral("About"));
    a->setObjectName(QStringLiteral("a"));
    connect(a, &QAction::triggered, this, [this] { form_.a_Click(); });
    menuItems_[MenuItem::a] = a;
}

void Form1Window::CentreOnScreen() {
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

QWidget* Form1Window::Widget(Control control) const {
    switch (control) {
        case Control::Frame1:
            return Frame1;
        case Control::Label1:
            return Label1;
        case Control::Combo1:
            return Combo1;
        case Control::Label2:
            return Label2;
        case Control::Text2:
            return Text2;
        case Control::Label5:
            return Label5;
        case Control::Text8:
            return Text8;
        case Control::Check1:
            return Check1;
        case Control::Label4:
            return Label4;
        case Control::ProgressBar1:
            return ProgressBar1;
        case Control::lblEncyrption:
            return lblEncyrption;
        case Control::Command1:
            return Command1;
        case Control::Label3:
            return Label3;
    }
    return nullptr;
}

std::string Form1Window::Text(Control control) const {
    QString text;
    QWidget* widget = Widget(control);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        text = combo->currentText();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        text = edit->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        text = label->text();
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        text = frame->title();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        text = button->text();
    }
    return text.toStdString();
}

void Form1Window::SetText(Control control, const std::string& text) {
    const QString shown = FromUtf8(text);
    QWidget* widget = Widget(control);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->currentText() != shown) {
            const QSignalBlocker blocker(combo);
            combo->setEditText(shown);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(shown);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(shown);
        if (label == Label4) {  // announced as the status line's name and the bar's description
            label->setAccessibleName(shown);
            ProgressBar1->setAccessibleDescription(shown);
        }
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        frame->setTitle(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(shown);
    }
}

void Form1Window::SetVisible(Control control, bool visible) {
    Widget(control)->setVisible(visible);
}

void Form1Window::SetEnabled(Control control, bool enabled) {
    Widget(control)->setEnabled(enabled);
}

bool Form1Window::Checked(Control control) const {
    const auto* box = qobject_cast<const QAbstractButton*>(Widget(control));
    return box != nullptr && box->isChecked();
}

void Form1Window::SetChecked(Control control, bool checked) {
    if (auto* box = qobject_cast<QAbstractButton*>(Widget(control))) {
        box->setChecked(checked);
    }
}

void Form1Window::SetPasswordCharacter(Control control, bool masked) {
    if (auto* edit = qobject_cast<QLineEdit*>(Widget(control))) {
        edit->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    }
}

void Form1Window::SetFocus(Control control) {
    Widget(control)->setFocus();
}

void Form1Window::SetListEntries(const std::vector<std::string>& entries) {
    const QSignalBlocker blocker(Combo1);
    const QString text = Combo1->currentText();
    // Emptied from the last entry to the first.
    for (int i = Combo1->count() - 1; i >= 0; --i) {
        Combo1->removeItem(i);
    }
    for (const std::string& entry : entries) {
        Combo1->addItem(FromUtf8(entry));
    }
    // The first item added to an empty list becomes current by itself; nothing is picked.
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(text);
}

int Form1Window::ListCount() const {
    return Combo1->count();
}

int Form1Window::ListIndex() const {
    return Combo1->currentIndex();
}

void Form1Window::SetListIndex(int index) {
    const QSignalBlocker blocker(Combo1);
    if (index >= 0) {
        Combo1->setCurrentIndex(index);
        return;
    }
    // Leaving the entry empties the text, which is put back where the cursor was.
    QLineEdit* edit = Combo1->lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    Combo1->setCurrentIndex(-1);
    edit->setText(text);
    edit->setCursorPosition(cursor);
}

bool Form1Window::MenuChecked(MenuItem item) const {
    return menuItems_.at(item)->isChecked();
}

void Form1Window::SetMenuChecked(MenuItem item, bool checked) {
    menuItems_.at(item)->setChecked(checked);
}

void Form1Window::SetMenusEnabled(bool enabled) {
    menuBar()->setEnabled(enabled);
}

void Form1Window::SetProgressValue(float value) {
    ProgressBar1->setValue(static_cast<int>(std::lround(value)));
}

void Form1Window::ShowMessage(const std::string& text) {
    messages_.ShowMessage(FromUtf8(text), QString::fromLatin1(kApplicationTitle));
}

void Form1Window::Pause(std::chrono::milliseconds duration) {
    // Paint, timers and the window system's pings go on, so the window never looks hung; clicks
    // and keys wait, so nothing can be started in the middle of the launch.
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void Form1Window::EndProgram(int exitCode) {
    // Quitting with no event loop running would leave Qt's quit flag set, and every later loop
    // (a message box, the poll sleep) would return at once; main() looks at ProgramEnded then.
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(exitCode);
    }
}

bool Form1Window::eventFilter(QObject* watched, QEvent* event) {
    if (IsEnterKey(event)) {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();  // keep Enter away from shortcuts too
            return false;
        }
        if (watched == Text2) {
            form_.Text2_KeyDown(kEnterKeyCode, 0);  // also while "Login" is disabled
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1Window::closeEvent(QCloseEvent* event) {
    if (form_.Form_Unload()) {
        event->ignore();
    } else {
        event->accept();
    }
}

}  // namespace vellamark
