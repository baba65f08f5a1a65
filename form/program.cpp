#include "form/program.h"

#include <utility>

#include "form/default_launcher.h"
#include "launch/service_origin.h"
#include "platform/environment.h"
#include "platform/user_folders.h"
#include "store/key_text.h"
#include "store/registry_session.h"

namespace vellamark {

int RunProgram(const ProgramToolkit& toolkit) {
    // A service address that would send the password unencrypted is refused before anything
    // is typed into the window.
    const auto origin = ServiceOrigin();
    if (!origin) {
        toolkit.refuseStart(origin.error());
        return 1;
    }
    auto folders = LauncherWorkingFolders(ProcessEnvironment());
    const std::string tempFolder = folders ? folders->temp : std::string();

    ExecutableKeySource keys(toolkit.programFolder);
    RegistrySession registry = UseUserRegistry();
    AccountStore store(keys, registry);
    const DefaultLauncher launcher =
        MakeDefaultLauncher(toolkit.programFolder, tempFolder, *origin);
    auto window = toolkit.makeWindow(store, launcher.launch, std::move(folders));
    if (!window) {
        toolkit.refuseStart(window.error());
        return 1;
    }
    Form1& form = (*window)->Form();
    form.SetBrowserStart(launcher.begin);
    if (!form.Form_Load()) {
        return form.ExitCode();  // the user has been told why
    }
    (*window)->Show();
    if (form.ProgramEnded()) {
        return form.ExitCode();
    }
    // The browser the login will use starts behind the window while the user types, a moment
    // after the window has painted, so the window's own start never waits for it.
    (*window)->WhenShownAndIdle([&form, prepare = launcher.prepare] {
        if (!form.ProgramEnded() && !form.Launching()) {
            prepare();
        }
    });
    return (*window)->Run();
}

}  // namespace vellamark
