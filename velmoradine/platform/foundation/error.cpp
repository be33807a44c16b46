#include "velmoradine/platform/foundation/error.hpp"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "velmoradine/platform/foundation/string_table.hpp"

namespace velmoradine {
namespace {

// The category of errors known only by a domain text and a code. Categories
// are compared by address, so there is one per domain for the whole process.
class DomainCategory final : public ErrorCategory {
 public:
  explicit DomainCategory(std::string name) : name_(std::move(name)) {}
  const char* name() const noexcept override { return name_.c_str(); }
  std::string message(int value) const override {
    return "The operation couldn\u2019t be completed. (" + name_ + " error " +
           std::to_string(value) + ".)";
  }

 private:
  std::string name_;
};

const DomainCategory& domainCategory(std::string_view domain) {
  static std::mutex mutex;
  static auto& categories =
      *new std::map<std::string, std::unique_ptr<DomainCategory>, std::less<>>;
  std::lock_guard lock(mutex);
  auto found = categories.find(domain);
  if (found == categories.end()) {
    found = categories
                .emplace(std::string(domain), std::make_unique<DomainCategory>(std::string(domain)))
                .first;
  }
  return *found->second;
}

}  // namespace

std::string ErrorCategory::descriptionKey(int value, const std::string&) const {
  return message(value);
}

std::string ErrorCategory::localizedDescription(int value, const std::string& detail) const {
  return localizedString(descriptionKey(value, detail));
}

Error Error::domain(std::string_view domain, int code, std::string detail) {
  return Error(std::error_code(code, domainCategory(domain)), std::move(detail));
}

Error Error::posix(int errnoValue, std::string detail) {
  return Error(std::error_code(errnoValue, std::generic_category()), std::move(detail));
}

std::string Error::localizedDescription() const {
  if (auto* category = dynamic_cast<const ErrorCategory*>(&code_.category())) {
    return category->localizedDescription(code_.value(), detail_);
  }
  // Errors of the operating system and of third-party libraries keep their
  // own texts; a detail (the file concerned, say) follows them.
  std::string text = code_.message();
  if (!detail_.empty()) text += ": " + detail_;
  return text;
}

}  // namespace velmoradine
