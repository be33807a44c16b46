// The storage endpoint named by upload plans: PUT to a signed address.

#include <optional>
#include <regex>

#include "server/context.hpp"
#include "server/http_support.hpp"

namespace velmoradine::devserver {

namespace {

constexpr const char* kUploadPath = R"(/v1/storage/([0-9a-f]{32}))";

// Reads and drops the body of a request refused before its upload began, so
// the client gets the reply rather than a reset connection.
void discardBody(const httplib::ContentReader& reader, httplib::Response& response) {
  if (!readBoundedBody(reader, 0).complete) response.set_header("Connection", "close");
}

// Everything about an upload that can be checked before its body: the
// signature, the share, the plan's headers. Gives the planned file, or
// writes the refusal and gives nothing.
std::optional<ShareFile> admitUpload(const httplib::Request& request, const std::string& key,
                                     httplib::Response& response, ServerContext& context) {
  auto verdict =
      context.signer.verify(key, request.get_param_value("expires"),
                            request.get_param_value("signature"), UploadSigner::Clock::now());
  if (verdict != UploadSigner::Verdict::valid) {
    bool expired = verdict == UploadSigner::Verdict::expired;
    replyError(response, 403, expired ? "expired_signature" : "invalid_signature",
               expired ? "The upload address has expired; create the share again."
                       : "The upload address's signature does not match.");
    return std::nullopt;
  }
  auto file = context.database.fileByStorageKey(key);
  if (!file) {
    replyError(response, 404, "unknown_upload", "The share of this upload no longer exists.");
    return std::nullopt;
  }
  if (request.get_header_value("Content-Type") != file->contentType) {
    replyError(response, 400, "content_type_mismatch",
               "The upload must carry \"Content-Type: " + file->contentType + "\".");
    return std::nullopt;
  }
  if (request.get_header_value("Content-MD5") != file->checksum) {
    replyError(response, 400, "content_md5_mismatch",
               "The upload must carry the planned \"Content-MD5\".");
    return std::nullopt;
  }
  return file;
}

}  // namespace

void registerUploadRoutes(httplib::Server& server, ServerContext& context) {
  // A client that asks before sending its body (libcurl does for bodies
  // over 1 MiB) learns of a refusal without sending megabytes first.
  server.set_expect_100_continue_handler(
      [&context](const httplib::Request& request, httplib::Response& response) {
        static const std::regex kPath(kUploadPath);
        std::smatch match;
        if (request.method != "PUT" || !std::regex_match(request.path, match, kPath)) return 100;
        if (admitUpload(request, match[1].str(), response, context)) return 100;
        response.set_header("Connection", "close");
        return response.status;
      });

  server.Put(kUploadPath, [&context](const httplib::Request& request, httplib::Response& response,
                                     const httplib::ContentReader& reader) {
    auto file = admitUpload(request, request.matches[1].str(), response, context);
    if (!file) {
      discardBody(reader, response);
      return;
    }

    auto result = context.storage.receive(*file, [&reader](const auto& sink) {
      return reader([&sink](const char* data, std::size_t size) { return sink(data, size); });
    });
    switch (result) {
      case UploadResult::stored:
        replyJson(response, 200, nlohmann::json::object());
        return;
      case UploadResult::sizeMismatch:
        replyErrorAndClose(response, 400, "size_mismatch",
                           "The upload's length differs from the planned " +
                               std::to_string(file->byteSize) + " bytes.");
        return;
      case UploadResult::checksumMismatch:
        replyError(response, 400, "checksum_mismatch",
                   "The upload's MD5 differs from the planned checksum.");
        return;
      case UploadResult::shareGone:
        replyError(response, 404, "unknown_upload", "The share of this upload no longer exists.");
        return;
      case UploadResult::incomplete:
        replyErrorAndClose(response, 400, "incomplete_upload",
                           "The upload ended before its announced length.");
        return;
    }
  });
}

}  // namespace velmoradine::devserver
