#pragma once

#include <windows.h>

#include <utility>

namespace vellamark {

// A kernel handle (file, pipe, process, ...) closed when it goes out of scope. Both null and
// INVALID_HANDLE_VALUE mean "none", as the API returns either.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE h) : h_(h) {}
    OwnedHandle(OwnedHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.h_, nullptr));
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Reset(); }

    [[nodiscard]] HANDLE Get() const { return h_; }
    [[nodiscard]] bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    // For APIs that hand out a handle through a pointer: closes the one held first.
    HANDLE* Out() {
        Reset();
        return &h_;
    }
    void Reset(HANDLE h = nullptr) {
        if (Valid()) {
            ::CloseHandle(h_);
        }
        h_ = h;
    }
    // Closes it now; false when CloseHandle failed.
    [[nodiscard]] bool Close() {
        const HANDLE h = std::exchange(h_, nullptr);
        return h == nullptr || h == INVALID_HANDLE_VALUE || ::CloseHandle(h) != 0;
    }
    [[nodiscard]] HANDLE Release() { return std::exchange(h_, nullptr); }

private:
    HANDLE h_ = nullptr;
};

}  // namespace vellamark
