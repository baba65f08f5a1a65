#include "launch/service_origin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace vellamark {
namespace {

// Sets VELLAMARK_SERVICE_ORIGIN for one test and puts the previous value back.
class OriginOverride {
public:
    explicit OriginOverride(const std::optional<std::string>& value) {
        if (const char* old = std::getenv(kName)) {
            previous_ = old;
        }
        Set(value);
    }
    OriginOverride(const OriginOverride&) = delete;
    OriginOverride& operator=(const OriginOverride&) = delete;
    ~OriginOverride() { Set(previous_); }

private:
    static constexpr const char* kName = "VELLAMARK_SERVICE_ORIGIN";
    static void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
        _putenv_s(kName, value ? value->c_str() : "");
#else
        if (value) {
            setenv(kName, value->c_str(), 1);
        } else {
            unsetenv(kName);
        }
#endif
    }
    std::optional<std::string> previous_;
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
