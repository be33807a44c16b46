#pragma once

// The kit's one way to decode JSON: a JSONReader walks a parsed document and
// returns every value as a Result, never throwing. Types are strict: a
// required key that is missing or null fails, a value of another JSON type
// fails (a number is never text, a boolean never a number, a fraction never an
// integer), unknown keys are ignored. Every failure is a DecodingError whose
// detail starts with the JSON path of the value ("$.shareable.link: missing").
//
// A record decodes with `static Result<T> decode(const JSONReader&)`, written
// with `required`, `optional` and VELMORADINE_ASSIGN_OR_RETURN.

#include <cstdint>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

// Why a document did not decode.
enum class DecodingError {
  // Not JSON at all, or a value outside what its field accepts.
  dataCorrupted = 1,
  // A required key is missing.
  keyNotFound,
  // A value of the wrong JSON type.
  typeMismatch,
  // A required value is null.
  valueNotFound,
};

const ErrorCategory& decodingErrorCategory();
std::error_code make_error_code(DecodingError error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::DecodingError> : std::true_type {};

namespace velmoradine {

class JSONReader;

template <typename T>
inline constexpr bool isJSONArrayType = false;
template <typename E>
inline constexpr bool isJSONArrayType<std::vector<E>> = true;

template <typename T>
concept JSONDecodable = requires(const JSONReader& reader) {
  { T::decode(reader) } -> std::same_as<Result<T>>;
};

// Reads one value of a document, which must outlive the reader.
class JSONReader {
 public:
  explicit JSONReader(const nlohmann::json& value, std::string path = "$")
      : value_(value), path_(std::move(path)) {}

  const nlohmann::json& value() const { return value_; }
  const std::string& path() const { return path_; }

  // The error `kind` at this value: its detail is "<path>: <problem>".
  Error error(DecodingError kind, std::string_view problem) const;
  // The typeMismatch error at this value: "<path>: expected <expected>, found
  // <its JSON type>".
  Error mismatch(std::string_view expected) const;

  // This value as T: bool, an integer or floating-point type, std::string,
  // a string-to-string map, a vector of any of these, or a JSONDecodable record.
  template <typename T>
  Result<T> as() const;

  // The reader of the member `key` of this object; the member must be
  // present (it may be null: `as` refuses that).
  Result<JSONReader> field(std::string_view key) const;
  // The reader of the member `key`, or nothing when it is missing or null.
  Result<std::optional<JSONReader>> optionalField(std::string_view key) const;

  // The value under `key`, which must be present and not null.
  template <typename T>
  Result<T> required(std::string_view key) const {
    VELMORADINE_ASSIGN_OR_RETURN(const JSONReader reader, field(key));
    return reader.as<T>();
  }

  // The value under `key`, or nothing when the key is missing or null.
  template <typename T>
  Result<std::optional<T>> optional(std::string_view key) const {
    VELMORADINE_ASSIGN_OR_RETURN(const std::optional<JSONReader> reader, optionalField(key));
    if (!reader) return std::optional<T>();
    VELMORADINE_ASSIGN_OR_RETURN(T decoded, reader->as<T>());
    return std::optional<T>(std::move(decoded));
  }

  // The readers of the members of this object, in document order.
  Result<std::vector<std::pair<std::string, JSONReader>>> members() const;
  // The readers of the elements of this array.
  Result<std::vector<JSONReader>> elements() const;

 private:
  // The member `key` of this object (null when absent); fails when this
  // value is not an object.
  Result<const nlohmann::json*> member(std::string_view key) const;
  JSONReader child(std::string_view key, const nlohmann::json& value) const {
    return JSONReader(value, path_ + "." + std::string(key));
  }
  JSONReader element(std::size_t index, const nlohmann::json& value) const {
    return JSONReader(value, path_ + "[" + std::to_string(index) + "]");
  }

  const nlohmann::json& value_;
  std::string path_;
};

template <typename T>
Result<T> JSONReader::as() const {
  if (value_.is_null()) return failure(error(DecodingError::valueNotFound, "null"));
  if constexpr (std::is_same_v<T, bool>) {
    if (!value_.is_boolean()) return failure(mismatch("a boolean"));
    return value_.get<bool>();
  } else if constexpr (std::is_integral_v<T>) {
    if (!value_.is_number_integer()) return failure(mismatch("an integer"));
    if constexpr (std::is_signed_v<T>) {
      if (value_.is_number_unsigned() &&
          value_.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
        return failure(error(DecodingError::dataCorrupted, "too large"));
      }
    }
    return value_.get<T>();
  } else if constexpr (std::is_floating_point_v<T>) {
    if (!value_.is_number()) return failure(mismatch("a number"));
    return value_.get<T>();
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (!value_.is_string()) return failure(mismatch("a string"));
    return value_.get<std::string>();
  } else if constexpr (std::is_same_v<T, std::map<std::string, std::string>>) {
    if (!value_.is_object()) return failure(mismatch("an object"));
    std::map<std::string, std::string> map;
    for (const auto& [name, item] : value_.items()) {
      VELMORADINE_ASSIGN_OR_RETURN(map[name], child(name, item).template as<std::string>());
    }
    return map;
  } else if constexpr (isJSONArrayType<T>) {
    if (!value_.is_array()) return failure(mismatch("an array"));
    T items;
    items.reserve(value_.size());
    for (std::size_t index = 0; index < value_.size(); ++index) {
      VELMORADINE_ASSIGN_OR_RETURN(
          auto item, element(index, value_[index]).template as<typename T::value_type>());
      items.push_back(std::move(item));
    }
    return items;
  } else {
    static_assert(JSONDecodable<T>, "T needs `static Result<T> decode(const JSONReader&)`");
    if (!value_.is_object()) return failure(mismatch("an object"));
    return T::decode(*this);
  }
}

// Parses `text` as one JSON document; a failure is `dataCorrupted`.
Result<nlohmann::json> parseJSON(std::string_view text);

// Parses `text` and decodes the document as T.
template <JSONDecodable T>
Result<T> decodeJSON(std::string_view text) {
  VELMORADINE_ASSIGN_OR_RETURN(const nlohmann::json document, parseJSON(text));
  return T::decode(JSONReader(document));
}

}  // namespace velmoradine
