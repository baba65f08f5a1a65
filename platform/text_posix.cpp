#include "platform/text.h"

namespace vellamark {

// The locale's character set is UTF-8: the program's text is already in its ANSI form.
std::string ToAnsi(std::string_view utf8) {
    return std::string(utf8);
}

std::optional<std::string> ToAnsiExact(std::string_view utf8) {
    return std::string(utf8);
}

std::string FromAnsi(std::string_view ansi) {
    return std::string(ansi);
}

std::optional<std::string> FromAnsiExact(std::string_view ansi) {
    if (!IsValidUtf8(ansi)) {
        return std::nullopt;
    }
    return std::string(ansi);
}

}  // namespace vellamark
