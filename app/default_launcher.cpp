#include "app/default_launcher.h"

#include <QStandardPaths>
#include <utility>

#include "launch/chromium_driver.h"

namespace vellamark {

Launcher MakeDefaultLauncher(std::string programFolder, std::string tempFolder) {
    return [programFolder = std::move(programFolder), tempFolder = std::move(tempFolder)](
               const MMain& values, const LaunchFlags& flags, LaunchUi& ui) {
        ChromiumOptions options;
        // One browser profile per launch, under this user's cache folder.
        options.profileRoot =
            (QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
             QStringLiteral("/vellamark/browser-profiles"))
                .toStdString();
        LaunchEnvironment env;
        env.ui = &ui;
        env.startBrowser = [options] { return StartChromium(options); };
        env.programFolder = programFolder;
        env.tempFolder = tempFolder;
        // The service origin and the version are left to the launch's own defaults: the
        // environment's VELLAMARK_SERVICE_ORIGIN or the build's address, and this build's version.
        LoginToService(values, flags, env);
    };
}

}  // namespace vellamark
