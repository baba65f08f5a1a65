// The yardstick for the launcher's start-up: a bare Qt window with the same menu bar and the same
// client size, built with the same compiler, flags and Qt, doing nothing else.

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare Window"));
    auto* client = new QWidget(&window);
    client->setFixedSize(450, 338);
    window.setCentralWidget(client);

    QMenu* file = window.menuBar()->addMenu(QStringLiteral("File"));
    file->addAction(QStringLiteral("Remove Current Username && Password"));
    file->addAction(QStringLiteral("Remove Current Password"));
    file->addAction(QStringLiteral("Remove All Usernames && Passwords"));
    file->addAction(QStringLiteral("Remove All Passwords"));
    file->addAction(QStringLiteral("E&xit"));
    QMenu* settings = window.menuBar()->addMenu(QStringLiteral("Settings"));
    for (const char* caption : {"Use encyrption", "Do not use encyrption", "Ignore MenuBar",
                                "Create Browser Login", "Debug Mode"}) {
        settings->addAction(QString::fromLatin1(caption))->setCheckable(true);
    }
    window.menuBar()->addAction(QStringLiteral("About"));

    window.show();
    return QApplication::exec();
}
