// A value or the reason there is none. Failures travel as values, never as exceptions.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace platform {

// A failure as the platform reports it: a domain naming the service, a code within that domain
// and a sentence a person can read.
struct Error {
  std::string domain;
  int64_t code = 0;
  std::string description;
};

template <typename T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Error error) : state_(std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // Callers must check ok() first.
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  const Error& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error> state_;
};

}  // namespace platform
