#pragma once

// How a file of a share reaches storage: the request that describes the file
// to the backend, and the plan the backend answers with.

#include <cstdint>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

class JSONReader;

// Describes one file: its length, the Base64 MD5 of its bytes and its media
// type. Encodes and decodes with the same keys.
struct UploadPlanRequest {
  std::int64_t byte_size = 0;
  std::string checksum;
  std::string content_type;

  static Result<UploadPlanRequest> decode(const JSONReader& reader);
  nlohmann::json toJSON() const;

  friend bool operator==(const UploadPlanRequest&, const UploadPlanRequest&) = default;
};

// The upload-plan request for `data` with the media type `contentType`; fails
// only when the digest cannot be taken.
Result<UploadPlanRequest> uploadPlan(std::span<const std::uint8_t> data, std::string contentType);

// A PUT of the file to `url` with exactly `headers`. Encodes and decodes; a
// `url` that is not an absolute URL fails decoding.
struct DirectUpload {
  URL url;
  std::map<std::string, std::string> headers;

  static Result<DirectUpload> decode(const JSONReader& reader);
  nlohmann::json toJSON() const;

  friend bool operator==(const DirectUpload&, const DirectUpload&) = default;
};

struct Configurable {
  DirectUpload direct_upload;

  static Result<Configurable> decode(const JSONReader& reader);

  friend bool operator==(const Configurable&, const Configurable&) = default;
};

struct UploadPlan {
  // On the wire "" and "configurable"; any other text fails decoding.
  enum class Strategy { unknown, configurable };

  Strategy strategy = Strategy::unknown;
  // May be missing or null, whatever the strategy.
  std::optional<Configurable> configurable;

  static Result<UploadPlan> decode(const JSONReader& reader);

  friend bool operator==(const UploadPlan&, const UploadPlan&) = default;
};

std::string_view rawValue(UploadPlan::Strategy strategy);
std::optional<UploadPlan::Strategy> uploadPlanStrategy(std::string_view rawValue);

}  // namespace velmoradine
