#include "velmoradine/core/documentation_identifier.hpp"

#include "velmoradine/core/deployment.hpp"

namespace velmoradine {

std::string_view rawValue(DocumentationIdentifier identifier) {
  switch (identifier) {
    case DocumentationIdentifier::apiKeyNotSet:
      return "api_key_not_set";
    case DocumentationIdentifier::unexpecteError:
      return "unexpected_error";
    case DocumentationIdentifier::plitRequirementsNotMet:
      return "plist_requirements";
  }
  return {};
}

std::optional<DocumentationIdentifier> documentationIdentifier(std::string_view text) {
  for (auto identifier :
       {DocumentationIdentifier::apiKeyNotSet, DocumentationIdentifier::unexpecteError,
        DocumentationIdentifier::plitRequirementsNotMet}) {
    if (rawValue(identifier) == text) return identifier;
  }
  return std::nullopt;
}

std::string documentationLink(DocumentationIdentifier identifier) {
  return std::string(deployment::kDocumentationSiteURL) +
         "/docs?id=" + std::string(rawValue(identifier));
}

}  // namespace velmoradine
