#include <windows.h>

#include <string>

#include "platform/console.h"
#include "platform/text.h"

namespace vellamark {

void WriteStandardText(StandardStream stream, std::string_view utf8) {
    const HANDLE handle =
        ::GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    std::wstring wide;
    for (const wchar_t c : WideFromUtf8(utf8)) {
        if (c == L'\n') {
            wide.push_back(L'\r');
        }
        wide.push_back(c);
    }
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode)) {
        // A console shows Unicode: no code page stands between the text and the screen.
        DWORD written = 0;
        ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    // Redirected: the console's output code page, as reg and the other console programs write.
    UINT codePage = ::GetConsoleOutputCP();
    if (codePage == 0) {
        codePage = ::GetOEMCP();
    }
    const int wideSize = static_cast<int>(wide.size());
    const int size =
        ::WideCharToMultiByte(codePage, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), wideSize, bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace vellamark
