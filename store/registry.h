#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "store/registry_backend.h"

namespace vellamark {

// The tagged value of the registry routines: nothing, text, a 32-bit number, a Boolean or bytes.
// Nothing reads as empty text.
using TaggedValue =
    std::variant<std::monostate, std::string, std::int32_t, bool, std::vector<std::uint8_t>>;

// The text form a stored setting takes: text unchanged, a Boolean "True"/"False", a number in
// decimal, nothing (or bytes) empty text.
[[nodiscard]] std::string TaggedValueText(const TaggedValue& value);

// The registry routines. They never fail: a failure gives false, empty text or no effect, and
// the raw code of the last registry call is kept for LastRegistryResult.
[[nodiscard]] bool RegistryKeyExists(RegistryRoot root, const std::string& keyPath);
[[nodiscard]] TaggedValue ReadRegistryString(RegistryRoot root, const std::string& keyPath,
                                             const std::string& valueName);
void WriteRegistryString(RegistryRoot root, const std::string& keyPath,
                         const std::string& valueName, const TaggedValue& value);
void CreateRegistryKey(RegistryRoot root, const std::string& keyPath);
[[nodiscard]] std::int32_t LastRegistryResult();

// The backend the routines work on, and what RegistryStoreProblem then says. Until one is set,
// the first call opens this user's store (the SQLite database on Linux, the registry on Windows).
void SetRegistryBackend(std::shared_ptr<RegistryBackend> backend, std::string problem = {});
[[nodiscard]] RegistryBackend& CurrentRegistryBackend();

// Why this user's store could not be opened (the routines then read empty and write nothing), or
// that a damaged store was moved aside and a fresh one started; empty text when all is well.
// Meant for the window to show once; it opens the store when none is set yet.
[[nodiscard]] std::string RegistryStoreProblem();

}  // namespace vellamark
