#pragma once

#include <QString>

class QWidget;

namespace vellamark {

// Every modal message of the window goes through here, so tests can answer them.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows the text with a single OK button under the given title and waits until it is closed.
    virtual void ShowMessage(const QString& text, const QString& title) = 0;
};

// The real one: a QMessageBox with no icon and one OK button.
class MessageBoxSink final : public MessageSink {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    void ShowMessage(const QString& text, const QString& title) override;

private:
    QWidget* parent_ = nullptr;
};

}  // namespace vellamark
