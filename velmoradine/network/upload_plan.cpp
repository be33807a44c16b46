#include "velmoradine/network/upload_plan.hpp"

#include "velmoradine/model/json_coding.hpp"
#include "velmoradine/network/hashing.hpp"

namespace velmoradine {

UploadPlanRequest UploadPlanRequest::fromJSON(const nlohmann::json& json) {
  return {json::required<std::int64_t>(json, "byte_size"),
          json::required<std::string>(json, "checksum"),
          json::required<std::string>(json, "content_type")};
}

nlohmann::json UploadPlanRequest::toJSON() const {
  return {{"byte_size", byte_size}, {"checksum", checksum}, {"content_type", content_type}};
}

UploadPlanRequest uploadPlan(std::span<const std::uint8_t> data, std::string contentType) {
  return {static_cast<std::int64_t>(data.size()), md5Base64(data), std::move(contentType)};
}

DirectUpload DirectUpload::fromJSON(const nlohmann::json& json) {
  auto text = json::required<std::string>(json, "url");
  auto url = URL::parse(text);
  if (!url) {
    throw json::DecodingFailure(DecodingError::dataCorrupted, "\"url\" is not a URL: " + text);
  }
  return {*url, json::required<std::map<std::string, std::string>>(json, "headers")};
}

nlohmann::json DirectUpload::toJSON() const {
  return {{"url", url.absoluteString()}, {"headers", headers}};
}

Configurable Configurable::fromJSON(const nlohmann::json& json) {
  return {json::required<DirectUpload>(json, "direct_upload")};
}

UploadPlan UploadPlan::fromJSON(const nlohmann::json& json) {
  auto text = json::required<std::string>(json, "strategy");
  auto strategy = uploadPlanStrategy(text);
  if (!strategy) {
    throw json::DecodingFailure(DecodingError::dataCorrupted, "unknown upload strategy " + text);
  }
  return {*strategy, json::optional<Configurable>(json, "configurable")};
}

std::string_view rawValue(UploadPlan::Strategy strategy) {
  return strategy == UploadPlan::Strategy::configurable ? "configurable" : "";
}

std::optional<UploadPlan::Strategy> uploadPlanStrategy(std::string_view rawValue) {
  if (rawValue.empty()) return UploadPlan::Strategy::unknown;
  if (rawValue == "configurable") return UploadPlan::Strategy::configurable;
  return std::nullopt;
}

}  // namespace velmoradine
