#pragma once

// How a presentation ended, as the host hears it, and how the UGC presents
// its share sheet.

#include <functional>
#include <optional>
#include <string>

namespace velmoradine {

class PresentationResult {
 public:
  // An outlet shared; `destination` is its canonical name ("copy").
  static PresentationResult shared(std::string destination);
  static PresentationResult cancelled();
  static PresentationResult ignored();

  bool isShared() const { return kind_ == Kind::shared; }
  bool isCancelled() const { return kind_ == Kind::cancelled; }
  bool isIgnored() const { return kind_ == Kind::ignored; }
  // Empty unless shared.
  const std::string& destination() const { return destination_; }
  // "shared(destination: copy)", "cancelled", "ignored".
  std::string description() const;

  friend bool operator==(const PresentationResult&, const PresentationResult&) = default;

 private:
  enum class Kind { shared, cancelled, ignored };
  PresentationResult(Kind kind, std::string destination)
      : kind_(kind), destination_(std::move(destination)) {}

  Kind kind_;
  std::string destination_;
};

using PresentationCompletion = std::function<void(const PresentationResult&)>;

class PresentationStyle {
 public:
  // A tap-to-share banner with `message`.
  static PresentationStyle toast(std::string message);
  // The sheet at once.
  static PresentationStyle shareSheet();

  bool isToast() const { return toastMessage_.has_value(); }
  // Set for a toast.
  const std::optional<std::string>& message() const { return toastMessage_; }

  friend bool operator==(const PresentationStyle&, const PresentationStyle&) = default;

 private:
  explicit PresentationStyle(std::optional<std::string> toastMessage)
      : toastMessage_(std::move(toastMessage)) {}

  std::optional<std::string> toastMessage_;
};

}  // namespace velmoradine
