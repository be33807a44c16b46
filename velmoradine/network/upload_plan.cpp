#include "velmoradine/network/upload_plan.hpp"

#include "velmoradine/model/json_coding.hpp"
#include "velmoradine/network/hashing.hpp"

namespace velmoradine {

Result<UploadPlanRequest> UploadPlanRequest::decode(const JSONReader& reader) {
  UploadPlanRequest request;
  VELMORADINE_ASSIGN_OR_RETURN(request.byte_size, reader.required<std::int64_t>("byte_size"));
  VELMORADINE_ASSIGN_OR_RETURN(request.checksum, reader.required<std::string>("checksum"));
  VELMORADINE_ASSIGN_OR_RETURN(request.content_type, reader.required<std::string>("content_type"));
  return request;
}

nlohmann::json UploadPlanRequest::toJSON() const {
  return {{"byte_size", byte_size}, {"checksum", checksum}, {"content_type", content_type}};
}

Result<UploadPlanRequest> uploadPlan(std::span<const std::uint8_t> data, std::string contentType) {
  VELMORADINE_ASSIGN_OR_RETURN(std::string checksum, md5Base64(data));
  return UploadPlanRequest{static_cast<std::int64_t>(data.size()), std::move(checksum),
                           std::move(contentType)};
}

Result<DirectUpload> DirectUpload::decode(const JSONReader& reader) {
  VELMORADINE_ASSIGN_OR_RETURN(const std::string text, reader.required<std::string>("url"));
  auto url = URL::parse(text);
  if (!url)
    return failure(reader.error(DecodingError::dataCorrupted, "\"url\" is not a URL: " + text));
  VELMORADINE_ASSIGN_OR_RETURN(auto headers,
                               (reader.required<std::map<std::string, std::string>>("headers")));
  return DirectUpload{*url, std::move(headers)};
}

nlohmann::json DirectUpload::toJSON() const {
  return {{"url", url.absoluteString()}, {"headers", headers}};
}

Result<Configurable> Configurable::decode(const JSONReader& reader) {
  VELMORADINE_ASSIGN_OR_RETURN(DirectUpload direct, reader.required<DirectUpload>("direct_upload"));
  return Configurable{std::move(direct)};
}

Result<UploadPlan> UploadPlan::decode(const JSONReader& reader) {
  VELMORADINE_ASSIGN_OR_RETURN(const std::string text, reader.required<std::string>("strategy"));
  auto strategy = uploadPlanStrategy(text);
  if (!strategy) {
    return failure(
        reader.error(DecodingError::dataCorrupted, "unknown upload strategy \"" + text + "\""));
  }
  VELMORADINE_ASSIGN_OR_RETURN(auto configurable, reader.optional<Configurable>("configurable"));
  return UploadPlan{*strategy, std::move(configurable)};
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
