#include "launch/service_origin.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/scoped_environment.h"

namespace vellamark {
namespace {

// Sets VELLAMARK_SERVICE_ORIGIN for one test and puts the previous value back.
class OriginOverride : public testsupport::ScopedEnvironment {
public:
    explicit OriginOverride(const std::optional<std::string>& value)
        : ScopedEnvironment("VELLAMARK_SERVICE_ORIGIN", value) {}
};

struct OriginRow {
    const char* name;
    std::optional<std::string> environment;
    std::string expected;
};

class ServiceOriginSetting : public ::testing::TestWithParam<OriginRow> {};

TEST_P(ServiceOriginSetting, EnvironmentOverridesTheBuildDefaultWithoutTrailingSlash) {
    std::string buildDefault;
    {
        OriginOverride unset(std::nullopt);
        buildDefault = ServiceOrigin();
    }
    // The build default is a deployment setting: whatever it is, it is an address without a
    // trailing slash.
    EXPECT_TRUE(buildDefault.starts_with("http")) << buildDefault;
    EXPECT_FALSE(buildDefault.ends_with("/")) << buildDefault;

    OriginOverride override(GetParam().environment);
    EXPECT_EQ(ServiceOrigin(), GetParam().expected.empty() ? buildDefault : GetParam().expected);
}

// An empty expectation stands for the build default.
INSTANTIATE_TEST_SUITE_P(
    ServiceOrigin, ServiceOriginSetting,
    ::testing::Values(OriginRow{"Unset", std::nullopt, ""}, OriginRow{"EmptyCountsAsUnset", "", ""},
                      OriginRow{"Override", "http://127.0.0.1:8443", "http://127.0.0.1:8443"},
                      OriginRow{"TrailingSlashesDropped", "https://svc.example//",
                                "https://svc.example"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace vellamark
