#include "velmoradine/ui/kit_pages.hpp"

#include "velmoradine/core/bundle_readers.hpp"

namespace velmoradine {

Result<std::string> kitPagesOrigin(const Bundle& bundle) {
  VELMORADINE_ASSIGN_OR_RETURN(const std::string text, velmoradineAPIBaseURL(bundle));
  const std::optional<URL> url = URL::parse(text);
  if (!url || !url->host()) {
    return failure(Error(ConfigurationError::invalidServiceAddress, "VelmoradineAPIBaseURL"));
  }
  std::string host = *url->host();
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  std::string origin = url->scheme() + "://" + host;
  if (url->port()) origin += ":" + std::to_string(*url->port());
  return origin;
}

std::optional<URL> callToActionURL(const std::string& origin, const std::string& slug) {
  return URL::parse(origin + "/app-cta?ref=" + slug);
}

}  // namespace velmoradine
