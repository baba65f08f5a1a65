#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vellamark {

// A path given as UTF-8 text, and back: the file system's own names on every system (wide on
// Windows), so no character is lost to a code page.
[[nodiscard]] std::filesystem::path PathFromUtf8(std::string_view utf8);
[[nodiscard]] std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace vellamark

namespace vellamark::testsupport {

// A fresh folder under the system's temp folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    // The path as UTF-8 text.
    [[nodiscard]] std::string text() const;
    // Writes a file of that name in the folder.
    void Write(const std::string& name, const std::string& contents) const;

private:
    std::filesystem::path path_;
};

// The whole file as bytes; empty when it cannot be read.
[[nodiscard]] std::string ReadFile(const std::filesystem::path& path);

// A name no other test of any running test program uses: the process, a counter and a random
// part.
[[nodiscard]] std::string UniqueName();

}  // namespace vellamark::testsupport
