#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/bytes.h"
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

inline constexpr int kAccountSlots = 101;  // slots 0..100
inline constexpr int kStoredSlots = 100;   // SaveUserDetails stores slots 0..99
inline constexpr char kNoPasswordMarker[] = "####";

// The window's four parallel account tables; slot k belongs to entry k of the username list.
struct AccountTables {
    std::array<std::string, kAccountSlots> savedUsernames{};
    std::array<std::string, kAccountSlots> savedPasswords{};
    std::array<std::string, kAccountSlots> savedPins{};
    std::array<int, kAccountSlots> passwordSavedFlags{};
};

// The three comma-terminated lists; after SaveUserDetails they hold the stored (hex) forms.
struct PlainLists {
    std::string usernameList;
    std::string passwordList;
    std::string pinList;
};

// What the window shows when the accounts are saved: Combo1's text, Text2, Text8, Check1.
struct WindowEntry {
    std::string username;
    std::string password;
    std::string pin;
    bool savePassword = false;
};

// Where the store key texts come from; tests inject their own.
class StoreKeySource {
public:
    virtual ~StoreKeySource() = default;
    // The executable's creation time in UTC, rendered; nullopt when the times cannot be read.
    [[nodiscard]] virtual std::optional<std::string> FileTimeKeyText() = 0;
    // The same time in local time; nullopt when it cannot be had.
    [[nodiscard]] virtual std::optional<std::string> DateCreatedKeyText() = 0;
};

// Key texts from the file "vellamark" ("vellamark.exe" on Windows) in the given folder.
class ExecutableKeySource final : public StoreKeySource {
public:
    explicit ExecutableKeySource(std::string programFolder);
    [[nodiscard]] std::optional<std::string> FileTimeKeyText() override;
    [[nodiscard]] std::optional<std::string> DateCreatedKeyText() override;

private:
    std::string programFolder_;
};

// What SaveUserDetails did. An entry holding a comma cannot be stored (it would split the lists
// out of step): such a username is left out, such a password is stored as the marker, such a
// PIN is stored empty, and the caller is told so it can say so once.
struct SaveOutcome {
    bool filetimeError = false;  // nothing was written; the window shows "Filetime error"
    bool usernameLeftOut = false;
    bool passwordNotSaved = false;
    bool pinNotSaved = false;
};

[[nodiscard]] SaveOutcome SaveUserDetails(const AccountTables& tables, const WindowEntry& window,
                                          StoreKeySource& keys, PlainLists& lists, Bytes& storeKey);

// The reading half of CreateDropDown: reads the three stored lists, sets the key (second way
// when the first fails the letter test), fills the tables and returns the list entries.
struct DropDownOutcome {
    bool filetimeError = false;        // the window shows "Filetime error" and ends
    bool dateCreatedError = false;     // the second way failed; the window reports it and ends
    bool loginEnabled = true;          // false when the usernames fail the letter test twice
    std::vector<std::string> entries;  // Combo1's list, in order; entry k is slot k
};

[[nodiscard]] DropDownOutcome ReadStoredAccounts(AccountTables& tables, StoreKeySource& keys,
                                                 PlainLists& lists, Bytes& storeKey);

// A list passes when empty or when its first character is a letter a..z / A..Z.
[[nodiscard]] bool PassesLetterTest(std::string_view list);

// Stored form of a plain list under the key set now, and back (empty stays empty on saving).
[[nodiscard]] std::string EncodeStoredList(std::string_view plain);
[[nodiscard]] std::string DecodeStoredList(std::string_view stored);

// Sets StoreKey from a key text and keys the cipher with it.
void SetStoreKey(std::string_view keyText, Bytes& storeKey);

}  // namespace vellamark
