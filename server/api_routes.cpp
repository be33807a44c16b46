// The kit's backend API under "/v1/api/sdk/".

#include <chrono>

#include "server/activation_sizes.hpp"
#include "server/auth.hpp"
#include "server/context.hpp"
#include "server/crypto.hpp"
#include "server/http_support.hpp"
#include "server/wire.hpp"

namespace velmoradine::devserver {

namespace {

using nlohmann::json;

// Debug codes are read aloud and typed: no 0/O, 1/I/L or U.
constexpr std::string_view kCodeAlphabet = "23456789ABCDEFGHJKMNPQRSTVWXYZ";

std::string makeDebugCode() {
  std::string code;
  while (code.size() < 9) {
    if (code.size() == 4) {
      code += '-';
      continue;
    }
    auto byte = static_cast<unsigned char>(randomBytes(1)[0]);
    // Rejection keeps every symbol equally likely.
    if (byte >= 240) continue;
    code += kCodeAlphabet[byte % kCodeAlphabet.size()];
  }
  return code;
}

json applicationJson(const Application& application) {
  json body = json::object();
  if (application.ctaLink) body["cta_link"] = *application.ctaLink;
  body["slug"] = application.slug;
  if (application.brandColor) body["brand_color"] = *application.brandColor;
  if (application.backgroundColor) body["background_color"] = *application.backgroundColor;
  return body;
}

json uploadPlanJson(const ShareFile& file, const std::string& baseURL, const UploadSigner& signer,
                    std::int64_t expires) {
  std::string url = baseURL + "v1/storage/" + file.storageKey +
                    "?expires=" + std::to_string(expires) +
                    "&signature=" + signer.signature(file.storageKey, expires);
  return {
      {"strategy", "configurable"},
      {"configurable",
       {{"direct_upload",
         {{"url", url},
          {"headers", {{"Content-Type", file.contentType}, {"Content-MD5", file.checksum}}}}}}}};
}

ShareFile newFile(FileRole role, const UploadPlanRequest& plan) {
  return ShareFile{.storageKey = hexEncode(randomBytes(16)),
                   .role = role,
                   .byteSize = plan.byte_size,
                   .checksum = plan.checksum,
                   .contentType = plan.content_type};
}

}  // namespace

void registerApiRoutes(httplib::Server& server, ServerContext& context) {
  server.Get("/v1/api/sdk/application",
             [&context](const httplib::Request& request, httplib::Response& response) {
               auto application = authenticate(request, response, context.database);
               if (!application) return;
               replyJson(response, 200, applicationJson(*application));
             });

  server.Put("/v1/api/sdk/debug/context",
             [&context](const httplib::Request& request, httplib::Response& response,
                        const httplib::ContentReader& reader) {
               auto accepted = acceptJsonRequest(request, response, reader, context.database);
               if (!accepted) return;
               if (!accepted->body.is_object()) {
                 replyError(response, 400, "invalid_request", "the body must be a JSON object");
                 return;
               }
               std::string body = accepted->body.dump();
               for (int attempt = 0; attempt < 16; ++attempt) {
                 std::string code = makeDebugCode();
                 if (context.database.insertDebugContext(code, accepted->application.id,
                                                         contribUserId(request), body)) {
                   replyJson(response, 200, {{"code", code}});
                   return;
                 }
               }
               replyError(response, 503, "no_free_code", "No unused debug code was found.");
             });

  // Reads back a stored debug context: for the developer who holds the code.
  server.Get(R"(/v1/api/sdk/debug/context/([0-9A-Z-]{1,16}))",
             [&context](const httplib::Request& request, httplib::Response& response) {
               auto application = authenticate(request, response, context.database);
               if (!application) return;
               auto body = context.database.debugContext(application->id, request.matches[1].str());
               if (!body) {
                 replyError(response, 404, "not_found", "This application has no such code.");
                 return;
               }
               response.status = 200;
               response.set_content(*body, "application/json");
             });

  server.Post(
      "/v1/api/sdk/share", [&context](const httplib::Request& request, httplib::Response& response,
                                      const httplib::ContentReader& reader) {
        auto accepted = acceptJsonRequest(request, response, reader, context.database);
        if (!accepted) return;
        auto share = parseShareRequest(accepted->body, context.options.maxUploadBytes);
        if (!share) {
          replyError(response, 400, "invalid_request", share.error());
          return;
        }
        NewShare record{.applicationId = accepted->application.id,
                        .accessToken = base64UrlEncode(randomBytes(32)),
                        .linkId = base64UrlEncode(randomBytes(16)),
                        .title = share->title,
                        .shareableType = share->shareable_type,
                        .userId = contribUserId(request),
                        .video = newFile(FileRole::videoContent, share->video_content),
                        .preview = newFile(FileRole::previewImage, share->preview_image)};
        context.database.insertShare(record);

        auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
        std::int64_t expires = now + context.options.uploadTimeToLiveSeconds;
        std::string base = context.baseURL(request);
        replyJson(response, 200,
                  {{"video_content", uploadPlanJson(record.video, base, context.signer, expires)},
                   {"preview_image", uploadPlanJson(record.preview, base, context.signer, expires)},
                   {"shareable",
                    {{"title", record.title},
                     {"link", base + "s/" + record.linkId},
                     {"shareable_access_token", record.accessToken}}}});
      });

  server.Post("/v1/api/sdk/share/activate", [&context](const httplib::Request& request,
                                                       httplib::Response& response,
                                                       const httplib::ContentReader& reader) {
    auto accepted = acceptJsonRequest(request, response, reader, context.database);
    if (!accepted) return;
    auto activate = parseActivateRequest(accepted->body);
    if (!activate) {
      replyError(response, 400, "invalid_request", activate.error());
      return;
    }
    switch (context.database.activate(accepted->application.id, activate->shareable_access_token,
                                      activate->video_content, activate->preview_image)) {
      case ActivationResult::activated:
        recordActivatedSizes(context.database, context.storage, accepted->application.id,
                             activate->shareable_access_token);
        replyJson(response, 200, json::object());
        return;
      case ActivationResult::unknownShare:
        replyError(response, 404, "unknown_share",
                   "This application has no share with that token.");
        return;
      case ActivationResult::notUploaded:
        replyError(response, 409, "upload_missing",
                   "The file has not been uploaded and verified yet.");
        return;
    }
  });

  server.Delete("/v1/api/sdk/share", [&context](const httplib::Request& request,
                                                httplib::Response& response,
                                                const httplib::ContentReader& reader) {
    auto accepted = acceptJsonRequest(request, response, reader, context.database);
    if (!accepted) return;
    auto deletion = parseDeleteShareRequest(accepted->body);
    if (!deletion) {
      replyError(response, 400, "invalid_request", deletion.error());
      return;
    }
    if (!context.storage.withdraw(accepted->application.id, deletion->shareable_access_token)) {
      replyError(response, 404, "unknown_share", "This application has no share with that token.");
      return;
    }
    replyJson(response, 200, json::object());
  });
}

}  // namespace velmoradine::devserver
