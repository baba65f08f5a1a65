#include "form/default_launcher.h"

#include <memory>
#include <utility>

#include "browser/browser_prestart.h"
#include "platform/environment.h"

namespace vellamark {

DefaultLauncher MakeDefaultLauncher(std::string programFolder, std::string tempFolder,
                                    std::string serviceOrigin) {
    // Shared by the two functions; the browser it began, if never taken, ends with the last of
    // them (its keeper ends it once our ends of its pipes close).
    auto prestart = std::make_shared<BrowserPrestart>();
    DefaultLauncher launcher;
    launcher.prepare = [prestart] {
        if (ProcessEnvironment()("VELLAMARK_PRESTART").value_or("1") != "0") {
            prestart->Begin();
        }
    };
    launcher.begin = [prestart] { prestart->Begin(); };
    launcher.launch = [prestart, programFolder = std::move(programFolder),
                       tempFolder = std::move(tempFolder),
                       serviceOrigin = std::move(serviceOrigin)](
                          const MMain& values, const LaunchFlags& flags, LaunchUi& ui) {
        LaunchEnvironment env;
        env.ui = &ui;
        env.programFolder = programFolder;
        env.tempFolder = tempFolder;
        env.serviceOrigin = serviceOrigin;
        env.startBrowser = [prestart](BrowserIdle idle) { return prestart->Take(std::move(idle)); };
        // The version is left to the launch's own default: this build's.
        LoginToService(values, flags, env);
    };
    return launcher;
}

}  // namespace vellamark
