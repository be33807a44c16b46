#include "velmoradine/platform/uikit/ui_font.hpp"

#include <algorithm>
#include <cctype>

namespace velmoradine {
namespace {

// Face names carry a weight or style after the last '-' ("Avenir-Medium").
std::string familyOf(const std::string& name) {
  const auto dash = name.rfind('-');
  return dash == std::string::npos || dash == 0 ? name : name.substr(0, dash);
}

bool sameText(const std::string& a, const std::string& b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

std::optional<Font> UIFont::named(const std::string& name, double size) {
  Font font(name, size);
  if (name.empty() || !sameText(font.resolvedFamilyName(), familyOf(name))) return std::nullopt;
  return font;
}

}  // namespace velmoradine
