#include "server/wire.hpp"

#include <regex>

#include "server/crypto.hpp"

namespace velmoradine::devserver {

namespace {

using nlohmann::json;

// Reads one field of an object, naming it by its full path in messages.
class Fields {
 public:
  Fields(const json& object, std::string path) : object_(object), path_(std::move(path)) {}

  std::string name(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
  }
  const json* find(std::string_view key) const {
    auto found = object_.find(key);
    if (found == object_.end() || found->is_null()) return nullptr;
    return &*found;
  }

  std::expected<std::string, std::string> text(std::string_view key) const {
    const json* value = find(key);
    if (value == nullptr) return std::unexpected(name(key) + " is required");
    if (!value->is_string()) return std::unexpected(name(key) + " must be a string");
    return value->get<std::string>();
  }
  // Absent is fine; present must be a string.
  std::expected<void, std::string> optionalText(std::string_view key) const {
    const json* value = find(key);
    if (value != nullptr && !value->is_string()) {
      return std::unexpected(name(key) + " must be a string");
    }
    return {};
  }
  std::expected<bool, std::string> boolean(std::string_view key) const {
    const json* value = find(key);
    if (value == nullptr) return std::unexpected(name(key) + " is required");
    if (!value->is_boolean()) return std::unexpected(name(key) + " must be true or false");
    return value->get<bool>();
  }
  std::expected<std::int64_t, std::string> integer(std::string_view key) const {
    const json* value = find(key);
    if (value == nullptr) return std::unexpected(name(key) + " is required");
    if (!value->is_number_integer()) return std::unexpected(name(key) + " must be an integer");
    if (value->is_number_unsigned() && value->get<std::uint64_t>() > std::uint64_t(INT64_MAX)) {
      return std::unexpected(name(key) + " is out of range");
    }
    return value->get<std::int64_t>();
  }
  std::expected<Fields, std::string> object(std::string_view key) const {
    const json* value = find(key);
    if (value == nullptr) return std::unexpected(name(key) + " is required");
    if (!value->is_object()) return std::unexpected(name(key) + " must be an object");
    return Fields(*value, name(key));
  }

 private:
  const json& object_;
  std::string path_;
};

std::expected<Fields, std::string> topLevel(const json& body) {
  if (!body.is_object()) return std::unexpected(std::string("the body must be a JSON object"));
  return Fields(body, "");
}

std::expected<UploadPlanRequest, std::string> parsePlan(const Fields& parent, std::string_view key,
                                                        std::string_view contentType,
                                                        std::uint64_t maxUploadBytes) {
  auto fields = parent.object(key);
  if (!fields) return std::unexpected(fields.error());
  UploadPlanRequest plan;
  auto size = fields->integer("byte_size");
  if (!size) return std::unexpected(size.error());
  if (*size < 0) return std::unexpected(fields->name("byte_size") + " must not be negative");
  if (std::uint64_t(*size) > maxUploadBytes) {
    return std::unexpected(fields->name("byte_size") + " exceeds the largest upload, " +
                           std::to_string(maxUploadBytes) + " bytes");
  }
  plan.byte_size = *size;
  auto checksum = fields->text("checksum");
  if (!checksum) return std::unexpected(checksum.error());
  auto digest = base64Decode(*checksum);
  if (checksum->size() != 24 || !digest || digest->size() != 16) {
    return std::unexpected(fields->name("checksum") +
                           " must be an MD5 digest in Base64 (24 characters)");
  }
  plan.checksum = *checksum;
  auto type = fields->text("content_type");
  if (!type) return std::unexpected(type.error());
  if (*type != contentType) {
    return std::unexpected(fields->name("content_type") + " must be \"" + std::string(contentType) +
                           "\"");
  }
  plan.content_type = *type;
  return plan;
}

}  // namespace

std::expected<ShareRequest, std::string> parseShareRequest(const json& body,
                                                           std::uint64_t maxUploadBytes) {
  auto fields = topLevel(body);
  if (!fields) return std::unexpected(fields.error());
  ShareRequest request;
  auto video = parsePlan(*fields, "video_content", "video/mp4", maxUploadBytes);
  if (!video) return std::unexpected(video.error());
  request.video_content = *video;
  auto preview = parsePlan(*fields, "preview_image", "image/jpeg", maxUploadBytes);
  if (!preview) return std::unexpected(preview.error());
  request.preview_image = *preview;
  auto shareable = fields->object("shareable");
  if (!shareable) return std::unexpected(shareable.error());
  auto title = shareable->text("title");
  if (!title) return std::unexpected(title.error());
  if (title->size() > kMaxTitleBytes) {
    return std::unexpected("shareable.title is longer than " + std::to_string(kMaxTitleBytes) +
                           " bytes");
  }
  request.title = *title;
  auto type = shareable->text("shareable_type");
  if (!type) return std::unexpected(type.error());
  if (*type != "video")
    return std::unexpected(std::string("shareable.shareable_type must be \"video\""));
  request.shareable_type = *type;
  return request;
}

std::expected<ActivateRequest, std::string> parseActivateRequest(const json& body) {
  auto fields = topLevel(body);
  if (!fields) return std::unexpected(fields.error());
  ActivateRequest request;
  auto video = fields->boolean("video_content");
  if (!video) return std::unexpected(video.error());
  auto preview = fields->boolean("preview_image");
  if (!preview) return std::unexpected(preview.error());
  if (!*video && !*preview) {
    return std::unexpected(std::string("video_content or preview_image must be true"));
  }
  auto token = fields->text("shareable_access_token");
  if (!token) return std::unexpected(token.error());
  request.video_content = *video;
  request.preview_image = *preview;
  request.shareable_access_token = *token;
  return request;
}

std::expected<DeleteShareRequest, std::string> parseDeleteShareRequest(const json& body) {
  auto fields = topLevel(body);
  if (!fields) return std::unexpected(fields.error());
  auto token = fields->text("shareable_access_token");
  if (!token) return std::unexpected(token.error());
  return DeleteShareRequest{*token};
}

namespace {

std::expected<void, std::string> checkWrappedEvent(const Fields& event) {
  static const std::regex kTimestamp(
      R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}(Z|[+-]\d{2}:?\d{2}))");
  auto timestamp = event.text("timestamp");
  if (!timestamp) return std::unexpected(timestamp.error());
  if (!std::regex_match(*timestamp, kTimestamp)) {
    return std::unexpected(event.name("timestamp") + " must read like 2021-03-04T05:06:07.089Z");
  }

  bool hasEvent = event.find("event") != nullptr;
  bool hasObservability = event.find("observability") != nullptr;
  if (hasEvent == hasObservability) {
    return std::unexpected(event.name("event") + " or " + event.name("observability") +
                           " is required, not both");
  }
  if (hasEvent) {
    auto analytics = event.object("event");
    if (!analytics) return std::unexpected(analytics.error());
    if (auto name = analytics->text("event_name"); !name) return std::unexpected(name.error());
    if (auto text = analytics->optionalText("error_string"); !text) return text;
  } else {
    auto observability = event.object("observability");
    if (!observability) return std::unexpected(observability.error());
    if (auto text = observability->optionalText("event_name"); !text) return text;
    if (auto text = observability->optionalText("message"); !text) return text;
  }

  auto device = event.object("device");
  if (!device) return std::unexpected(device.error());
  for (auto key : {"app_version", "os_version", "platform", "vendor_id"}) {
    if (auto value = device->text(key); !value) return std::unexpected(value.error());
  }

  if (event.find("context") != nullptr) {
    static const std::regex kUUID(
        "[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}");
    auto context = event.object("context");
    if (!context) return std::unexpected(context.error());
    auto uuid = context->text("uuid");
    if (!uuid) return std::unexpected(uuid.error());
    if (!std::regex_match(*uuid, kUUID)) {
      return std::unexpected(context->name("uuid") + " must be a UUID");
    }
  }

  auto contrib = event.object("contrib");
  if (!contrib) return std::unexpected(contrib.error());
  if (auto user = contrib->optionalText("contrib_user_id"); !user) return user;

  auto application = event.object("application");
  if (!application) return std::unexpected(application.error());
  if (auto slug = application->optionalText("application_slug"); !slug) return slug;
  return {};
}

}  // namespace

std::expected<void, std::string> checkBatchEvent(const json& event, const std::string& path) {
  if (!event.is_object()) return std::unexpected(path + " must be an object");
  return checkWrappedEvent(Fields(event, path));
}

}  // namespace velmoradine::devserver
