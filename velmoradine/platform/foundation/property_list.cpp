#include "velmoradine/platform/foundation/property_list.hpp"

#include <plist/plist.h>

#include <memory>

#include "velmoradine/platform/foundation/file_contents.hpp"

namespace velmoradine {
namespace {

// Seconds between the Unix epoch and the property-list epoch (2001-01-01).
constexpr std::int64_t kPlistEpochOffset = 978307200;

// Conversion recurses once per level, so a hostile document nested many
// thousand levels deep would exhaust the stack; real ones nest a few levels.
constexpr int kDeepestNesting = 128;
// An Info.plist is kilobytes; anything far larger is not one.
constexpr std::size_t kLargestDocument = std::size_t{8} << 20;

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Nothing when `node` nests deeper than the limit allows.
std::optional<PropertyList> convert(plist_t node, int depth);

std::optional<PropertyList> convertDictionary(plist_t node, int depth) {
  PropertyList::Dictionary dictionary;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(node, &iterator);
  bool complete = true;
  for (;;) {
    char* key = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(node, iterator, &key, &item);
    if (!key) break;
    std::optional<PropertyList> value = convert(item, depth + 1);
    if (value) dictionary.emplace(key, std::move(*value));
    std::free(key);
    if (!value) {
      complete = false;
      break;
    }
  }
  std::free(iterator);
  if (!complete) return std::nullopt;
  return dictionary;
}

std::optional<PropertyList> convertArray(plist_t node, int depth) {
  PropertyList::Array array;
  for (std::uint32_t i = 0; i < plist_array_get_size(node); ++i) {
    std::optional<PropertyList> item = convert(plist_array_get_item(node, i), depth + 1);
    if (!item) return std::nullopt;
    array.push_back(std::move(*item));
  }
  return PropertyList(std::move(array));
}

std::optional<PropertyList> convert(plist_t node, int depth) {
  if (depth > kDeepestNesting) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return PropertyList(value != 0);
    }
    case PLIST_UINT: {
      std::uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return PropertyList(static_cast<std::int64_t>(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return PropertyList(value);
    }
    case PLIST_STRING: {
      char* value = nullptr;
      plist_get_string_val(node, &value);
      PropertyList result(std::string(value ? value : ""));
      std::free(value);
      return result;
    }
    case PLIST_DATA: {
      char* bytes = nullptr;
      std::uint64_t length = 0;
      plist_get_data_val(node, &bytes, &length);
      PropertyList::Data data(bytes, bytes + length);
      std::free(bytes);
      return PropertyList(std::move(data));
    }
    case PLIST_DATE: {
      std::int32_t seconds = 0;
      std::int32_t microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      auto since = std::chrono::seconds(seconds + kPlistEpochOffset) +
                   std::chrono::microseconds(microseconds);
      return PropertyList(PropertyList::Date(
          std::chrono::duration_cast<std::chrono::system_clock::duration>(since)));
    }
    case PLIST_ARRAY:
      return convertArray(node, depth);
    case PLIST_DICT:
      return convertDictionary(node, depth);
    default:
      return PropertyList();
  }
}

struct NodeBuilder {
  plist_t operator()(const std::monostate&) const { return plist_new_string(""); }
  plist_t operator()(const std::string& value) const { return plist_new_string(value.c_str()); }
  plist_t operator()(bool value) const { return plist_new_bool(value); }
  plist_t operator()(std::int64_t value) const {
    return plist_new_uint(static_cast<std::uint64_t>(value));
  }
  plist_t operator()(double value) const { return plist_new_real(value); }
  plist_t operator()(const PropertyList::Date& value) const {
    auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(value.time_since_epoch()).count();
    auto seconds = micros / 1000000;
    return plist_new_date(static_cast<std::int32_t>(seconds - kPlistEpochOffset),
                          static_cast<std::int32_t>(micros % 1000000));
  }
  plist_t operator()(const PropertyList::Data& value) const {
    return plist_new_data(reinterpret_cast<const char*>(value.data()), value.size());
  }
  plist_t operator()(const PropertyList::Array& value) const;
  plist_t operator()(const PropertyList::Dictionary& value) const;
};

}  // namespace

// Builds libplist nodes from the variant; kept out of the header so that
// libplist stays an implementation detail.
struct PropertyListAccess {
  static plist_t node(const PropertyList& list) { return std::visit(NodeBuilder{}, list.value_); }
};

plist_t NodeBuilder::operator()(const PropertyList::Array& value) const {
  plist_t array = plist_new_array();
  for (const auto& item : value) plist_array_append_item(array, PropertyListAccess::node(item));
  return array;
}

plist_t NodeBuilder::operator()(const PropertyList::Dictionary& value) const {
  plist_t dictionary = plist_new_dict();
  for (const auto& [key, item] : value) {
    plist_dict_set_item(dictionary, key.c_str(), PropertyListAccess::node(item));
  }
  return dictionary;
}

Result<PropertyList> PropertyList::parse(const std::string& bytes) {
  plist_t root = nullptr;
  if (bytes.rfind("bplist00", 0) == 0) {
    plist_from_bin(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  } else {
    plist_from_xml(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  }
  if (!root) {
    return failure(
        Error(std::make_error_code(std::errc::illegal_byte_sequence), "not a property list"));
  }
  PlistPtr owner(root);
  std::optional<PropertyList> converted = convert(root, 1);
  if (!converted) {
    return failure(Error(
        std::make_error_code(std::errc::illegal_byte_sequence),
        "the property list nests deeper than " + std::to_string(kDeepestNesting) + " levels"));
  }
  return std::move(*converted);
}

// Only a regular file of sane size is read: a pipe or device named
// Info.plist would block or never end.
Result<PropertyList> PropertyList::read(const std::filesystem::path& path) {
  VELMORADINE_ASSIGN_OR_RETURN(const velmoradine::Data contents,
                               readContents(path, kLargestDocument));
  return parse(std::string(contents.begin(), contents.end()));
}

std::string PropertyList::xml() const {
  PlistPtr root(PropertyListAccess::node(*this));
  char* text = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root.get(), &text, &length);
  std::string result(text, length);
  std::free(text);
  return result;
}

std::string PropertyList::binary() const {
  PlistPtr root(PropertyListAccess::node(*this));
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root.get(), &bytes, &length);
  std::string result(bytes, length);
  std::free(bytes);
  return result;
}

std::optional<bool> PropertyList::boolean() const {
  if (auto* value = std::get_if<bool>(&value_)) return *value;
  return std::nullopt;
}

std::optional<std::int64_t> PropertyList::integer() const {
  if (auto* value = std::get_if<std::int64_t>(&value_)) return *value;
  return std::nullopt;
}

std::optional<double> PropertyList::real() const {
  if (auto* value = std::get_if<double>(&value_)) return *value;
  if (auto* value = std::get_if<std::int64_t>(&value_)) return static_cast<double>(*value);
  return std::nullopt;
}

std::optional<PropertyList::Date> PropertyList::date() const {
  if (auto* value = std::get_if<Date>(&value_)) return *value;
  return std::nullopt;
}

const PropertyList* PropertyList::find(std::string_view key) const {
  const Dictionary* entries = dictionary();
  if (!entries) return nullptr;
  auto found = entries->find(key);
  return found == entries->end() ? nullptr : &found->second;
}

std::optional<std::string> PropertyList::stringFor(std::string_view key) const {
  const PropertyList* value = find(key);
  if (!value || !value->string()) return std::nullopt;
  return *value->string();
}

}  // namespace velmoradine
