#include "velmoradine/platform/http/curl_error_mapping.hpp"

#include <string>

#include "velmoradine/platform/http/url_error.hpp"

namespace velmoradine::curl_session {

Error transportError(CURLcode code, const char* detail) {
  std::string text = detail && *detail ? detail : curl_easy_strerror(code);
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return Error(URLError::timedOut, text);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return Error(URLError::cannotFindHost, text);
    case CURLE_COULDNT_CONNECT:
      return Error(URLError::cannotConnectToHost, text);
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return Error(URLError::networkConnectionLost, text);
    case CURLE_WEIRD_SERVER_REPLY:
      return Error(URLError::badServerResponse, text);
    case CURLE_UNSUPPORTED_PROTOCOL:
      // libcurl reports a reply without an HTTP status line this way too.
      if (text.find("HTTP/0.9") != std::string::npos) {
        return Error(URLError::badServerResponse, text);
      }
      return Error(URLError::unsupportedURL, text);
    case CURLE_TOO_MANY_REDIRECTS:
      return Error(URLError::httpTooManyRedirects, text);
    case CURLE_URL_MALFORMAT:
      return Error(URLError::badURL, text);
    case CURLE_PEER_FAILED_VERIFICATION:
      return Error(URLError::serverCertificateUntrusted, text);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
      return Error(URLError::secureConnectionFailed, text);
    case CURLE_FILESIZE_EXCEEDED:
      return Error(URLError::dataLengthExceedsMaximum, text);
    case CURLE_BAD_CONTENT_ENCODING:
      return Error(URLError::cannotDecodeContentData, text);
    default:
      return Error(URLError::unknown, text);
  }
}

}  // namespace velmoradine::curl_session
