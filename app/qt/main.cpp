#include <QApplication>
#include <QDir>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "app/qt/form1_window.h"
#include "app/qt/message_box.h"
#include "form/program.h"

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

    return vellamark::RunProgram({
        .programFolder =
            QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString(),
        .refuseStart =
            [](const std::string& text) {
                std::fprintf(stderr, "vellamark: %s\n", text.c_str());
                vellamark::ShowMessageBox(nullptr, text);
            },
        .makeWindow =
            [](auto& store, auto launcher, auto folders) {
                return std::make_unique<vellamark::Form1Window>(store, std::move(launcher),
                                                                std::move(folders));
            },
    });
}
