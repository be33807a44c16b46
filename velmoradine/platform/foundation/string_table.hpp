#pragma once

// String tables ("Localizable.strings"): the host's translations of the kit's
// English texts. The English text is the key; without a translation the key
// itself is the text.

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class StringTable {
 public:
  StringTable() = default;
  explicit StringTable(std::map<std::string, std::string, std::less<>> entries)
      : entries_(std::move(entries)) {}

  // Reads a table in the text form (`"key" = "value";` with C comments and
  // backslash escapes, UTF-8 or UTF-16 with a byte-order mark) or as an XML
  // or binary property list of texts.
  static Result<StringTable> read(const std::filesystem::path& path);
  static Result<StringTable> parse(const std::string& bytes);

  std::optional<std::string> lookup(std::string_view key) const;
  std::size_t size() const { return entries_.size(); }

 private:
  std::map<std::string, std::string, std::less<>> entries_;
};

// The main bundle's translation of `key`, or `key` itself.
std::string localizedString(std::string_view key);

}  // namespace velmoradine
