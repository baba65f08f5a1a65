#include "store/stored_settings.h"

#include <algorithm>
#include <cstdlib>

#include "store/registry.h"

namespace vellamark {
namespace {

bool SavePasswordsSetting() {
    // The text counts when it reads as the decimal number 1, white space around it allowed
    // ("1", " 1 ", "1.0"); anything else (missing, empty, not a number) clears the box.
    std::string text = ReadSetting(kSavePasswordsValue);
    const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && isSpace(text.back())) {
        text.pop_back();
    }
    const auto first = std::find_if_not(text.begin(), text.end(), isSpace);
    text.erase(text.begin(), first);
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos) {
        return false;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return *end == '\0' && value == 1.0;
}

}  // namespace

std::string ReadSetting(const std::string& valueName) {
    return TaggedValueText(ReadRegistryString(kSettingsRoot, kSettingsKey, valueName));
}

StoredSettings ReadStoredSettings() {
    StoredSettings settings;
    settings.createPage = ReadSetting(kCreatePageValue) == "True";
    settings.ignoreMenuBar = ReadSetting(kIgnoreMenuBarValue) == "True";
    settings.savePasswords = SavePasswordsSetting();
    return settings;
}

void WriteLoginSettings(const LoginSettings& settings) {
    WriteRegistryString(kSettingsRoot, kSettingsKey, kCreatePageValue, settings.createPage);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kIgnoreMenuBarValue, settings.ignoreMenuBar);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kSavePasswordsValue,
                        std::string(settings.savePasswords ? "1" : "0"));
    WriteRegistryString(
        kSettingsRoot, kSettingsKey, kSslValue,
        settings.useEncryption ? TaggedValue(*settings.useEncryption) : TaggedValue());
}

void EnsureSettingsKey() {
    if (!RegistryKeyExists(kSettingsRoot, kSettingsKey)) {
        CreateRegistryKey(kSettingsRoot, kSettingsKeyNoSlash);
    }
}

}  // namespace vellamark
