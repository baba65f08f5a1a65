#pragma once

#include <optional>
#include <string>

#include "store/registry_backend.h"

namespace vellamark {

// Settings key of the current user and its value names.
inline constexpr RegistryRoot kSettingsRoot = kHkeyCurrentUser;
inline constexpr char kSettingsKey[] = "Software\\Corvane\\Vellamar\\";
inline constexpr char kSettingsKeyNoSlash[] = "Software\\Corvane\\Vellamar";
inline constexpr char kUsernameValue[] = "username";
inline constexpr char kPasswordValue[] = "password";
inline constexpr char kPinValue[] = "pin";
inline constexpr char kCreatePageValue[] = "createpage";
inline constexpr char kIgnoreMenuBarValue[] = "ignoremenubar";
inline constexpr char kSavePasswordsValue[] = "savepasswords";
inline constexpr char kSslValue[] = "SSL";
// The key text the three lists were last saved under, beside them: plain metadata that keeps no
// secret (anyone who can read the store can read the program file's creation time and the
// language's day and month names it is made of). It is read only when this copy's own keys
// give no trusted decode, so a reinstalled program file or another language setting still reads
// the accounts, which the next save re-keys. The three lists keep the system's format.
inline constexpr char kKeyTextValue[] = "keytext";

// The login settings the Login command stores, in the order it stores them.
struct LoginSettings {
    bool createPage = false;            // "createpage": "True" / "False"
    bool ignoreMenuBar = false;         // "ignoremenubar": "True" / "False"
    bool savePasswords = false;         // "savepasswords": "1" / "0"
    std::optional<bool> useEncryption;  // "SSL": "True" / "False", empty while unset
};

// The settings startup reads: "createpage" and "ignoremenubar" hold exactly "True";
// "savepasswords" reads as the number 1 ("1", " 1 ", "1.0"). A missing value reads as false.
struct StoredSettings {
    bool createPage = false;
    bool ignoreMenuBar = false;
    bool savePasswords = false;
};

// Over the registry routines, on the store in use.
[[nodiscard]] std::string ReadSetting(const std::string& valueName);
[[nodiscard]] StoredSettings ReadStoredSettings();
void WriteLoginSettings(const LoginSettings& settings);
// The settings key, created empty when it is missing.
void EnsureSettingsKey();

}  // namespace vellamark
