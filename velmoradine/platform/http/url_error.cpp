#include "velmoradine/platform/http/url_error.hpp"

namespace velmoradine {
namespace {

class URLErrorCategory final : public ErrorCategory {
 public:
  const char* name() const noexcept override { return "NSURLErrorDomain"; }
  std::string message(int value) const override {
    switch (static_cast<URLError>(value)) {
      case URLError::unknown:
        return "An unknown error occurred.";
      case URLError::cancelled:
        return "The request was cancelled.";
      case URLError::badURL:
        return "The request is not valid.";
      case URLError::unsupportedURL:
        return "The URL is not supported.";
      case URLError::timedOut:
        return "The request timed out.";
      case URLError::cannotFindHost:
        return "A server with the specified hostname could not be found.";
      case URLError::cannotConnectToHost:
        return "Could not connect to the server.";
      case URLError::networkConnectionLost:
        return "The network connection was lost.";
      case URLError::badServerResponse:
        return "The server returned an invalid response.";
      case URLError::httpTooManyRedirects:
        return "The server redirected too many times.";
      case URLError::secureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
      case URLError::serverCertificateUntrusted:
        return "The certificate for this server is invalid.";
      case URLError::dataLengthExceedsMaximum:
        return "The response is larger than allowed.";
      case URLError::cannotDecodeContentData:
        return "The response could not be decoded.";
      case URLError::cannotCreateFile:
        return "The downloaded file could not be created.";
      case URLError::cannotWriteToFile:
        return "The downloaded file could not be written.";
      case URLError::resourceUnavailable:
        return "The resource is not in the cache.";
    }
    return "An unknown error occurred.";
  }
};

}  // namespace

const ErrorCategory& urlErrorCategory() {
  static const auto& category = *new URLErrorCategory;
  return category;
}

std::error_code make_error_code(URLError error) {
  return {static_cast<int>(error), urlErrorCategory()};
}

}  // namespace velmoradine
