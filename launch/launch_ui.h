#pragma once

#include <chrono>
#include <string>

namespace vellamark {

// What the launch sequence needs from the window: the progress display, message boxes, the
// poll sleep and the end of the program.
class LaunchUi {
public:
    virtual ~LaunchUi() = default;

    [[nodiscard]] virtual float Progress() const = 0;  // ProgressBar1's value, 0..100
    virtual void SetProgress(float value) = 0;
    virtual void SetStatus(const std::string& text) = 0;    // Label4
    virtual void ShowMessage(const std::string& text) = 0;  // modal, OK only
    // The 50 ms poll sleep; a window keeps painting through it but takes no input.
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
    // Ends the program once the launch is over (or has failed).
    virtual void EndProgram(int exitCode) = 0;
};

}  // namespace vellamark
