#pragma once

#include <array>
#include <chrono>
#include <cstdint>
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
// The key text the three lists were last saved under, beside them: plain metadata that keeps no
// secret (anyone who can read the store can read the program file's creation time and the
// language's day and month names it is made of). It is read only when this copy's own keys
// give no trusted decode, so a reinstalled program file or another language setting still reads
// the accounts, which the next save re-keys. The three lists keep the system's format.
inline constexpr char kKeyTextValue[] = "keytext";

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
    friend bool operator==(const PlainLists&, const PlainLists&) = default;
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

// Why an entry was not stored as it was typed. An entry holding a comma would split the lists
// out of step on reading; one with a character the system's code page lacks (Windows) would be
// stored altered; one with a control character would make the lists read as deciphered under a
// wrong key. Such a username is left out, such a password is stored as the marker, such a PIN
// is stored empty; the login itself uses the text as typed.
enum class NotStored { kNo, kComma, kOutsideCodePage, kControlCharacter };

// What a save did. failure is empty when the lists were written; otherwise nothing was written
// and it says why in a few words ("the disk is full").
struct SaveReport {
    NotStored username = NotStored::kNo;
    NotStored password = NotStored::kNo;
    NotStored pin = NotStored::kNo;
    std::string failure;
};

// The saved accounts as read back: the username list's entries in order (entry k is slot k)
// and whether the usernames passed the letter test, which decides the "Login" button.
struct StoredAccounts {
    enum class Problem {
        kNone,
        kReadFailed,  // the store could not be read (locked, say): nothing shown, nothing lost
        kUnreadable,  // the lists decipher under no key: kept, never shown (a kept set that
                      // reads under this copy's key may be shown in their place)
    };
    bool loginEnabled = true;
    std::vector<std::string> entries;
    Problem problem = Problem::kNone;
    std::string message;  // for the user, when there is a problem
};

// One account as the lists hold it.
struct Account {
    std::string username;
    std::string password;
    std::string pin;
    friend bool operator==(const Account&, const Account&) = default;
};
using AccountList = std::vector<Account>;

// The login settings the Login command stores, in the order it stores them.
struct LoginSettings {
    bool createPage = false;            // "createpage": "True" / "False"
    bool ignoreMenuBar = false;         // "ignoremenubar": "True" / "False"
    bool savePasswords = false;         // "savepasswords": "1" / "0"
    std::optional<bool> useEncryption;  // "SSL": "True" / "False", empty while unset
};

// The saved accounts and settings of this user: the account tables, the plain lists, the store
// key and a cipher state of its own, over the registry routines and the settings key.
//
// A decode is trusted by its structure alone, never by its first letter: every stored list
// whole blocks of hexadecimal text, valid padding, text of the code page without control
// characters, each entry closed by a comma, and no empty username. Each list is judged on its
// own: lists whose counts differ (an entry that held a comma, as the original program leaves
// them) read as the system reads them. Under a wrong key a list passes all that about once in
// 10^5 tries on Windows' single-byte code pages, and all three together practically never. The
// letter test still decides the "Login" button.
class AccountStore {
public:
    explicit AccountStore(StoreKeySource& keys);
    AccountStore(const AccountStore&) = delete;
    AccountStore& operator=(const AccountStore&) = delete;

    [[nodiscard]] AccountTables& Tables() { return tables_; }
    [[nodiscard]] const AccountTables& Tables() const { return tables_; }
    [[nodiscard]] const PlainLists& Lists() const { return lists_; }
    [[nodiscard]] const Bytes& StoreKey() const { return storeKey_; }

    // How long the store's transactions wait for another program (kStoreLockWait).
    [[nodiscard]] std::chrono::milliseconds LockWait() const { return lockWait_; }
    void SetLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }

    // The reading half of CreateDropDown, as one read of the store: reads the three stored
    // lists, sets the key (the second way when the first decode fails the letter test or is not
    // trusted; the remembered key text when neither way gives a trusted decode), fills the
    // tables from the trusted decode and gives the list. When the lists did not read under the
    // first way's key, kept sets that do are listed after them (a name already listed is not
    // listed twice). Lists that no key deciphers are neither shown nor touched: "Login" is
    // disabled, and the message says why and that they are kept; the list is empty unless a
    // kept set came back. Fails with the message to show before the program ends: "Filetime
    // error", or that the creation date for the second way is missing.
    [[nodiscard]] Result<StoredAccounts> ReadAccounts();

    // Builds the three lists from the tables and the window's entry and writes them enciphered
    // under the first way's key, with the login settings when given, as one transaction. Inside
    // it the stored lists are read again: accounts another launcher saved since this one last
    // read or wrote them are kept (this window's own changes and removals win), and lists no key
    // deciphers are first kept under names of their own ("username.unreadable-<UTC time>", and
    // the same for "password" and "pin"), once per content. Kept sets the last read showed in
    // full are removed from the kept names, their accounts being in the lists now; the key
    // text is remembered (kKeyTextValue). Nothing is written when the transaction fails; the
    // report says why. Fails with "Filetime error", having written nothing.
    [[nodiscard]] Result<SaveReport> SaveUserDetails(
        const WindowEntry& window, const std::optional<LoginSettings>& settings = std::nullopt);

    // The settings key, created empty when it is missing.
    void EnsureSettingsKey();
    // "createpage" / "ignoremenubar" hold exactly "True".
    [[nodiscard]] bool CreatePageSetting() const;
    [[nodiscard]] bool IgnoreMenuBarSetting() const;
    // "savepasswords" reads as the number 1 ("1", " 1 ", "1.0").
    [[nodiscard]] bool SavePasswordsSetting() const;

private:
    struct Decoded;

    void SetStoreKey(std::string_view keyText);
    [[nodiscard]] Decoded Decode(const PlainLists& stored);
    [[nodiscard]] AccountList OurAccounts(const WindowEntry& window, SaveReport& report) const;

    StoreKeySource& keys_;
    AccountTables tables_;
    PlainLists lists_;
    Bytes storeKey_;
    BlowfishState cipher_;
    std::chrono::milliseconds lockWait_ = kStoreLockWait;
    // The accounts the tables held when this window last read them from the store or wrote them
    // to it: what this window's own changes, and another launcher's, are told apart by. Empty
    // when nothing was read.
    AccountList known_;
    // The kept sets (their name tails) the last read listed in full, removed at the next save.
    std::vector<std::string> restoredSets_;
};

// Why the store failed (an error code of its transaction), in a few words for a message: "the
// disk is full", or that another program held it past the wait.
[[nodiscard]] std::string StoreFailureText(std::int32_t code, std::chrono::milliseconds wait);

// Three-way merge of the saved accounts, an account being its username (and which occurrence
// of it): base is what this window read, ours what it now holds, theirs what the store holds
// now. An account this window changed, added or removed is taken from ours; any other from
// theirs, including those another launcher added (at the end, in their order) or removed.
[[nodiscard]] AccountList MergeAccounts(const AccountList& base, const AccountList& ours,
                                        const AccountList& theirs);

// A list passes when empty or when its first character is a letter a..z / A..Z.
[[nodiscard]] bool PassesLetterTest(std::string_view list);

// StoreKey of a key text: its pairs of hexadecimal digits, one character per character.
[[nodiscard]] Bytes StoreKeyFromText(std::string_view keyText);

// Stored form of a plain list under the given key state, and back (empty stays empty on saving).
[[nodiscard]] std::string EncodeStoredList(const BlowfishState& key, std::string_view plain);
[[nodiscard]] std::string DecodeStoredList(const BlowfishState& key, std::string_view stored);

}  // namespace vellamark
