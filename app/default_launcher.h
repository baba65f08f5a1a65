#pragma once

#include <string>

#include "app/form1.h"

namespace vellamark {

// The real launch: a Chromium-family browser, the configured service, the system clock.
[[nodiscard]] Launcher MakeDefaultLauncher(std::string programFolder, std::string tempFolder);

}  // namespace vellamark
