#pragma once

#include <string>

class QWidget;

namespace vellamark {

// A modal QMessageBox with the text alone, one OK button and the program's title; returns when
// it is closed. parent: the window it belongs to, or none.
void ShowMessageBox(QWidget* parent, const std::string& text);

}  // namespace vellamark
