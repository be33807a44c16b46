#include "velmoradine/platform/uikit/desktop_window.hpp"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cmath>

#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/error_enumeration.hpp"
#include "velmoradine/platform/uikit/main_thread.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine {
namespace {

// While animations run, a frame is drawn this often.
constexpr int kFrameIntervalMs = 16;
// The longest single wait for events, so the deadline of runUntil is kept.
constexpr int kLongestWaitMs = 1000;

bool openWindowExists = false;

}  // namespace

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    DesktopWindowError, desktopWindowErrorCategory, "Velmoradine.DesktopWindow",
    {DesktopWindowError::displayUnavailable, "No display is available to show a window on",
     DetailInDescription::afterColon},
    {DesktopWindowError::windowCreationFailed, "The window could not be created",
     DetailInDescription::afterColon},
    {DesktopWindowError::alreadyOpen, "A desktop window is already open"})

struct DesktopWindow::State {
  std::shared_ptr<UIWindow> window;
  SDL_Window* sdlWindow = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  Uint32 wakeEvent = 0;
  bool stopRequested = false;
  bool closed = false;
  bool touching = false;
  bool needsPresent = true;
  bool exposed = false;
  std::uint64_t frames = 0;

  ~State() {
    RunLoop::main().setWakeUpHandler({});
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (sdlWindow) SDL_DestroyWindow(sdlWindow);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    openWindowExists = false;
  }

  void handle(const SDL_Event& event);
  void present();
};

void DesktopWindow::State::handle(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      closed = true;
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) closed = true;
      if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
        needsPresent = true;
        exposed = true;
      }
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST && touching) {
        touching = false;
        window->sendTouch(UITouchPhase::cancelled, {});
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (event.button.button != SDL_BUTTON_LEFT) break;
      touching = true;
      window->sendTouch(UITouchPhase::began, {double(event.button.x), double(event.button.y)});
      break;
    case SDL_MOUSEMOTION:
      if (!touching) break;
      window->sendTouch(UITouchPhase::moved, {double(event.motion.x), double(event.motion.y)});
      break;
    case SDL_MOUSEBUTTONUP:
      if (event.button.button != SDL_BUTTON_LEFT || !touching) break;
      touching = false;
      window->sendTouch(UITouchPhase::ended, {double(event.button.x), double(event.button.y)});
      break;
    default:
      break;
  }
}

void DesktopWindow::State::present() {
  auto drawn = window->displayIfNeeded();
  const Bitmap& bitmap = window->bitmap();
  for (const auto& rect : drawn) {
    SDL_Rect area{rect.x, rect.y, rect.width, rect.height};
    SDL_UpdateTexture(texture, &area, bitmap.row(rect.y) + rect.x, bitmap.stride());
  }
  if (drawn.empty() && !needsPresent) return;
  needsPresent = false;
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, texture, nullptr, nullptr);
  SDL_RenderPresent(renderer);
  ++frames;
}

Result<std::unique_ptr<DesktopWindow>> DesktopWindow::open(std::shared_ptr<UIWindow> window,
                                                           const std::string& title) {
  assertMainThread("DesktopWindow::open");
  if (openWindowExists) return failure(Error(DesktopWindowError::alreadyOpen));
  // The host owns the process's signals.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    return failure(Error(DesktopWindowError::displayUnavailable, SDL_GetError()));
  }
  openWindowExists = true;
  auto state = std::make_unique<State>();
  state->window = std::move(window);
  const UIScreen& screen = state->window->screen();
  state->sdlWindow =
      SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                       static_cast<int>(std::lround(screen.bounds().width())),
                       static_cast<int>(std::lround(screen.bounds().height())), SDL_WINDOW_SHOWN);
  if (state->sdlWindow) state->renderer = SDL_CreateRenderer(state->sdlWindow, -1, 0);
  if (state->renderer) {
    state->texture =
        SDL_CreateTexture(state->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                          screen.pixelWidth(), screen.pixelHeight());
  }
  if (!state->texture) {
    return failure(Error(DesktopWindowError::windowCreationFailed, SDL_GetError()));
  }
  state->window->setNeedsFullRedraw();
  state->window->makeKeyAndVisible();
  state->wakeEvent = SDL_RegisterEvents(1);
  Uint32 wakeEvent = state->wakeEvent;
  RunLoop::main().setWakeUpHandler([wakeEvent] {
    SDL_Event event;
    SDL_zero(event);
    event.type = wakeEvent;
    SDL_PushEvent(&event);
  });
  return std::unique_ptr<DesktopWindow>(new DesktopWindow(std::move(state)));
}

DesktopWindow::DesktopWindow(std::unique_ptr<State> state) : state_(std::move(state)) {}

DesktopWindow::~DesktopWindow() = default;

void DesktopWindow::run() {
  while (!state_->closed && !state_->stopRequested) {
    runUntil({}, std::chrono::hours(1));
  }
  state_->stopRequested = false;
}

bool DesktopWindow::runUntil(const std::function<bool()>& done,
                             std::chrono::steady_clock::duration timeout) {
  assertMainThread("DesktopWindow::runUntil");
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    RunLoop::main().drain();
    state_->present();
    if (done && done()) return true;
    if (state_->closed || state_->stopRequested) return false;
    auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (remaining.count() <= 0) return false;
    int wait = static_cast<int>(std::min<long long>(remaining.count(), kLongestWaitMs));
    if (state_->window->hasRunningAnimations()) wait = std::min(wait, kFrameIntervalMs);
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, wait)) {
      state_->handle(event);
      while (SDL_PollEvent(&event)) state_->handle(event);
    }
  }
}

void DesktopWindow::stop() {
  state_->stopRequested = true;
}

bool DesktopWindow::isExposed() const {
  return state_->exposed;
}

bool DesktopWindow::isClosed() const {
  return state_->closed;
}

unsigned long DesktopWindow::nativeWindowId() const {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(state_->sdlWindow, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return info.info.x11.window;
}

std::uint64_t DesktopWindow::presentedFrames() const {
  return state_->frames;
}

}  // namespace velmoradine
