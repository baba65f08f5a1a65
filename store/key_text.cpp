#include "store/key_text.h"

#include <cmath>
#include <cstdio>

#include "store/account_store.h"
#include "store/ansi_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#endif

namespace vellamark {

FileTimeSeconds FileTimeToDate(std::uint32_t low, std::uint32_t high) {
    const double seconds =
        (static_cast<double>(high) * 4294967296.0 + static_cast<double>(low)) / 10000000.0;
    // nearbyint rounds a tie to the even number in the default rounding mode.
    const double hours = std::nearbyint(seconds / 3600.0);
    const double rest = std::nearbyint(seconds - hours * 3600.0);
    return static_cast<FileTimeSeconds>(hours) * 3600 + static_cast<FileTimeSeconds>(rest);
}

std::int64_t NearestWholeSecond(std::int64_t seconds, std::int64_t nanoseconds) {
    constexpr std::int64_t kHalf = 500000000;
    if (nanoseconds > kHalf || (nanoseconds == kHalf && seconds % 2 != 0)) {
        return seconds + 1;
    }
    return seconds;
}

std::optional<std::string> RenderKeyText(std::int64_t unixSeconds, bool utc,
                                         const DateNames& names) {
    const auto moment = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
#ifdef _WIN32
    const bool converted = (utc ? gmtime_s(&parts, &moment) : localtime_s(&parts, &moment)) == 0;
#else
    const bool converted =
        (utc ? gmtime_r(&moment, &parts) : localtime_r(&moment, &parts)) != nullptr;
#endif
    if (!converted || parts.tm_wday < 0 || parts.tm_wday > 6 || parts.tm_mon < 0 ||
        parts.tm_mon > 11 || parts.tm_year + 1900 < 0 || parts.tm_year + 1900 > 9999) {
        return std::nullopt;
    }
    char digits[16];
    auto twoDigits = [&](int value) {
        std::snprintf(digits, sizeof digits, "%02d", value);
        return std::string(digits);
    };
    std::snprintf(digits, sizeof digits, "%04d", parts.tm_year + 1900);
    const std::string year = digits;
    return names.weekdays[static_cast<std::size_t>(parts.tm_wday)] + year +
           names.months[static_cast<std::size_t>(parts.tm_mon)] + twoDigits(parts.tm_mday) +
           twoDigits(parts.tm_hour) + twoDigits(parts.tm_min) + twoDigits(parts.tm_sec);
}

#ifdef _WIN32

DateNames UserDateNames() {
    DateNames names;
    auto name = [](LCTYPE type, std::string& into) {
        wchar_t text[128];
        const int size = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 128);
        if (size > 1) {
            const int bytes =
                WideCharToMultiByte(CP_UTF8, 0, text, size - 1, nullptr, 0, nullptr, nullptr);
            std::string utf8(static_cast<std::size_t>(bytes), '\0');
            WideCharToMultiByte(CP_UTF8, 0, text, size - 1, utf8.data(), bytes, nullptr, nullptr);
            into = utf8;
        }
    };
    // LOCALE_SDAYNAME1 is Monday.
    for (int day = 0; day < 7; ++day) {
        name(static_cast<LCTYPE>(LOCALE_SDAYNAME1 + (day + 6) % 7),
             names.weekdays[static_cast<std::size_t>(day)]);
    }
    for (int month = 0; month < 12; ++month) {
        name(static_cast<LCTYPE>(LOCALE_SMONTHNAME1 + month),
             names.months[static_cast<std::size_t>(month)]);
    }
    return names;
}

#else

DateNames UserDateNames() {
    DateNames names;
    // A locale object of its own: the program's global locale is neither read nor changed.
    const locale_t user = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) {
        return names;
    }
    static constexpr nl_item kDays[] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    static constexpr nl_item kMonths[] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                          MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    for (std::size_t i = 0; i < 7; ++i) {
        if (const char* text = ::nl_langinfo_l(kDays[i], user); text && *text) {
            names.weekdays[i] = text;
        }
    }
    for (std::size_t i = 0; i < 12; ++i) {
        if (const char* text = ::nl_langinfo_l(kMonths[i], user); text && *text) {
            names.months[i] = text;
        }
    }
    ::freelocale(user);
    return names;
}

#endif

std::string KeyTextCharacters(std::string_view utf8) {
    std::string characters;
    characters.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            characters.push_back(c);
        } else if ((byte & 0xC0) != 0x80) {
            // The first byte of a character; its continuation bytes add nothing.
            characters.push_back('?');
        }
    }
    return characters;
}

#ifdef _WIN32

namespace {

// A file handle closed on scope exit; the close's own failure is reported by Close().
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const { return handle_; }
    [[nodiscard]] bool Close() {
        const bool closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

}  // namespace

std::optional<std::int64_t> FileCreationTime(const std::string& path) {
    const Bytes ansi = ToAnsiBytes(path);
    const std::string ansiPath(ansi.begin(), ansi.end());
    FileHandle file(CreateFileA(ansiPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) {
        return std::nullopt;
    }
    FILETIME created{};
    FILETIME accessed{};
    FILETIME written{};
    if (!GetFileTime(file.get(), &created, &accessed, &written) || !file.Close()) {
        return std::nullopt;
    }
    return FileTimeToDate(created.dwLowDateTime, created.dwHighDateTime) - kFileTimeToUnixSeconds;
}

#else

std::optional<std::int64_t> FileCreationTime(const std::string& path) {
    struct statx times {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &times) == 0) {
        const auto& when = (times.stx_mask & STATX_BTIME) ? times.stx_btime : times.stx_mtime;
        if (times.stx_mask & (STATX_BTIME | STATX_MTIME)) {
            return NearestWholeSecond(when.tv_sec, when.tv_nsec);
        }
    }
    // Kernels or file systems without statx: the modification time.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return NearestWholeSecond(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

#endif

namespace {

std::string ExecutablePath(const std::string& folder) {
#ifdef _WIN32
    constexpr char kName[] = "vellamark.exe";
    constexpr char kSeparator = '\\';
#else
    constexpr char kName[] = "vellamark";
    constexpr char kSeparator = '/';
#endif
    if (folder.empty() || folder.back() == '/' || folder.back() == kSeparator) {
        return folder + kName;
    }
    return folder + kSeparator + kName;
}

}  // namespace

ExecutableKeySource::ExecutableKeySource(std::string programFolder)
    : programFolder_(std::move(programFolder)) {}

std::optional<std::string> ExecutableKeySource::FileTimeKeyText() {
    const auto created = FileCreationTime(ExecutablePath(programFolder_));
    return created ? RenderKeyText(*created, true, UserDateNames()) : std::nullopt;
}

std::optional<std::string> ExecutableKeySource::DateCreatedKeyText() {
    const auto created = FileCreationTime(ExecutablePath(programFolder_));
    return created ? RenderKeyText(*created, false, UserDateNames()) : std::nullopt;
}

}  // namespace vellamark
