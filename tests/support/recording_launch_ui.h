#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "launch/launch_ui.h"

namespace vellamark::testsupport {

// A window that records what the launch shows it.
class RecordingUi : public LaunchUi {
public:
    float progress = 2.0F;  // the Login command leaves the bar at 2
    std::vector<float> progressHistory;
    std::vector<std::string> messages;
    std::vector<std::string> statuses;
    std::vector<int> endCodes;
    int sleeps = 0;       // the 50 ms poll sleeps
    int otherSleeps = 0;  // any other, such as the short ones while the browser starts

    float Progress() const override { return progress; }
    void SetProgress(float value) override {
        progress = value;
        progressHistory.push_back(value);
    }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Sleep(std::chrono::milliseconds duration) override {
        if (duration == std::chrono::milliseconds(50)) {
            ++sleeps;
        } else {
            ++otherSleeps;
        }
    }
    void EndProgram(int exitCode) override { endCodes.push_back(exitCode); }
};

}  // namespace vellamark::testsupport
