#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "form/form1.h"

namespace vellamark {

// The login window as the program runs it; each toolkit's window is one.
class ProgramWindow {
public:
    virtual ~ProgramWindow() = default;

    [[nodiscard]] virtual Form1& Form() = 0;
    virtual void Show() = 0;
    // Runs the task once, kShownAndIdleDelay after the window is shown: it has painted and
    // waits for the user.
    virtual void WhenShownAndIdle(std::function<void()> task) = 0;
    // Runs the window until the program ends; gives the exit code.
    [[nodiscard]] virtual int Run() = 0;
};

// How long after the show: long enough for the window to have painted and the system to have
// settled.
inline constexpr std::chrono::milliseconds kShownAndIdleDelay{250};

// What a toolkit's main hands the program.
struct ProgramToolkit {
    // The folder that holds the program's own file, whose creation time the store key follows.
    std::string programFolder;
    // Tells the user why the program does not start, with no window of its own.
    std::function<void(const std::string& text)> refuseStart;
    // The login window over the form's parts, made but not shown, or why it could not be made.
    std::function<Result<std::unique_ptr<ProgramWindow>>(AccountStore& store, Launcher launcher,
                                                         Result<WorkingFolders> folders)>
        makeWindow;
};

// The whole program: the service's address checked, the working folders, the store with the
// key from the program's file, the default launcher, the window loaded, shown and run. Gives
// the exit code.
[[nodiscard]] int RunProgram(const ProgramToolkit& toolkit);

}  // namespace vellamark
