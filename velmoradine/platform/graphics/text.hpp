#pragma once

// Text for text layers: plain text or attributed text whose runs override the
// layer's font and colour over ranges of UTF-8 bytes.

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/font.hpp"

namespace velmoradine {

struct TextAttributes {
  std::optional<Font> font;
  std::optional<Color> foregroundColor;
  std::optional<Color> backgroundColor;
  std::optional<double> kern;  // extra space after each character, in points
  bool underline = false;
  friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

struct AttributedString {
  struct Run {
    std::size_t location = 0;  // first byte
    std::size_t length = 0;    // bytes
    TextAttributes attributes;
    friend bool operator==(const Run&, const Run&) = default;
  };

  std::string string;
  std::vector<Run> runs;

  AttributedString() = default;
  explicit AttributedString(std::string text) : string(std::move(text)) {}
  AttributedString& addAttributes(std::size_t location, std::size_t length,
                                  TextAttributes attributes) {
    runs.push_back({location, length, std::move(attributes)});
    return *this;
  }

  friend bool operator==(const AttributedString&, const AttributedString&) = default;
};

using TextString = std::variant<std::string, AttributedString>;

}  // namespace velmoradine
