// The registry routines over a scratch store: what is written, what reads back, and the codes
// left in LastRegistryResult.
#include "store/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

using ByteVector = std::vector<std::uint8_t>;

class RegistryRoutines : public ::testing::Test {
protected:
    static std::string Key() { return "Settings"; }

    // The raw value as the backend holds it.
    std::int32_t Raw(const std::string& name, std::uint32_t& kind, ByteVector& data) {
        auto& backend = store_.session().backend();
        RegistryHandle handle = 0;
        auto rc = backend.OpenKey(kHkeyCurrentUser, Key(), handle);
        if (rc != kErrorSuccess) {
            return rc;
        }
        std::uint32_t size = 0;
        rc = backend.QueryValue(handle, name, kind, nullptr, size);
        if (rc == kErrorSuccess) {
            data.assign(size, 0);
            rc = backend.QueryValue(handle, name, kind, data.data(), size);
        }
        (void)backend.CloseKey(handle);
        return rc;
    }

    void Store(const std::string& name, std::uint32_t kind, const ByteVector& data) {
        auto& backend = store_.session().backend();
        RegistryHandle handle = 0;
        ASSERT_EQ(backend.CreateKey(kHkeyCurrentUser, Key(), handle), kErrorSuccess);
        ASSERT_EQ(backend.SetValue(handle, name, kind, data.data(),
                                   static_cast<std::uint32_t>(data.size())),
                  kErrorSuccess);
        ASSERT_EQ(backend.CloseKey(handle), kErrorSuccess);
    }

    testsupport::ScratchStore store_;
};

ByteVector WithNul(const std::string& text) {
    const std::string ansi = ToAnsi(text);
    ByteVector bytes(ansi.begin(), ansi.end());
    bytes.push_back(0);
    return bytes;
}

TEST_F(RegistryRoutines, WritesTrimmedTextWithOneClosingNulAndReadsItBack) {
    struct Row {
        const char* name;
        TaggedValue value;
        std::string stored;  // the text stored before its NUL
    };
    const Row rows[] = {
        {"spaces around", std::string("  padded text  "), "padded text"},
        {"empty text", std::string(), ""},
        {"only spaces", std::string("   "), ""},
        {"tabs stay", std::string("\tTab "), "\tTab"},
        {"Boolean true", true, "True"},
        {"Boolean false", false, "False"},
        {"number", std::int32_t{1}, "1"},
        {"negative number", std::int32_t{-42}, "-42"},
        {"never set", std::monostate{}, ""},
        {"bytes", ByteVector{1, 2, 3}, ""},
        {"letters outside ASCII",
         std::string("Gr\xC3\xBC\xC3\x9F"
                     "e"),
         "Gr\xC3\xBC\xC3\x9F"
         "e"},
    };
    for (const auto& row : rows) {
        WriteRegistryString(kHkeyCurrentUser, Key(), "value", row.value);
        EXPECT_EQ(LastRegistryResult(), kErrorSuccess) << row.name;
        std::uint32_t kind = kRegNone;
        ByteVector data;
        ASSERT_EQ(Raw("value", kind, data), kErrorSuccess) << row.name;
        EXPECT_EQ(kind, static_cast<std::uint32_t>(kRegSz)) << row.name;
        // The length is the ANSI byte count plus the NUL, not the character count.
        EXPECT_EQ(data, WithNul(row.stored)) << row.name;
        EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, Key(), "value"), TaggedValue(row.stored))
            << row.name;
    }
}

TEST_F(RegistryRoutines, ReadsStoredValuesByKind) {
    struct Row {
        const char* name;
        std::uint32_t kind;
        ByteVector data;
        TaggedValue expected;
    };
    const Row rows[] = {
        {"text cut at the first NUL", kRegSz, ByteVector{'a', 'b', 0, 'c', 'd', 0},
         std::string("ab")},
        {"text without NUL read whole", kRegSz, ByteVector{'a', 'b', 'c'}, std::string("abc")},
        {"NUL alone", kRegSz, ByteVector{0}, std::string()},
        {"number", kRegDword, ByteVector{0x39, 0x30, 0, 0}, std::int32_t{12345}},
        {"number read signed", kRegDword, ByteVector{0xFF, 0xFF, 0xFF, 0xFF}, std::int32_t{-1}},
        {"expandable text not expanded", kRegExpandSz, WithNul("%PATH%"), std::string()},
        {"multi-string", kRegMultiSz, ByteVector{'a', 0, 0}, std::string()},
        {"binary", kRegBinary, ByteVector{0x41, 0x42}, std::string()},
    };
    for (const auto& row : rows) {
        Store(row.name, row.kind, row.data);
        EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, Key(), row.name), row.expected) << row.name;
        EXPECT_EQ(LastRegistryResult(), kErrorSuccess) << row.name;
    }
}

TEST_F(RegistryRoutines, TextBeyondSixteenMebibytesReadsAsEmptyText) {
    ByteVector huge(16u * 1024u * 1024u + 1u, 'x');
    Store("huge", kRegSz, huge);
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, Key(), "huge"), TaggedValue(std::string()));
    huge.resize(70000);
    huge.back() = 0;
    Store("long", kRegSz, huge);
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, Key(), "long"),
              TaggedValue(std::string(69999, 'x')));
}

TEST_F(RegistryRoutines, MissingValuesAndKeysReadAsEmptyText) {
    CreateRegistryKey(kHkeyCurrentUser, Key());
    EXPECT_EQ(LastRegistryResult(), kErrorSuccess);
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, Key(), "absent"), TaggedValue(std::string()));
    EXPECT_EQ(LastRegistryResult(), kErrorSuccess);  // the close succeeded

    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, Key() + "\\Missing", "value"),
              TaggedValue(std::string()));
    // The last call was the close of the zero handle.
    EXPECT_EQ(LastRegistryResult(), kErrorInvalidHandle);
}

TEST_F(RegistryRoutines, KeyExistsAnswersByTheHandleAndLeavesNoKeyOpen) {
    EXPECT_FALSE(RegistryKeyExists(kHkeyCurrentUser, Key()));
    EXPECT_EQ(LastRegistryResult(), kErrorInvalidHandle);
    CreateRegistryKey(kHkeyCurrentUser, Key() + "\\Deeper");
    EXPECT_EQ(LastRegistryResult(), kErrorSuccess);
    EXPECT_TRUE(RegistryKeyExists(kHkeyCurrentUser, Key()));
    EXPECT_EQ(LastRegistryResult(), kErrorSuccess);
    EXPECT_TRUE(RegistryKeyExists(kHkeyCurrentUser, Key() + "\\"));
    // The key could be deleted at once: nothing holds it open.
    EXPECT_EQ(store_.session().backend().DeleteKeyTree(kHkeyCurrentUser, Key()), kErrorSuccess);
    EXPECT_FALSE(RegistryKeyExists(kHkeyCurrentUser, Key()));
}

TEST_F(RegistryRoutines, WritingCreatesTheKeyAndReplacesTheValue) {
    WriteRegistryString(kHkeyCurrentUser, Key() + "\\", "createpage", true);
    WriteRegistryString(kHkeyCurrentUser, Key(), "CreatePage", false);
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, Key(), "createpage"),
              TaggedValue(std::string("False")));
}

TEST(RegistryRoutinesWithoutStore, NeverFailAndKeepTheCodes) {
    // No store was given them, and they open none of their own.
    WriteRegistryString(kHkeyCurrentUser, "Software\\X", "v", std::string("text"));
    EXPECT_EQ(LastRegistryResult(), kErrorInvalidHandle);
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, "Software\\X", "v"), TaggedValue(std::string()));
    EXPECT_FALSE(RegistryKeyExists(kHkeyCurrentUser, "Software\\X"));
    CreateRegistryKey(kHkeyCurrentUser, "Software\\X");
    EXPECT_EQ(LastRegistryResult(), kErrorInvalidHandle);
}

TEST(TaggedValueTextTest, GivesTheStoredTextOfEachKind) {
    EXPECT_EQ(TaggedValueText(std::string("x")), "x");
    EXPECT_EQ(TaggedValueText(true), "True");
    EXPECT_EQ(TaggedValueText(false), "False");
    EXPECT_EQ(TaggedValueText(std::int32_t{-7}), "-7");
    EXPECT_EQ(TaggedValueText(std::monostate{}), "");
}

}  // namespace
}  // namespace vellamark
