// Compiled into every native test program: before any test runs, the program's home and its
// configuration, data and cache folders are folders of its own, removed when it ends. A test
// that forgets to give the code a store or a folder of its own still never reads or writes the
// user's: not the saved accounts, not a browser profile, not Qt's settings.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

namespace {

class PrivateUserFolders {
public:
    PrivateUserFolders() : owner_(::getpid()) {
        std::string root = (std::filesystem::temp_directory_path() / "vellamark-home-XXXXXX");
        if (::mkdtemp(root.data()) == nullptr) {
            std::perror("test program: cannot make a home folder of its own");
            std::_Exit(2);
        }
        root_ = root;
        ::setenv("HOME", root_.c_str(), 1);
        for (const auto& [variable, below] : {std::pair{"XDG_CONFIG_HOME", ".config"},
                                              {"XDG_DATA_HOME", ".local/share"},
                                              {"XDG_CACHE_HOME", ".cache"}}) {
            const std::filesystem::path folder = root_ / below;
            std::filesystem::create_directories(folder);
            ::setenv(variable, folder.c_str(), 1);
        }
    }
    ~PrivateUserFolders() {
        // A child process that ends normally leaves the folders to its parent.
        if (::getpid() == owner_) {
            std::error_code ignored;
            std::filesystem::remove_all(root_, ignored);
        }
    }
    PrivateUserFolders(const PrivateUserFolders&) = delete;
    PrivateUserFolders& operator=(const PrivateUserFolders&) = delete;

private:
    pid_t owner_;
    std::filesystem::path root_;
};

const PrivateUserFolders kPrivateUserFolders;

}  // namespace
