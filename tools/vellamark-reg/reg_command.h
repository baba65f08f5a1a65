#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "store/registry_backend.h"

namespace vellamark {

// The vellamark-reg tool, in the manner of the Windows "reg" command:
//   query  <KEY> [/v <NAME> | /ve]
//   add    <KEY> [/v <NAME> | /ve] [/t <KIND>] [/d <DATA>] [/f]
//   delete <KEY> [/v <NAME> | /ve] [/f]
// KEY begins with HKCU\ or HKEY_CURRENT_USER\. Without /f, add (over an existing value) and
// delete ask on in for "yes". Output goes to out, errors (one line) to err; returns the exit
// code: 0 done, 1 not done. Query changes nothing, so it can work on a store opened for reading
// only (RegCommandAccess).
[[nodiscard]] int RunRegCommand(const std::vector<std::string>& args, RegistryBackend& backend,
                                std::istream& in, std::ostream& out, std::ostream& err);

// How the command line needs the store: for writing (add, delete), or for reading only.
[[nodiscard]] StoreAccess RegCommandAccess(const std::vector<std::string>& args);

}  // namespace vellamark
