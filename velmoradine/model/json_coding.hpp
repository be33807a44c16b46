#pragma once

// Strict JSON coding of the wire records: a required key that is missing or
// null fails, a value of another JSON type fails (a number is never text, a
// boolean never a number, a fraction never an integer), unknown keys are
// ignored. A record decodes with `static T fromJSON(const nlohmann::json&)`
// and encodes with `nlohmann::json toJSON() const`, written with these
// helpers; `decodeJSON` and `encodeJSON` turn every failure into a value.

#include <cstdint>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "velmoradine/platform/foundation/data.hpp"
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

namespace velmoradine::json {

// Thrown by the helpers below while decoding; `decodeJSON` catches it.
class DecodingFailure : public std::runtime_error {
 public:
  DecodingFailure(DecodingError kind, const std::string& what)
      : std::runtime_error(what), kind_(kind) {}
  DecodingError kind() const { return kind_; }

 private:
  DecodingError kind_;
};

// Thrown by `to_json` of a value that has no JSON form (a non-finite number,
// say); `encodeJSON` catches it.
class EncodingFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `value` as T, with the strict type rules above.
template <typename T>
T as(const nlohmann::json& value, std::string_view key) {
  if (value.is_null()) {
    throw DecodingFailure(DecodingError::valueNotFound,
                          "null value for \"" + std::string(key) + "\"");
  }
  auto mismatch = [&] {
    return DecodingFailure(DecodingError::typeMismatch,
                           "\"" + std::string(key) + "\" holds a " + value.type_name());
  };
  if constexpr (std::is_same_v<T, bool>) {
    if (!value.is_boolean()) throw mismatch();
    return value.get<bool>();
  } else if constexpr (std::is_integral_v<T>) {
    if (!value.is_number_integer()) throw mismatch();
    if constexpr (std::is_signed_v<T>) {
      if (value.is_number_unsigned() &&
          value.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
        throw DecodingFailure(DecodingError::dataCorrupted,
                              "\"" + std::string(key) + "\" is too large");
      }
    }
    return value.get<T>();
  } else if constexpr (std::is_floating_point_v<T>) {
    if (!value.is_number()) throw mismatch();
    return value.get<T>();
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (!value.is_string()) throw mismatch();
    return value.get<std::string>();
  } else if constexpr (std::is_same_v<T, std::map<std::string, std::string>>) {
    if (!value.is_object()) throw mismatch();
    std::map<std::string, std::string> map;
    for (const auto& [name, item] : value.items()) map[name] = as<std::string>(item, name);
    return map;
  } else {
    if (!value.is_object()) throw mismatch();
    return T::fromJSON(value);
  }
}

// The value under `key` of `object`, which must be present and not null.
template <typename T>
T required(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) {
    throw DecodingFailure(DecodingError::typeMismatch,
                          std::string("expected an object, found a ") + object.type_name());
  }
  auto found = object.find(key);
  if (found == object.end()) {
    throw DecodingFailure(DecodingError::keyNotFound, "no value for \"" + std::string(key) + "\"");
  }
  return as<T>(*found, key);
}

// The value under `key`, or nothing when the key is missing or null.
template <typename T>
std::optional<T> optional(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) {
    throw DecodingFailure(DecodingError::typeMismatch,
                          std::string("expected an object, found a ") + object.type_name());
  }
  auto found = object.find(key);
  if (found == object.end() || found->is_null()) return std::nullopt;
  return as<T>(*found, key);
}

// Parses `body` and decodes it as T. Any failure is a DecodingError whose
// detail says what was wrong.
template <typename T>
Result<T> decodeJSON(std::string_view body);

// Parses `body` as one JSON document.
Result<nlohmann::json> parseJSON(std::string_view body);
// The decoding error for an exception thrown while decoding.
Error decodingError(const std::exception& exception);

template <typename T>
Result<T> decodeJSON(std::string_view body) {
  auto document = parseJSON(body);
  if (!document) return failure(document.error());
  try {
    return T::fromJSON(*document);
  } catch (const std::exception& exception) {
    return failure(decodingError(exception));
  }
}

// The JSON text of `value` (keys as the record names them, no extra spaces),
// or nothing when it has no JSON form (invalid UTF-8 text, a non-finite
// number).
template <typename T>
std::optional<std::string> encodeJSON(const T& value) {
  try {
    return value.toJSON().dump();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace velmoradine::json
