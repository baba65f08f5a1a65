#include <gtest/gtest.h>

#include "platform/local_time.h"
#include "tests/support/scoped_environment.h"

namespace vellamark {
namespace {

TEST(UserDateNamesPosix, ComeFromTheEnvironmentsLocaleNotTheProgramsOwn) {
    const testsupport::ScopedEnvironment all("LC_ALL", "C.UTF-8");
    const DateNames names = UserDateNames();
    EXPECT_EQ(names.weekdays[0], "Sunday");
    EXPECT_EQ(names.weekdays[6], "Saturday");
    EXPECT_EQ(names.months[0], "January");
    EXPECT_EQ(names.months[11], "December");
}

}  // namespace
}  // namespace vellamark
