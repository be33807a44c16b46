#include "velmoradine/platform/foundation/json_reader.hpp"

#include "velmoradine/platform/foundation/error_enumeration.hpp"

namespace velmoradine {

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    DecodingError, decodingErrorCategory, "Velmoradine.Decoding",
    {DecodingError::dataCorrupted,
     "The data couldn\u2019t be read because it isn\u2019t in the correct format."},
    {DecodingError::keyNotFound, "The data couldn\u2019t be read because it is missing."},
    {DecodingError::typeMismatch,
     "The data couldn\u2019t be read because it isn\u2019t in the correct format."},
    {DecodingError::valueNotFound, "The data couldn\u2019t be read because it is missing."})

Error JSONReader::error(DecodingError kind, std::string_view problem) const {
  return Error(kind, path_ + ": " + std::string(problem));
}

Error JSONReader::mismatch(std::string_view expected) const {
  return error(DecodingError::typeMismatch,
               "expected " + std::string(expected) + ", found " + value_.type_name());
}

Result<const nlohmann::json*> JSONReader::member(std::string_view key) const {
  if (!value_.is_object()) return failure(mismatch("an object"));
  auto found = value_.find(key);
  return found == value_.end() ? nullptr : &*found;
}

Result<JSONReader> JSONReader::field(std::string_view key) const {
  VELMORADINE_ASSIGN_OR_RETURN(const nlohmann::json* found, member(key));
  if (!found) return failure(child(key, value_).error(DecodingError::keyNotFound, "missing"));
  return child(key, *found);
}

Result<std::optional<JSONReader>> JSONReader::optionalField(std::string_view key) const {
  VELMORADINE_ASSIGN_OR_RETURN(const nlohmann::json* found, member(key));
  if (!found || found->is_null()) return std::optional<JSONReader>();
  return std::optional<JSONReader>(child(key, *found));
}

Result<std::vector<std::pair<std::string, JSONReader>>> JSONReader::members() const {
  if (!value_.is_object()) return failure(mismatch("an object"));
  std::vector<std::pair<std::string, JSONReader>> readers;
  for (const auto& [name, item] : value_.items()) readers.emplace_back(name, child(name, item));
  return readers;
}

Result<std::vector<JSONReader>> JSONReader::elements() const {
  if (!value_.is_array()) return failure(mismatch("an array"));
  std::vector<JSONReader> readers;
  for (std::size_t index = 0; index < value_.size(); ++index) {
    readers.push_back(element(index, value_[index]));
  }
  return readers;
}

// The parser reports where the text went wrong only by exception; it is
// caught here, at the library's edge.
Result<nlohmann::json> parseJSON(std::string_view text) {
  try {
    return nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& exception) {
    return failure(Error(DecodingError::dataCorrupted, exception.what()));
  }
}

}  // namespace velmoradine
