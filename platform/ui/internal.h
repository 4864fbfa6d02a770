// Internals of the windowing layer, shared by its sources only (the one place cairo is included).
#pragma once

#include <cairo.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/ui/dialog.h"
#include "platform/ui/gdi.h"
#include "platform/ui/ui.h"

namespace platform::ui {

struct Font::Impl {
  cairo_scaled_font_t* font = nullptr;
  int height = 0;
  int weight = 0;
  double ascent = 0;
  double descent = 0;
  ~Impl();
};

struct Bitmap::Impl {
  cairo_surface_t* surface = nullptr;
  ~Impl();
};

struct DC::Impl {
  cairo_t* cr = nullptr;
  Bitmap bitmap;  // the target of a memory DC (keeps the surface alive)
  Pen pen;
  Brush brush;
  Font font;
  Color text = kColorText;
  Color bk = kColorWindow;
  int bkMode = OPAQUE;
  Point pos;
  struct Saved {
    Pen pen;
    Brush brush;
    Font font;
    Color text, bk;
    int bkMode;
  };
  std::vector<Saved> saved;
  ~Impl();
};

// Width in pixels of a one-line text in a font.
int textWidthPx(const Font& font, std::string_view text);
// The characters of a UTF-8 text, each as its bytes.
std::vector<std::string> utf8Chars(std::string_view s);

// Sets a DC up over a surface: client origin at `origin` of the surface, clipped to `clip` (surface
// coordinates).
void attachDC(DC::Impl& d, cairo_surface_t* surface, Point origin, const Rect& clip);

// The display under the layer.
class Display {
 public:
  virtual ~Display() = default;
  virtual DisplayKind kind() const = 0;
  // Shows the screen picture where it changed: `rects` (screen coordinates) hold every pixel that
  // differs from what the display shows.
  virtual void present(cairo_surface_t* screen, const std::vector<Rect>& rects) = 0;
  virtual void pollInput() = 0;                       // turn pending device events into injected input
  virtual void waitForEvents(int ms) = 0;             // sleep until an event, a post, or ms pass
  virtual void wake() = 0;                            // from any thread
};
std::unique_ptr<Display> makeSdlDisplay(const Options& options);  // null when SDL cannot start
// Taps a test hands to the headless display through the folder INSTRUMENT_TEST_TAPS (tests only).
void pollTestTaps();
bool sdlDisplayAvailable();

struct SendWait {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  LRESULT result = 0;
};

struct Queued {
  enum Kind { Normal, Mouse, Key, Char, Send } kind = Normal;
  Message msg;
  Point point;
  std::shared_ptr<SendWait> wait;
};

struct TimerState {
  Handle hwnd = 0;
  unsigned id = 0;
  std::uint64_t serial = 0;
  platform::clock::TimerId clockId = 0;
  std::atomic<bool> pending{false};
};

struct PaintTarget {
  Window* window;
  cairo_surface_t* surface;
  Point origin;  // surface position of the window's client origin
  Rect clip;     // surface coordinates
};

struct UiState {
  // Queue (any thread).
  std::mutex qm;
  std::condition_variable qcv;
  std::deque<Queued> queue;
  bool quitPosted = false;
  int quitCode = 0;
  // Handles (any thread reads).
  std::mutex hm;
  std::unordered_map<Handle, Window*> handles;
  Handle nextHandle = 1;
  // Timers.
  std::mutex tm;
  std::map<std::pair<Handle, unsigned>, std::shared_ptr<TimerState>> timers;
  std::uint64_t timerSerial = 0;
  // UI thread only.
  std::atomic<bool> initialized{false};
  std::thread::id uiThread;
  std::vector<Window*> popups;  // stacking order, bottom first
  Window* active = nullptr;
  Window* focus = nullptr;
  Window* capture = nullptr;
  std::vector<Dialog*> modals;
  std::function<bool(Message&)> preHook;
  std::function<void()> idleHook;
  // Screen rectangles whose picture is out of date (repainted by the next render), and those drawn on
  // the screen outside a repaint that the display has not shown yet.
  std::vector<Rect> dirty;
  std::vector<Rect> unshown;
  // Controls without children shown or hidden since the last render: whether each was on the screen
  // then, where, and whether anything of it changed while it was not. One that stands as it stood
  // needs no repaint (a status icon hidden and shown again by one pass of a loop).
  struct Toggled {
    Handle window;
    bool wasShown;
    Rect rect;
    bool changed;
  };
  std::vector<Toggled> toggled;
  // Test aids: called after each repaint with the rectangles repainted; and, when set, the whole
  // screen is painted again after each repaint and every pixel that differs from the picture is handed
  // to repaintCheck as the bounds of the differing pixels.
  std::function<void(const std::vector<Rect>&)> repaintLog;
  std::function<void(const Rect&)> repaintCheck;
  bool repaintedUnchecked = false;                   // repainted since the last check
  std::chrono::steady_clock::time_point nextCheck;   // the earliest check not asked for
  cairo_surface_t* screen = nullptr;
  std::unique_ptr<Display> display;
  std::vector<PaintTarget> painting;
  std::uint64_t detached = 0;  // windows taken out of the tables so far
  int loopDepth = 0;
  bool charSuppressed = false;  // the last key-down was swallowed; drop its characters
};

UiState& state();
bool onUiThread();
// The whole screen, or a rectangle of it, is to be repainted.
void markDirty();
void markDirty(const Rect& screenRect);
// Adds a rectangle to a list of screen rectangles, merged with those it overlaps or touches.
void addRect(std::vector<Rect>& rects, const Rect& r);
// Screen-visible part of a window's client area (empty when hidden).
Rect visibleClip(const Window& w);
// Screen-visible part of a window with its frame (empty when hidden).
Rect shownRect(const Window& w);

// Windows internals reached from friends.
struct UiAccess {
  static Window*& lastFocus(Window& w) { return w.lastFocus_; }
  static void setVisibleFlag(Window& w, bool v) { w.visible_ = v; }
  static std::vector<Window*>& children(Window& w) { return w.children_; }
  static std::vector<std::unique_ptr<Window>>& owned(Window& w) { return w.owned_; }
};

void activate(Window* popup, int how);
void deactivateFor(Window* hidden);  // the active popup is being hidden: activate the next one
void setFocusTo(Window* w);
bool inputAllowed(Window* w);        // modal dialogs block input to the other popups
void pushModal(Dialog* d);
void popModal(Dialog* d);
// Takes one queued message and handles it; false when the queue is empty. Sets quit on WM_QUIT.
bool handleOne(bool& quit);
void renderIfDirty();
// The repaint check (when a test set one) of what was repainted since the last: now, or (`now` false)
// when the checks so far leave time for it (they take at most about a fifth of the time).
void checkRepaints(bool now);

}  // namespace platform::ui
