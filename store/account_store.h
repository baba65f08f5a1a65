#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cipher/blowfish_state.h"
#include "cipher/bytes.h"
#include "platform/result.h"
#include "store/key_text.h"
#include "store/list_codec.h"
#include "store/registry_backend.h"
#include "store/stored_settings.h"

namespace vellamark {

class RegistrySession;

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

// The kinds of failure of the account store that callers tell apart. The message says what
// happened, for the user.
enum class StoreFailure {
    kNoKey,       // the store key cannot be had ("Filetime error"): the program ends
    kNotRead,     // the store could not be read (another program held it, say): nothing is
                  // shown and nothing stored changes; the window goes on
    kNotWritten,  // a save wrote nothing: the store, and the tables, are as they were; the
                  // message says so, and (a login's save) that the login goes on
};

// What a save that was written did not store as typed (the login itself uses the text as
// typed).
struct SaveReport {
    NotStored username = NotStored::kNo;
    NotStored password = NotStored::kNo;
    NotStored pin = NotStored::kNo;
    // The sentences that tell the user which fields and why; empty text when all were stored.
    [[nodiscard]] std::string Notice() const;
};

// The saved accounts as read back: the username list's entries in order (entry k is slot k)
// and whether the usernames passed the letter test, which decides the "Login" button.
struct StoredAccounts {
    bool loginEnabled = true;
    std::vector<std::string> entries;
    // The lists decipher under no key: kept, never shown (a kept set that reads under this
    // copy's key may be shown in their place); message says why, to be told once a run.
    bool unreadable = false;
    std::string message;
};

// What startup reads, in one read of the store: the settings (false each when they could not be
// read), and the saved accounts.
struct StoredStart {
    StoredSettings settings;
    Result<StoredAccounts> accounts;
};

// The saved accounts and settings of this user: the account tables, the plain lists, the store
// key and a cipher state of its own, over the registry routines on its session's store. Only
// its commands change the tables, each named for what the user did; SaveUserDetails writes
// them, and when it writes nothing, puts the tables back as they were before the commands.
class AccountStore {
public:
    AccountStore(StoreKeySource& keys, RegistrySession& registry);
    AccountStore(const AccountStore&) = delete;
    AccountStore& operator=(const AccountStore&) = delete;

    [[nodiscard]] const AccountTables& Tables() const { return tables_; }
    [[nodiscard]] const PlainLists& Lists() const { return lists_; }
    [[nodiscard]] const Bytes& StoreKey() const { return storeKey_; }

    // What opening the store said (RegistrySession::Opened): for the window to tell once.
    [[nodiscard]] const Status& Opened() const;

    // How long the store's transactions wait for another program (kStoreLockWait unless set).
    void SetLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }

    // Startup's read, as one read of the store: the settings key (created when missing), the
    // settings and, as ReadAccounts, the saved accounts. A store that could not be read fails
    // the accounts with kNotRead and a message for both; one that could not be opened at all
    // gives no accounts and no further message.
    [[nodiscard]] StoredStart Load();

    // The reading half of CreateDropDown, as one read of the store: reads the three stored
    // lists, sets the key (the second way when the first decode fails the letter test or is not
    // trusted; the remembered key text when neither way gives a trusted decode), fills the
    // tables from the trusted decode and gives the list. When the lists did not read under the
    // first way's key, kept sets that do are listed after them (a name already listed is not
    // listed twice). Lists that no key deciphers are neither shown nor touched: "Login" is
    // disabled, and the message says why and that they are kept; the list is empty unless a
    // kept set came back. Fails with kNoKey ("Filetime error", or that the creation date for the
    // second way is missing), or kNotRead (the tables stay as they are).
    [[nodiscard]] Result<StoredAccounts> ReadAccounts();

    // What the user did, to the tables; a slot outside 0..100 is left alone. "Remove Current
    // Username & Password": the slot's password, then its username, emptied.
    void RemoveAccount(int slot);
    // "Remove Current Password": the slot's password becomes the marker.
    void ForgetPassword(int slot);
    // "Remove All Usernames & Passwords": every slot emptied.
    void RemoveAll();
    // "Remove All Passwords": every password becomes the marker.
    void ForgetAllPasswords();
    // Login with a typed username while the list holds listCount entries: it goes to slot
    // listCount + 1 (slot listCount stays the empty one after the list) with the password given
    // (empty when not saved), unless the list holds that name (exactly) already or there is no
    // such slot.
    void PlaceTypedAccount(int listCount, const std::string& username, const std::string& password);

    // Builds the three lists from the tables and the window's entry and writes them enciphered
    // under the first way's key, with the login settings when given, as one transaction. Inside
    // it the stored lists are read again: accounts another launcher saved since this one last
    // read or wrote them are kept (this window's own changes and removals win), and lists no key
    // deciphers are first kept under names of their own ("username.unreadable-<UTC time>", and
    // the same for "password" and "pin"), once per content. Kept sets the last read showed in
    // full are removed from the kept names, their accounts being in the lists now; the key
    // text is remembered (kKeyTextValue). Fails with kNotWritten when the transaction fails, or
    // kNoKey ("Filetime error"): nothing is written then, and the tables are put back.
    [[nodiscard]] Result<SaveReport> SaveUserDetails(
        const WindowEntry& window, const std::optional<LoginSettings>& settings = std::nullopt);

private:
    struct StoredState;

    // One read of the lists, the key text beside them and the kept sets, with the settings too
    // when asked for them.
    [[nodiscard]] Status ReadStoredState(StoredState& stored, StoredSettings* settings);
    [[nodiscard]] Result<StoredAccounts> ShowStored(const StoredState& stored);
    [[nodiscard]] Result<SaveReport> Write(const WindowEntry& window,
                                           const std::optional<LoginSettings>& settings);
    void SetStoreKey(std::string_view keyText);
    [[nodiscard]] AccountList OurAccounts(const WindowEntry& window, SaveReport& report) const;
    // Before the first change since the last save: the tables to put back.
    void Changing();

    StoreKeySource& keys_;
    RegistrySession& registry_;
    AccountTables tables_;
    // The tables as they were before the commands since the last save, while there were any.
    std::optional<AccountTables> unsaved_;
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

}  // namespace vellamark
