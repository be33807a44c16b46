#include "velmoradine/platform/uikit/ns_attributed_string.hpp"

namespace velmoradine {
namespace {

constexpr const char* kObjectReplacementCharacter = "\xEF\xBF\xBC";

}  // namespace

NSAttributedString::NSAttributedString(std::string text, NSAttributes attributes) {
  if (!text.empty()) runs_.push_back({std::move(text), std::move(attributes), std::nullopt});
}

NSAttributedString::NSAttributedString(NSTextAttachment attachment) {
  runs_.push_back({kObjectReplacementCharacter, {}, std::move(attachment)});
}

void NSAttributedString::append(const NSAttributedString& other) {
  runs_.insert(runs_.end(), other.runs_.begin(), other.runs_.end());
}

std::string NSAttributedString::string() const {
  std::string text;
  for (const auto& run : runs_) text += run.text;
  return text;
}

}  // namespace velmoradine
