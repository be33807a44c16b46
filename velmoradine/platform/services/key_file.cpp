#include "velmoradine/platform/services/key_file.hpp"

#include <fstream>
#include <sstream>

namespace velmoradine {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::optional<char> unescaped(char escaped) {
  switch (escaped) {
    case 's':
      return ' ';
    case 'n':
      return '\n';
    case 't':
      return '\t';
    case 'r':
      return '\r';
    case '\\':
      return '\\';
    default:
      return std::nullopt;
  }
}

}  // namespace

std::string unescapeValue(std::string_view raw) {
  std::string value;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const auto plain = i + 1 < raw.size() && raw[i] == '\\' ? unescaped(raw[i + 1]) : std::nullopt;
    if (plain) {
      value += *plain;
      ++i;
    } else {
      value += raw[i];
    }
  }
  return value;
}

KeyFile KeyFile::parse(std::string_view text) {
  KeyFile file;
  Group* current = nullptr;
  std::istringstream lines{std::string(text)};
  for (std::string line; std::getline(lines, line);) {
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == '#') continue;
    if (content.front() == '[' && content.back() == ']') {
      current = &file.groups_[std::string(content.substr(1, content.size() - 2))];
      continue;
    }
    const auto equals = content.find('=');
    if (!current || equals == std::string_view::npos) continue;
    current->emplace(std::string(trimmed(content.substr(0, equals))),
                     std::string(trimmed(content.substr(equals + 1))));
  }
  return file;
}

std::optional<KeyFile> KeyFile::read(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) return std::nullopt;
  std::ostringstream text;
  text << stream.rdbuf();
  if (stream.bad()) return std::nullopt;
  return parse(text.str());
}

const KeyFile::Group* KeyFile::group(std::string_view name) const {
  const auto found = groups_.find(name);
  return found == groups_.end() ? nullptr : &found->second;
}

std::optional<std::string> KeyFile::string(std::string_view groupName, std::string_view key) const {
  const Group* values = group(groupName);
  if (!values) return std::nullopt;
  const auto found = values->find(key);
  if (found == values->end()) return std::nullopt;
  return unescapeValue(found->second);
}

std::vector<std::string> KeyFile::list(std::string_view groupName, std::string_view key) const {
  const Group* values = group(groupName);
  if (!values) return {};
  const auto found = values->find(key);
  if (found == values->end()) return {};
  std::vector<std::string> items;
  std::string raw;
  const std::string& text = found->second;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] == '\\' && i + 1 < text.size() && text[i + 1] == ';') {
      raw += ';';
      ++i;
    } else if (i == text.size() || text[i] == ';') {
      if (auto item = unescapeValue(trimmed(raw)); !item.empty()) items.push_back(std::move(item));
      raw.clear();
    } else {
      raw += text[i];
    }
  }
  return items;
}

bool KeyFile::boolean(std::string_view groupName, std::string_view key) const {
  return string(groupName, key) == "true";
}

}  // namespace velmoradine
