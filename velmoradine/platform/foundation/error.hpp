#pragma once

// The kit's one error value: an error code (its category is the error's domain,
// its value the case) plus an optional detail text carried by cases that have a
// payload. Failures travel as values; nothing throws across component boundaries.

#include <expected>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>

namespace velmoradine {

// A category whose descriptions can use the error's detail text and are
// looked up in the host's string table. Every error enumeration of the kit
// derives its category from this one.
class ErrorCategory : public std::error_category {
 public:
  // The English description of `value`, used as the key into the host's
  // string table. The default ignores `detail`.
  virtual std::string descriptionKey(int value, const std::string& detail) const;
  // The description the user sees: the key translated through the host's
  // string table (the key itself when there is no translation).
  virtual std::string localizedDescription(int value, const std::string& detail) const;
};

class Error {
 public:
  Error() = default;
  Error(std::error_code code, std::string detail = {}) : code_(code), detail_(std::move(detail)) {}
  template <typename E>
  requires std::is_error_code_enum_v<E> Error(E value, std::string detail = {})
      : code_(make_error_code(value)), detail_(std::move(detail)) {}

  // An error identified only by a domain text and a code, with no further
  // information (the kit's "velmoradine", code 1, for instance).
  static Error domain(std::string_view domain, int code, std::string detail = {});
  // The error of a failed operating-system call, from errno.
  static Error posix(int errnoValue, std::string detail = {});

  const std::error_code& code() const { return code_; }
  int value() const { return code_.value(); }
  std::string domainName() const { return code_.category().name(); }
  const std::string& detail() const { return detail_; }
  std::string localizedDescription() const;

  template <typename E>
  requires std::is_error_code_enum_v<E>
  bool is(E value) const { return code_ == make_error_code(value); }

  friend bool operator==(const Error& a, const Error& b) {
    return a.code_ == b.code_ && a.detail_ == b.detail_;
  }
  template <typename E>
  requires std::is_error_code_enum_v<E>
  friend bool operator==(const Error& a, E b) { return a.is(b); }

 private:
  std::error_code code_;
  std::string detail_;
};

// A value or the error that prevented it. A thin subclass rather than an
// alias so that the type itself is [[nodiscard]]: a dropped Result is a
// dropped failure, and every function returning one is checked for it.
template <typename T>
class [[nodiscard]] Result : public std::expected<T, Error> {
 public:
  using std::expected<T, Error>::expected;
  Result(std::expected<T, Error> other) : std::expected<T, Error>(std::move(other)) {}
};

inline std::unexpected<Error> failure(Error error) {
  return std::unexpected<Error>(std::move(error));
}

}  // namespace velmoradine

// Propagation of failures in functions returning a Result (or any
// std::expected with the same error type).
//
// VELMORADINE_TRY(expr): evaluates `expr` (a Result) and returns its error
// from the enclosing function when it failed; its value is left untouched, so
// `expr` may also name a Result that the function goes on to read.
// VELMORADINE_ASSIGN_OR_RETURN(lhs, expr): evaluates `expr`, returns its error
// when it failed, otherwise moves its value into `lhs`, which may be a
// declaration (`auto name`, `const Data& name`) or an existing variable. It
// expands to several statements: use it only directly inside a block.
#define VELMORADINE_TRY(expr)                                                    \
  do {                                                                           \
    if (auto&& velmoradineTried = (expr); !velmoradineTried)                     \
      return ::std::unexpected(                                                  \
          ::std::forward<decltype(velmoradineTried)>(velmoradineTried).error()); \
  } while (false)

#define VELMORADINE_CONCAT_INNER(a, b) a##b
#define VELMORADINE_CONCAT(a, b) VELMORADINE_CONCAT_INNER(a, b)
#define VELMORADINE_ASSIGN_OR_RETURN(lhs, expr) \
  VELMORADINE_ASSIGN_OR_RETURN_IMPL(VELMORADINE_CONCAT(velmoradineAssigned, __LINE__), lhs, expr)
#define VELMORADINE_ASSIGN_OR_RETURN_IMPL(result, lhs, expr)          \
  auto result = (expr);                                               \
  if (!result) return ::std::unexpected(::std::move(result).error()); \
  lhs = ::std::move(*result)
