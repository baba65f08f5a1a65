#include "store/ansi_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vellamark {

#ifdef _WIN32

namespace {

std::wstring Widen(UINT codePage, const char* text, int size) {
    if (size == 0) {
        return {};
    }
    const int wide = MultiByteToWideChar(codePage, 0, text, size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0) {
        MultiByteToWideChar(codePage, 0, text, size, result.data(), wide);
    }
    return result;
}

std::string Narrow(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int wideSize = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(codePage, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(codePage, 0, wide.data(), wideSize, result.data(), size, nullptr,
                            nullptr);
    }
    return result;
}

}  // namespace

Bytes ToAnsiBytes(std::string_view utf8) {
    const std::string ansi =
        Narrow(CP_ACP, Widen(CP_UTF8, utf8.data(), static_cast<int>(utf8.size())));
    return Bytes(ansi.begin(), ansi.end());
}

std::string FromAnsiBytes(const Bytes& ansi) {
    return Narrow(CP_UTF8, Widen(CP_ACP, reinterpret_cast<const char*>(ansi.data()),
                                 static_cast<int>(ansi.size())));
}

#else

Bytes ToAnsiBytes(std::string_view utf8) {
    return Bytes(utf8.begin(), utf8.end());
}

std::string FromAnsiBytes(const Bytes& ansi) {
    return std::string(ansi.begin(), ansi.end());
}

#endif

}  // namespace vellamark
