// A value or the reason there is none. Failures travel as values, never as exceptions.
//
// Everything in the platform that can fail returns a Result: Result<T> for a value, Result<void>
// for an action. Ignoring one is a compile error ([[nodiscard]]), and reading the value of a
// failure (or the failure of a value) is a programming error that stops the process with a
// message, in every build.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace platform {

// A failure as the platform reports it: a domain naming the service, a code within that domain
// and a sentence a person can read. platform/errors.h lists the domains.
struct Error {
  std::string domain;
  int64_t code = 0;
  std::string description;
};

namespace detail {
// Writes what was misused to standard error and aborts.
[[noreturn]] void misusedResult(const char* what);
}  // namespace detail

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // Callers check ok() first.
  T& value() & {
    if (!ok()) detail::misusedResult("value() of a failed Result");
    return *std::get_if<0>(&state_);
  }
  const T& value() const& {
    if (!ok()) detail::misusedResult("value() of a failed Result");
    return *std::get_if<0>(&state_);
  }
  T&& value() && {
    if (!ok()) detail::misusedResult("value() of a failed Result");
    return std::move(*std::get_if<0>(&state_));
  }
  const Error& error() const {
    if (ok()) detail::misusedResult("error() of a successful Result");
    return *std::get_if<1>(&state_);
  }

 private:
  std::variant<T, Error> state_;
};

// An action that either happened or failed; `return {};` reports success.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)) {}

  bool ok() const { return !error_.has_value(); }
  explicit operator bool() const { return ok(); }

  const Error& error() const {
    if (ok()) detail::misusedResult("error() of a successful Result");
    return *error_;
  }

 private:
  std::optional<Error> error_;
};

}  // namespace platform
