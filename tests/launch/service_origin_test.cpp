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
        const auto origin = ServiceOrigin();
        ASSERT_TRUE(origin.ok()) << origin.error();
        buildDefault = *origin;
    }
    // The build default is a deployment setting: whatever it is, it is an address without a
    // trailing slash.
    EXPECT_TRUE(buildDefault.starts_with("http")) << buildDefault;
    EXPECT_FALSE(buildDefault.ends_with("/")) << buildDefault;

    OriginOverride override(GetParam().environment);
    const auto origin = ServiceOrigin();
    ASSERT_TRUE(origin.ok()) << origin.error();
    EXPECT_EQ(*origin, GetParam().expected.empty() ? buildDefault : GetParam().expected);
}

// An empty expectation stands for the build default.
INSTANTIATE_TEST_SUITE_P(
    ServiceOrigin, ServiceOriginSetting,
    ::testing::Values(OriginRow{"Unset", std::nullopt, ""}, OriginRow{"EmptyCountsAsUnset", "", ""},
                      OriginRow{"Override", "http://127.0.0.1:8443", "http://127.0.0.1:8443"},
                      OriginRow{"TrailingSlashesDropped", "https://svc.example//",
                                "https://svc.example"}),
    [](const auto& row) { return std::string(row.param.name); });

// The password goes to this address: encrypted, or to this computer only.
TEST(ServiceOriginRule, HttpsAnywhereHttpOnlyForLoopback) {
    struct Row {
        const char* origin;
        bool allowed;
    };
    const Row rows[] = {
        {"https://svc.example", true},
        {"https://svc.example:8443/", true},
        {"HTTPS://Svc.Example", true},
        {"http://127.0.0.1:8080", true},
        {"http://127.45.6.7", true},
        {"http://localhost:9000", true},
        {"http://[::1]:9000", true},
        {"http://svc.example", false},
        {"http://10.0.0.5", false},
        {"http://127.0.0.1.evil.example", false},
        {"http://localhost.evil.example", false},
        {"http://127.0.0.1@evil.example", false},
        {"https://svc.example/login", false},
        {"https://", false},
        {"ftp://svc.example", false},
        {"svc.example", false},
        {"javascript:alert(1)", false},
    };
    for (const Row& row : rows) {
        const auto checked = CheckServiceOrigin(row.origin);
        EXPECT_EQ(checked.ok(), row.allowed) << row.origin;
        if (!checked.ok()) {
            EXPECT_NE(checked.error().find("VELLAMARK_SERVICE_ORIGIN"), std::string::npos);
            EXPECT_NE(checked.error().find(row.origin), std::string::npos);
        }
    }
    // The environment goes through the same rule.
    OriginOverride plain("http://svc.example");
    EXPECT_FALSE(ServiceOrigin().ok());
}

}  // namespace
}  // namespace vellamark
