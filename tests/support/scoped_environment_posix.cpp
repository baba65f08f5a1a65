#include <stdlib.h>

#include "tests/support/scoped_environment.h"

namespace vellamark::testsupport {

void ScopedEnvironment::Set(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

}  // namespace vellamark::testsupport
