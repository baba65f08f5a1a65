#include "app/qt/message_box.h"

#include <QMessageBox>

#include "form/form1.h"

namespace vellamark {

void ShowMessageBox(QWidget* parent, const std::string& text) {
    // Texts end their lines with CR LF; a label would show the CR as a blank glyph.
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), shown,
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace vellamark
