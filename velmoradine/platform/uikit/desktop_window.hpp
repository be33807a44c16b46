#pragma once

// Shows a UIWindow on the desktop, in a window of its own (SDL2), and makes
// the kit's main run loop and the desktop's event loop one loop: work that
// arrives on the main run loop (from any thread) wakes the event loop up, and
// the event loop drains the main run loop. Mouse presses, drags and releases
// with the left button arrive as touches; a lost button (the window lost the
// mouse) cancels the touch. The window shows the screen at one pixel per
// point, and redraws when something changed: only the changed parts of the
// bitmap are uploaded, and while animations run it draws a frame every 16 ms.
//
// A host with its own UI loop does not need this class: it drives the main
// run loop (RunLoop::setWakeUpHandler and drain), calls
// UIWindow::displayIfNeeded and blits UIWindow::bitmap itself.
//
// Main thread only; one at a time per process.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class UIWindow;

enum class DesktopWindowError {
  // No display to show a window on (no X server or Wayland compositor).
  displayUnavailable = 1,
  // The display refused the window or its drawing surface.
  windowCreationFailed,
  // Another desktop window is open in this process.
  alreadyOpen,
};
const ErrorCategory& desktopWindowErrorCategory();
std::error_code make_error_code(DesktopWindowError error);

class DesktopWindow {
 public:
  // Shows `window` and makes it the key window.
  static Result<std::unique_ptr<DesktopWindow>> open(std::shared_ptr<UIWindow> window,
                                                     const std::string& title);
  ~DesktopWindow();
  DesktopWindow(const DesktopWindow&) = delete;
  DesktopWindow& operator=(const DesktopWindow&) = delete;

  // Runs until `stop()` or until the user closes the window.
  void run();
  // Runs until `done()` holds (checked after every event and task) or
  // `timeout` of real time has passed; returns whether `done()` held.
  bool runUntil(const std::function<bool()>& done, std::chrono::steady_clock::duration timeout);
  void stop();
  bool isClosed() const;
  // Whether the windowing system has shown the window (it takes clicks then).
  bool isExposed() const;
  // The windowing system's id of the window (an X11 window id), for tools
  // that address it from outside; 0 when the system has none.
  unsigned long nativeWindowId() const;
  // How many frames were shown so far.
  std::uint64_t presentedFrames() const;

 private:
  struct State;
  explicit DesktopWindow(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::DesktopWindowError> : std::true_type {};
