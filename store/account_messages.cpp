#include "store/account_messages.h"

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

}  // namespace

std::string UnreadableListsMessage(bool someShown) {
    return std::string(kWrongKeyMessage) +
           (someShown ? " The list shows the accounts of an earlier save that do read under this "
                        "key. The others are not deleted: the next save keeps them "
                      : " The list starts empty. The old entries are not deleted: the next save "
                        "keeps them ") +
           kKeptNames;
}

std::string AccountsNotReadMessage(const std::string& why) {
    return "The saved accounts could not be read: " + why + ". Nothing stored was changed.";
}

std::string StartNotReadMessage(const std::string& why) {
    return "The saved settings and accounts could not be read: " + why +
           ". The launcher starts without them and tries the store again when it saves; nothing "
           "stored was changed.";
}

std::string NotSavedMessage(const std::string& why, bool login) {
    return "The accounts could not be saved: " + why + "." +
           (login ? " The login goes on without saving them." : " Nothing was changed.");
}

std::string FieldNames(const std::vector<std::string>& fields) {
    std::string named = fields.front();
    for (std::size_t i = 1; i < fields.size(); ++i) {
        named += (i + 1 == fields.size() ? " and " : ", ") + fields[i];
    }
    return named;
}

std::string NotStoredMessage(NotStored username, NotStored password, NotStored pin) {
    struct Reason {
        NotStored why;
        const char* holds;   // what the fields hold
        const char* cannot;  // why that cannot be stored
    };
    static constexpr Reason kReasons[] = {
        {NotStored::kComma, "a comma", "which the list of saved accounts cannot hold"},
        {NotStored::kOutsideCodePage, "characters outside this system's character set",
         "which the settings cannot hold exactly"},
        {NotStored::kControlCharacter, "a control character",
         "which the list of saved accounts cannot hold"},
    };
    std::string message;
    for (const Reason& reason : kReasons) {
        std::vector<std::string> fields;
        if (username == reason.why) {
            fields.emplace_back("username");
        }
        if (password == reason.why) {
            fields.emplace_back("password");
        }
        if (pin == reason.why) {
            fields.emplace_back("PIN");
        }
        if (fields.empty()) {
            continue;
        }
        const std::string named = FieldNames(fields);
        const bool one = fields.size() == 1;
        message += std::string(message.empty() ? "" : " ") + "The " + named +
                   (one ? " was" : " were") +
                   " not saved: " + (one ? "it contains " : "they contain ") + reason.holds + ", " +
                   reason.cannot + ".";
    }
    return message;
}

}  // namespace vellamark
