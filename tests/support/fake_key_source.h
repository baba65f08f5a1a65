#pragma once

#include <optional>
#include <string>

#include "store/key_text.h"

namespace vellamark::testsupport {

// Two fixed key texts, standing in for the program file's creation time in UTC (the first way)
// and in local time (the second way); either can be made to fail.
class FakeKeySource final : public StoreKeySource {
public:
    static constexpr char kFirst[] = "Tuesday2023November14221320";
    static constexpr char kSecond[] = "Wednesday2023November15001320";

    std::optional<std::string> first = std::string(kFirst);
    std::optional<std::string> second = std::string(kSecond);
    int secondCalls = 0;

    std::optional<std::string> FileTimeKeyText() override { return first; }
    std::optional<std::string> DateCreatedKeyText() override {
        ++secondCalls;
        return second;
    }
};

}  // namespace vellamark::testsupport
