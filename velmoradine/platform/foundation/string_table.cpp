#include "velmoradine/platform/foundation/string_table.hpp"

#include <cctype>
#include <fstream>
#include <sstream>

#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/foundation/property_list.hpp"

namespace velmoradine {
namespace {

Error malformed(std::string detail) {
  return Error(std::make_error_code(std::errc::illegal_byte_sequence), std::move(detail));
}

void appendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// UTF-16 (with its byte-order mark) to UTF-8; surrogate pairs are joined.
std::string utf16ToUtf8(const std::string& bytes, bool bigEndian) {
  std::string out;
  auto unitAt = [&](std::size_t i) -> char16_t {
    auto a = static_cast<unsigned char>(bytes[i]);
    auto b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? static_cast<char16_t>(a << 8 | b) : static_cast<char16_t>(b << 8 | a);
  };
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      char32_t low = unitAt(i + 2);
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    appendUtf8(out, unit);
  }
  return out;
}

// The text form of a string table, read as a small recursive-descent parser.
class TextTableParser {
 public:
  explicit TextTableParser(const std::string& text) : text_(text) {}

  Result<std::map<std::string, std::string, std::less<>>> parse() {
    std::map<std::string, std::string, std::less<>> entries;
    for (;;) {
      VELMORADINE_TRY(skipSpace());
      if (at_ >= text_.size()) return entries;
      VELMORADINE_ASSIGN_OR_RETURN(std::string key, token());
      VELMORADINE_TRY(skipSpace());
      std::string value = key;
      if (peek() == '=') {
        ++at_;
        VELMORADINE_TRY(skipSpace());
        VELMORADINE_ASSIGN_OR_RETURN(value, token());
        VELMORADINE_TRY(skipSpace());
      }
      if (peek() != ';') return failure(malformed("expected ';' at offset " + std::to_string(at_)));
      ++at_;
      entries.insert_or_assign(std::move(key), std::move(value));
    }
  }

 private:
  char peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }

  Result<void> skipSpace() {
    while (at_ < text_.size()) {
      char c = text_[at_];
      if (std::isspace(static_cast<unsigned char>(c))) {
        ++at_;
      } else if (text_.compare(at_, 2, "//") == 0) {
        at_ = text_.find('\n', at_);
        if (at_ == std::string::npos) at_ = text_.size();
      } else if (text_.compare(at_, 2, "/*") == 0) {
        std::size_t end = text_.find("*/", at_ + 2);
        if (end == std::string::npos) return failure(malformed("unterminated comment"));
        at_ = end + 2;
      } else {
        break;
      }
    }
    return {};
  }

  Result<std::string> token() {
    if (peek() == '"') return quoted();
    std::size_t start = at_;
    while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) ||
                                  text_[at_] == '_' || text_[at_] == '.' || text_[at_] == '-')) {
      ++at_;
    }
    if (start == at_) return failure(malformed("expected a text at offset " + std::to_string(at_)));
    return text_.substr(start, at_ - start);
  }

  Result<std::string> quoted() {
    std::string out;
    ++at_;
    while (at_ < text_.size()) {
      char c = text_[at_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) break;
      char escaped = text_[at_++];
      switch (escaped) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'U':
        case 'u': {
          if (at_ + 4 > text_.size()) return failure(malformed("short unicode escape"));
          appendUtf8(out, static_cast<char32_t>(std::stoul(text_.substr(at_, 4), nullptr, 16)));
          at_ += 4;
          break;
        }
        default:
          out += escaped;
      }
    }
    return failure(malformed("unterminated text"));
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

}  // namespace

Result<StringTable> StringTable::parse(const std::string& bytes) {
  if (bytes.rfind("bplist00", 0) == 0 || bytes.find("<plist") != std::string::npos) {
    VELMORADINE_ASSIGN_OR_RETURN(const PropertyList list, PropertyList::parse(bytes));
    const PropertyList::Dictionary* dictionary = list.dictionary();
    if (!dictionary) return failure(malformed("string table is not a dictionary"));
    std::map<std::string, std::string, std::less<>> entries;
    for (const auto& [key, value] : *dictionary) {
      if (value.string()) entries.emplace(key, *value.string());
    }
    return StringTable(std::move(entries));
  }
  std::string text = bytes;
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
      static_cast<unsigned char>(text[1]) == 0xFE) {
    text = utf16ToUtf8(bytes, false);
  } else if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFE &&
             static_cast<unsigned char>(text[1]) == 0xFF) {
    text = utf16ToUtf8(bytes, true);
  } else if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
    text.erase(0, 3);
  }
  VELMORADINE_ASSIGN_OR_RETURN(auto entries, TextTableParser(text).parse());
  return StringTable(std::move(entries));
}

Result<StringTable> StringTable::read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return failure(Error::posix(ENOENT, path.string()));
  std::ostringstream contents;
  contents << file.rdbuf();
  return parse(contents.str());
}

std::optional<std::string> StringTable::lookup(std::string_view key) const {
  auto found = entries_.find(key);
  if (found == entries_.end()) return std::nullopt;
  return found->second;
}

std::string localizedString(std::string_view key) {
  return Bundle::main().localizedString(key);
}

}  // namespace velmoradine
