// Driving the user interface as an operator would, for tests and demonstrations: taps and keys go in
// as the display delivers them (hit test, activation, focus, pre-translation), then the loop runs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

namespace platform::ui::driver {

// The control `id` of `w` (a direct child), or null.
Window* control(const Window& w, int id);

// A finger tap on the centre of the control (down, up), then the loop runs. Returns true when the tap
// reached that control (false: hidden, disabled, covered or blocked by a modal dialog).
bool tap(const Window& w, int id);
bool tapWindow(Window& target, Point client);  // at a client point of a window
void tapAt(Point screen);
// A finger held on the control's centre, and lifted again (the loop runs after each).
bool touchDown(const Window& w, int id);
void touchUp(const Window& w, int id);
void press(unsigned vk, bool repeat = false);  // key down (and WM_CHAR for printable keys), key up
void type(std::string_view utf8);              // WM_CHAR per character

std::string text(const Window& w, int id);
bool visible(const Window& w, int id);  // visible on screen (own flag and parents')
bool enabled(const Window& w, int id);

// Colours the control is drawn with, as its parent's WM_CTLCOLOR answers.
Color textColor(const Window& w, int id);
Color backColor(const Window& w, int id);
// The colour most of the control's pixels carry on the rendered screen (the face of a lamp button).
Color dominantColor(const Window& w, int id);
// Whether a rectangle (client coordinates of w) carries ink: pixels that differ clearly from the
// rectangle's dominant colour.
int inkPixels(Window& w, const Rect& r);
// Where the ink of a rectangle (client coordinates of w) lies: the bands of consecutive rows that carry
// ink (top, bottom) from the top down, and the leftmost and rightmost columns with ink (right is one
// past it; -1 both without ink).
struct InkExtent {
  std::vector<std::pair<int, int>> rows;
  int left = -1;
  int right = -1;
};
InkExtent inkExtent(Window& w, const Rect& r);

// Handles everything queued (no waiting).
void pump();
// Manual clock: advances instrument time by ms in steps of stepMs, running the loop after each step.
void run(std::uint64_t ms, std::uint64_t stepMs = 10);

bool screenshot(const std::filesystem::path& hostFile, Window* w = nullptr);

// The screen rectangles the layer repaints while the log lives (one log at a time).
class RepaintLog {
 public:
  RepaintLog();
  ~RepaintLog();
  RepaintLog(const RepaintLog&) = delete;
  RepaintLog& operator=(const RepaintLog&) = delete;
  const std::vector<Rect>& rects() const { return rects_; }
  long long area() const;  // pixels repainted, a pixel repainted twice counted twice
  Rect bounds() const;     // of every rectangle repainted (empty when none)
  void clear() { rects_.clear(); }

 private:
  std::vector<Rect> rects_;
};

// After repaints of what changed, the whole screen is painted afresh and compared with the picture:
// onStale gets the bounds of the pixels that differ (a window left stale). The check runs whenever the
// screen is taken (renderScreen, a screenshot) and at shutdown, and after other repaints as often as
// leaves it a fifth of the time at most (a stale window stays stale until it is repainted). Null
// ends it.
void checkRepaints(std::function<void(const Rect& stale)> onStale);

// Runs fn each time a waiting loop (a modal dialog) is idle; cleared by the destructor.
class IdleScript {
 public:
  explicit IdleScript(std::function<void()> fn);
  ~IdleScript();
  IdleScript(const IdleScript&) = delete;
  IdleScript& operator=(const IdleScript&) = delete;
};

}  // namespace platform::ui::driver
