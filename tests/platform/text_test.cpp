// The UTF-8 decoder every walk over text uses (the PIN's characters, wide text, the ANSI forms).
#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellamark {
namespace {

TEST(NextCodePointTest, ReadsOneCharacterAndEveryMalformedByteAsOneReplacement) {
    struct Row {
        const char* name;
        std::string text;
        char32_t expected;
        std::size_t advance;
    };
    const std::vector<Row> rows = {
        {"ASCII", "A", U'A', 1},
        {"two bytes", "\xC3\xA9", U'\u00E9', 2},
        {"three bytes", "\xE2\x82\xAC", U'\u20AC', 3},
        {"four bytes", "\xF0\x9F\x98\x80", U'\U0001F600', 4},
        // \x41 is an "A": a character of its own after the malformed byte, not part of it.
        {"a lone continuation byte", "\x80\x41", U'\uFFFD', 1},
        {"a sequence cut short at the end", "\xC3", U'\uFFFD', 1},
        {"a lead without its continuation", "\xE2\x41\x42", U'\uFFFD', 1},
        {"an overlong form", "\xC0\x80", U'\uFFFD', 1},
        {"a surrogate", "\xED\xA0\x80", U'\uFFFD', 1},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", U'\uFFFD', 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::size_t pos = 0;
        EXPECT_EQ(NextCodePoint(row.text, pos), row.expected);
        EXPECT_EQ(pos, row.advance);
        if (row.expected != U'\uFFFD') {
            std::string again;
            AppendUtf8(again, row.expected);
            EXPECT_EQ(again, row.text);
        }
    }
}

}  // namespace
}  // namespace vellamark
