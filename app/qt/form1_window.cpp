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
#include <utility>

#include "app/qt/message_box.h"
#include "app/qt/password_style.h"
#include "form/window_description.h"

namespace vellamark {

namespace {

QFont Verdana(double points, bool bold) {
    // Where Verdana is not installed the system's own font stands in. Asking the font database
    // once, instead of naming Verdana with a fallback, spares fontconfig a substitution and a
    // sort of every installed font for each control's font, a noticeable part of the start-up.
    static const bool haveVerdana = QFontDatabase::hasFamily(QString::fromLatin1(kVerdana));
    QFont font(haveVerdana ? QString::fromLatin1(kVerdana) : QApplication::font().family());
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

QFont SystemFont() {
    // Not the frame's bold Verdana: each attribute set here is one a control inside the frame no
    // longer inherits from it.
    QFont font = QApplication::font();
    font.setFamilies(font.families());
    font.setFamily(font.family());
    font.setPointSizeF(font.pointSizeF());
    font.setWeight(QFont::Normal);
    font.setItalic(false);
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

Form1Window::Form1Window(AccountStore& store, Launcher launcher, Result<WorkingFolders> folders,
                         QWidget* parent)
    : QMainWindow(parent), form_(*this, store, std::move(launcher), std::move(folders)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(Form1Description().caption));
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/vellamark/icons/vellamark-%1.png").arg(size),
                     QSize(size, size));
    }
    setWindowIcon(icon);

    // Twips follow the screen's logical resolution, so the form keeps its proportions on a
    // screen set above 96 dpi.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        dpi_ = screen->logicalDotsPerInchY();
    }

    BuildControls();
    BuildMenus();
    CentreOnScreen();
}

Form1Window::~Form1Window() = default;

int Form1Window::Twips(int twips) const {
    return TwipsToPixels(twips, dpi_);
}

QComboBox* Form1Window::Combo1() const {
    return static_cast<QComboBox*>(Widget(Control::Combo1));
}

QLabel* Form1Window::Label4() const {
    return static_cast<QLabel*>(Widget(Control::Label4));
}

QProgressBar* Form1Window::ProgressBar1() const {
    return static_cast<QProgressBar*>(Widget(Control::ProgressBar1));
}

void Form1Window::BuildControls() {
    const WindowDescription& window = Form1Description();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(Twips(window.clientWidth), Twips(window.clientHeight));
    setCentralWidget(client);

    passwordStyle_ = new PasswordCharacterStyle();
    passwordStyle_->setParent(this);

    // The frame first, as it holds the others; then the controls that take the focus in the tab
    // order, which is the order of Qt's focus chain; then the rest.
    const auto make = [this, client](const ControlDescription& control) {
        QWidget* parent = control.inFrame ? Widget(Control::Frame1) : client;
        controls_[control.control] = MakeControl(control, parent);
    };
    make(DescriptionOf(Control::Frame1));
    for (const Control control : TabOrder()) {
        make(DescriptionOf(control));
    }
    for (const ControlDescription& control : window.controls) {
        if (!TakesFocus(control.kind) && control.control != Control::Frame1) {
            make(control);
        }
    }

    // What a screen reader reads. Each box is named after its label, not the frame around it,
    // and labelled by it through the buddy relation (on Linux Qt names an editable combo box by
    // its text once it has one; a screen reader then takes the name from the relation).
    for (const ControlDescription& control : window.controls) {
        if (*control.accessibleName != '\0') {
            Widget(control.control)->setAccessibleName(QString::fromLatin1(control.accessibleName));
        }
        if (control.label) {
            static_cast<QLabel*>(Widget(*control.label))->setBuddy(Widget(control.control));
        }
    }
    Combo1()->lineEdit()->setAccessibleName(Combo1()->accessibleName());

    connect(static_cast<QPushButton*>(Widget(Control::Command1)), &QPushButton::clicked, this,
            [this] { form_.Command1_Click(); });
    connect(Combo1(), &QComboBox::activated, this, [this](int) { form_.Combo1_Click(); });
    connect(Combo1()->lineEdit(), &QLineEdit::textEdited, this, [this] { form_.Combo1_Change(); });

    // Enter does nothing in the username box, the PIN box and "Save Password"; in the password
    // box it runs the Login command.
    for (QObject* watched :
         {static_cast<QObject*>(Combo1()), static_cast<QObject*>(Combo1()->lineEdit()),
          static_cast<QObject*>(Widget(Control::Text8)),
          static_cast<QObject*>(Widget(Control::Check1)),
          static_cast<QObject*>(Widget(Control::Text2))}) {
        watched->installEventFilter(this);
    }
}

QWidget* Form1Window::MakeControl(const ControlDescription& description, QWidget* parent) {
    const QString caption = QString::fromLatin1(description.caption);
    QWidget* widget = nullptr;
    switch (description.kind) {
        case ControlKind::kFrame:
            widget = new QGroupBox(caption, parent);
            break;
        case ControlKind::kLabel: {
            auto* label = new QLabel(caption, parent);
            // The notice below the frame is the one label of several lines.
            if (description.control == Control::Label3) {
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            }
            widget = label;
            break;
        }
        case ControlKind::kComboBox: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            // The list is a plain pick list: no inline completion that would pick an entry by
            // itself.
            combo->setCompleter(nullptr);
            widget = combo;
            break;
        }
        case ControlKind::kTextBox: {
            auto* edit = new QLineEdit(parent);
            // Also the box shown in clear until an account is picked.
            edit->setStyle(passwordStyle_);
            if (description.passwordCharacter) {
                edit->setEchoMode(QLineEdit::Password);
            }
            widget = edit;
            break;
        }
        case ControlKind::kCheckBox:
            widget = new QCheckBox(caption, parent);
            break;
        case ControlKind::kProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setTextVisible(false);
            bar->setFocusPolicy(Qt::NoFocus);
            widget = bar;
            break;
        }
        case ControlKind::kCommandButton: {
            auto* button = new QPushButton(caption, parent);
            button->setAutoDefault(false);
            button->setDefault(false);
            widget = button;
            break;
        }
    }
    widget->setObjectName(QString::fromLatin1(description.name));
    widget->setGeometry(Twips(description.left), Twips(description.top), Twips(description.width),
                        Twips(description.height));
    if (description.font == ControlFont::kSystem) {
        widget->setFont(SystemFont());
    } else {
        const VerdanaSize size = VerdanaSizeOf(description.font);
        widget->setFont(Verdana(size.points, size.bold));
    }
    widget->setEnabled(description.enabled);
    if (!description.visible) {
        widget->hide();
    }
    return widget;
}

void Form1Window::BuildMenus() {
    const auto add = [this](const MenuItemDescription& item, QAction* action) {
        action->setObjectName(QString::fromLatin1(item.name));
        action->setEnabled(item.enabled);
        menuItems_[item.item] = action;
        if (item.click == nullptr) {
            return;
        }
        if (!item.checkable) {
            connect(action, &QAction::triggered, this,
                    [this, click = item.click] { (form_.*click)(); });
            return;
        }
        action->setCheckable(true);
        action->setChecked(item.checked);
        // Qt flips a checkable item before it reports the click; the handlers decide from the
        // mark as the user saw it, so it is put back first.
        connect(action, &QAction::triggered, this,
                [this, action, click = item.click](bool checked) {
                    action->setChecked(!checked);
                    (form_.*click)();
                });
    };
    for (const MenuDescription& menu : Form1Description().menus) {
        const QString title = QString::fromLatin1(menu.title.caption);
        if (menu.items.empty()) {
            add(menu.title, menuBar()->addAction(title));
            continue;
        }
        QMenu* popup = menuBar()->addMenu(title);
        popup->setObjectName(QString::fromLatin1(menu.title.name));
        add(menu.title, popup->menuAction());
        for (const MenuItemDescription& item : menu.items) {
            add(item, popup->addAction(QString::fromLatin1(item.caption)));
        }
    }
}

void Form1Window::Show() {
    show();
}

void Form1Window::WhenShownAndIdle(std::function<void()> task) {
    QTimer::singleShot(kShownAndIdleDelay, this, std::move(task));
}

int Form1Window::Run() {
    return QApplication::exec();
}

void Form1Window::CentreOnScreen() {
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
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
        if (label == Label4()) {  // announced as the status line's name and the bar's description
            label->setAccessibleName(shown);
            ProgressBar1()->setAccessibleDescription(shown);
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
    const QSignalBlocker blocker(Combo1());
    const QString text = Combo1()->currentText();
    // Emptied from the last entry to the first.
    for (int i = Combo1()->count() - 1; i >= 0; --i) {
        Combo1()->removeItem(i);
    }
    for (const std::string& entry : entries) {
        Combo1()->addItem(FromUtf8(entry));
    }
    // The first item added to an empty list becomes current by itself; nothing is picked.
    Combo1()->setCurrentIndex(-1);
    Combo1()->setEditText(text);
}

int Form1Window::ListCount() const {
    return Combo1()->count();
}

int Form1Window::ListIndex() const {
    return Combo1()->currentIndex();
}

void Form1Window::SetListIndex(int index) {
    const QSignalBlocker blocker(Combo1());
    if (index >= 0) {
        Combo1()->setCurrentIndex(index);
        return;
    }
    // Leaving the entry empties the text, which is put back where the cursor was.
    QLineEdit* edit = Combo1()->lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    Combo1()->setCurrentIndex(-1);
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
    ProgressBar1()->setValue(static_cast<int>(std::lround(value)));
}

void Form1Window::ShowMessage(const std::string& text) {
    if (messageSink_) {
        messageSink_(text);
        return;
    }
    // Startup's messages come before the window is shown, and stand alone.
    ShowMessageBox(isVisible() ? this : nullptr, text);
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
    // (a message box, the poll sleep) would return at once; the program looks at ProgramEnded then.
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
        if (watched == Widget(Control::Text2)) {
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
