#pragma once

#include <string>
#include <vector>

namespace vellamark {

// On Windows the launcher's own program keeps each launch's browser profile: started again with
// "--vellamark-profile-keeper <browser process id> <profile folder>", it waits until the browser
// has ended (which may be long after the launcher has) and removes the folder.
inline constexpr char kProfileKeeperOption[] = "--vellamark-profile-keeper";

// The program to start as the keeper of every later launch's profile; none by default.
void SetProfileKeeperProgram(std::string program);

// Starts the keeper for a browser just started; without a keeper program, nothing happens and
// the next launch removes the folder.
void StartProfileKeeper(unsigned long browserProcessId, const std::string& profileDir);

// When the arguments (without the program) are a keeper's, runs it and gives true: the program
// then ends. False for any other arguments.
[[nodiscard]] bool RunIfProfileKeeper(const std::vector<std::string>& arguments);

}  // namespace vellamark
