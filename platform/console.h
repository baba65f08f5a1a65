#pragma once

#include <string_view>

namespace vellamark {

enum class StandardStream { kOutput, kError };

// Writes UTF-8 text, lines ended by "\n", to the process's standard output or error as the
// system's own console programs do. Windows: a console gets the text as Unicode; a file or a
// pipe gets it in the console's output code page (the OEM code page when there is no console),
// lines ended by CR LF. Elsewhere: the bytes as they are.
void WriteStandardText(StandardStream stream, std::string_view utf8);

}  // namespace vellamark
