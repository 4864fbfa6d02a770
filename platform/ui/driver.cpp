// The test driver: taps, keys, reading controls, running the loop on the manual clock.
#include "platform/ui/driver.h"

#include <algorithm>
#include <map>

#include "platform/ui/internal.h"

namespace platform::ui::driver {

Window* control(const Window& w, int id) { return w.getDlgItem(id); }

void tapAt(Point screen) {
  injectMouse(WM_LBUTTONDOWN, screen);
  injectMouse(WM_LBUTTONUP, screen);
  pump();
}

bool tapWindow(Window& target, Point client) {
  if (!target.exists()) return false;
  Point p = target.clientToScreen(client);
  bool reached = windowFromPoint(p) == &target;
  tapAt(p);
  return reached;
}

bool tap(const Window& w, int id) {
  Window* c = control(w, id);
  if (!c) return false;
  return tapWindow(*c, c->getClientRect().center());
}

bool touchDown(const Window& w, int id) {
  Window* c = control(w, id);
  if (!c || !c->exists()) return false;
  Point p = c->clientToScreen(c->getClientRect().center());
  bool reached = windowFromPoint(p) == c;
  injectMouse(WM_LBUTTONDOWN, p);
  pump();
  return reached;
}

void touchUp(const Window& w, int id) {
  Window* c = control(w, id);
  if (!c || !c->exists()) return;
  injectMouse(WM_LBUTTONUP, c->clientToScreen(c->getClientRect().center()));
  pump();
}

void press(unsigned vk, bool repeat) {
  injectKey(WM_KEYDOWN, vk, repeat);
  char32_t ch = 0;
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z') || vk == VK_SPACE) ch = static_cast<char32_t>(vk);
  else if (vk == VK_OEM_PERIOD) ch = '.';
  else if (vk == VK_OEM_MINUS) ch = '-';
  else if (vk == VK_BACK) ch = 0x08;
  else if (vk == VK_RETURN) ch = 0x0D;
  if (ch) injectChar(ch);
  injectKey(WM_KEYUP, vk);
  pump();
}

void type(std::string_view utf8) {
  for (const std::string& c : utf8Chars(utf8)) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(c.data());
    char32_t cp = b[0];
    if (c.size() == 2) cp = ((b[0] & 0x1F) << 6) | (b[1] & 0x3F);
    else if (c.size() == 3) cp = ((b[0] & 0x0F) << 12) | ((b[1] & 0x3F) << 6) | (b[2] & 0x3F);
    else if (c.size() == 4) cp = ((b[0] & 0x07) << 18) | ((b[1] & 0x3F) << 12) | ((b[2] & 0x3F) << 6) | (b[3] & 0x3F);
    injectChar(cp);
  }
  pump();
}

std::string text(const Window& w, int id) {
  Window* c = control(w, id);
  return c ? c->getWindowText() : std::string();
}

bool visible(const Window& w, int id) {
  Window* c = control(w, id);
  return c && c->isWindowVisible();
}

bool enabled(const Window& w, int id) {
  Window* c = control(w, id);
  return c && c->isEnabled();
}

namespace {
struct ProbeDC : MemoryDC {
  ProbeDC() : MemoryDC(1, 1) {}
};

int kindOf(Window* c) {
  if (dynamic_cast<Edit*>(c)) return (c->style() & ES_READONLY) ? CTLCOLOR_STATIC : CTLCOLOR_EDIT;
  if (auto* b = dynamic_cast<Button*>(c)) {
    auto t = b->buttonType();
    return (t == BS_GROUPBOX || t == BS_AUTOCHECKBOX) ? CTLCOLOR_STATIC : CTLCOLOR_BTN;
  }
  return CTLCOLOR_STATIC;
}
}  // namespace

Color textColor(const Window& w, int id) {
  Window* c = control(w, id);
  if (!c) return 0;
  ProbeDC dc;
  dc.setTextColor(c->isEnabled() ? kColorText : kColorGrayText);
  c->queryCtlColor(dc, kindOf(c), Brush::null());
  return dc.textColor();
}

Color backColor(const Window& w, int id) {
  Window* c = control(w, id);
  if (!c) return 0;
  ProbeDC dc;
  dc.setBkColor(kColorFace);
  Brush b = c->queryCtlColor(dc, kindOf(c), Brush::null());
  if (!b.hollow) return b.color;
  if (dc.bkMode() == OPAQUE) return dc.bkColor();
  return kindOf(c) == CTLCOLOR_EDIT ? kColorWindow : kColorFace;
}

Color dominantColor(const Window& w, int id) {
  Window* c = control(w, id);
  if (!c || !c->isWindowVisible()) return 0;
  Bitmap screen = renderScreen();
  Rect r = c->getWindowRect().intersect({0, 0, kScreenWidth, kScreenHeight});
  std::map<Color, int> count;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) ++count[screen.pixel(x, y)];
  Color best = 0;
  int n = -1;
  for (auto& [col, k] : count)
    if (k > n) best = col, n = k;
  return best;
}

namespace {

// The screen pixels of a rectangle (client coordinates of w), its dominant colour and which pixels
// carry ink: those that differ clearly from the dominant colour.
struct InkMap {
  Rect screenRect;
  std::vector<bool> ink;  // row by row
  bool at(int x, int y) const {
    return ink[static_cast<std::size_t>((y - screenRect.top) * screenRect.width() + (x - screenRect.left))];
  }
};

InkMap inkMap(Window& w, const Rect& r) {
  Bitmap screen = renderScreen();
  Point o = w.clientOrigin();
  InkMap m;
  m.screenRect = r.offset(o.x, o.y).intersect({0, 0, kScreenWidth, kScreenHeight});
  const Rect& s = m.screenRect;
  if (s.empty()) return m;
  std::map<Color, int> count;
  for (int y = s.top; y < s.bottom; ++y)
    for (int x = s.left; x < s.right; ++x) ++count[screen.pixel(x, y)];
  Color bg = 0;
  int n = -1;
  for (auto& [col, k] : count)
    if (k > n) bg = col, n = k;
  m.ink.reserve(static_cast<std::size_t>(s.width() * s.height()));
  for (int y = s.top; y < s.bottom; ++y) {
    for (int x = s.left; x < s.right; ++x) {
      const Color col = screen.pixel(x, y);
      const int d = std::abs(GetRValue(col) - GetRValue(bg)) + std::abs(GetGValue(col) - GetGValue(bg)) +
                    std::abs(GetBValue(col) - GetBValue(bg));
      m.ink.push_back(d > 96);
    }
  }
  return m;
}

}  // namespace

int inkPixels(Window& w, const Rect& r) {
  const InkMap m = inkMap(w, r);
  return static_cast<int>(std::count(m.ink.begin(), m.ink.end(), true));
}

InkExtent inkExtent(Window& w, const Rect& r) {
  const InkMap m = inkMap(w, r);
  const Rect& s = m.screenRect;
  const Point o = w.clientOrigin();
  InkExtent e;
  bool inBand = false;
  for (int y = s.top; y < s.bottom; ++y) {
    bool row = false;
    for (int x = s.left; x < s.right; ++x) {
      if (!m.at(x, y)) continue;
      row = true;
      e.left = e.left < 0 ? x - o.x : std::min(e.left, x - o.x);
      e.right = std::max(e.right, x - o.x + 1);
    }
    if (row && !inBand) e.rows.push_back({y - o.y, y - o.y + 1});
    if (row) e.rows.back().second = y - o.y + 1;
    inBand = row;
  }
  return e;
}

void pump() { pumpMessages(); }

void run(std::uint64_t ms, std::uint64_t stepMs) {
  if (stepMs == 0) stepMs = 1;
  pump();
  for (std::uint64_t t = 0; t < ms;) {
    std::uint64_t step = std::min(stepMs, ms - t);
    platform::clock::advance(step);
    t += step;
    pump();
  }
}

bool screenshot(const std::filesystem::path& hostFile, Window* w) { return saveScreenshot(hostFile, w); }

RepaintLog::RepaintLog() {
  state().repaintLog = [this](const std::vector<Rect>& rects) { rects_.insert(rects_.end(), rects.begin(), rects.end()); };
}

RepaintLog::~RepaintLog() { state().repaintLog = nullptr; }

long long RepaintLog::area() const {
  long long n = 0;
  for (const Rect& r : rects_) n += static_cast<long long>(r.width()) * r.height();
  return n;
}

Rect RepaintLog::bounds() const {
  Rect b;
  for (const Rect& r : rects_) b = b.empty() ? r : b.bounds(r);
  return b;
}

void checkRepaints(std::function<void(const Rect& stale)> onStale) {
  UiState& s = state();
  s.repaintCheck = std::move(onStale);
  s.repaintedUnchecked = false;
  s.nextCheck = {};
}

IdleScript::IdleScript(std::function<void()> fn) { setIdleHook(std::move(fn)); }
IdleScript::~IdleScript() { setIdleHook(nullptr); }

}  // namespace platform::ui::driver
