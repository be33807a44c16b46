#pragma once

// The "key file" format shared by .desktop entries and mimeapps.list:
// "[Group]" headers, "Key=Value" lines, "#" comments. Values keep their
// escapes until read as a string or a list, as the Desktop Entry rules say.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmoradine {

class KeyFile {
 public:
  using Group = std::map<std::string, std::string, std::less<>>;

  // Lines that are neither groups, comments nor keys are skipped; a key
  // given twice in a group keeps its first value.
  static KeyFile parse(std::string_view text);
  // Nothing when the file cannot be read.
  static std::optional<KeyFile> read(const std::filesystem::path& path);

  const Group* group(std::string_view name) const;
  // The value with \s \n \t \r \\ unescaped.
  std::optional<std::string> string(std::string_view group, std::string_view key) const;
  // A ";"-separated list ("\;" is a semicolon inside an item); empty items
  // are dropped.
  std::vector<std::string> list(std::string_view group, std::string_view key) const;
  // "true" is true; anything else, or nothing, is false.
  bool boolean(std::string_view group, std::string_view key) const;

 private:
  std::map<std::string, Group, std::less<>> groups_;
};

// The general string escapes of a value: \s \n \t \r \\. Other escapes are
// kept as written, for the rule of the key that uses them.
std::string unescapeValue(std::string_view raw);

}  // namespace velmoradine
