#include "velmoradine/platform/http/url_error.hpp"

#include "velmoradine/platform/foundation/error_enumeration.hpp"

namespace velmoradine {

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    URLError, urlErrorCategory, "NSURLErrorDomain",
    {URLError::unknown, "An unknown error occurred."},
    {URLError::cancelled, "The request was cancelled."},
    {URLError::badURL, "The request is not valid."},
    {URLError::unsupportedURL, "The URL is not supported."},
    {URLError::timedOut, "The request timed out."},
    {URLError::cannotFindHost, "A server with the specified hostname could not be found."},
    {URLError::cannotConnectToHost, "Could not connect to the server."},
    {URLError::networkConnectionLost, "The network connection was lost."},
    {URLError::badServerResponse, "The server returned an invalid response."},
    {URLError::httpTooManyRedirects, "The server redirected too many times."},
    {URLError::secureConnectionFailed,
     "An SSL error has occurred and a secure connection to the server cannot be made."},
    {URLError::serverCertificateUntrusted, "The certificate for this server is invalid."},
    {URLError::dataLengthExceedsMaximum, "The response is larger than allowed."},
    {URLError::cannotDecodeContentData, "The response could not be decoded."},
    {URLError::cannotCreateFile, "The downloaded file could not be created."},
    {URLError::cannotWriteToFile, "The downloaded file could not be written."},
    {URLError::resourceUnavailable, "The resource is not in the cache."})

}  // namespace velmoradine
