#include <iostream>
#include <string>
#include <vector>

#include "store/reg_command.h"
#include "store/registry.h"

// vellamark-reg: query and change the launcher's stored settings from the command line. On
// systems without a registry it works on the same per-user database as the launcher
// ($XDG_CONFIG_HOME/vellamark/registry.sqlite3).
int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto& backend = vellamark::CurrentRegistryBackend();
    if (const auto problem = vellamark::RegistryStoreProblem(); !problem.empty()) {
        std::cerr << "vellamark-reg: " << problem << "\n";
    }
    return vellamark::RunRegCommand(args, backend, std::cin, std::cout, std::cerr);
}
