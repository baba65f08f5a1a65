// HexTextToBytes takes stored text that anything may have written: it must accept every input,
// give one byte for each two characters (at most (length + 1) / 2 bytes, exactly that for
// ASCII text), and read what BytesToHexText writes back unchanged.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cipher/hex_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const vellamark::Bytes bytes = vellamark::HexTextToBytes(text);
    bool ascii = true;
    for (const char c : text) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (bytes.size() > (size + 1) / 2 || (ascii && bytes.size() != (size + 1) / 2)) {
        std::abort();
    }
    const std::string written = vellamark::BytesToHexText(bytes);
    if (written.size() != 2 * bytes.size() || vellamark::HexTextToBytes(written) != bytes) {
        std::abort();
    }
    // Text of even length made only of hexadecimal digits is exactly what would be written,
    // apart from letter case.
    bool plain_hex = size % 2 == 0;
    for (const char c : text) {
        plain_hex = plain_hex && std::isxdigit(static_cast<unsigned char>(c));
    }
    if (plain_hex) {
        for (std::size_t i = 0; i < size; ++i) {
            if (std::toupper(static_cast<unsigned char>(text[i])) != written[i]) {
                std::abort();
            }
        }
    }
    return 0;
}
