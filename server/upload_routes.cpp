// The storage endpoint named by upload plans: PUT to a signed address.

#include "server/context.hpp"
#include "server/http_support.hpp"

namespace velmoradine::devserver {

namespace {

// Reads and drops the body of a request refused before its upload began, so
// the client gets the reply rather than a reset connection.
void discardBody(const httplib::ContentReader& reader, httplib::Response& response) {
  if (!readBoundedBody(reader, 0).complete) response.set_header("Connection", "close");
}

}  // namespace

void registerUploadRoutes(httplib::Server& server, ServerContext& context) {
  server.Put(R"(/v1/storage/([0-9a-f]{32}))", [&context](const httplib::Request& request,
                                                         httplib::Response& response,
                                                         const httplib::ContentReader& reader) {
    std::string key = request.matches[1].str();
    auto verdict =
        context.signer.verify(key, request.get_param_value("expires"),
                              request.get_param_value("signature"), UploadSigner::Clock::now());
    if (verdict != UploadSigner::Verdict::valid) {
      bool expired = verdict == UploadSigner::Verdict::expired;
      replyError(response, 403, expired ? "expired_signature" : "invalid_signature",
                 expired ? "The upload address has expired; create the share again."
                         : "The upload address's signature does not match.");
      discardBody(reader, response);
      return;
    }
    auto file = context.database.fileByStorageKey(key);
    if (!file) {
      replyError(response, 404, "unknown_upload", "The share of this upload no longer exists.");
      discardBody(reader, response);
      return;
    }
    if (request.get_header_value("Content-Type") != file->contentType) {
      replyError(response, 400, "content_type_mismatch",
                 "The upload must carry \"Content-Type: " + file->contentType + "\".");
      discardBody(reader, response);
      return;
    }
    if (request.get_header_value("Content-MD5") != file->checksum) {
      replyError(response, 400, "content_md5_mismatch",
                 "The upload must carry the planned \"Content-MD5\".");
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
