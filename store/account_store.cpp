#include "store/account_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <utility>

#include "cipher/blowfish.h"
#include "cipher/byte_cipher.h"
#include "cipher/hex_text.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "store/key_text.h"
#include "store/registry.h"

namespace vellamark {
namespace {

constexpr char kKeptNames[] =
    "in the settings under names of their own (\"username.unreadable-...\", "
    "\"password.unreadable-...\" and \"pin.unreadable-...\").";

constexpr char kWrongKeyMessage[] =
    "The saved accounts cannot be read: they do not decipher under this copy's key, which comes "
    "from the creation time of the launcher's program file and from the weekday and month names "
    "of the language setting. They were saved under another key: with the desktop's language "
    "set differently (setting it back shows them again), in another time zone, or by an older "
    "launcher before its program file was replaced.";

// The tag of lists kept aside: "username.unreadable-<UTC time>[-n]", and so on.
constexpr char kKeptTag[] = ".unreadable-";

bool HasComma(std::string_view entry) {
    return entry.find(',') != std::string_view::npos;
}

// A character that has no place in a typed entry: the C0 and C1 controls (a tab aside, which a
// pasted password may hold). Deciphered under a wrong key, text is full of them.
bool HasControlCharacter(std::string_view utf8) {
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, pos);
        if ((c < 0x20 && c != '\t') || (c >= 0x7F && c <= 0x9F)) {
            return true;
        }
    }
    return false;
}

// Why an entry cannot be stored exactly as it is, or kNo.
NotStored Unstorable(std::string_view entry) {
    if (HasComma(entry)) {
        return NotStored::kComma;
    }
    if (HasControlCharacter(entry)) {
        return NotStored::kControlCharacter;
    }
    if (!ToAnsiExact(entry)) {
        return NotStored::kOutsideCodePage;
    }
    return NotStored::kNo;
}

// Every entry is followed by one comma, so n entries give n + 1 pieces, the last one empty;
// empty text gives none.
std::vector<std::string> SplitAtCommas(const std::string& list) {
    std::vector<std::string> pieces;
    if (list.empty()) {
        return pieces;
    }
    std::size_t start = 0;
    while (true) {
        const auto comma = list.find(',', start);
        pieces.push_back(list.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos) {
            return pieces;
        }
        start = comma + 1;
    }
}

// One stored list deciphered, when its structure holds: whole blocks of hexadecimal text,
// valid padding (every pad byte holds the pad count), text of the code page without control
// characters, every entry closed by a comma. nullopt when any of that fails.
std::optional<std::string> DecodeWhole(const BlowfishState& key, std::string_view stored) {
    if (stored.empty()) {
        return std::string();  // an empty list is stored as empty text, not enciphered
    }
    if (stored.size() % 16 != 0 ||
        stored.find_first_not_of("0123456789ABCDEFabcdef") != std::string_view::npos) {
        return std::nullopt;
    }
    Bytes plain = CipherBytesEcb(key, HexTextToBytes(stored), false);
    // RemoveBlockPadding reads the last byte only and never fails; a trusted decode needs all
    // of the padding.
    const std::size_t pad = plain.back();
    if (pad < 1 || pad > 8 ||
        !std::all_of(plain.end() - static_cast<std::ptrdiff_t>(pad), plain.end(),
                     [pad](std::uint8_t b) { return b == pad; })) {
        return std::nullopt;
    }
    plain.resize(plain.size() - pad);
    auto text = FromAnsiExact(std::string(plain.begin(), plain.end()));
    if (!text || text->empty() || text->back() != ',' || HasControlCharacter(*text)) {
        return std::nullopt;
    }
    return text;
}

// The accounts of three plain lists (a piece missing from the password or PIN list is empty).
AccountList Zip(const PlainLists& plain) {
    auto usernames = SplitAtCommas(plain.usernameList);
    const auto passwords = SplitAtCommas(plain.passwordList);
    const auto pins = SplitAtCommas(plain.pinList);
    AccountList accounts;
    for (std::size_t i = 0; i + 1 < usernames.size(); ++i) {
        accounts.push_back({std::move(usernames[i]), i < passwords.size() ? passwords[i] : "",
                            i < pins.size() ? pins[i] : ""});
    }
    return accounts;
}

PlainLists Join(const AccountList& accounts) {
    PlainLists plain;
    for (const auto& account : accounts) {
        plain.usernameList += account.username + ",";
        plain.passwordList += account.password + ",";
        plain.pinList += account.pin + ",";
    }
    return plain;
}

std::string ReadSetting(const char* valueName) {
    return TaggedValueText(ReadRegistryString(kSettingsRoot, kSettingsKey, valueName));
}

PlainLists ReadStoredLists() {
    return {ReadSetting(kUsernameValue), ReadSetting(kPasswordValue), ReadSetting(kPinValue)};
}

bool NothingStored(const PlainLists& stored) {
    return stored.usernameList.empty() && stored.passwordList.empty() && stored.pinList.empty();
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
            sets.push_back(
                {suffix,
                 {ReadSetting(name.c_str()), ReadSetting((kPasswordValue + suffix).c_str()),
                  ReadSetting((kPinValue + suffix).c_str())}});
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
    const std::string stamp = ".unreadable-" + UtcStampNow();
    std::string suffix = stamp;
    for (int n = 2;; ++n) {
        const bool taken = !ReadSetting((kUsernameValue + suffix).c_str()).empty() ||
                           !ReadSetting((kPasswordValue + suffix).c_str()).empty() ||
                           !ReadSetting((kPinValue + suffix).c_str()).empty();
        if (!taken) {
            break;
        }
        suffix = stamp + "-" + std::to_string(n);
    }
    WriteRegistryString(kSettingsRoot, kSettingsKey, kUsernameValue + suffix, stored.usernameList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPasswordValue + suffix, stored.passwordList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPinValue + suffix, stored.pinList);
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

// A wait as the user reads it: "3 seconds", "0.2 seconds".
std::string Seconds(std::chrono::milliseconds wait) {
    const auto ms = wait.count();
    if (ms % 1000 == 0) {
        return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f seconds", static_cast<double>(ms) / 1000.0);
    return text;
}

// Which occurrence of its username an account is: the key the merge matches accounts by.
using AccountKey = std::pair<std::string, int>;

std::vector<AccountKey> Keys(const AccountList& accounts) {
    std::map<std::string, int> seen;
    std::vector<AccountKey> keys;
    for (const auto& account : accounts) {
        keys.emplace_back(account.username, seen[account.username]++);
    }
    return keys;
}

}  // namespace

std::string StoreFailureText(std::int32_t code, std::chrono::milliseconds wait) {
    std::string why = RegistryErrorText(code);
    if (code == kErrorBusy) {
        why += " and did not let go of it within " + Seconds(wait);
    }
    return why;
}

AccountList MergeAccounts(const AccountList& base, const AccountList& ours,
                          const AccountList& theirs) {
    const auto baseKeys = Keys(base);
    const auto ourKeys = Keys(ours);
    const auto theirKeys = Keys(theirs);
    std::map<AccountKey, const Account*> inBase;
    std::map<AccountKey, const Account*> inTheirs;
    for (std::size_t i = 0; i < base.size(); ++i) {
        inBase[baseKeys[i]] = &base[i];
    }
    for (std::size_t i = 0; i < theirs.size(); ++i) {
        inTheirs[theirKeys[i]] = &theirs[i];
    }
    AccountList merged;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const auto before = inBase.find(ourKeys[i]);
        const bool unchangedHere = before != inBase.end() && *before->second == ours[i];
        if (!unchangedHere) {
            merged.push_back(ours[i]);  // added or changed in this window
            continue;
        }
        // Untouched here: as the store has it now, or gone when another launcher removed it.
        if (const auto now = inTheirs.find(ourKeys[i]); now != inTheirs.end()) {
            merged.push_back(*now->second);
        }
    }
    // What another launcher added since: neither read here nor held here. Removals made in this
    // window (read, no longer held) stay removed. The store keeps at most 99 accounts.
    std::map<AccountKey, bool> ourSet;
    for (const auto& key : ourKeys) {
        ourSet[key] = true;
    }
    for (std::size_t i = 0;
         i < theirs.size() && merged.size() < static_cast<std::size_t>(kStoredSlots - 1); ++i) {
        if (inBase.count(theirKeys[i]) == 0 && ourSet.count(theirKeys[i]) == 0) {
            merged.push_back(theirs[i]);
        }
    }
    return merged;
}

bool PassesLetterTest(std::string_view list) {
    if (list.empty()) {
        return true;
    }
    const char first = list.front();
    return (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
}

Bytes StoreKeyFromText(std::string_view keyText) {
    return HexTextToBytes(keyText);
}

std::string EncodeStoredList(const BlowfishState& key, std::string_view plain) {
    if (plain.empty()) {
        return {};
    }
    const std::string ansi = ToAnsi(plain);
    return BytesToHexText(EncipherBytesPadded(key, Bytes(ansi.begin(), ansi.end())));
}

std::string DecodeStoredList(const BlowfishState& key, std::string_view stored) {
    const Bytes plain = DecipherBytesPadded(key, HexTextToBytes(stored));
    return FromAnsi(std::string(plain.begin(), plain.end()));
}

struct AccountStore::Decoded {
    bool trusted = false;
    // Trusted: the three lists. Untrusted: only the username list, deciphered whatever it gives,
    // for the letter test.
    PlainLists plain;
};

AccountStore::AccountStore(StoreKeySource& keys) : keys_(keys) {}

void AccountStore::SetStoreKey(std::string_view keyText) {
    storeKey_ = StoreKeyFromText(keyText);
    // The result is not looked at: a key text always gives a key of 1 to 56 bytes (twelve
    // digits and two names), and the store reads with whatever key is set.
    (void)InitialiseKey(cipher_, storeKey_);
}

AccountStore::Decoded AccountStore::Decode(const PlainLists& stored) {
    Decoded decoded;
    if (NothingStored(stored)) {
        decoded.trusted = true;
        return decoded;
    }
    const auto usernames = DecodeWhole(cipher_, stored.usernameList);
    const auto passwords = DecodeWhole(cipher_, stored.passwordList);
    const auto pins = DecodeWhole(cipher_, stored.pinList);
    const bool whole = usernames && passwords && pins && !usernames->empty() &&
                       usernames->front() != ',' && usernames->find(",,") == std::string::npos;
    if (!whole) {
        decoded.plain.usernameList = stored.usernameList.empty()
                                         ? std::string()
                                         : DecodeStoredList(cipher_, stored.usernameList);
        return decoded;
    }
    // Each list is judged by its own structure: lists out of step (an entry of the original
    // program's that held a comma) read as the system reads them.
    decoded.trusted = true;
    decoded.plain = {*usernames, *passwords, *pins};
    return decoded;
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
    SaveReport report;
    const auto keyText = keys_.FileTimeKeyText();
    if (!keyText) {
        return Status::Fail(kFiletimeErrorMessage);
    }
    const AccountList ours = OurAccounts(window, report);

    RegistryTransaction saving(kSettingsRoot, kSettingsKeyNoSlash, TransactionKind::kWrite,
                               lockWait_);
    if (!saving.ok()) {
        report.failure = StoreFailureText(saving.status(), lockWait_);
        return report;
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
                if (Decoded now = Decode(stored); now.trusted) {
                    theirs = Zip(now.plain);
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
    const PlainLists plain = Join(merged);
    const PlainLists written{EncodeStoredList(cipher_, plain.usernameList),
                             EncodeStoredList(cipher_, plain.passwordList),
                             EncodeStoredList(cipher_, plain.pinList)};
    WriteRegistryString(kSettingsRoot, kSettingsKey, kUsernameValue, written.usernameList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPasswordValue, written.passwordList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPinValue, written.pinList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kKeyTextValue, *keyText);
    if (const std::int32_t outcome = saving.Commit(); outcome != kErrorSuccess) {
        report.failure = StoreFailureText(outcome, lockWait_);
        return report;
    }
    restoredSets_.clear();
    lists_ = written;
    // The tables stay as they are, so what they hold is the base of the next save; accounts
    // another launcher added are not in them and are kept again then.
    known_ = ours;
    return report;
}

Result<StoredAccounts> AccountStore::ReadAccounts() {
    StoredAccounts accounts;
    PlainLists stored;
    std::string remembered;
    std::vector<KeptSet> kept;
    std::int32_t readOutcome = kErrorSuccess;
    {
        RegistryTransaction reading(kSettingsRoot, kSettingsKeyNoSlash, TransactionKind::kRead,
                                    lockWait_);
        stored = ReadStoredLists();
        remembered = ReadSetting(kKeyTextValue);
        kept = ReadKeptSets();
        readOutcome = reading.Commit();
    }
    const auto keyText = keys_.FileTimeKeyText();
    if (!keyText) {
        return Status::Fail(kFiletimeErrorMessage);
    }
    if (readOutcome != kErrorSuccess) {
        // Nothing is known of the store: the list and the tables stay as they are, and the next
        // save keeps whatever the store holds.
        accounts.problem = StoredAccounts::Problem::kReadFailed;
        accounts.message =
            "The saved accounts could not be read: " + StoreFailureText(readOutcome, lockWait_) +
            ". Nothing stored was changed.";
        return accounts;
    }

    SetStoreKey(*keyText);
    const Decoded first = Decode(stored);
    std::optional<Decoded> chosen;
    std::string chosenKeyText = *keyText;
    if (first.trusted && PassesLetterTest(first.plain.usernameList)) {
        chosen = first;
    } else {
        // Usernames that do not begin with a letter, or a decode that is not whole, may have
        // been written under the creation time in local time, as older stores were.
        const auto secondKeyText = keys_.DateCreatedKeyText();
        if (!secondKeyText && !PassesLetterTest(first.plain.usernameList)) {
            return Status::Fail(
                "The saved accounts cannot be read: the creation date of the launcher's own "
                "program file is not available.");
        }
        if (secondKeyText) {
            SetStoreKey(*secondKeyText);
            if (Decoded second = Decode(stored); second.trusted) {
                chosen = std::move(second);
                chosenKeyText = *secondKeyText;
            } else if (first.trusted) {
                // A trusted decode is never replaced by one that is not ("1alpha,": read right
                // under the first key, it only fails the letter test).
                chosen = first;
            }
        }
    }
    if (!chosen && !remembered.empty() && remembered != *keyText) {
        // Only when the program's own keys give no trusted decode: the key text the lists were
        // saved under (a program file since replaced, another language). They are re-keyed at
        // the next save.
        SetStoreKey(remembered);
        if (Decoded again = Decode(stored); again.trusted) {
            chosen = std::move(again);
            chosenKeyText = remembered;
        }
    }
    const bool underFirstKey = chosen && chosenKeyText == *keyText;
    known_ = chosen ? Zip(chosen->plain) : AccountList{};
    // Lists that did not read under this copy's key: kept sets that do come back beside them
    // (their accounts after the listed ones, a name listed already not twice), and go from the
    // kept names at the next save when all they held is listed.
    AccountList listed = known_;
    restoredSets_.clear();
    if (!underFirstKey && !kept.empty()) {
        SetStoreKey(*keyText);
        for (const auto& set : kept) {
            const Decoded decoded = Decode(set.stored);
            if (!decoded.trusted || NothingStored(set.stored)) {
                continue;
            }
            bool allListed = true;
            for (auto& account : Zip(decoded.plain)) {
                const auto sameName = [&](const Account& a) {
                    return a.username == account.username;
                };
                if (std::find(listed.begin(), listed.end(), account) != listed.end()) {
                    continue;
                }
                if (std::none_of(listed.begin(), listed.end(), sameName) &&
                    listed.size() < static_cast<std::size_t>(kStoredSlots - 1)) {
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
    if (!chosen && restoredSets_.empty()) {
        // Neither shown nor touched: the next save keeps them under names of their own.
        lists_ = {};
        accounts.loginEnabled = false;
        accounts.problem = StoredAccounts::Problem::kUnreadable;
        accounts.message = std::string(kWrongKeyMessage) +
                           " The list starts empty. The old entries are not deleted: the next "
                           "save keeps them " +
                           kKeptNames;
        return accounts;
    }
    if (!chosen) {
        accounts.problem = StoredAccounts::Problem::kUnreadable;
        accounts.message = std::string(kWrongKeyMessage) +
                           " The list shows the accounts of an earlier save that do read under "
                           "this key. The others are not deleted: the next save keeps them " +
                           kKeptNames;
    }
    lists_ = chosen && listed.size() == known_.size() ? std::move(chosen->plain) : Join(listed);
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

void AccountStore::EnsureSettingsKey() {
    if (!RegistryKeyExists(kSettingsRoot, kSettingsKey)) {
        CreateRegistryKey(kSettingsRoot, kSettingsKeyNoSlash);
    }
}

bool AccountStore::CreatePageSetting() const {
    return ReadSetting(kCreatePageValue) == "True";
}

bool AccountStore::IgnoreMenuBarSetting() const {
    return ReadSetting(kIgnoreMenuBarValue) == "True";
}

bool AccountStore::SavePasswordsSetting() const {
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

}  // namespace vellamark
