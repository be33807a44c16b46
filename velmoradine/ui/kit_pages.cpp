#include "velmoradine/ui/kit_pages.hpp"

#include "velmoradine/core/bundle_readers.hpp"

namespace velmoradine {

Result<std::string> kitPagesOrigin(const Bundle& bundle) {
  VELMORADINE_ASSIGN_OR_RETURN(const std::string text, velmoradineAPIBaseURL(bundle));
  const std::optional<URL> url = URL::parse(text);
  std::optional<std::string> origin = url ? kitPagesOrigin(*url) : std::nullopt;
  if (!origin) {
    return failure(Error(ConfigurationError::invalidServiceAddress, "VelmoradineAPIBaseURL"));
  }
  return *origin;
}

std::optional<std::string> kitPagesOrigin(const URL& apiBaseURL) {
  if (!apiBaseURL.host()) return std::nullopt;
  std::string host = *apiBaseURL.host();
  if (host.find(':') != std::string::npos && !host.starts_with('[')) host = "[" + host + "]";
  std::string origin = apiBaseURL.scheme() + "://" + host;
  if (auto port = apiBaseURL.port()) origin += ":" + std::to_string(*port);
  return origin;
}

std::optional<URL> callToActionURL(const std::string& origin, const std::string& slug) {
  return URL::parse(origin + "/app-cta?ref=" + slug);
}

}  // namespace velmoradine
