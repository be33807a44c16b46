#include "velmoradine/platform/http/curl_transfer.hpp"

#include <fcntl.h>
#include <openssl/ssl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "velmoradine/platform/foundation/file_locations.hpp"

namespace velmoradine::curl_session {
namespace {

constexpr long kMaximumRedirects = 16;

bool isTokenCharacter(unsigned char c) {
  return std::isalnum(c) ||
         std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

// A header that would break the request line apart (a line break in a value,
// a name that is not a token) must never reach the wire.
bool isValidHeader(std::string_view name, std::string_view value) {
  if (name.empty() || !std::ranges::all_of(name, isTokenCharacter)) return false;
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return std::string(text);
}

// Adds the configured certificates to the store libcurl verifies peers
// against; the system's authorities stay trusted.
CURLcode addTrustedCertificates(CURL*, void* context, void* path) {
  X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(context));
  const auto& file = *static_cast<const std::filesystem::path*>(path);
  return X509_STORE_load_file(store, file.c_str()) == 1 ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
}

size_t onHeader(char* buffer, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  std::string_view line(buffer, size * count);
  transfer->lastActivity = SteadyClock::now();
  if (line.starts_with("HTTP/")) {
    // A new response (after a redirect or an interim reply) starts afresh.
    transfer->responseHeaders.clear();
  } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
    transfer->responseHeaders.emplace_back(trimmed(line.substr(0, colon)),
                                           trimmed(line.substr(colon + 1)));
  }
  return size * count;
}

size_t onData(char* buffer, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  size_t length = size * count;
  transfer->lastActivity = SteadyClock::now();
  if (transfer->file) {
    if (std::fwrite(buffer, 1, length, transfer->file) != length) {
      transfer->failure = Error(URLError::cannotWriteToFile, transfer->filePath.string());
      return 0;
    }
    return length;
  }
  if (transfer->maximumSize && transfer->received.size() + length > *transfer->maximumSize) {
    transfer->failure = Error(URLError::dataLengthExceedsMaximum);
    return 0;
  }
  transfer->received.insert(transfer->received.end(), buffer, buffer + length);
  return length;
}

size_t onReadBody(char* buffer, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const Data& body = *transfer->body;
  const std::size_t length = std::min(size * count, body.size() - transfer->bodyOffset);
  auto read = body.read(transfer->bodyOffset, {reinterpret_cast<std::uint8_t*>(buffer), length});
  if (!read) {
    transfer->failure = std::move(read.error());
    return CURL_READFUNC_ABORT;
  }
  transfer->bodyOffset += length;
  return length;
}

// Rewinds a streamed body when libcurl sends it again (after a redirect
// or on a connection that closed before the reply).
int onSeekBody(void* context, curl_off_t offset, int origin) {
  auto* transfer = static_cast<Transfer*>(context);
  if (origin != SEEK_SET || offset < 0 ||
      static_cast<std::size_t>(offset) > transfer->body->size()) {
    return CURL_SEEKFUNC_CANTSEEK;
  }
  transfer->bodyOffset = static_cast<std::size_t>(offset);
  return CURL_SEEKFUNC_OK;
}

int onProgress(void* context, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* transfer = static_cast<Transfer*>(context);
  if (downloaded != transfer->downloaded || uploaded != transfer->uploaded) {
    transfer->downloaded = downloaded;
    transfer->uploaded = uploaded;
    transfer->lastActivity = SteadyClock::now();
  }
  return 0;
}

// The method, and the body the request sends if any.
void setMethodAndBody(Transfer& transfer, CURL* easy) {
  const URLRequest& request = transfer.task->originalRequest();
  const std::string& method = request.httpMethod();
  transfer.body = request.httpBody();
  static const Data kEmpty;
  const Data* body = transfer.body ? transfer.body.get() : nullptr;
  if (method == "GET" && !body) {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else if (method == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (body || method == "POST" || method == "PUT" || method == "PATCH") {
    if (!body) body = &kEmpty;
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    if (body->isFileView()) {
      // A view of a file is streamed from the file in libcurl's own
      // buffer, never mapped or read whole.
      curl_easy_setopt(easy, CURLOPT_POST, 1L);
      curl_easy_setopt(easy, CURLOPT_READFUNCTION, &onReadBody);
      curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
      curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &onSeekBody);
      curl_easy_setopt(easy, CURLOPT_SEEKDATA, &transfer);
    } else {
      // Any other body is sent from the request's own buffer, without a copy.
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS,
                       body->empty() ? "" : reinterpret_cast<const char*>(body->data()));
    }
    if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
  } else {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
}

}  // namespace

std::optional<std::pair<std::FILE*, std::filesystem::path>> createDownloadFile() {
  std::error_code error;
  auto folder = file_locations::temporaryDirectory();
  std::filesystem::create_directories(folder, error);
  std::string pattern = (folder / "VelmoradineDownload-XXXXXX.tmp").string();
  int descriptor = mkstemps(pattern.data(), 4);
  if (descriptor < 0) return std::nullopt;
  std::FILE* file = fdopen(descriptor, "wb");
  if (!file) {
    close(descriptor);
    std::filesystem::remove(pattern, error);
    return std::nullopt;
  }
  return std::pair{file, std::filesystem::path(pattern)};
}

Result<std::vector<std::string>> headerLines(const Transfer& transfer,
                                             const URLSessionConfiguration& configuration) {
  const URLRequest& request = transfer.task->originalRequest();
  std::vector<std::string> lines;
  auto addLine = [&](std::string_view name, std::string_view value) {
    // libcurl sends "Name;" as a field with an empty value ("Name:" alone
    // would remove the field).
    lines.push_back(value.empty() ? std::string(name) + ";"
                                  : std::string(name) + ": " + std::string(value));
  };
  for (const auto& [name, value] : request.allHTTPHeaderFields()) {
    if (!isValidHeader(name, value)) {
      return failure(Error(URLError::badURL, "invalid header field " + name));
    }
    addLine(name, value);
  }
  for (const auto& [name, value] : configuration.httpAdditionalHeaders) {
    if (!request.valueForHTTPHeaderField(name) && isValidHeader(name, value)) addLine(name, value);
  }
  if (transfer.cached) {
    if (auto tag = transfer.cached->response.valueForHTTPHeaderField("ETag")) {
      addLine("If-None-Match", *tag);
    }
    if (auto modified = transfer.cached->response.valueForHTTPHeaderField("Last-Modified")) {
      addLine("If-Modified-Since", *modified);
    }
  }
  // Only the fields the request asked for: no defaults of libcurl's own,
  // and no "Expect: 100-continue" round trip before a body.
  lines.emplace_back("Expect:");
  if (!request.valueForHTTPHeaderField("Accept")) lines.emplace_back("Accept:");
  if (!request.valueForHTTPHeaderField("Content-Type")) lines.emplace_back("Content-Type:");
  return lines;
}

void setUpHandle(Transfer& transfer, CURL* easy, const std::vector<std::string>& lines,
                 const URLSessionConfiguration& configuration, CURLSH* share) {
  const URLRequest& request = transfer.task->originalRequest();
  transfer.easy = easy;
  for (const std::string& line : lines)
    transfer.headers = curl_slist_append(transfer.headers, line.c_str());

  auto requestTimeout =
      std::min(request.timeoutInterval(), configuration.timeoutIntervalForRequest);
  transfer.idleTimeout = requestTimeout;
  transfer.maximumSize = request.maximumResponseSize();

  curl_easy_setopt(easy, CURLOPT_URL, request.url().absoluteString().c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaximumRedirects);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(requestTimeout.count()));
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                   static_cast<long>(std::min(configuration.timeoutIntervalForResource,
                                              request.totalTimeoutInterval().value_or(
                                                  configuration.timeoutIntervalForResource))
                                         .count()));
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onData);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &onProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
  if (transfer.maximumSize) {
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(*transfer.maximumSize));
  }
  if (configuration.additionalTrustedCertificates) {
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &addTrustedCertificates);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &*configuration.additionalTrustedCertificates);
  }
  if (share) {
    curl_easy_setopt(easy, CURLOPT_SHARE, share);
    // An empty cookie file turns the cookie engine on (see CurlEngine::detach).
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
  }
  setMethodAndBody(transfer, easy);
}

}  // namespace velmoradine::curl_session
