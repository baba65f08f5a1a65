#include "tests/support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>

namespace vellamark {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace vellamark

namespace vellamark::testsupport {

namespace fs = std::filesystem;

std::string UniqueName() {
    static std::atomic<int> counter{0};
    static const auto start = std::chrono::steady_clock::now().time_since_epoch().count();
    std::random_device random;
    return std::to_string(start) + "-" + std::to_string(counter++) + "-" +
           std::to_string(random() % 1000000);
}

TempFolder::TempFolder() : path_(fs::temp_directory_path() / ("vellamark-test-" + UniqueName())) {
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // A test may have taken its own rights away to see a failure.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string TempFolder::text() const {
    return Utf8FromPath(path_);
}

void TempFolder::Write(const std::string& name, const std::string& contents) const {
    std::ofstream(path_ / PathFromUtf8(name), std::ios::binary) << contents;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vellamark::testsupport
