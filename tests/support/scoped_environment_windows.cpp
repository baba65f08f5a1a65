#include <stdlib.h>

#include "tests/support/scoped_environment.h"

namespace vellamark::testsupport {

// An empty value removes the variable on Windows.
void ScopedEnvironment::Set(const std::string& name, const std::optional<std::string>& value) {
    ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

}  // namespace vellamark::testsupport
