#include "store/registry.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "store/user_registry.h"

namespace vellamark {
namespace {

// The longest text value ReadRegistryString reads.
constexpr std::uint32_t kLargestText = 16u * 1024u * 1024u;

std::int32_t gLastRegistryResult = 0;
std::shared_ptr<RegistryBackend> gBackend;
std::string gStoreProblem;

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string TaggedValueText(const TaggedValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag ? "True" : "False";
    }
    return {};
}

void SetRegistryBackend(std::shared_ptr<RegistryBackend> backend, std::string problem) {
    gBackend = std::move(backend);
    gStoreProblem = std::move(problem);
}

RegistryBackend& CurrentRegistryBackend() {
    if (!gBackend) {
        auto opened = OpenUserRegistry();
        gBackend = std::move(opened.backend);
        gStoreProblem = std::move(opened.problem);
    }
    return *gBackend;
}

std::string RegistryStoreProblem() {
    (void)CurrentRegistryBackend();
    return gStoreProblem;
}

std::int32_t LastRegistryResult() {
    return gLastRegistryResult;
}

bool RegistryKeyExists(RegistryRoot root, const std::string& keyPath) {
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    gLastRegistryResult = backend.OpenKey(root, keyPath, handle);
    // The handle decides, not the open's return code.
    const bool exists = handle != 0;
    gLastRegistryResult = backend.CloseKey(handle);
    return exists;
}

TaggedValue ReadRegistryString(RegistryRoot root, const std::string& keyPath,
                               const std::string& valueName) {
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    std::uint32_t size = 0;
    std::uint32_t kind = kRegNone;
    TaggedValue result = std::string();
    gLastRegistryResult = backend.OpenKey(root, keyPath, handle);
    if (handle != 0) {
        // A missing value leaves the kind at 0, which reads as empty text below.
        gLastRegistryResult = backend.QueryValue(handle, valueName, kind, nullptr, size);
        if (kind == kRegSz && size > kLargestText) {
            // Far beyond any setting: read as empty text rather than allocate without bound.
            gLastRegistryResult = kErrorMoreData;
        } else if (kind == kRegSz) {
            std::vector<std::uint8_t> buffer(size, ' ');
            std::uint32_t secondKind = kRegNone;
            std::uint32_t filled = size;
            gLastRegistryResult =
                backend.QueryValue(handle, valueName, secondKind, buffer.data(), filled);
            if (gLastRegistryResult == kErrorSuccess) {
                // Another process may have shortened the value between the two queries.
                buffer.resize(std::min(filled, size));
                result = FromAnsi(
                    std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), 0)));
            }
        } else if (kind == kRegDword) {
            std::uint8_t number[4] = {};
            std::uint32_t numberSize = sizeof number;
            gLastRegistryResult = backend.QueryValue(handle, valueName, kind, number, numberSize);
            if (gLastRegistryResult == kErrorSuccess) {
                // REG_DWORD is little-endian on every platform the registry runs on.
                const std::uint32_t value =
                    std::uint32_t{number[0]} | (std::uint32_t{number[1]} << 8) |
                    (std::uint32_t{number[2]} << 16) | (std::uint32_t{number[3]} << 24);
                result = static_cast<std::int32_t>(value);
            }
        }
    }
    gLastRegistryResult = backend.CloseKey(handle);
    return result;
}

void WriteRegistryString(RegistryRoot root, const std::string& keyPath,
                         const std::string& valueName, const TaggedValue& value) {
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    gLastRegistryResult = backend.CreateKey(root, keyPath, handle);
    // The length is that of the ANSI bytes plus the closing NUL: a character count would cut
    // the text short in a multi-byte code page.
    const std::string ansi = ToAnsi(TrimSpaces(TaggedValueText(value)));
    std::vector<std::uint8_t> data(ansi.begin(), ansi.end());
    data.push_back(0);
    gLastRegistryResult = backend.SetValue(handle, valueName, kRegSz, data.data(),
                                           static_cast<std::uint32_t>(data.size()));
    gLastRegistryResult = backend.CloseKey(handle);
}

void CreateRegistryKey(RegistryRoot root, const std::string& keyPath) {
    auto& backend = CurrentRegistryBackend();
    RegistryHandle handle = 0;
    gLastRegistryResult = backend.CreateKey(root, keyPath, handle);
    gLastRegistryResult = backend.CloseKey(handle);
}

}  // namespace vellamark
