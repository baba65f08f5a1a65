#pragma once

#include <utility>

namespace vellamark {

// A file descriptor (a C runtime one on Windows) that is closed when it goes out of scope.
// Close() reports the close's own failure, which is where a full disk first shows on some file
// systems.
class OwnedFd {
public:
    OwnedFd() = default;
    explicit OwnedFd(int fd) : fd_(fd) {}
    OwnedFd(OwnedFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    OwnedFd& operator=(OwnedFd&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    ~OwnedFd() { Reset(); }

    [[nodiscard]] int Get() const { return fd_; }
    [[nodiscard]] bool Valid() const { return fd_ >= 0; }
    // Closes the one held (ignoring how that went) and takes fd.
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            static_cast<void>(CloseFileDescriptor(fd_));
        }
        fd_ = fd;
    }
    // Closes it now; false when the close failed (errno says why).
    [[nodiscard]] bool Close() { return CloseFileDescriptor(std::exchange(fd_, -1)) == 0; }

private:
    static int CloseFileDescriptor(int fd);

    int fd_ = -1;
};

}  // namespace vellamark
