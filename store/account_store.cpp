#include "store/account_store.h"

#include <algorithm>
#include <cstdlib>

#include "cipher/blowfish.h"
#include "cipher/byte_cipher.h"
#include "cipher/hex_text.h"
#include "platform/text.h"
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

std::string ReadSetting(const char* valueName) {
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

AccountStore::AccountStore(StoreKeySource& keys) : keys_(keys) {}

void AccountStore::SetStoreKey(std::string_view keyText) {
    storeKey_ = StoreKeyFromText(keyText);
    // The result is not looked at: a key text always gives a key of 1 to 56 bytes (twelve
    // digits and two names), and the store reads with whatever key is set.
    (void)InitialiseKey(cipher_, storeKey_);
}

Result<SaveReport> AccountStore::SaveUserDetails(const WindowEntry& window) {
    SaveReport report;
    lists_ = PlainLists{};
    const auto keyText = keys_.FileTimeKeyText();
    if (!keyText) {
        return Status::Fail(kFiletimeErrorMessage);
    }
    // Saving always enciphers under the first way's key.
    SetStoreKey(*keyText);

    // Slot 100 is never stored, so at most 99 accounts are (a new one goes after the last).
    for (int slot = 0; slot < kStoredSlots; ++slot) {
        const std::string& username = tables_.savedUsernames[slot];
        if (username.empty()) {
            continue;
        }
        // A comma would split the lists out of step on reading: such an account is left out,
        // such a password is not saved, such a PIN is stored empty.
        if (HasComma(username)) {
            report.usernameLeftOut = true;
            continue;
        }
        std::string password = tables_.savedPasswords[slot];
        std::string pin = tables_.savedPins[slot];
        if (username == window.username) {
            password = window.savePassword ? window.password : kNoPasswordMarker;
            pin = window.pin;
        }
        if (HasComma(password)) {
            password = kNoPasswordMarker;
            report.passwordNotSaved = true;
        }
        if (HasComma(pin)) {
            pin.clear();
            report.pinNotSaved = true;
        }
        lists_.usernameList += username + ",";
        lists_.passwordList += password + ",";
        lists_.pinList += pin + ",";
    }

    lists_.usernameList = EncodeStoredList(cipher_, lists_.usernameList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kUsernameValue, lists_.usernameList);
    lists_.passwordList = EncodeStoredList(cipher_, lists_.passwordList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPasswordValue, lists_.passwordList);
    lists_.pinList = EncodeStoredList(cipher_, lists_.pinList);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kPinValue, lists_.pinList);
    return report;
}

Result<StoredAccounts> AccountStore::ReadAccounts() {
    StoredAccounts accounts;
    const std::string storedUsernames = ReadSetting(kUsernameValue);
    const std::string storedPasswords = ReadSetting(kPasswordValue);
    const std::string storedPins = ReadSetting(kPinValue);

    const auto keyText = keys_.FileTimeKeyText();
    if (!keyText) {
        return Status::Fail(kFiletimeErrorMessage);
    }
    SetStoreKey(*keyText);
    // An empty stored list leaves the plain list as it is.
    if (!storedUsernames.empty()) {
        lists_.usernameList = DecodeStoredList(cipher_, storedUsernames);
    }
    // Usernames that do not begin with a letter were deciphered under the wrong key: try the
    // creation time in local time, under which older stores were written.
    if (!PassesLetterTest(lists_.usernameList)) {
        const auto secondKeyText = keys_.DateCreatedKeyText();
        if (!secondKeyText) {
            return Status::Fail(
                "The saved accounts cannot be read: the creation date of the launcher's own "
                "program file is not available.");
        }
        SetStoreKey(*secondKeyText);
        if (!storedUsernames.empty()) {
            lists_.usernameList = DecodeStoredList(cipher_, storedUsernames);
        }
    }
    accounts.loginEnabled = PassesLetterTest(lists_.usernameList);
    if (!storedPasswords.empty()) {
        lists_.passwordList = DecodeStoredList(cipher_, storedPasswords);
    }
    if (!storedPins.empty()) {
        lists_.pinList = DecodeStoredList(cipher_, storedPins);
    }

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

void AccountStore::WriteLoginSettings(const LoginSettings& settings) {
    WriteRegistryString(kSettingsRoot, kSettingsKey, kCreatePageValue, settings.createPage);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kIgnoreMenuBarValue, settings.ignoreMenuBar);
    WriteRegistryString(kSettingsRoot, kSettingsKey, kSavePasswordsValue,
                        std::string(settings.savePasswords ? "1" : "0"));
    WriteRegistryString(
        kSettingsRoot, kSettingsKey, kSslValue,
        settings.useEncryption ? TaggedValue(*settings.useEncryption) : TaggedValue());
}

}  // namespace vellamark
