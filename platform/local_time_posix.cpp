#include <langinfo.h>
#include <locale.h>

#include <ctime>

#include "platform/local_time.h"

namespace vellamark {
namespace {

CivilTime FromTm(const std::tm& parts) {
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
            parts.tm_min,         parts.tm_sec,     parts.tm_wday};
}

}  // namespace

std::optional<CivilTime> LocalCivilTime(std::int64_t unixSeconds) {
    const auto moment = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    if (::localtime_r(&moment, &parts) == nullptr || parts.tm_year + 1900 < 1601 ||
        parts.tm_year + 1900 > 9999) {
        return std::nullopt;
    }
    return FromTm(parts);
}

CivilTime LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    return FromTm(parts);
}

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

}  // namespace vellamark
