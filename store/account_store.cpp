#include "store/account_store.h"

#include <algorithm>

#include "cipher/blowfish.h"
#include "cipher/byte_cipher.h"
#include "cipher/hex_text.h"
#include "store/ansi_text.h"
#include "store/key_text.h"
#include "store/registry.h"

namespace vellamark {
namespace {

bool HasComma(std::string_view entry) {
    return entry.find(',') != std::string_view::npos;
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

std::string ReadStoredText(const char* valueName) {
    return TaggedValueText(ReadRegistryString(kSettingsRoot, kSettingsKey, valueName));
}

}  // namespace

bool PassesLetterTest(std::string_view list) {
    if (list.empty()) {
        return true;
    }
    const char first = list.front();
    return (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
}

void SetStoreKey(std::string_view keyText, Bytes& storeKey) {
    storeKey = HexTextToBytes(KeyTextCharacters(keyText));
    // The result is not looked at: a key text always gives a key of 1 to 56 bytes (twelve
    // digits and two names), and the store reads with whatever key is set.
    (void)InitialiseKey(storeKey);
}

std::string EncodeStoredList(std::string_view plain) {
    if (plain.empty()) {
        return {};
    }
    return BytesToHexText(EncipherBytesPadded(ToAnsiBytes(plain)));
}

std::string DecodeStoredList(std::string_view stored) {
    return FromAnsiBytes(DecipherBytesPadded(HexTextToBytes(stored)));
}

SaveOutcome SaveUserDetails(const AccountTables& tables, const WindowEntry& window,
                            StoreKeySource& keys, PlainLists& lists, Bytes& storeKey) {
    SaveOutcome outcome;
    lists = PlainLists{};
    const auto keyText = keys.FileTimeKeyText();
    if (!keyText) {
        outcome.filetimeError = true;
        return outcome;
    }
    // Saving always enciphers under the first way's key.
    SetStoreKey(*keyText, storeKey);

    // Slot 100 is never stored, so at most 99 accounts are (a new one goes after the last).
    for (int slot = 0; slot < kStoredSlots; ++slot) {
        const std::string& username = tables.savedUsernames[slot];
        if (username.empty()) {
            continue;
        }
        // A comma would split the lists out of step on reading: such an account is left out,
        // such a password is not saved, such a PIN is stored empty.
        if (HasComma(username)) {
            outcome.usernameLeftOut = true;
            continue;
        }
        std::string password = tables.savedPasswords[slot];
        std::string pin = tables.savedPins[slot];
        if (username == window.username) {
            password = window.savePassword ? window.password : kNoPasswordMarker;
            pin = window.pin;
        }
        if (HasComma(password)) {
            password = kNoPasswordMarker;
            outcome.passwordNotSaved = true;
        }
        if (HasComma(pin)) {
            pin.clear();
            outcome.pinNotSaved = true;
        }
        lists.usernameList += username + ",";
        lists.passwordList += password + ",";
        lists.pinList += pin + ",";
    }

    lists.usernameList = EncodeStoredList(lists.usernameList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kUsernameValue, lists.usernameList);
    lists.passwordList = EncodeStoredList(lists.passwordList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPasswordValue, lists.passwordList);
    lists.pinList = EncodeStoredList(lists.pinList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPinValue, lists.pinList);
    return outcome;
}

DropDownOutcome ReadStoredAccounts(AccountTables& tables, StoreKeySource& keys, PlainLists& lists,
                                   Bytes& storeKey) {
    DropDownOutcome outcome;
    const std::string storedUsernames = ReadStoredText(kUsernameValue);
    const std::string storedPasswords = ReadStoredText(kPasswordValue);
    const std::string storedPins = ReadStoredText(kPinValue);

    const auto keyText = keys.FileTimeKeyText();
    if (!keyText) {
        outcome.filetimeError = true;
        return outcome;
    }
    SetStoreKey(*keyText, storeKey);
    // An empty stored list leaves the plain list as it is.
    if (!storedUsernames.empty()) {
        lists.usernameList = DecodeStoredList(storedUsernames);
    }
    // Usernames that do not begin with a letter were deciphered under the wrong key: try the
    // creation time in local time, under which older stores were written.
    if (!PassesLetterTest(lists.usernameList)) {
        const auto secondKeyText = keys.DateCreatedKeyText();
        if (!secondKeyText) {
            outcome.dateCreatedError = true;
            return outcome;
        }
        SetStoreKey(*secondKeyText, storeKey);
        if (!storedUsernames.empty()) {
            lists.usernameList = DecodeStoredList(storedUsernames);
        }
    }
    outcome.loginEnabled = PassesLetterTest(lists.usernameList);
    if (!storedPasswords.empty()) {
        lists.passwordList = DecodeStoredList(storedPasswords);
    }
    if (!storedPins.empty()) {
        lists.pinList = DecodeStoredList(storedPins);
    }

    const auto usernames = SplitAtCommas(lists.usernameList);
    const auto passwords = SplitAtCommas(lists.passwordList);
    const auto pins = SplitAtCommas(lists.pinList);
    // A piece without a slot (above 100), or missing from the password or PIN list, is
    // skipped; slots above the last piece keep what they held.
    const std::size_t filled = std::min(usernames.size(), std::size_t{kAccountSlots});
    for (std::size_t i = 0; i < filled; ++i) {
        tables.savedUsernames[i] = usernames[i];
        if (i < passwords.size()) {
            tables.savedPasswords[i] = passwords[i];
        }
        if (i < pins.size()) {
            tables.savedPins[i] = pins[i];
        }
        tables.passwordSavedFlags[i] = tables.savedPasswords[i] == kNoPasswordMarker ? 0 : 1;
        if (!tables.savedUsernames[i].empty()) {
            outcome.entries.push_back(tables.savedUsernames[i]);
        }
    }
    return outcome;
}

}  // namespace vellamark
