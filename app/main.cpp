#include <QApplication>
#include <QDir>

#include "app/default_launcher.h"
#include "app/form1.h"
#include "app/message_sink.h"
#include "app/working_folders.h"
#include "store/account_store.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vellamark"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellamark"));

    // The store key follows the creation time of this program's own file, found in its folder.
    const std::string programFolder =
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
    const vellamark::WorkingFolders folders = vellamark::DefaultWorkingFolders();

    vellamark::ExecutableKeySource keys(programFolder);
    vellamark::MessageBoxSink messages;
    vellamark::Form1 form(keys, messages,
                          vellamark::MakeDefaultLauncher(programFolder, folders.temp), folders);
    if (!form.Form_Load()) {
        return form.ExitCode();  // the user has been told why
    }
    messages.SetParent(&form);
    form.show();
    if (form.ProgramEnded()) {
        return form.ExitCode();
    }
    return QApplication::exec();
}
