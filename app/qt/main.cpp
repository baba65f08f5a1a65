#include <QApplication>
#include <QDir>

#include "app/qt/form1_window.h"
#include "app/qt/message_sink.h"
#include "form/default_launcher.h"
#include "platform/user_folders.h"
#include "store/account_store.h"
#include "store/key_text.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vellamark"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellamark"));

    // The store key follows the creation time of this program's own file, found in its folder.
    const std::string programFolder =
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
    auto folders = vellamark::LauncherWorkingFolders(vellamark::ProcessEnvironment());
    const std::string tempFolder = folders ? folders->temp : std::string();

    vellamark::ExecutableKeySource keys(programFolder);
    vellamark::AccountStore store(keys);
    vellamark::MessageBoxSink messages;
    vellamark::Form1Window window(store, messages,
                                  vellamark::MakeDefaultLauncher(programFolder, tempFolder),
                                  std::move(folders));
    vellamark::Form1& form = window.Form();
    if (!form.Form_Load()) {
        return form.ExitCode();  // the user has been told why
    }
    messages.SetParent(&window);
    window.show();
    if (form.ProgramEnded()) {
        return form.ExitCode();
    }
    return QApplication::exec();
}
