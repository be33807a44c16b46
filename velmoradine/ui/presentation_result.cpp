#include "velmoradine/ui/presentation_result.hpp"

namespace velmoradine {

PresentationResult PresentationResult::shared(std::string destination) {
  return PresentationResult(Kind::shared, std::move(destination));
}

PresentationResult PresentationResult::cancelled() {
  return PresentationResult(Kind::cancelled, {});
}

PresentationResult PresentationResult::ignored() {
  return PresentationResult(Kind::ignored, {});
}

std::string PresentationResult::description() const {
  switch (kind_) {
    case Kind::shared:
      return "shared(destination: " + destination_ + ")";
    case Kind::cancelled:
      return "cancelled";
    case Kind::ignored:
      return "ignored";
  }
  return {};
}

PresentationStyle PresentationStyle::toast(std::string message) {
  return PresentationStyle(std::move(message));
}

PresentationStyle PresentationStyle::shareSheet() {
  return PresentationStyle(std::nullopt);
}

}  // namespace velmoradine
