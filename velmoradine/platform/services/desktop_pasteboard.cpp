#include "velmoradine/platform/services/desktop_pasteboard.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>

#include "velmoradine/platform/dispatch/clock.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/services/desktop_entry.hpp"
#include "velmoradine/platform/services/desktop_process.hpp"

namespace velmoradine {
namespace {

constexpr std::string_view kTextType = "public.utf8-plain-text";
constexpr std::array<std::string_view, 3> kTextTypes = {kTextType, "public.plain-text",
                                                        "public.text"};
constexpr std::string_view kMPEG4Type = "public.mpeg-4";

bool isMP4File(const Data& bytes) {
  std::array<std::uint8_t, 4> box{};
  constexpr std::array<std::uint8_t, 4> kFileType = {'f', 't', 'y', 'p'};
  return bytes.size() >= 8 && bytes.read(4, box) && box == kFileType;
}

// What goes to the desktop clipboard: text, or video bytes.
struct ClipboardContent {
  bool isText = false;
  std::shared_ptr<const Data> bytes;
};

std::optional<ClipboardContent> textContent(const PasteboardItem& item) {
  for (const auto type : kTextTypes) {
    const auto found = item.find(type);
    if (found == item.end()) continue;
    if (const auto* text = std::get_if<std::string>(&found->second)) {
      return ClipboardContent{true, std::make_shared<const Data>(text->begin(), text->end())};
    }
  }
  return std::nullopt;
}

std::optional<ClipboardContent> videoContent(const PasteboardItem& item) {
  for (const auto& [type, value] : item) {
    const auto* bytes = std::get_if<std::shared_ptr<const Data>>(&value);
    if (bytes && *bytes && (type == kMPEG4Type || isMP4File(**bytes))) {
      return ClipboardContent{false, *bytes};
    }
  }
  return std::nullopt;
}

// The desktop session's clipboard program, as found in the environment.
struct ClipboardSession {
  bool wayland = false;

  std::string program() const { return wayland ? "wl-copy" : "xclip"; }
  std::vector<std::string> copyArguments(const ClipboardContent& content) const {
    std::vector<std::string> arguments = {program()};
    if (!wayland) arguments.insert(arguments.end(), {"-selection", "clipboard"});
    if (!content.isText) {
      arguments.insert(arguments.end(), {wayland ? "--type" : "-target", "video/mp4"});
    }
    return arguments;
  }
  std::vector<std::string> clearArguments() const {
    if (wayland) return {program(), "--clear"};
    return {program(), "-selection", "clipboard"};
  }

  static std::optional<ClipboardSession> current() {
    const auto isSet = [](const char* name) {
      const char* value = std::getenv(name);
      return value && *value;
    };
    if (isSet("WAYLAND_DISPLAY")) return ClipboardSession{true};
    if (isSet("DISPLAY")) return ClipboardSession{false};
    return std::nullopt;
  }
};

void runClipboardProgram(const std::vector<std::string>& arguments, const Data& input) {
  if (!findExecutable(arguments.front())) {
    console::writeLine("Pasteboard: " + arguments.front() +
                       " is not installed; the copy stays in this application");
    return;
  }
  const auto status = desktop_process::runFeeding(arguments, input);
  if (!status) {
    console::writeLine("Pasteboard: " + status.error().localizedDescription());
  } else if (*status != 0) {
    console::writeLine("Pasteboard: " + arguments.front() + " exited with status " +
                       std::to_string(*status));
  }
}

}  // namespace

class ClipboardPublisher : public std::enable_shared_from_this<ClipboardPublisher> {
 public:
  // Reads the session from the environment on the caller's thread.
  void publish(const std::vector<PasteboardItem>& items,
               std::optional<Pasteboard::Clock::time_point> expiration) {
    const auto generation = ++generation_;
    const auto session = ClipboardSession::current();
    if (!session) return;
    std::optional<ClipboardContent> content;
    if (!items.empty()) content = textContent(items.front());
    if (!items.empty() && !content) content = videoContent(items.front());
    queue_->async([session = *session, content] {
      if (content) {
        runClipboardProgram(session.copyArguments(*content), *content->bytes);
      } else {
        runClipboardProgram(session.clearArguments(), Data());
      }
    });
    if (expiration) clearWhenExpired(*session, generation, *expiration);
  }

  void afterPublishing(std::function<void()> done) {
    queue_->async([done = std::move(done)] { done(); });
  }

 private:
  void clearWhenExpired(const ClipboardSession& session, std::uint64_t generation,
                        Pasteboard::Clock::time_point expiration) {
    const auto remaining =
        std::max(expiration - Clock::current()->now(), Pasteboard::Clock::duration::zero());
    queue_->asyncAfter(std::chrono::duration_cast<Clock::Duration>(remaining),
                       [self = shared_from_this(), session, generation] {
                         if (self->generation_ == generation) {
                           runClipboardProgram(session.clearArguments(), Data());
                         }
                       });
  }

  std::shared_ptr<DispatchQueue> queue_ = DispatchQueue::serial("velmoradine.pasteboard.clipboard");
  std::atomic<std::uint64_t> generation_ = 0;
};

DesktopPasteboard::DesktopPasteboard() : publisher_(std::make_shared<ClipboardPublisher>()) {}

const std::vector<PasteboardItem>& DesktopPasteboard::currentLocked() const {
  if (expiration_ && velmoradine::Clock::current()->now() >= *expiration_) {
    items_.clear();
    expiration_.reset();
  }
  return items_;
}

void DesktopPasteboard::replaceLocked(std::vector<PasteboardItem> items,
                                      std::optional<Clock::time_point> expirationDate) {
  items_ = std::move(items);
  expiration_ = expirationDate;
  publisher_->publish(items_, expiration_);
}

void DesktopPasteboard::setItems(std::vector<PasteboardItem> items,
                                 std::optional<Clock::time_point> expirationDate) {
  const std::lock_guard lock(mutex_);
  replaceLocked(std::move(items), expirationDate);
}

std::vector<PasteboardItem> DesktopPasteboard::items() const {
  const std::lock_guard lock(mutex_);
  return currentLocked();
}

void DesktopPasteboard::setString(std::string text) {
  const std::lock_guard lock(mutex_);
  replaceLocked({PasteboardItem{{std::string(kTextType), std::move(text)}}}, std::nullopt);
}

std::optional<std::string> DesktopPasteboard::string() const {
  const std::lock_guard lock(mutex_);
  for (const auto& item : currentLocked()) {
    const auto found = item.find(kTextType);
    if (found == item.end()) continue;
    if (const auto* text = std::get_if<std::string>(&found->second)) return *text;
  }
  return std::nullopt;
}

void DesktopPasteboard::setData(std::shared_ptr<const Data> data, std::string pasteboardType) {
  const std::lock_guard lock(mutex_);
  auto items = currentLocked();
  if (items.empty()) items.emplace_back();
  items.front().insert_or_assign(std::move(pasteboardType), std::move(data));
  replaceLocked(std::move(items), expiration_);
}

void DesktopPasteboard::afterPublishing(std::function<void()> done) const {
  publisher_->afterPublishing(std::move(done));
}

}  // namespace velmoradine
