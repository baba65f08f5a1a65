#pragma once

#include <string>
#include <vector>

#include "store/list_codec.h"

namespace vellamark {

// What the account store tells the user, word for word.

// The program file's times cannot be read; the program then ends.
inline constexpr char kFiletimeErrorMessage[] = "Filetime error";
// The creation date for the second way is missing; the program then ends.
inline constexpr char kNoCreationDateMessage[] =
    "The saved accounts cannot be read: the creation date of the launcher's own program file is "
    "not available.";

// Lists no key deciphers: why, and that they are kept. someShown: kept sets of an earlier save
// that do read are listed in their place.
[[nodiscard]] std::string UnreadableListsMessage(bool someShown);

// The store could not be read (why: the transaction's status), when the list is rebuilt and at
// startup.
[[nodiscard]] std::string AccountsNotReadMessage(const std::string& why);
[[nodiscard]] std::string StartNotReadMessage(const std::string& why);

// A save that wrote nothing: why, and what follows (a login goes on, a removal changed nothing).
[[nodiscard]] std::string NotSavedMessage(const std::string& why, bool login);

// One sentence for each reason a field was not stored as typed, naming the fields; empty text
// when all were stored.
[[nodiscard]] std::string NotStoredMessage(NotStored username, NotStored password, NotStored pin);

// "username", "username and PIN", "username, password and PIN".
[[nodiscard]] std::string FieldNames(const std::vector<std::string>& fields);

}  // namespace vellamark
