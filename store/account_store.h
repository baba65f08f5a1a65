#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/blowfish_state.h"
#include "cipher/bytes.h"
#include "platform/result.h"
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

// The four parallel account tables; slot k belongs to entry k of the username list.
struct AccountTables {
    std::array<std::string, kAccountSlots> savedUsernames{};
    std::array<std::string, kAccountSlots> savedPasswords{};
    std::array<std::string, kAccountSlots> savedPins{};
    std::array<int, kAccountSlots> passwordSavedFlags{};
};

// The three comma-terminated lists; after a save they hold the stored (hex) forms.
struct PlainLists {
    std::string usernameList;
    std::string passwordList;
    std::string pinList;
};

// What the window shows when the accounts are saved: the username box's text, the password and
// PIN boxes, and "Save Password".
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

// The message shown when the program file's times cannot be read; the program then ends.
inline constexpr char kFiletimeErrorMessage[] = "Filetime error";

// What a save left out. An entry holding a comma cannot be stored (it would split the lists
// out of step): such a username is left out, such a password is stored as the marker, such a
// PIN is stored empty, and the caller is told so it can say so once.
struct SaveReport {
    bool usernameLeftOut = false;
    bool passwordNotSaved = false;
    bool pinNotSaved = false;
};

// The saved accounts as read back: the username list's entries in order (entry k is slot k)
// and whether the usernames passed the letter test, which decides the "Login" button.
struct StoredAccounts {
    bool loginEnabled = true;
    std::vector<std::string> entries;
};

// The login settings the Login command stores, in the order it stores them.
struct LoginSettings {
    bool createPage = false;            // "createpage": "True" / "False"
    bool ignoreMenuBar = false;         // "ignoremenubar": "True" / "False"
    bool savePasswords = false;         // "savepasswords": "1" / "0"
    std::optional<bool> useEncryption;  // "SSL": "True" / "False", empty while unset
};

// The saved accounts and settings of this user: the account tables, the plain lists, the store
// key and a cipher state of its own, over the registry routines and the settings key.
class AccountStore {
public:
    explicit AccountStore(StoreKeySource& keys);
    AccountStore(const AccountStore&) = delete;
    AccountStore& operator=(const AccountStore&) = delete;

    [[nodiscard]] AccountTables& Tables() { return tables_; }
    [[nodiscard]] const AccountTables& Tables() const { return tables_; }
    [[nodiscard]] const PlainLists& Lists() const { return lists_; }
    [[nodiscard]] const Bytes& StoreKey() const { return storeKey_; }

    // The reading half of CreateDropDown: reads the three stored lists, sets the key (the
    // second way when the first fails the letter test), fills the tables and gives the list.
    // Fails with the message to show before the program ends: "Filetime error", or that the
    // creation date for the second way is not available.
    [[nodiscard]] Result<StoredAccounts> ReadAccounts();

    // Builds the three lists from the tables and the window's entry and writes them enciphered
    // under the first way's key. Fails with "Filetime error", having written nothing.
    [[nodiscard]] Result<SaveReport> SaveUserDetails(const WindowEntry& window);

    // The settings key, created empty when it is missing.
    void EnsureSettingsKey();
    // "createpage" / "ignoremenubar" hold exactly "True".
    [[nodiscard]] bool CreatePageSetting() const;
    [[nodiscard]] bool IgnoreMenuBarSetting() const;
    // "savepasswords" reads as the number 1 ("1", " 1 ", "1.0").
    [[nodiscard]] bool SavePasswordsSetting() const;
    // The four settings the Login command writes, in their order.
    void WriteLoginSettings(const LoginSettings& settings);

private:
    void SetStoreKey(std::string_view keyText);

    StoreKeySource& keys_;
    AccountTables tables_;
    PlainLists lists_;
    Bytes storeKey_;
    BlowfishState cipher_;
};

// A list passes when empty or when its first character is a letter a..z / A..Z.
[[nodiscard]] bool PassesLetterTest(std::string_view list);

// StoreKey of a key text: its pairs of hexadecimal digits, one character per character.
[[nodiscard]] Bytes StoreKeyFromText(std::string_view keyText);

// Stored form of a plain list under the given key state, and back (empty stays empty on saving).
[[nodiscard]] std::string EncodeStoredList(const BlowfishState& key, std::string_view plain);
[[nodiscard]] std::string DecodeStoredList(const BlowfishState& key, std::string_view stored);

}  // namespace vellamark
