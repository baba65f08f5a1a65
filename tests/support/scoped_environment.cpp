#include "tests/support/scoped_environment.h"

#include <cstdlib>

namespace vellamark::testsupport {

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        previous_ = old;
    }
    Set(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    Set(name_, previous_);
}

}  // namespace vellamark::testsupport
