#include "cipher/hex_text.h"

#include <cstddef>

namespace vellamark {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// The value of a hexadecimal digit of either case, or -1.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool IsSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// One pair read as a hexadecimal number: spaces, tabs and line feeds are skipped, digits are
// read up to the first other character, and no digit at all reads as 0.
std::uint8_t ReadPair(char first, char second) {
    unsigned value = 0;
    for (const char c : {first, second}) {
        if (IsSkipped(c)) {
            continue;
        }
        const int digit = DigitValue(c);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint8_t>(value);
}

// The text counted in characters, not bytes: the pairs are pairs of characters, so a letter
// outside ASCII (several bytes of UTF-8) takes one place, and reads as no digit. Each becomes
// one byte that is neither a digit nor skipped. A byte that continues a character joins it; one
// that continues nothing is a character of its own.
std::string OneByteACharacter(std::string_view utf8) {
    constexpr char kNotADigit = '\x80';
    std::string characters;
    characters.reserve(utf8.size());
    bool inCharacter = false;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        const bool continuation = (byte & 0xC0) == 0x80;
        if (continuation && inCharacter) {
            continue;
        }
        characters.push_back(byte < 0x80 ? c : kNotADigit);
        inCharacter = byte >= 0xC0;
    }
    return characters;
}

}  // namespace

std::string ByteToHexPair(int value) {
    const unsigned v = static_cast<unsigned>(value) & 0xFFu;
    return {kDigits[v >> 4], kDigits[v & 0xFu]};
}

std::string BytesToHexText(const Bytes& data) {
    std::string text(2 * data.size(), ' ');
    for (std::size_t k = 0; k < data.size(); ++k) {
        text[2 * k] = kDigits[data[k] >> 4];
        text[2 * k + 1] = kDigits[data[k] & 0xFu];
    }
    return text;
}

Bytes HexTextToBytes(std::string_view utf8) {
    const std::string text = OneByteACharacter(utf8);
    // Text of odd length reads as if a "0" stood in front: the first byte has one digit.
    const bool odd = text.size() % 2 != 0;
    const std::size_t n = (text.size() + (odd ? 1 : 0)) / 2;
    Bytes bytes(n);
    std::size_t pos = 0;
    std::size_t i = 0;
    if (odd) {
        bytes[i++] = ReadPair('0', text[pos++]);
    }
    for (; i < n; ++i, pos += 2) {
        bytes[i] = ReadPair(text[pos], text[pos + 1]);
    }
    return bytes;
}

}  // namespace vellamark
