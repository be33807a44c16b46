#pragma once

// Fonts: a name (a family such as "DejaVu Serif", or a face name such as
// "Helvetica-Bold" whose suffix after the last '-' names a weight or style) and
// a size in points. Names are resolved through Pango and fontconfig when text
// is laid out; a name that matches no installed face falls back to the
// system's sans-serif face.

#include <string>

namespace velmoradine {

class Font {
 public:
  Font() = default;
  explicit Font(std::string name, double pointSize = 12)
      : name_(std::move(name)), pointSize_(pointSize) {}

  // The system's user-interface face.
  static Font systemFont(double pointSize) { return Font("", pointSize); }

  const std::string& name() const { return name_; }
  double pointSize() const { return pointSize_; }
  Font withSize(double pointSize) const { return Font(name_, pointSize); }

  // The family of the installed face the name resolves to (for instance
  // "DejaVu Sans" for an unknown name on a system whose sans face is DejaVu).
  std::string resolvedFamilyName() const;

  friend bool operator==(const Font&, const Font&) = default;

 private:
  std::string name_;
  double pointSize_ = 12;
};

}  // namespace velmoradine
