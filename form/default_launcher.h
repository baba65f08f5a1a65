#pragma once

#include <string>

#include "form/form1.h"

namespace vellamark {

// The real launch: the user's browser, page files in the program's folder (or the temp working
// folder when that one cannot be written to), the service's address and this build's version.
[[nodiscard]] Launcher MakeDefaultLauncher(std::string programFolder, std::string tempFolder);

}  // namespace vellamark
