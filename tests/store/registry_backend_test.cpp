// The behaviour the registry routines and vellamark-reg rely on from a backend. The same cases
// run against the SQLite database natively and against the registry itself under Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

using testsupport::ScratchStore;
using ByteVector = std::vector<std::uint8_t>;

ByteVector BytesOf(const std::string& text) {
    return ByteVector(text.begin(), text.end());
}

class BackendContract : public ::testing::Test {
protected:
    RegistryBackend& backend() { return store_.backend(); }
    std::string Key(const std::string& below) const { return store_.base() + "\\" + below; }

    RegistryHandle Create(const std::string& path) {
        RegistryHandle handle = 0;
        EXPECT_EQ(backend().CreateKey(kHkeyCurrentUser, path, handle), kErrorSuccess) << path;
        EXPECT_NE(handle, 0u) << path;
        return handle;
    }
    bool Opens(const std::string& path) {
        RegistryHandle handle = 0;
        const auto rc = backend().OpenKey(kHkeyCurrentUser, path, handle);
        EXPECT_EQ(rc == kErrorSuccess, handle != 0) << path;
        if (handle != 0) {
            EXPECT_EQ(backend().CloseKey(handle), kErrorSuccess);
        }
        return handle != 0;
    }
    // Reads the value as the routines do: size first, then a buffer of that size.
    std::int32_t Read(RegistryHandle handle, const std::string& name, std::uint32_t& kind,
                      ByteVector& data) {
        std::uint32_t size = 0;
        const auto rc = backend().QueryValue(handle, name, kind, nullptr, size);
        if (rc != kErrorSuccess) {
            return rc;
        }
        data.assign(size, 0xEE);
        std::uint32_t filled = size;
        const auto second = backend().QueryValue(handle, name, kind, data.data(), filled);
        data.resize(filled);
        return second;
    }

    ScratchStore store_;
};

TEST_F(BackendContract, MissingKeyDoesNotOpenAndLeavesTheHandleZero) {
    RegistryHandle handle = 0;
    EXPECT_NE(backend().OpenKey(kHkeyCurrentUser, Key("missing"), handle), kErrorSuccess);
    EXPECT_EQ(handle, 0u);
}

TEST_F(BackendContract, CreatingAKeyCreatesTheKeysAboveIt) {
    const auto handle = Create(Key("a\\b\\c"));
    EXPECT_EQ(backend().CloseKey(handle), kErrorSuccess);
    EXPECT_TRUE(Opens(Key("a")));
    EXPECT_TRUE(Opens(Key("a\\b")));
    EXPECT_TRUE(Opens(Key("a\\b\\c")));
    EXPECT_FALSE(Opens(Key("a\\b\\c\\d")));
}

TEST_F(BackendContract, KeyNamesMatchWithoutRegardToCaseAndAClosingBackslashIsIgnored) {
    EXPECT_EQ(backend().CloseKey(Create(Key("Mixed\\Case\\"))), kErrorSuccess);
    struct Row {
        const char* name;
        std::string path;
    };
    const Row rows[] = {
        {"same", Key("Mixed\\Case")},
        {"lower", Key("mixed\\case")},
        {"upper", Key("MIXED\\CASE")},
        {"closing backslash", Key("mixed\\Case\\")},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(Opens(row.path)) << row.name;
    }
    // Creating it again under another case finds the same key, it does not add one.
    const auto again = Create(Key("MIXED\\case"));
    EXPECT_EQ(backend().SetValue(again, "v", kRegSz, nullptr, 0), kErrorSuccess);
    EXPECT_EQ(backend().CloseKey(again), kErrorSuccess);
    RegistryHandle handle = 0;
    ASSERT_EQ(backend().OpenKey(kHkeyCurrentUser, Key("Mixed\\Case"), handle), kErrorSuccess);
    std::uint32_t kind = kRegNone;
    std::uint32_t size = 0;
    EXPECT_EQ(backend().QueryValue(handle, "V", kind, nullptr, size), kErrorSuccess);
    EXPECT_EQ(backend().CloseKey(handle), kErrorSuccess);
}

TEST_F(BackendContract, ValuesKeepTheirKindAndRawBytes) {
    struct Row {
        const char* name;
        std::uint32_t kind;
        ByteVector data;
    };
    ByteVector allBytes;
    for (int b = 0; b < 256; ++b) {
        allBytes.push_back(static_cast<std::uint8_t>(b));
    }
    const Row rows[] = {
        {"text", kRegSz, BytesOf(std::string("abc\0", 4))},
        {"text with a NUL inside", kRegSz, BytesOf(std::string("ab\0cd\0", 6))},
        {"text without NUL", kRegSz, BytesOf("abc")},
        {"NUL alone", kRegSz, ByteVector{0}},
        {"expandable", kRegExpandSz, BytesOf(std::string("%HOME%\0", 7))},
        {"multi", kRegMultiSz, BytesOf(std::string("a\0bc\0\0", 6))},
        {"number", kRegDword, ByteVector{0x78, 0x56, 0x34, 0x12}},
        {"every byte", kRegBinary, allBytes},
        {"empty binary", kRegBinary, ByteVector{}},
    };
    const auto handle = Create(Key("values"));
    for (const auto& row : rows) {
        ASSERT_EQ(backend().SetValue(handle, row.name, row.kind, row.data.data(),
                                     static_cast<std::uint32_t>(row.data.size())),
                  kErrorSuccess)
            << row.name;
    }
    for (const auto& row : rows) {
        std::uint32_t kind = kRegNone;
        ByteVector data;
        EXPECT_EQ(Read(handle, row.name, kind, data), kErrorSuccess) << row.name;
        EXPECT_EQ(kind, row.kind) << row.name;
        // The registry's narrow entry points hand text back with a closing NUL even when it
        // was stored without one; everything else comes back exactly as stored.
        ByteVector withNul = row.data;
        withNul.push_back(0);
        const bool textWithoutNul = row.kind == kRegSz && !row.data.empty() && row.data.back() != 0;
        EXPECT_TRUE(data == row.data || (textWithoutNul && data == withNul)) << row.name;
    }
    EXPECT_EQ(backend().CloseKey(handle), kErrorSuccess);
}

TEST_F(BackendContract, QueryReportsSizeTooSmallBuffersAndMissingValues) {
    const auto handle = Create(Key("query"));
    const ByteVector text = BytesOf(std::string("hello\0", 6));
    ASSERT_EQ(backend().SetValue(handle, "greeting", kRegSz, text.data(), 6), kErrorSuccess);

    std::uint32_t kind = kRegNone;
    std::uint32_t size = 0;
    EXPECT_EQ(backend().QueryValue(handle, "greeting", kind, nullptr, size), kErrorSuccess);
    EXPECT_EQ(kind, static_cast<std::uint32_t>(kRegSz));
    EXPECT_EQ(size, 6u);

    std::uint8_t small[3] = {};
    size = sizeof small;
    EXPECT_EQ(backend().QueryValue(handle, "greeting", kind, small, size), kErrorMoreData);
    EXPECT_EQ(size, 6u);

    // A missing value reports no kind: the caller's kind stays as it was.
    kind = 77;
    size = 0;
    EXPECT_EQ(backend().QueryValue(handle, "absent", kind, nullptr, size), kErrorFileNotFound);
    EXPECT_EQ(kind, 77u);
    EXPECT_EQ(backend().CloseKey(handle), kErrorSuccess);
}

TEST_F(BackendContract, ValueNamesMatchWithoutRegardToCaseAndKeepTheirFirstCase) {
    const auto handle = Create(Key("names"));
    const ByteVector first = BytesOf(std::string("one\0", 4));
    const ByteVector second{2, 0, 0, 0};
    ASSERT_EQ(backend().SetValue(handle, "UserName", kRegSz, first.data(), 4), kErrorSuccess);
    // Replacing under another case replaces kind and bytes, and keeps one value.
    ASSERT_EQ(backend().SetValue(handle, "USERNAME", kRegDword, second.data(), 4), kErrorSuccess);
    std::uint32_t kind = kRegNone;
    ByteVector data;
    EXPECT_EQ(Read(handle, "username", kind, data), kErrorSuccess);
    EXPECT_EQ(kind, static_cast<std::uint32_t>(kRegDword));
    EXPECT_EQ(data, second);
    std::vector<RegistryValueEntry> values;
    ASSERT_EQ(backend().EnumValues(handle, values), kErrorSuccess);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "UserName");
    EXPECT_EQ(backend().CloseKey(handle), kErrorSuccess);
}

TEST_F(BackendContract, EnumeratesDeletesValuesAndKeyTrees) {
    const auto handle = Create(Key("tree"));
    const ByteVector one{1, 0, 0, 0};
    const ByteVector text = BytesOf(std::string("x\0", 2));
    ASSERT_EQ(backend().SetValue(handle, "a", kRegDword, one.data(), 4), kErrorSuccess);
    ASSERT_EQ(backend().SetValue(handle, "b", kRegSz, text.data(), 2), kErrorSuccess);
    EXPECT_EQ(backend().CloseKey(Create(Key("tree\\below\\deeper"))), kErrorSuccess);

    std::vector<RegistryValueEntry> values;
    ASSERT_EQ(backend().EnumValues(handle, values), kErrorSuccess);
    ASSERT_EQ(values.size(), 2u);
    std::sort(values.begin(), values.end(),
              [](const auto& x, const auto& y) { return x.name < y.name; });
    EXPECT_EQ(values[0].name, "a");
    EXPECT_EQ(values[0].kind, static_cast<std::uint32_t>(kRegDword));
    EXPECT_EQ(values[0].data, one);
    EXPECT_EQ(values[1].data, text);

    EXPECT_EQ(backend().DeleteValue(handle, "A"), kErrorSuccess);
    EXPECT_EQ(backend().DeleteValue(handle, "a"), kErrorFileNotFound);
    ASSERT_EQ(backend().EnumValues(handle, values), kErrorSuccess);
    EXPECT_EQ(values.size(), 1u);
    EXPECT_EQ(backend().CloseKey(handle), kErrorSuccess);

    EXPECT_EQ(backend().DeleteKeyTree(kHkeyCurrentUser, Key("tree")), kErrorSuccess);
    EXPECT_FALSE(Opens(Key("tree")));
    EXPECT_FALSE(Opens(Key("tree\\below\\deeper")));
    EXPECT_NE(backend().DeleteKeyTree(kHkeyCurrentUser, Key("tree")), kErrorSuccess);
}

TEST_F(BackendContract, AHandleOfADeletedKeyNoLongerReadsOrWrites) {
    const auto handle = Create(Key("doomed"));
    ASSERT_EQ(backend().DeleteKeyTree(kHkeyCurrentUser, Key("doomed")), kErrorSuccess);
    const ByteVector text = BytesOf(std::string("x\0", 2));
    EXPECT_NE(backend().SetValue(handle, "v", kRegSz, text.data(), 2), kErrorSuccess);
    std::uint32_t kind = kRegNone;
    std::uint32_t size = 0;
    EXPECT_NE(backend().QueryValue(handle, "v", kind, nullptr, size), kErrorSuccess);
    EXPECT_FALSE(Opens(Key("doomed")));
    EXPECT_EQ(backend().CloseKey(handle), kErrorSuccess);
}

TEST_F(BackendContract, ClosingTheZeroHandleFailsAsInvalid) {
    EXPECT_EQ(backend().CloseKey(0), kErrorInvalidHandle);
    const ByteVector text = BytesOf(std::string("x\0", 2));
    EXPECT_NE(backend().SetValue(0, "v", kRegSz, text.data(), 2), kErrorSuccess);
}

}  // namespace
}  // namespace vellamark
