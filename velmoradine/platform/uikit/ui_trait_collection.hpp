#pragma once

// The environment a view is drawn in: for now its light or dark appearance.

namespace velmoradine {

enum class UIUserInterfaceStyle { unspecified, light, dark };

struct UITraitCollection {
  UIUserInterfaceStyle userInterfaceStyle = UIUserInterfaceStyle::light;
  friend bool operator==(const UITraitCollection&, const UITraitCollection&) = default;
};

}  // namespace velmoradine
