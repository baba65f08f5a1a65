#include "platform/text.h"

#include <cstdint>

namespace vellamark {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

template <typename Wide>
Wide EncodeUtf16(std::string_view utf8) {
    Wide out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, pos);
        if (c >= 0x10000) {
            const char32_t v = c - 0x10000;
            out.push_back(static_cast<typename Wide::value_type>(0xD800 + (v >> 10)));
            out.push_back(static_cast<typename Wide::value_type>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<typename Wide::value_type>(c));
        }
    }
    return out;
}

template <typename View>
std::string DecodeUtf16(View utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const auto unit = static_cast<char32_t>(static_cast<std::uint16_t>(utf16[i]));
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size()) {
            const auto low = static_cast<char32_t>(static_cast<std::uint16_t>(utf16[i + 1]));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    return out;
}

}  // namespace

char32_t NextCodePoint(std::string_view utf8, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        minimum = 0x10000;
    } else {
        ++pos;
        return kReplacement;
    }
    if (pos + length > utf8.size()) {
        ++pos;
        return kReplacement;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(utf8[pos + k]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return kReplacement;
    }
    pos += length;
    return value;
}

bool IsValidUtf8(std::string_view text) {
    static constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        // A malformed sequence reads as U+FFFD; so does U+FFFD itself, written out in full.
        if (NextCodePoint(text, pos) == kReplacement &&
            text.substr(start, pos - start) != kReplacementUtf8) {
            return false;
        }
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = kReplacement;
    }
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::wstring WideFromUtf8(std::string_view utf8) {
    if constexpr (sizeof(wchar_t) == 2) {
        return EncodeUtf16<std::wstring>(utf8);
    } else {
        std::wstring out;
        out.reserve(utf8.size());
        for (std::size_t pos = 0; pos < utf8.size();) {
            out.push_back(static_cast<wchar_t>(NextCodePoint(utf8, pos)));
        }
        return out;
    }
}

std::string Utf8FromWide(std::wstring_view wide) {
    if constexpr (sizeof(wchar_t) == 2) {
        return DecodeUtf16(wide);
    } else {
        std::string out;
        out.reserve(wide.size());
        for (const wchar_t c : wide) {
            AppendUtf8(out, static_cast<char32_t>(c));
        }
        return out;
    }
}

}  // namespace vellamark
