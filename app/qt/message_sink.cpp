#include "app/qt/message_sink.h"

#include <QMessageBox>

namespace vellamark {

void MessageBoxSink::ShowMessage(const QString& text, const QString& title) {
    // Texts end their lines with CR LF; a label would show the CR as a blank glyph.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, title, shown, QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace vellamark
