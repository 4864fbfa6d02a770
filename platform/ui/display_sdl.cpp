// The SDL2 display: a 1024 x 768 window (or full screen, scaled); mouse, touch and keys become input.
#include <SDL.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "platform/ui/internal.h"

namespace platform::ui {

namespace {

unsigned virtualKey(SDL_Keycode k) {
  if (k >= SDLK_0 && k <= SDLK_9) return static_cast<unsigned>('0' + (k - SDLK_0));
  if (k >= SDLK_a && k <= SDLK_z) return static_cast<unsigned>('A' + (k - SDLK_a));
  if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return static_cast<unsigned>('1' + (k - SDLK_KP_1));
  if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + static_cast<unsigned>(k - SDLK_F1);
  switch (k) {
    case SDLK_KP_0: return '0';
    case SDLK_PERIOD:
    case SDLK_KP_PERIOD: return VK_OEM_PERIOD;
    case SDLK_MINUS:
    case SDLK_KP_MINUS: return VK_OEM_MINUS;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_DELETE: return VK_DELETE;
    default: return static_cast<unsigned>(k) & 0xFF;
  }
}

class SdlDisplay : public Display {
 public:
  bool open(const Options& o) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
    started_ = true;
    Uint32 flags = o.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
    window_ = SDL_CreateWindow(o.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kScreenWidth,
                               kScreenHeight, flags);
    if (!window_) return false;
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    // A window of the screen's own size takes the changed rectangles straight into its surface; a
    // larger one (full screen on a bigger display) shows the picture scaled through a renderer.
    if (w == kScreenWidth && h == kScreenHeight && SDL_GetWindowSurface(window_)) {
      direct_ = true;
    } else {
      renderer_ = SDL_CreateRenderer(window_, -1, 0);
      if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
      if (!renderer_) return false;
      SDL_RenderSetLogicalSize(renderer_, kScreenWidth, kScreenHeight);
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kScreenWidth,
                                   kScreenHeight);
      if (!texture_) return false;
    }
    wakeType_ = SDL_RegisterEvents(1);
    if (o.fullscreen) SDL_ShowCursor(SDL_DISABLE);
    SDL_StartTextInput();
    return true;
  }

  ~SdlDisplay() override {
    if (picture_) SDL_FreeSurface(picture_);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    if (started_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  }

  DisplayKind kind() const override { return DisplayKind::Sdl; }

  void present(cairo_surface_t* screen, const std::vector<Rect>& rects) override {
    if (rects.empty()) return;
    cairo_surface_flush(screen);
    unsigned char* data = cairo_image_surface_get_data(screen);
    const int stride = cairo_image_surface_get_stride(screen);
    std::vector<SDL_Rect> changed;
    for (const Rect& r : rects) changed.push_back({r.left, r.top, r.width(), r.height()});
    if (direct_) {
      // The window's surface is fetched anew each time: the system may replace it (after an exposure).
      SDL_Surface* target = SDL_GetWindowSurface(window_);
      if (!target) return;
      if (!picture_ || picture_->pixels != data) {
        if (picture_) SDL_FreeSurface(picture_);
        picture_ = SDL_CreateRGBSurfaceWithFormatFrom(data, kScreenWidth, kScreenHeight, 32, stride,
                                                      SDL_PIXELFORMAT_RGB888);
        if (!picture_) return;
      }
      for (SDL_Rect r : changed) {
        SDL_Rect to = r;
        SDL_BlitSurface(picture_, &r, target, &to);
      }
      SDL_UpdateWindowSurfaceRects(window_, changed.data(), static_cast<int>(changed.size()));
      return;
    }
    for (const SDL_Rect& r : changed)
      SDL_UpdateTexture(texture_, &r, data + static_cast<std::ptrdiff_t>(r.y) * stride + static_cast<std::ptrdiff_t>(r.x) * 4,
                        stride);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  void pollInput() override {
    SDL_Event e;
    while (SDL_PollEvent(&e)) handle(e);
  }

  void waitForEvents(int ms) override {
    {
      UiState& s = state();
      std::lock_guard<std::mutex> lock(s.qm);
      if (!s.queue.empty() || s.quitPosted) return;
    }
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, ms)) handle(e);
  }

  void wake() override {
    if (wakePending_.exchange(true)) return;
    SDL_Event e{};
    e.type = wakeType_;
    SDL_PushEvent(&e);
  }

 private:
  void handle(const SDL_Event& e) {
    if (e.type == wakeType_) {
      wakePending_ = false;
      return;
    }
    switch (e.type) {
      case SDL_QUIT: {
        // Closing the window closes the first top-level window (the program's main window).
        UiState& s = state();
        Window* main = nullptr;
        for (Window* p : s.popups)
          if (!p->parent() && (!main || p->handle() < main->handle())) main = p;
        if (main) main->postMessage(WM_CLOSE);
        else postQuitMessage(0);
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) injectMouse(WM_LBUTTONDOWN, {e.button.x, e.button.y});
        break;
      case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT) injectMouse(WM_LBUTTONUP, {e.button.x, e.button.y});
        break;
      case SDL_MOUSEMOTION:
        if (e.motion.state & SDL_BUTTON_LMASK) injectMouse(WM_MOUSEMOVE, {e.motion.x, e.motion.y});
        break;
      case SDL_KEYDOWN: {
        unsigned vk = virtualKey(e.key.keysym.sym);
        injectKey(WM_KEYDOWN, vk, e.key.repeat != 0);
        if (vk == VK_BACK) injectChar(0x08);
        else if (vk == VK_RETURN) injectChar(0x0D);
        else if (vk == VK_ESCAPE) injectChar(0x1B);
        break;
      }
      case SDL_KEYUP:
        injectKey(WM_KEYUP, virtualKey(e.key.keysym.sym));
        break;
      case SDL_TEXTINPUT:
        for (const std::string& c : utf8Chars(e.text.text)) {
          const unsigned char* b = reinterpret_cast<const unsigned char*>(c.data());
          char32_t cp = b[0];
          if (c.size() == 2) cp = ((b[0] & 0x1F) << 6) | (b[1] & 0x3F);
          else if (c.size() == 3) cp = ((b[0] & 0x0F) << 12) | ((b[1] & 0x3F) << 6) | (b[2] & 0x3F);
          else if (c.size() == 4)
            cp = ((b[0] & 0x07) << 18) | ((b[1] & 0x3F) << 12) | ((b[2] & 0x3F) << 6) | (b[3] & 0x3F);
          injectChar(cp);
        }
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) markDirty();
        break;
      default:
        break;
    }
  }

  SDL_Window* window_ = nullptr;
  bool direct_ = false;              // the window's surface takes the picture unscaled
  SDL_Surface* picture_ = nullptr;   // the screen picture's pixels, seen as an SDL surface
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  Uint32 wakeType_ = 0;
  std::atomic<bool> wakePending_{false};
  bool started_ = false;
};

}  // namespace

// A display is there under X or Wayland, or when SDL's video driver is named (a framebuffer or KMS
// console on an instrument).
bool sdlDisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
    const char* v = std::getenv(name);
    if (v && *v) return true;
  }
  return false;
}

std::unique_ptr<Display> makeSdlDisplay(const Options& options) {
  auto d = std::make_unique<SdlDisplay>();
  if (!d->open(options)) return nullptr;
  return d;
}

}  // namespace platform::ui
