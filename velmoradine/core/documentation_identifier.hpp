#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmoradine {

// The documentation pages that log lines link to.
enum class DocumentationIdentifier {
  apiKeyNotSet,
  unexpecteError,
  plitRequirementsNotMet,
};

std::string_view rawValue(DocumentationIdentifier identifier);
// Accepts exactly the three raw values; anything else gives nothing.
std::optional<DocumentationIdentifier> documentationIdentifier(std::string_view rawValue);
// The documentation site's "/docs?id=" page for `identifier`.
std::string documentationLink(DocumentationIdentifier identifier);

}  // namespace velmoradine
