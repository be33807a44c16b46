#pragma once

// A property-list value (the host's Info.plist and other plist documents),
// read from XML or binary form. Accessors give nothing when the value has
// another type, so a mistyped key reads like a missing one.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class PropertyList {
 public:
  using Array = std::vector<PropertyList>;
  using Dictionary = std::map<std::string, PropertyList, std::less<>>;
  using Data = std::vector<std::uint8_t>;
  using Date = std::chrono::system_clock::time_point;

  PropertyList() = default;
  PropertyList(std::string value) : value_(std::move(value)) {}
  PropertyList(const char* value) : value_(std::string(value)) {}
  PropertyList(bool value) : value_(value) {}
  PropertyList(std::int64_t value) : value_(value) {}
  PropertyList(int value) : value_(static_cast<std::int64_t>(value)) {}
  PropertyList(double value) : value_(value) {}
  PropertyList(Date value) : value_(value) {}
  PropertyList(Data value) : value_(std::move(value)) {}
  PropertyList(Array value) : value_(std::move(value)) {}
  PropertyList(Dictionary value) : value_(std::move(value)) {}

  // Parses an XML or binary property-list document.
  static Result<PropertyList> parse(const std::string& bytes);
  static Result<PropertyList> read(const std::filesystem::path& path);
  // The XML and binary forms, as a host's build tools write an Info.plist.
  std::string xml() const;
  std::string binary() const;

  const std::string* string() const { return std::get_if<std::string>(&value_); }
  std::optional<bool> boolean() const;
  std::optional<std::int64_t> integer() const;
  std::optional<double> real() const;
  const Data* data() const { return std::get_if<Data>(&value_); }
  std::optional<Date> date() const;
  const Array* array() const { return std::get_if<Array>(&value_); }
  const Dictionary* dictionary() const { return std::get_if<Dictionary>(&value_); }

  // The value under `key` when this is a dictionary that has it.
  const PropertyList* find(std::string_view key) const;
  // The text under `key`; nothing when absent or not text.
  std::optional<std::string> stringFor(std::string_view key) const;

  friend bool operator==(const PropertyList&, const PropertyList&) = default;

 private:
  friend struct PropertyListAccess;
  std::variant<std::monostate, std::string, bool, std::int64_t, double, Date, Data, Array,
               Dictionary>
      value_;
};

}  // namespace velmoradine
