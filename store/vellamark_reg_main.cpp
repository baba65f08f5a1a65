#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "store/reg_command.h"
#include "store/registry.h"

// vellamark-reg: query and change the launcher's stored settings from the command line. On
// systems without a registry it works on the same per-user database as the launcher
// ($XDG_CONFIG_HOME/vellamark/registry.sqlite3).
int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        // The arguments come in the ANSI code page on Windows; the commands work in UTF-8.
        const std::string_view arg(argv[i]);
        args.push_back(vellamark::FromAnsi(arg));
    }
    auto& backend = vellamark::CurrentRegistryBackend();
    if (const auto problem = vellamark::RegistryStoreProblem(); !problem.empty()) {
        std::cerr << "vellamark-reg: " << problem << "\n";
    }
    return vellamark::RunRegCommand(args, backend, std::cin, std::cout, std::cerr);
}
