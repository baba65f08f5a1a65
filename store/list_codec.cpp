#include "store/list_codec.h"

#include <algorithm>
#include <optional>

#include "cipher/blowfish.h"
#include "cipher/byte_cipher.h"
#include "cipher/hex_text.h"
#include "platform/text.h"

namespace vellamark {
namespace {

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

}  // namespace

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

AccountList AccountsOf(const PlainLists& plain) {
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

PlainLists ListsOf(const AccountList& accounts) {
    PlainLists plain;
    for (const auto& account : accounts) {
        plain.usernameList += account.username + ",";
        plain.passwordList += account.password + ",";
        plain.pinList += account.pin + ",";
    }
    return plain;
}

bool NothingStored(const PlainLists& stored) {
    return stored.usernameList.empty() && stored.passwordList.empty() && stored.pinList.empty();
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

DecodedLists DecodeLists(const BlowfishState& key, const PlainLists& stored) {
    DecodedLists decoded;
    if (NothingStored(stored)) {
        decoded.trusted = true;
        return decoded;
    }
    const auto usernames = DecodeWhole(key, stored.usernameList);
    const auto passwords = DecodeWhole(key, stored.passwordList);
    const auto pins = DecodeWhole(key, stored.pinList);
    const bool whole = usernames && passwords && pins && !usernames->empty() &&
                       usernames->front() != ',' && usernames->find(",,") == std::string::npos;
    if (!whole) {
        decoded.plain.usernameList = stored.usernameList.empty()
                                         ? std::string()
                                         : DecodeStoredList(key, stored.usernameList);
        return decoded;
    }
    // Each list is judged by its own structure: lists out of step (an entry of the original
    // program's that held a comma) read as the system reads them.
    decoded.trusted = true;
    decoded.plain = {*usernames, *passwords, *pins};
    return decoded;
}

bool PassesLetterTest(std::string_view list) {
    if (list.empty()) {
        return true;
    }
    const char first = list.front();
    return (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
}

}  // namespace vellamark
