#include <windows.h>

#include "platform/text.h"

namespace vellamark {
namespace {

// Wide text to the ANSI code page. exact: no best fit, and nullopt when a character has no
// form there (the "?" it would become is not the character).
std::optional<std::string> WideToAnsi(const std::wstring& wide, bool exact) {
    if (wide.empty()) {
        return std::string();
    }
    const int wideSize = static_cast<int>(wide.size());
    const DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = exact ? &usedDefault : nullptr;
    const int size = WideCharToMultiByte(CP_ACP, flags, wide.data(), wideSize, nullptr, 0, nullptr,
                                         usedDefaultOut);
    if (size <= 0) {
        return exact ? std::nullopt : std::optional<std::string>(std::string());
    }
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), wideSize, ansi.data(), size, nullptr,
                        usedDefaultOut);
    if (exact && usedDefault) {
        return std::nullopt;
    }
    return ansi;
}

// The ANSI code page to UTF-8; exact: nullopt for bytes the code page does not define.
std::optional<std::string> AnsiToUtf8(std::string_view ansi, bool exact) {
    if (ansi.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(ansi.size());
    const DWORD flags = exact ? MB_ERR_INVALID_CHARS : 0;
    const int wideSize = MultiByteToWideChar(CP_ACP, flags, ansi.data(), size, nullptr, 0);
    if (wideSize <= 0) {
        return exact ? std::nullopt : std::optional<std::string>(std::string());
    }
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_ACP, flags, ansi.data(), size, wide.data(), wideSize);
    return Utf8FromWide(wide);
}

}  // namespace

std::string ToAnsi(std::string_view utf8) {
    return *WideToAnsi(WideFromUtf8(utf8), false);
}

std::optional<std::string> ToAnsiExact(std::string_view utf8) {
    const std::wstring wide = WideFromUtf8(utf8);
    auto ansi = WideToAnsi(wide, true);
    // A code page without best fit can still map a character to another one that differs;
    // reading it back tells.
    if (ansi && FromAnsi(*ansi) != Utf8FromWide(wide)) {
        return std::nullopt;
    }
    return ansi;
}

std::string FromAnsi(std::string_view ansi) {
    return *AnsiToUtf8(ansi, false);
}

std::optional<std::string> FromAnsiExact(std::string_view ansi) {
    return AnsiToUtf8(ansi, true);
}

}  // namespace vellamark
