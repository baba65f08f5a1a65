#pragma once

#include <string>
#include <string_view>

#include "cipher/bytes.h"

namespace vellamark {

// Two upper-case hexadecimal digits per byte, in array order; empty text for no bytes.
[[nodiscard]] std::string BytesToHexText(const Bytes& data);

// Reads two characters per byte (a "0" goes in front of text of odd length); never fails:
// characters that are not hexadecimal digits only give smaller or zero bytes. The text is UTF-8
// and counted in characters: a letter outside ASCII is one character, whatever its bytes.
[[nodiscard]] Bytes HexTextToBytes(std::string_view utf8);

// The low byte of value as exactly two upper-case hexadecimal digits.
[[nodiscard]] std::string ByteToHexPair(int value);

}  // namespace vellamark
