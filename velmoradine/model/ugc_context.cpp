#include "velmoradine/model/ugc_context.hpp"

#include <cmath>

#include "velmoradine/core/type_name.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/foundation/json_reader.hpp"

namespace velmoradine {
namespace {

// JSON has no text for infinities and NaN; writing them as null would hide
// a broken value from the backend.
void requireFinite(const nlohmann::json& value) {
  if (value.is_number_float() && !std::isfinite(value.get<double>())) {
    throw nlohmann::json::type_error::create(317, "a non-finite number has no JSON form", nullptr);
  }
  if (value.is_structured()) {
    for (const auto& item : value) requireFinite(item);
  }
}

template <typename T>
bool encodeIf(nlohmann::json& container, const std::string& key, const std::any& value) {
  if (const T* typed = std::any_cast<T>(&value)) {
    container[key] = *typed;
    return true;
  }
  return false;
}

template <typename... Types>
bool encodeAny(nlohmann::json& container, const std::string& key, const std::any& value) {
  return (encodeIf<Types>(container, key, value) || ...);
}

json::AnyDictionary dictionaryOf(const nlohmann::json& object);
json::AnyList listOf(const nlohmann::json& array);

std::optional<std::any> decodeMember(const nlohmann::json& value) {
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer() &&
      !(value.is_number_unsigned() && value.get<std::uint64_t>() > INT64_MAX)) {
    return value.get<std::int64_t>();
  }
  if (value.is_number()) return value.get<double>();
  if (value.is_object()) return dictionaryOf(value);
  if (value.is_array()) return listOf(value);
  return std::nullopt;
}

std::optional<std::any> decodeElement(const nlohmann::json& value) {
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number()) return value.get<double>();
  if (value.is_string()) return value.get<std::string>();
  if (value.is_object()) return dictionaryOf(value);
  if (value.is_array()) return listOf(value);
  return std::nullopt;
}

json::AnyDictionary dictionaryOf(const nlohmann::json& object) {
  json::AnyDictionary dictionary;
  for (const auto& [key, value] : object.items()) {
    if (auto decoded = decodeMember(value)) dictionary[key] = std::move(*decoded);
  }
  return dictionary;
}

json::AnyList listOf(const nlohmann::json& array) {
  json::AnyList list;
  for (const auto& element : array) {
    if (auto decoded = decodeElement(element)) list.push_back(std::move(*decoded));
  }
  return list;
}

}  // namespace

nlohmann::json UGCContext::toJSON() const {
  nlohmann::json values = nlohmann::json::object();
  json::encodeDynamicKeyValues(values, encodableSource_);
  requireFinite(values);
  return {{"tag", tag_}, {"context", std::move(values)}};
}

void to_json(nlohmann::json& json, const UGCContext& context) {
  json = context.toJSON();
}

nlohmann::json UGCContext::context() const {
  try {
    auto document = nlohmann::json::parse(toJSON().dump());
    if (auto found = document.find("context"); found != document.end() && found->is_object()) {
      return *found;
    }
  } catch (const nlohmann::json::exception& error) {
    console::writeLine(error.what());
  }
  return nlohmann::json::object();
}

namespace json {

void encodeDynamicKeyValues(nlohmann::json& container, const AnyDictionary& dictionary) {
  for (const auto& [key, value] : dictionary) {
    if (const auto* wrapper = std::any_cast<EncodableWrapper>(&value)) {
      container[key] = wrapper->encode();
      continue;
    }
    if (encodeAny<std::string, bool, std::int64_t, std::uint64_t, int, long, long long, unsigned,
                  unsigned long, unsigned long long, short, unsigned short, double, float>(
            container, key, value)) {
      continue;
    }
    console::writeLine("Type " + unqualifiedTypeName(value.type()) + " not supported");
  }
}

Result<AnyDictionary> decodeDictionary(const JSONReader& reader) {
  if (!reader.value().is_object()) return failure(reader.mismatch("an object"));
  return dictionaryOf(reader.value());
}

Result<AnyDictionary> decodeDictionary(const JSONReader& container, std::string_view key) {
  VELMORADINE_ASSIGN_OR_RETURN(const JSONReader reader, container.field(key));
  return decodeDictionary(reader);
}

Result<std::optional<AnyDictionary>> decodeDictionaryIfPresent(const JSONReader& container,
                                                               std::string_view key) {
  VELMORADINE_ASSIGN_OR_RETURN(const std::optional<JSONReader> reader,
                               container.optionalField(key));
  if (!reader) return std::optional<AnyDictionary>();
  VELMORADINE_ASSIGN_OR_RETURN(AnyDictionary dictionary, decodeDictionary(*reader));
  return std::optional<AnyDictionary>(std::move(dictionary));
}

Result<AnyList> decodeList(const JSONReader& reader) {
  if (!reader.value().is_array()) return failure(reader.mismatch("an array"));
  return listOf(reader.value());
}

Result<AnyList> decodeList(const JSONReader& container, std::string_view key) {
  VELMORADINE_ASSIGN_OR_RETURN(const JSONReader reader, container.field(key));
  return decodeList(reader);
}

Result<std::optional<AnyList>> decodeListIfPresent(const JSONReader& container,
                                                   std::string_view key) {
  VELMORADINE_ASSIGN_OR_RETURN(const std::optional<JSONReader> reader,
                               container.optionalField(key));
  if (!reader) return std::optional<AnyList>();
  VELMORADINE_ASSIGN_OR_RETURN(AnyList list, decodeList(*reader));
  return std::optional<AnyList>(std::move(list));
}

}  // namespace json
}  // namespace velmoradine
