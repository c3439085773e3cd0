// An expected-style result for failures a caller is meant to handle: a value or an
// error message a user can act on.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tessaly {

struct TError {
    std::string message;
};

template <class T>
class [[nodiscard]] TResult {
  public:
    TResult(T value) : v_(std::move(value)) {}       // NOLINT(google-explicit-constructor)
    TResult(TError error) : v_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(v_); }
    const T& value() const { return std::get<0>(v_); }
    T* operator->() { return &value(); }
    const std::string& error() const { return std::get<1>(v_).message; }

  private:
    std::variant<T, TError> v_;
};

template <>
class [[nodiscard]] TResult<void> {
  public:
    TResult() = default;
    TResult(TError error) : ok_(false), error_(std::move(error.message)) {}  // NOLINT
    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& error() const { return error_; }

  private:
    bool ok_ = true;
    std::string error_;
};

inline TError Error(std::string message) {
    return TError{std::move(message)};
}

}  // namespace tessaly
