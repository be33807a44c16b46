#pragma once

// The one way to give an error enumeration its category. In the enumeration's
// header: the `enum class` (first case 1), the category function and
// `make_error_code` declarations, and the `std::is_error_code_enum`
// specialisation. In its source file, inside `namespace velmoradine`:
//
//   VELMORADINE_DEFINE_ERROR_ENUMERATION(Render::Error, renderErrorCategory,
//                                        "Velmoradine.Render",
//                                        {Render::Error::unknown, "An unknown error occurred."},
//                                        {Render::Error::video, "Unable to export video file."})
//
// which defines both functions. The domain is "Velmoradine.<Owner>" unless the
// product names another one; each case's English description is the key into
// the host's string table.

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

// How a case's detail text joins its description in the text the user sees
// (nothing is added when the detail is empty).
enum class DetailInDescription {
  omitted,        // "Description"
  afterColon,     // "Description: detail"
  inParentheses,  // "Description (detail)"
  appended,       // "Description" + "detail", for descriptions that end in their own separator
};

template <typename E>
struct ErrorCaseDescription {
  E value;
  std::string_view description;
  DetailInDescription detail = DetailInDescription::omitted;
};

template <typename E>
class EnumerationErrorCategory final : public ErrorCategory {
 public:
  EnumerationErrorCategory(const char* domain, std::vector<ErrorCaseDescription<E>> cases)
      : domain_(domain), cases_(std::move(cases)) {}

  const char* name() const noexcept override { return domain_; }

  std::string message(int value) const override {
    const ErrorCaseDescription<E>* found = find(value);
    return found ? std::string(found->description)
                 : std::string(domain_) + " error " + std::to_string(value);
  }

  std::string descriptionKey(int value, const std::string& detail) const override {
    const ErrorCaseDescription<E>* found = find(value);
    if (!found || detail.empty()) return message(value);
    switch (found->detail) {
      case DetailInDescription::omitted:
        break;
      case DetailInDescription::afterColon:
        return message(value) + ": " + detail;
      case DetailInDescription::inParentheses:
        return message(value) + " (" + detail + ")";
      case DetailInDescription::appended:
        return message(value) + detail;
    }
    return message(value);
  }

 private:
  const ErrorCaseDescription<E>* find(int value) const {
    for (const auto& entry : cases_)
      if (static_cast<int>(entry.value) == value) return &entry;
    return nullptr;
  }

  const char* domain_;
  std::vector<ErrorCaseDescription<E>> cases_;
};

}  // namespace velmoradine

// The category is made with `new` and never destroyed: background threads may
// still describe an error while the process exits.
#define VELMORADINE_DEFINE_ERROR_ENUMERATION(Enum, categoryFunction, domain, ...)  \
  const ::velmoradine::ErrorCategory& categoryFunction() {                         \
    static const auto& category =                                                  \
        *new ::velmoradine::EnumerationErrorCategory<Enum>(domain, {__VA_ARGS__}); \
    return category;                                                               \
  }                                                                                \
  std::error_code make_error_code(Enum error) {                                    \
    return {static_cast<int>(error), categoryFunction()};                          \
  }
