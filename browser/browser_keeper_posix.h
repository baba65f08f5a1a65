#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/result.h"

namespace vellamark {

// Starts the browser's keeper: a shell in a session of its own that holds a copy of the
// browser's command pipe and
//  - while we run, waits for word from us on `launcher`. If we end without handing the browser
//    over (a failure, or killed), it lets go of the command pipe and ends the browser's process
//    group: a browser nobody can see or reach never lingers. (End of file on its command pipe
//    closes a browser's windows, but one that has none yet would stay.)
//  - once handed over, holds the pipe open for as long as the browser runs, so it stays;
//  - then waits until nobody holds the write end of `browserEnded` any more (only the browser
//    does) and removes the profile folder, also long after we have gone.
// The descriptors are ours; the keeper gets its own copies. Fails, saying why, when it could not
// be started.
// Written to `launcher`, this hands the browser over.
inline constexpr std::string_view kKeeperHandOver = "kept\n";
[[nodiscard]] Status StartKeeper(int browserEnded, int launcher, int commandPipe,
                                 const std::string& profileDir, pid_t browser, int devNull);

}  // namespace vellamark
