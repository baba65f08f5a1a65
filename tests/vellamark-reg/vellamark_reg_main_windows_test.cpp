// vellamark-reg against wine's own reg.exe: the same query of the same key prints the same
// bytes, text in the console's code page included.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/text.h"
#include "tests/support/scratch_store.h"

namespace vellamark {
namespace {

// Runs a command line and gives, byte for byte, what it wrote to its standard output.
std::string Output(const std::string& commandLine) {
    // cmd /c takes off the outer quotes.
    FILE* pipe = ::_popen(("\"" + commandLine + "\"").c_str(), "rb");
    std::string output;
    char buffer[4096];
    for (std::size_t n = 0; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, n);
    }
    if (pipe) {
        ::_pclose(pipe);
    }
    return output;
}

// The built tool; under wine its path is a Unix one, which the Z: drive reaches.
std::string RegTool() {
    std::string path = VELLAMARK_REG_PATH;
    if (!path.empty() && path.front() == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return "\"" + path + "\"";
}

TEST(RegToolWindows, QueryPrintsWhatRegPrints) {
    testsupport::ScratchStore store;
    RegistryBackend& backend = store.backend();
    const std::string key = store.base() + "\\Values";
    RegistryHandle handle = 0;
    ASSERT_EQ(backend.CreateKey(kHkeyCurrentUser, key, handle), kErrorSuccess);
    auto set = [&](const char* name, std::uint32_t kind, const std::string& data) {
        EXPECT_EQ(
            backend.SetValue(handle, name, kind, reinterpret_cast<const std::uint8_t*>(data.data()),
                             static_cast<std::uint32_t>(data.size())),
            kErrorSuccess)
            << name;
    };
    // "café" in the ANSI code page; the console's code page writes the é another way.
    set("text", kRegSz, ToAnsi("caf\xC3\xA9") + std::string(1, '\0'));
    set("number", kRegDword, std::string("\x1f\0\0\0", 4));
    set("bytes", kRegBinary, std::string("\x00\xab\xff", 3));
    set("list", kRegMultiSz, std::string("a\0\0b\0\0", 6));
    set("path", kRegExpandSz, std::string("%PATH%;q\0", 9));
    EXPECT_EQ(backend.CloseKey(handle), kErrorSuccess);
    for (const char* subkey : {"\\Sub1", "\\sub2"}) {
        ASSERT_EQ(backend.CreateKey(kHkeyCurrentUser, key + subkey, handle), kErrorSuccess);
        EXPECT_EQ(backend.CloseKey(handle), kErrorSuccess);
    }

    for (const std::string options : {"", " /v text", " /v list"}) {
        const std::string args = " query \"HKEY_CURRENT_USER\\" + key + "\"" + options;
        const std::string theirs = Output("reg.exe" + args);
        ASSERT_NE(theirs.find("\r\nHKEY_CURRENT_USER\\"), std::string::npos) << theirs;
        EXPECT_EQ(Output(RegTool() + args), theirs) << options;
    }
}

}  // namespace
}  // namespace vellamark
