#pragma once

// The general pasteboard on the Linux desktop. Items live in the process
// (past their expiration date, on the kit's Clock, they read as gone) and, where a desktop session
// exists, the first item is also published to the desktop's clipboard
// through its usual command-line owner: `wl-copy` under Wayland
// ($WAYLAND_DISPLAY), else `xclip` under X11 ($DISPLAY). A clipboard offers
// one representation through those programs, so text goes as text when the
// item has any ("public.utf8-plain-text", "public.plain-text", "public.text"),
// else an MP4 video ("public.mpeg-4", or bytes that are an MP4 file) as
// "video/mp4". Once the items expire, the desktop clipboard is cleared too,
// unless something newer was published meanwhile.
//
// A missing program or a failed publication writes a log line; the
// pasteboard in the process works either way.
//
// Threading: callable from any thread. Publication runs on a queue of its
// own, so the caller never waits for the clipboard program.

#include <functional>
#include <memory>
#include <mutex>

#include "velmoradine/platform/services/pasteboard.hpp"

namespace velmoradine {

class ClipboardPublisher;

class DesktopPasteboard : public Pasteboard {
 public:
  DesktopPasteboard();

  void setItems(std::vector<PasteboardItem> items,
                std::optional<Clock::time_point> expirationDate) override;
  std::vector<PasteboardItem> items() const override;
  void setString(std::string text) override;
  std::optional<std::string> string() const override;
  void setData(std::shared_ptr<const Data> data, std::string pasteboardType) override;

  // Runs `done` on the publishing queue once every publication asked for so
  // far has finished (for hosts and tests that must know the desktop
  // clipboard holds the copy).
  void afterPublishing(std::function<void()> done) const;

 private:
  // Under mutex_: the items, without those that have expired.
  const std::vector<PasteboardItem>& currentLocked() const;
  void replaceLocked(std::vector<PasteboardItem> items,
                     std::optional<Clock::time_point> expirationDate);

  mutable std::mutex mutex_;
  mutable std::vector<PasteboardItem> items_;            // guarded by mutex_
  mutable std::optional<Clock::time_point> expiration_;  // guarded by mutex_
  // Shared with its queued work, which may outlive the pasteboard.
  std::shared_ptr<ClipboardPublisher> publisher_;
};

}  // namespace velmoradine
