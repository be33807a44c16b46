#pragma once

// Transport errors of the URL loading system. They reach the kit's callers
// unchanged, so their descriptions are the texts a user may see.

#include <system_error>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

enum class URLError {
  unknown = 1,
  cancelled,
  badURL,
  unsupportedURL,
  timedOut,
  cannotFindHost,
  cannotConnectToHost,
  networkConnectionLost,
  badServerResponse,
  httpTooManyRedirects,
  secureConnectionFailed,
  serverCertificateUntrusted,
  dataLengthExceedsMaximum,
  cannotDecodeContentData,
  cannotCreateFile,
  cannotWriteToFile,
  // A request that may only be answered from the cache found nothing there.
  resourceUnavailable,
};

// The category's name is "NSURLErrorDomain"; the detail of an error is the
// transport's own explanation, kept for logs.
const ErrorCategory& urlErrorCategory();
std::error_code make_error_code(URLError error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::URLError> : std::true_type {};
