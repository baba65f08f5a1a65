#include "cipher/hex_text.h"

#include <gtest/gtest.h>

#include <string>

#include "test_bytes.h"

namespace vellamark {
namespace {

TEST(HexText, BytesToHexText) {
    struct Row {
        const char* name;
        Bytes in;
        std::string out;
    };
    const Row rows[] = {
        {"empty", {}, ""},
        {"leading zero kept, upper case", {0x00, 0x0A, 0xFF}, "000AFF"},
        {"every nibble", {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}, "0123456789ABCDEF"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(BytesToHexText(row.in), row.out) << row.name;
    }
}

TEST(HexText, HexTextToBytes) {
    struct Row {
        const char* name;
        std::string in;
        Bytes out;
    };
    const Row rows[] = {
        {"empty", "", {}},
        {"lower case", "000aff", {0x00, 0x0A, 0xFF}},
        {"upper case", "000AFF", {0x00, 0x0A, 0xFF}},
        {"odd length: a 0 goes in front", "ABC", {0x0A, 0xBC}},
        {"one digit", "F", {0x0F}},
        {"non-digits read as nothing", "ZZ1G", {0x00, 0x01}},
        {"digit then non-digit", "ay", {0x0A}},
        {"non-digit stops the pair", "Z1", {0x00}},
        {"space skipped before a digit", " A", {0x0A}},
        {"space after a digit", "A ", {0x0A}},
        {"tab and line feed skipped", "\t7\n8", {0x07, 0x08}},
        {"two spaces", "  ", {0x00}},
        {"carriage return is not skipped", "\r5", {0x00}},
        {"odd length with a non-digit first", "Z12", {0x00, 0x12}},
        {"non-ASCII bytes read as nothing",
         "\xC3\xA9"
         "41",
         {0x00, 0x41}},
        // The pairs are pairs of characters: a letter of two or three UTF-8 bytes is one.
        {"a two-byte letter is one character",
         "\xC3\xA9"
         "4",
         {0x00}},
        {"a three-byte letter is one character",
         "12\xE2\x82\xAC"
         "3",
         {0x12, 0x00}},
        {"a letter outside ASCII in a key text",
         "Montag2024M\xC3\xA4rz04101500",
         {0x00, 0x00, 0x0A, 0x20, 0x24, 0x00, 0x00, 0x04, 0x10, 0x15, 0x00}},
        {"a stray continuation byte is a character of its own",
         "\x80"
         "78",
         {0x00, 0x78}},
        {"embedded NUL",
         std::string("\0"
                     "1",
                     2),
         {0x00}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(HexTextToBytes(row.in), row.out) << row.name;
    }
}

TEST(HexText, ByteToHexPair) {
    struct Row {
        int in;
        const char* out;
    };
    const Row rows[] = {
        {0, "00"},   {5, "05"},   {15, "0F"},    {16, "10"}, {171, "AB"},
        {255, "FF"}, {256, "00"}, {0x1FF, "FF"}, {-1, "FF"}, {-256, "00"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ByteToHexPair(row.in), row.out) << row.in;
    }
}

TEST(HexText, RoundTripsEveryByteValueAndManyLengths) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(HexTextToBytes(BytesToHexText(all)), all);
    for (std::size_t length = 0; length <= 40; ++length) {
        const Bytes data = test::SeededBytes(length, static_cast<std::uint32_t>(length));
        const std::string text = BytesToHexText(data);
        EXPECT_EQ(text.size(), 2 * length);
        EXPECT_EQ(HexTextToBytes(text), data) << length << " bytes";
        EXPECT_EQ(test::ParseHex(text), data) << "independent parse, " << length << " bytes";
    }
}

}  // namespace
}  // namespace vellamark
