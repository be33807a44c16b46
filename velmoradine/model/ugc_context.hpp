#pragma once

// A tagged set of values that a host records about how it builds its
// user-generated content, for the backend's debug endpoint and the debugger
// view. Its JSON form is {"tag": tag, "context": {key: value, …}}.
//
// Threading: a context is used from one thread at a time.

#include <any>
#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "velmoradine/platform/foundation/json_reader.hpp"

namespace velmoradine {

// A type with a JSON form: a `toJSON()` member, or a conversion nlohmann's
// library knows (containers of numbers and texts, for instance).
template <typename T>
concept JSONEncodable = requires(const T& value) {
  { value.toJSON() } -> std::convertible_to<nlohmann::json>;
}
|| std::is_constructible_v<nlohmann::json, const T&>;

// Holds one encodable value, which encodes itself.
class EncodableWrapper {
 public:
  template <JSONEncodable T>
  explicit EncodableWrapper(T value)
      : wrapped_(value), encode_([value = std::move(value)] {
          if constexpr (requires { value.toJSON(); }) {
            return nlohmann::json(value.toJSON());
          } else {
            return nlohmann::json(value);
          }
        }) {}

  const std::any& wrapped() const { return wrapped_; }
  nlohmann::json encode() const { return encode_(); }

 private:
  std::any wrapped_;
  std::function<nlohmann::json()> encode_;
};

class UGCContext {
 public:
  explicit UGCContext(std::string tag) : tag_(std::move(tag)) {}

  const std::string& tag() const { return tag_; }
  // Texts, integers, floating-point numbers and booleans are kept as they
  // are, other encodable values in an EncodableWrapper; a value without a
  // JSON form is kept too but left out of the encoded form.
  const std::map<std::string, std::any>& encodableSource() const { return encodableSource_; }

  // Stores `value` under `key`, replacing an older value.
  template <typename T>
  void set(T value, std::string key);

  // The encoded form. Throws nlohmann::json::exception for a value with no
  // JSON text (a non-finite number); the kit's encoder reports that as an
  // encoding failure.
  nlohmann::json toJSON() const;
  // The object under "context" of the encoded form, read back from its JSON
  // text; an empty object (and a line on standard output) when it does not
  // encode.
  nlohmann::json context() const;

 private:
  std::string tag_;
  std::map<std::string, std::any> encodableSource_;
};

template <typename T>
void UGCContext::set(T value, std::string key) {
  using Value = std::decay_t<T>;
  std::any stored;
  if constexpr (std::is_same_v<Value, bool> || std::is_same_v<Value, double> ||
                std::is_same_v<Value, float> || std::is_same_v<Value, std::string> ||
                std::is_same_v<Value, EncodableWrapper>) {
    stored = std::move(value);
  } else if constexpr (std::is_convertible_v<Value, std::string_view>) {
    stored = std::string(std::string_view(value));
  } else if constexpr (std::is_integral_v<Value> && std::is_signed_v<Value>) {
    stored = static_cast<std::int64_t>(value);
  } else if constexpr (std::is_integral_v<Value>) {
    stored = static_cast<std::uint64_t>(value);
  } else if constexpr (JSONEncodable<Value>) {
    stored = EncodableWrapper(std::move(value));
  } else {
    stored = std::move(value);
  }
  encodableSource_[std::move(key)] = std::move(stored);
}

void to_json(nlohmann::json& json, const UGCContext& context);

namespace json {

using AnyDictionary = std::map<std::string, std::any>;
using AnyList = std::vector<std::any>;

// Writes each entry of `dictionary` into the object `container`: texts,
// integers, floating-point numbers, booleans and EncodableWrappers; for any
// other value writes "Type <name> not supported" to standard output and
// skips it.
void encodeDynamicKeyValues(nlohmann::json& container, const AnyDictionary& dictionary);

// A JSON object as a dictionary of any values: each member becomes a
// boolean, text, integer (std::int64_t), double, nested dictionary or nested
// list, the first of these that fits; null members are left out. Fails
// (DecodingError) when the value (or the member `key`) is not an object or
// `key` is missing; the IfPresent forms give nothing for a missing or null
// member instead.
Result<AnyDictionary> decodeDictionary(const JSONReader& reader);
Result<AnyDictionary> decodeDictionary(const JSONReader& container, std::string_view key);
Result<std::optional<AnyDictionary>> decodeDictionaryIfPresent(const JSONReader& container,
                                                               std::string_view key);

// A JSON array as a list of any values: null elements are skipped, every
// number becomes a double, others as for dictionaries.
Result<AnyList> decodeList(const JSONReader& reader);
Result<AnyList> decodeList(const JSONReader& container, std::string_view key);
Result<std::optional<AnyList>> decodeListIfPresent(const JSONReader& container,
                                                   std::string_view key);

}  // namespace json
}  // namespace velmoradine
