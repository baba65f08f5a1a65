#include "form/default_launcher.h"

#include <utility>

namespace vellamark {

Launcher MakeDefaultLauncher(std::string programFolder, std::string tempFolder) {
    return [programFolder = std::move(programFolder), tempFolder = std::move(tempFolder)](
               const MMain& values, const LaunchFlags& flags, LaunchUi& ui) {
        LaunchEnvironment env;
        env.ui = &ui;
        env.programFolder = programFolder;
        env.tempFolder = tempFolder;
        // The browser, the service origin and the version are left to the launch's own
        // defaults: Chromium in a profile of its own under the user's cache folder, the
        // environment's VELLAMARK_SERVICE_ORIGIN or the build's address, and this build's version.
        LoginToService(values, flags, env);
    };
}

}  // namespace vellamark
