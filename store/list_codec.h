#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/blowfish_state.h"

namespace vellamark {

// The lists hold at most 99 accounts: the tables store slots 0 to 99, and a typed account goes
// after the empty slot that follows the list, so with 99 listed it lands in slot 100, never
// stored.
inline constexpr std::size_t kMostStoredAccounts = 99;

// The password of an account whose password is not saved.
inline constexpr char kNoPasswordMarker[] = "####";

// The three comma-terminated lists: every entry followed by one comma, entry k of the three
// belonging to one account. Plain, or in their stored (hexadecimal) form.
struct PlainLists {
    std::string usernameList;
    std::string passwordList;
    std::string pinList;
    friend bool operator==(const PlainLists&, const PlainLists&) = default;
};

// One account as the lists hold it.
struct Account {
    std::string username;
    std::string password;
    std::string pin;
    friend bool operator==(const Account&, const Account&) = default;
};
using AccountList = std::vector<Account>;

// Why an entry was not stored as it was typed. An entry holding a comma would split the lists
// out of step on reading; one with a character the system's code page lacks (Windows) would be
// stored altered; one with a control character would make the lists read as deciphered under a
// wrong key. Such a username is left out, such a password is stored as the marker, such a PIN
// is stored empty; the login itself uses the text as typed.
enum class NotStored { kNo, kComma, kOutsideCodePage, kControlCharacter };

// Why an entry cannot be stored exactly as it is, or kNo.
[[nodiscard]] NotStored Unstorable(std::string_view entry);

// Every entry is followed by one comma, so n entries give n + 1 pieces, the last one empty;
// empty text gives none.
[[nodiscard]] std::vector<std::string> SplitAtCommas(const std::string& list);

// The accounts of three plain lists (a piece missing from the password or PIN list is empty),
// and the lists of accounts.
[[nodiscard]] AccountList AccountsOf(const PlainLists& plain);
[[nodiscard]] PlainLists ListsOf(const AccountList& accounts);

// No list stored at all.
[[nodiscard]] bool NothingStored(const PlainLists& stored);

// Stored form of a plain list under the given key state, and back (empty stays empty on saving).
[[nodiscard]] std::string EncodeStoredList(const BlowfishState& key, std::string_view plain);
[[nodiscard]] std::string DecodeStoredList(const BlowfishState& key, std::string_view stored);

// Three stored lists deciphered under a key, and whether the decode is trusted.
//
// A decode is trusted by its structure alone, never by its first letter: every stored list whole
// blocks of hexadecimal text, valid padding, text of the code page without control characters,
// each entry closed by a comma, and no empty username. Each list is judged on its own: lists
// whose counts differ (an entry that held a comma, as the original program leaves them) read as
// the system reads them. Under a wrong key a list passes all that about once in 10^5 tries on
// Windows' single-byte code pages, and all three together practically never. Nothing stored is
// trusted, and reads as nothing.
struct DecodedLists {
    bool trusted = false;
    // Trusted: the three lists. Untrusted: only the username list, deciphered whatever it gives,
    // for the letter test.
    PlainLists plain;
};
[[nodiscard]] DecodedLists DecodeLists(const BlowfishState& key, const PlainLists& stored);

// A list passes when empty or when its first character is a letter a..z / A..Z.
[[nodiscard]] bool PassesLetterTest(std::string_view list);

}  // namespace vellamark
