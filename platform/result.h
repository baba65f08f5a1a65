#pragma once

#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace vellamark {

// The outcome of a call that can fail: done, or an error text that says what failed and, where
// there is one, the way out. It cannot be mistaken for success: it must be looked at.
//
// Where a caller does something different for each kind of failure, the failure also carries a
// code, one of the failing module's own enumerators (the store's StoreFailure, say), and the
// caller asks Is(code); callers that only tell the user need no code.
class [[nodiscard]] Status {
public:
    [[nodiscard]] static Status Ok() { return Status(); }
    [[nodiscard]] static Status Fail(std::string error) { return Status(std::move(error)); }
    template <typename Code>
    requires std::is_enum_v<Code>
    [[nodiscard]] static Status Fail(Code code, std::string error) {
        Status failure(std::move(error));
        failure.code_ = static_cast<int>(code);
        return failure;
    }

    [[nodiscard]] bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    // Empty when ok().
    [[nodiscard]] const std::string& error() const { return error_; }
    // True when it failed with this code.
    template <typename Code>
    requires std::is_enum_v<Code>
    [[nodiscard]] bool Is(Code code) const { return failed_ && code_ == static_cast<int>(code); }

private:
    Status() = default;
    explicit Status(std::string error) : failed_(true), error_(std::move(error)) {}

    bool failed_ = false;
    std::optional<int> code_;
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
    // A failed Status converts, code and all; a Status that is ok() holds no value and is a
    // programming error, answered as a failure rather than as success.
    // NOLINTNEXTLINE(google-explicit-constructor)
    Result(Status failure)
        : failure_(failure.ok() ? Status::Fail("no value was given") : std::move(failure)) {}

    [[nodiscard]] static Result Fail(std::string error) {
        return Result(Status::Fail(std::move(error)));
    }
    template <typename Code>
    requires std::is_enum_v<Code>
    [[nodiscard]] static Result Fail(Code code, std::string error) {
        return Result(Status::Fail(code, std::move(error)));
    }

    [[nodiscard]] bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const std::string& error() const { return failure_.error(); }
    // True when it failed with this code.
    template <typename Code>
    requires std::is_enum_v<Code>
    [[nodiscard]] bool Is(Code code) const { return !ok() && failure_.Is(code); }
    // The failure as a Status, to pass on.
    [[nodiscard]] Status status() const { return ok() ? Status::Ok() : failure_; }

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
    Status failure_ = Status::Ok();
};

}  // namespace vellamark
