#pragma once

#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace vellamark {

// The outcome of a call that can fail: done, or an error text that says what failed and, where
// there is one, the way out. It cannot be mistaken for success: it must be looked at.
class [[nodiscard]] Status {
public:
    [[nodiscard]] static Status Ok() { return Status(); }
    [[nodiscard]] static Status Fail(std::string error) { return Status(std::move(error)); }

    [[nodiscard]] bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    // Empty when ok().
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    Status() = default;
    explicit Status(std::string error) : failed_(true), error_(std::move(error)) {}

    bool failed_ = false;
    std::string error_;
};

// A value, or the error text of a call that could not give one.
template <typename T>
class [[nodiscard]] Result {
public:
    // A value converts, as a return value would (also one that converts to T).
    template <typename U = T>
    requires(std::is_convertible_v<U&&, T> && !std::is_same_v<std::decay_t<U>, Status> &&
             !std::is_same_v<std::decay_t<U>, Result>)
        // NOLINTNEXTLINE(google-explicit-constructor)
        Result(U&& value)
        : value_(std::forward<U>(value)) {}
    // A failed Status converts; a Status that is ok() holds no value and is a programming error,
    // answered as a failure rather than as success.
    // NOLINTNEXTLINE(google-explicit-constructor)
    Result(Status failure)
        : error_(failure.ok() ? std::string("no value was given") : failure.error()) {}

    [[nodiscard]] static Result Fail(std::string error) {
        return Result(Status::Fail(std::move(error)));
    }

    [[nodiscard]] bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const std::string& error() const { return error_; }
    // The failure as a Status, to pass on.
    [[nodiscard]] Status status() const { return ok() ? Status::Ok() : Status::Fail(error_); }

    // Only when ok().
    [[nodiscard]] T& value() & { return *value_; }
    [[nodiscard]] const T& value() const& { return *value_; }
    [[nodiscard]] T&& value() && { return std::move(*value_); }
    [[nodiscard]] T& operator*() & { return *value_; }
    [[nodiscard]] const T& operator*() const& { return *value_; }
    [[nodiscard]] T* operator->() { return &*value_; }
    [[nodiscard]] const T* operator->() const { return &*value_; }

private:
    std::optional<T> value_;
    std::string error_;
};

}  // namespace vellamark
