#pragma once

// The general pasteboard: items of typed representations, kept in the process
// and, where a desktop session exists, published to its clipboard.
//
// Threading: callable from any thread.

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "velmoradine/platform/foundation/data.hpp"

namespace velmoradine {

// Bytes are shared, not copied: a video on the pasteboard can be large.
using PasteboardValue = std::variant<std::string, std::shared_ptr<const Data>>;
// One item: its representations by type (or by a receiving app's key).
using PasteboardItem = std::map<std::string, PasteboardValue, std::less<>>;

class Pasteboard {
 public:
  using Clock = std::chrono::system_clock;

  virtual ~Pasteboard() = default;
  // Replaces every item. Past `expirationDate` the items read as gone.
  virtual void setItems(std::vector<PasteboardItem> items,
                        std::optional<Clock::time_point> expirationDate) = 0;
  virtual std::vector<PasteboardItem> items() const = 0;
  // Replaces every item by one holding the text ("public.utf8-plain-text").
  virtual void setString(std::string text) = 0;
  virtual std::optional<std::string> string() const = 0;
  // Adds the bytes as `pasteboardType` to the first item (making one if
  // there is none), so text and video can travel together.
  virtual void setData(std::shared_ptr<const Data> data, std::string pasteboardType) = 0;
};

}  // namespace velmoradine
