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
#include "store/key_text.h"
#include "store/list_codec.h"
#include "store/registry_backend.h"
#include "store/stored_settings.h"

namespace vellamark {

inline constexpr int kAccountSlots = 101;  // slots 0..100
inline constexpr int kStoredSlots = 100;   // SaveUserDetails stores slots 0..99

// The four parallel account tables; slot k belongs to entry k of the username list.
struct AccountTables {
    std::array<std::string, kAccountSlots> savedUsernames{};
    std::array<std::string, kAccountSlots> savedPasswords{};
    std::array<std::string, kAccountSlots> savedPins{};
    std::array<int, kAccountSlots> passwordSavedFlags{};
};

// What the window shows when the accounts are saved: the username box's text, the password and
// PIN boxes, and "Save Password".
struct WindowEntry {
    std::string username;
    std::string password;
    std::string pin;
    bool savePassword = false;
};

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

// The saved accounts and settings of this user: the account tables, the plain lists, the store
// key and a cipher state of its own, over the registry routines and the settings key. A decode
// is trusted by its structure (DecodeLists); the letter test still decides the "Login" button.
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

private:
    void SetStoreKey(std::string_view keyText);
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

}  // namespace vellamark
