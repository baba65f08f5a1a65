#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vellamark::standin {

// The stand-in browser's ends of the debugging pipes, found as a Chromium-family browser finds
// them: --remote-debugging-pipe means file descriptors 3 (commands in) and 4 (replies out);
// --remote-debugging-io-pipes=<in>,<out> gives the two inherited Windows handles.
class DebuggingPipes {
public:
    // Fails (Valid() false) when the arguments name no pipes this system has.
    explicit DebuggingPipes(const std::vector<std::string>& arguments);
    DebuggingPipes(const DebuggingPipes&) = delete;
    DebuggingPipes& operator=(const DebuggingPipes&) = delete;

    [[nodiscard]] bool Valid() const { return valid_; }
    // Blocks until bytes arrive; false at the end of the command pipe.
    [[nodiscard]] bool Read(std::string& bytes);
    [[nodiscard]] bool Write(std::string_view bytes);

private:
    bool valid_ = false;
    long long in_ = -1;
    long long out_ = -1;
};

// The program's arguments as UTF-8 (Windows: from the wide command line).
[[nodiscard]] std::vector<std::string> ProgramArguments(int argc, char** argv);

// Marks the profile folder as held by this process the way Chromium does (a lock a launcher's
// clean-up recognises), for as long as the process runs.
void HoldProfile(const std::string& profileDir);

[[nodiscard]] long long ProcessId();

}  // namespace vellamark::standin
