#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vellamark {

// Text inside the program is UTF-8. Where it leaves the program (the registry, the cipher, the
// page file) it takes the system's ANSI form: the locale's character set on Linux, which is
// UTF-8, so these are identities there; the ANSI code page (CP_ACP) on Windows.

// UTF-8 to the ANSI code page; a character the code page lacks becomes its best fit or "?".
[[nodiscard]] std::string ToAnsi(std::string_view utf8);
// UTF-8 to the ANSI code page, only when every character has an exact form there.
[[nodiscard]] std::optional<std::string> ToAnsiExact(std::string_view utf8);
// The ANSI code page to UTF-8.
[[nodiscard]] std::string FromAnsi(std::string_view ansi);
// The ANSI code page to UTF-8, only when the bytes are valid text there (valid UTF-8 on Linux;
// on Windows no byte sequence the code page does not define).
[[nodiscard]] std::optional<std::string> FromAnsiExact(std::string_view ansi);
// True when the text is valid UTF-8.
[[nodiscard]] bool IsValidUtf8(std::string_view text);

// The next character of UTF-8 text at pos, advancing pos past it. A malformed sequence gives
// U+FFFD and advances by one byte, so every byte is read exactly once.
[[nodiscard]] char32_t NextCodePoint(std::string_view utf8, std::size_t& pos);
// One character as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// UTF-8 and wide text (the Windows API's: wchar_t is UTF-16 there and UTF-32 on Linux). Malformed
// input becomes U+FFFD.
[[nodiscard]] std::wstring WideFromUtf8(std::string_view utf8);
[[nodiscard]] std::string Utf8FromWide(std::wstring_view wide);

}  // namespace vellamark
