#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace vellamark {

// Makes a new, empty profile folder under root (creating root when missing), private to the
// user; gives its path.
[[nodiscard]] Result<std::string> CreateLaunchProfile(const std::string& root);

// A profile this young counts as held even without a browser's lock: its launch may not have
// started the browser yet.
inline constexpr std::chrono::seconds kProfileGrace{60};

// True for the names CreateLaunchProfile gives its folders.
[[nodiscard]] bool IsLaunchProfileName(std::string_view name);

// Where a removal renames a profile first (Windows), the name it gives it: a launch profile's
// name and this.
inline constexpr std::string_view kProfileRemovingSuffix = ".removing";

// Removes every launch profile under root (and nothing else there) that no running browser
// holds, and what is left of removals cut short. Returns how many went.
int RemoveStaleProfiles(const std::string& root);

// True when a running browser holds the profile (its lock names a live process).
[[nodiscard]] bool ProfileHeldByBrowser(const std::string& profileDir);

// Removes one profile folder unless a browser holds it; true when it is gone.
bool RemoveProfileIfUnheld(const std::string& profileDir);

}  // namespace vellamark
