#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QtGlobal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/qt/form1_window.h"
#include "app/qt/message_box.h"
#include "form/default_launcher.h"
#include "launch/service_origin.h"
#include "platform/user_folders.h"
#include "store/account_store.h"
#include "store/key_text.h"

namespace {

constexpr char kNoDisplay[] =
    "vellamark: there is no display to show the login window on%s. Start VellaMark from a "
    "desktop session (or set DISPLAY to a running X server).\n";

// Qt ends the program with abort() when its window system cannot be reached; while the
// application starts, such a failure is the missing display, told as such, with exit code 1.
bool startingUp = true;
QtMessageHandler qtHandler = nullptr;

void StartUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (startingUp && type == QtFatalMsg) {
        const char* display = std::getenv("DISPLAY");
        const std::string where =
            display != nullptr && *display != '\0' ? std::string(" (") + display + ")" : "";
        std::fprintf(stderr, kNoDisplay, where.c_str());
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (qtHandler != nullptr) {
        qtHandler(type, context, text);
    }
}

constexpr std::chrono::milliseconds kPrestartDelay{250};

bool HasDisplay() {
    // Another platform chosen on purpose (offscreen, wayland, ...) is Qt's to check.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') {
        return true;
    }
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (!HasDisplay()) {
        std::fprintf(stderr, kNoDisplay, " (DISPLAY is not set)");
        return 1;
    }
    qtHandler = qInstallMessageHandler(StartUpMessages);
    QApplication app(argc, argv);
    startingUp = false;
    QCoreApplication::setApplicationName(QStringLiteral("vellamark"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellamark"));

    // A service address that would send the password unencrypted is refused before anything
    // is typed into the window.
    if (const auto origin = vellamark::ServiceOrigin(); !origin) {
        std::fprintf(stderr, "vellamark: %s\n", origin.error().c_str());
        vellamark::ShowMessageBox(nullptr, origin.error());
        return 1;
    }

    // The store key follows the creation time of this program's own file, found in its folder.
    const std::string programFolder =
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
    auto folders = vellamark::LauncherWorkingFolders(vellamark::ProcessEnvironment());
    const std::string tempFolder = folders ? folders->temp : std::string();

    vellamark::ExecutableKeySource keys(programFolder);
    vellamark::AccountStore store(keys);
    auto launcher = vellamark::MakeDefaultLauncher(programFolder, tempFolder);
    vellamark::Form1Window window(store, launcher.launch, std::move(folders));
    vellamark::Form1& form = window.Form();
    if (!form.Form_Load()) {
        return form.ExitCode();  // the user has been told why
    }
    window.show();
    if (form.ProgramEnded()) {
        return form.ExitCode();
    }
    // The browser the login will use starts behind the window while the user types, a moment
    // after the window has painted, so the window's own start never waits for it.
    QTimer::singleShot(kPrestartDelay, &window, [&form, prepare = launcher.prepare] {
        if (!form.ProgramEnded() && !form.Launching()) {
            prepare();
        }
    });
    return QApplication::exec();
}
