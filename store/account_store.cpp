#include "store/account_store.h"

#include <algorithm>
#include <utility>

#include "cipher/blowfish.h"
#include "platform/local_time.h"
#include "store/account_merge.h"
#include "store/account_messages.h"
#include "store/registry.h"
#include "store/registry_session.h"

namespace vellamark {
namespace {

// The tag of lists kept aside: "username.unreadable-<UTC time>[-n]", and so on.
constexpr char kKeptTag[] = ".unreadable-";

// The three lists under their names, or under the names of a kept set ("username" + suffix).
PlainLists ReadStoredLists(const std::string& suffix = {}) {
    return {ReadSetting(kUsernameValue + suffix), ReadSetting(kPasswordValue + suffix),
            ReadSetting(kPinValue + suffix)};
}

void WriteStoredLists(const PlainLists& lists, const std::string& suffix = {}) {
    WriteRegistryString(kSettingsRoot, kSettingsKey, kUsernameValue + suffix, lists.usernameList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPasswordValue + suffix, lists.passwordList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPinValue + suffix, lists.pinList);
}

// A set of lists kept aside: the tail of its value names (".unreadable-<UTC time>[-n]") and
// the three texts as they were stored.
struct KeptSet {
    std::string suffix;
    PlainLists stored;
};

// The kept sets, oldest first.
std::vector<KeptSet> ReadKeptSets() {
    std::vector<KeptSet> sets;
    const std::string prefix = std::string(kUsernameValue) + kKeptTag;
    for (const auto& name : RegistryValueNames(kSettingsRoot, kSettingsKey)) {
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            const std::string suffix = name.substr(std::string_view(kUsernameValue).size());
            sets.push_back({suffix, ReadStoredLists(suffix)});
        }
    }
    std::sort(sets.begin(), sets.end(),
              [](const KeptSet& a, const KeptSet& b) { return a.suffix < b.suffix; });
    return sets;
}

// Stored lists that no key deciphers, kept beside the new ones under names of their own, as
// they were stored, once: lists kept already are not kept again. A second keeping within the
// same second gets "-2", "-3", ...
void KeepUnreadable(const PlainLists& stored) {
    for (const auto& kept : ReadKeptSets()) {
        if (kept.stored == stored) {
            return;
        }
    }
    const std::string stamp = kKeptTag + UtcStampNow();
    std::string suffix = stamp;
    for (int n = 2; !NothingStored(ReadStoredLists(suffix)); ++n) {
        suffix = stamp + "-" + std::to_string(n);
    }
    WriteStoredLists(stored, suffix);
}

}  // namespace

// What one read of the store gives: the three lists, the key text remembered beside them and
// the kept sets, as stored.
struct AccountStore::StoredState {
    PlainLists lists;
    std::string remembered;
    std::vector<KeptSet> kept;
};

std::string SaveReport::Notice() const {
    return NotStoredMessage(username, password, pin);
}

AccountStore::AccountStore(StoreKeySource& keys, RegistrySession& registry)
    : keys_(keys), registry_(registry) {}

const Status& AccountStore::Opened() const {
    return registry_.Opened();
}

void AccountStore::SetStoreKey(std::string_view keyText) {
    storeKey_ = StoreKeyFromText(keyText);
    // The result is not looked at: a key text always gives a key of 1 to 56 bytes (twelve
    // digits and two names), and the store reads with whatever key is set.
    (void)InitialiseKey(cipher_, storeKey_);
}

void AccountStore::Changing() {
    if (!unsaved_) {
        unsaved_ = tables_;
    }
}

void AccountStore::RemoveAccount(int slot) {
    if (slot < 0 || slot >= kAccountSlots) {
        return;
    }
    Changing();
    tables_.savedPasswords[static_cast<std::size_t>(slot)].clear();
    tables_.savedUsernames[static_cast<std::size_t>(slot)].clear();
}

void AccountStore::ForgetPassword(int slot) {
    if (slot < 0 || slot >= kAccountSlots) {
        return;
    }
    Changing();
    tables_.savedPasswords[static_cast<std::size_t>(slot)] = kNoPasswordMarker;
}

void AccountStore::RemoveAll() {
    Changing();
    for (std::size_t i = 0; i < kAccountSlots; ++i) {
        tables_.savedUsernames[i].clear();
        tables_.savedPasswords[i].clear();
        tables_.savedPins[i].clear();
    }
}

void AccountStore::ForgetAllPasswords() {
    Changing();
    for (std::size_t i = 0; i < kAccountSlots; ++i) {
        tables_.savedPasswords[i] = kNoPasswordMarker;
    }
}

void AccountStore::PlaceTypedAccount(int listCount, const std::string& username,
                                     const std::string& password) {
    // With the list full there is no slot for it: the login goes on without saving it. A name
    // the list holds (exactly) is that account, not a new one: the box keeps a removal command's
    // name with nothing picked, and the save gives the listed slot the window's details.
    const int slot = listCount + 1;
    if (listCount < 0 || slot >= kAccountSlots) {
        return;
    }
    const auto& names = tables_.savedUsernames;
    if (std::find(names.begin(), names.begin() + listCount, username) !=
        names.begin() + listCount) {
        return;
    }
    Changing();
    tables_.savedUsernames[static_cast<std::size_t>(slot)] = username;
    tables_.savedPasswords[static_cast<std::size_t>(slot)] = password;
}

AccountList AccountStore::OurAccounts(const WindowEntry& window, SaveReport& report) const {
    auto note = [](NotStored& field, NotStored why) {
        if (field == NotStored::kNo) {
            field = why;
        }
    };
    AccountList ours;
    // Slot 100 is never stored, so at most 99 accounts are (a new one goes after the last).
    for (std::size_t slot = 0; slot < static_cast<std::size_t>(kStoredSlots); ++slot) {
        const std::string& username = tables_.savedUsernames[slot];
        if (username.empty()) {
            continue;
        }
        if (const NotStored why = Unstorable(username); why != NotStored::kNo) {
            note(report.username, why);
            continue;
        }
        Account account{username, tables_.savedPasswords[slot], tables_.savedPins[slot]};
        if (username == window.username) {
            account.password = window.savePassword ? window.password : kNoPasswordMarker;
            account.pin = window.pin;
        }
        if (const NotStored why = Unstorable(account.password); why != NotStored::kNo) {
            account.password = kNoPasswordMarker;
            note(report.password, why);
        }
        if (const NotStored why = Unstorable(account.pin); why != NotStored::kNo) {
            account.pin.clear();
            note(report.pin, why);
        }
        ours.push_back(std::move(account));
    }
    return ours;
}

Result<SaveReport> AccountStore::SaveUserDetails(const WindowEntry& window,
                                                 const std::optional<LoginSettings>& settings) {
    Result<SaveReport> saved = Write(window, settings);
    if (!saved && unsaved_) {
        // Nothing was written: the tables show what the store holds, as before the commands.
        tables_ = *unsaved_;
    }
    unsaved_.reset();
    return saved;
}

Result<SaveReport> AccountStore::Write(const WindowEntry& window,
                                       const std::optional<LoginSettings>& settings) {
    SaveReport report;
    const auto keyText = keys_.FileTimeKeyText();
    if (!keyText) {
        return Result<SaveReport>::Fail(StoreFailure::kNoKey, kFiletimeErrorMessage);
    }
    const AccountList ours = OurAccounts(window, report);

    RegistryTransaction saving(registry_, kSettingsRoot, kSettingsKeyNoSlash,
                               TransactionKind::kWrite, lockWait_);
    if (!saving.ok()) {
        return Result<SaveReport>::Fail(
            StoreFailure::kNotWritten,
            NotSavedMessage(saving.status().error(), settings.has_value()));
    }
    // The store as it is now: another launcher may have saved since this one read it.
    const PlainLists stored = ReadStoredLists();
    AccountList theirs;
    if (!NothingStored(stored)) {
        // The first way, the second, then the key text remembered beside the lists.
        std::vector<std::string> keyTexts{*keyText};
        if (auto secondKeyText = keys_.DateCreatedKeyText()) {
            keyTexts.push_back(std::move(*secondKeyText));
        }
        keyTexts.push_back(ReadSetting(kKeyTextValue));
        bool read = false;
        for (const auto& text : keyTexts) {
            if (!text.empty() && !read) {
                SetStoreKey(text);
                if (DecodedLists now = DecodeLists(cipher_, stored); now.trusted) {
                    theirs = AccountsOf(now.plain);
                    read = true;
                }
            }
        }
        if (!read) {
            KeepUnreadable(stored);
        }
    }
    const AccountList merged = MergeAccounts(known_, ours, theirs);
    if (settings) {
        WriteLoginSettings(*settings);
    }
    // Kept sets this window showed again are back in the lists now.
    for (const auto& suffix : restoredSets_) {
        for (const char* name : {kUsernameValue, kPasswordValue, kPinValue}) {
            DeleteRegistryValue(kSettingsRoot, kSettingsKey, name + suffix);
        }
    }

    // Saving always enciphers under the first way's key, and remembers its key text.
    SetStoreKey(*keyText);
    const PlainLists plain = ListsOf(merged);
    const PlainLists written{EncodeStoredList(cipher_, plain.usernameList),
                             EncodeStoredList(cipher_, plain.passwordList),
                             EncodeStoredList(cipher_, plain.pinList)};
    WriteStoredLists(written);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kKeyTextValue, *keyText);
    if (const Status outcome = saving.Commit(); !outcome) {
        return Result<SaveReport>::Fail(StoreFailure::kNotWritten,
                                        NotSavedMessage(outcome.error(), settings.has_value()));
    }
    restoredSets_.clear();
    lists_ = written;
    // The tables stay as they are, so what they hold is the base of the next save; accounts
    // another launcher added are not in them and are kept again then.
    known_ = ours;
    return report;
}

Status AccountStore::ReadStoredState(StoredState& stored, StoredSettings* settings) {
    // One read transaction: everything is seen at one moment, and a store another program holds
    // keeps the window waiting once, for a moment, not at every value.
    RegistryTransaction reading(registry_, kSettingsRoot, kSettingsKeyNoSlash,
                                TransactionKind::kRead, lockWait_);
    if (settings != nullptr) {
        EnsureSettingsKey();
        *settings = ReadStoredSettings();
    }
    stored = {ReadStoredLists(), ReadSetting(kKeyTextValue), ReadKeptSets()};
    return reading.Commit();
}

StoredStart AccountStore::Load() {
    StoredSettings settings;
    StoredState stored;
    // One read of the store for all of startup, the settings with the accounts.
    if (const Status read = ReadStoredState(stored, &settings); !read) {
        if (!keys_.FileTimeKeyText()) {
            return {settings, Status::Fail(StoreFailure::kNoKey, kFiletimeErrorMessage)};
        }
        // A store that could not be opened at all holds nothing to show: the window has told
        // why (Opened), once. Otherwise the settings were not read either: one message for both.
        if (!registry_.Opened()) {
            return {settings, StoredAccounts{}};
        }
        return {settings, Status::Fail(StoreFailure::kNotRead, StartNotReadMessage(read.error()))};
    }
    return {settings, ShowStored(stored)};
}

Result<StoredAccounts> AccountStore::ReadAccounts() {
    StoredState stored;
    if (const Status read = ReadStoredState(stored, nullptr); !read) {
        if (!keys_.FileTimeKeyText()) {
            return Result<StoredAccounts>::Fail(StoreFailure::kNoKey, kFiletimeErrorMessage);
        }
        // Nothing is known of the store: the list and the tables stay as they are, and the next
        // save keeps whatever the store holds.
        return Result<StoredAccounts>::Fail(StoreFailure::kNotRead,
                                            AccountsNotReadMessage(read.error()));
    }
    return ShowStored(stored);
}

Result<StoredAccounts> AccountStore::ShowStored(const StoredState& state) {
    StoredAccounts accounts;
    const PlainLists& stored = state.lists;
    const auto keyText = keys_.FileTimeKeyText();
    if (!keyText) {
        return Result<StoredAccounts>::Fail(StoreFailure::kNoKey, kFiletimeErrorMessage);
    }
    SetStoreKey(*keyText);
    const DecodedLists first = DecodeLists(cipher_, stored);
    std::optional<DecodedLists> chosen;
    std::string chosenKeyText = *keyText;
    if (first.trusted && PassesLetterTest(first.plain.usernameList)) {
        chosen = first;
    } else {
        // Usernames that do not begin with a letter, or a decode that is not whole, may have
        // been written under the creation time in local time, as older stores were.
        const auto secondKeyText = keys_.DateCreatedKeyText();
        if (!secondKeyText && !PassesLetterTest(first.plain.usernameList)) {
            return Result<StoredAccounts>::Fail(StoreFailure::kNoKey, kNoCreationDateMessage);
        }
        if (secondKeyText) {
            SetStoreKey(*secondKeyText);
            if (DecodedLists second = DecodeLists(cipher_, stored); second.trusted) {
                chosen = std::move(second);
                chosenKeyText = *secondKeyText;
            } else if (first.trusted) {
                // A trusted decode is never replaced by one that is not ("1alpha,": read right
                // under the first key, it only fails the letter test).
                chosen = first;
            }
        }
    }
    if (!chosen && !state.remembered.empty() && state.remembered != *keyText) {
        // Only when the program's own keys give no trusted decode: the key text the lists were
        // saved under (a program file since replaced, another language). They are re-keyed at
        // the next save.
        SetStoreKey(state.remembered);
        if (DecodedLists again = DecodeLists(cipher_, stored); again.trusted) {
            chosen = std::move(again);
            chosenKeyText = state.remembered;
        }
    }
    const bool underFirstKey = chosen && chosenKeyText == *keyText;
    known_ = chosen ? AccountsOf(chosen->plain) : AccountList{};
    // Lists that did not read under this copy's key: kept sets that do come back beside them
    // (their accounts after the listed ones, a name listed already not twice), and go from the
    // kept names at the next save when all they held is listed.
    AccountList listed = known_;
    restoredSets_.clear();
    if (!underFirstKey && !state.kept.empty()) {
        SetStoreKey(*keyText);
        for (const auto& set : state.kept) {
            const DecodedLists decoded = DecodeLists(cipher_, set.stored);
            if (!decoded.trusted || NothingStored(set.stored)) {
                continue;
            }
            bool allListed = true;
            for (auto& account : AccountsOf(decoded.plain)) {
                const auto sameName = [&](const Account& a) {
                    return a.username == account.username;
                };
                if (std::find(listed.begin(), listed.end(), account) != listed.end()) {
                    continue;
                }
                if (std::none_of(listed.begin(), listed.end(), sameName) &&
                    listed.size() < kMostStoredAccounts) {
                    listed.push_back(std::move(account));
                } else {
                    allListed = false;
                }
            }
            if (allListed) {
                restoredSets_.push_back(set.suffix);
            }
        }
    }
    SetStoreKey(chosenKeyText);  // the key the lists were read under stays set
    if (!chosen) {
        // Neither shown nor touched: the next save keeps them under names of their own.
        accounts.unreadable = true;
        accounts.message = UnreadableListsMessage(!restoredSets_.empty());
        if (restoredSets_.empty()) {
            lists_ = {};
            accounts.loginEnabled = false;
            return accounts;
        }
    }
    lists_ = chosen && listed.size() == known_.size() ? std::move(chosen->plain) : ListsOf(listed);
    accounts.loginEnabled = PassesLetterTest(lists_.usernameList);

    const auto usernames = SplitAtCommas(lists_.usernameList);
    const auto passwords = SplitAtCommas(lists_.passwordList);
    const auto pins = SplitAtCommas(lists_.pinList);
    // A piece without a slot (above 100), or missing from the password or PIN list, is
    // skipped; slots above the last piece keep what they held.
    const std::size_t filled = std::min(usernames.size(), std::size_t{kAccountSlots});
    for (std::size_t i = 0; i < filled; ++i) {
        tables_.savedUsernames[i] = usernames[i];
        if (i < passwords.size()) {
            tables_.savedPasswords[i] = passwords[i];
        }
        if (i < pins.size()) {
            tables_.savedPins[i] = pins[i];
        }
        tables_.passwordSavedFlags[i] = tables_.savedPasswords[i] == kNoPasswordMarker ? 0 : 1;
        if (!tables_.savedUsernames[i].empty()) {
            accounts.entries.push_back(tables_.savedUsernames[i]);
        }
    }
    return accounts;
}

}  // namespace vellamark
