// Windows, the message queue and loop, focus, activation, timers and rendering.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/text/text.h"
#include "platform/ui/internal.h"

namespace platform::ui {

namespace {

class HeadlessDisplay : public Display {
 public:
  DisplayKind kind() const override { return DisplayKind::Headless; }
  void present(cairo_surface_t*, const std::vector<Rect>&) override {}
  void pollInput() override { pollTestTaps(); }
  void waitForEvents(int ms) override {
    UiState& s = state();
    std::unique_lock<std::mutex> lock(s.qm);
    s.qcv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !s.queue.empty(); });
  }
  void wake() override { state().qcv.notify_all(); }
};

int borderOf(const Window& w) { return (w.style() & WS_BORDER) ? 1 : 0; }

void push(Queued q) {
  UiState& s = state();
  std::lock_guard<std::mutex> lock(s.qm);
  s.queue.push_back(std::move(q));
  s.qcv.notify_all();
  // The display is set and reset under the queue's lock, so a worker's wake never meets a dead one.
  if (s.display) s.display->wake();
}

bool isDescendantOrSelf(const Window* w, const Window* ancestor) {
  for (; w; w = w->isPopup() ? nullptr : w->parent())
    if (w == ancestor) return true;
  return false;
}

void completeSends() {
  UiState& s = state();
  std::deque<Queued> q;
  {
    std::lock_guard<std::mutex> lock(s.qm);
    q.swap(s.queue);
    s.quitPosted = false;
  }
  for (auto& item : q) {
    if (item.wait) {
      std::lock_guard<std::mutex> lock(item.wait->m);
      item.wait->done = true;
      item.wait->cv.notify_all();
    }
  }
}

void killTimersOf(Handle h) {
  UiState& s = state();
  std::vector<std::shared_ptr<TimerState>> gone;
  {
    std::lock_guard<std::mutex> lock(s.tm);
    for (auto it = s.timers.begin(); it != s.timers.end();) {
      if (it->first.first == h) {
        gone.push_back(it->second);
        it = s.timers.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& t : gone) platform::clock::removeTimer(t->clockId);
}

}  // namespace

UiState& state() {
  static auto* s = new UiState();
  return *s;
}

bool onUiThread() { return state().uiThread == std::this_thread::get_id(); }

namespace {
constexpr Rect kScreenRect{0, 0, kScreenWidth, kScreenHeight};
// Beyond this many separate rectangles a repaint takes their bounds.
constexpr std::size_t kMaxRects = 12;

bool touches(const Rect& a, const Rect& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}
bool containsRect(const Rect& outer, const Rect& inner) {
  return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
         inner.bottom <= outer.bottom;
}
}  // namespace

void addRect(std::vector<Rect>& rects, const Rect& rect) {
  Rect r = rect.intersect(kScreenRect);
  if (r.empty()) return;
  for (bool merged = true; merged;) {
    merged = false;
    for (auto it = rects.begin(); it != rects.end(); ++it) {
      if (containsRect(*it, r)) return;
      if (touches(*it, r)) {
        r = it->bounds(r);
        rects.erase(it);
        merged = true;
        break;
      }
    }
  }
  rects.push_back(r);
  if (rects.size() > kMaxRects) {
    Rect all = rects.front();
    for (const Rect& x : rects) all = all.bounds(x);
    rects.assign(1, all);
  }
}

void markDirty() { state().dirty.assign(1, kScreenRect); }
void markDirty(const Rect& screenRect) { addRect(state().dirty, screenRect); }

// ---- Window ----------------------------------------------------------------------------------------

Window::Window() = default;

Window::~Window() {
  entries_.clear();
  // Silent teardown: children and owned popups go without messages.
  if (handle_) detachFromTree();
  owned_.clear();
}

bool Window::createWindow(Window* parent, const Rect& rect, int id, std::string_view text, std::uint32_t style) {
  UiState& s = state();
  if (handle_ || !s.initialized) return false;
  bool child = (style & WS_CHILD) != 0;
  if (child && (!parent || !parent->exists())) return false;
  {
    std::lock_guard<std::mutex> lock(s.hm);
    handle_ = s.nextHandle++;
    if (s.nextHandle == 0) s.nextHandle = 1;
    s.handles[handle_] = this;
  }
  popup_ = !child;
  parent_ = (parent && parent->exists()) ? parent : nullptr;
  id_ = id;
  rect_ = rect;
  text_ = std::string(text);
  style_ = style & ~(WS_VISIBLE | WS_DISABLED);
  visible_ = false;
  enabled_ = (style & WS_DISABLED) == 0;
  if (child) parent_->children_.push_back(this);
  else s.popups.push_back(this);
  sendMessage(WM_CREATE);
  if (exists() && (style & WS_VISIBLE)) showWindow(popup_ ? SW_SHOW : SW_SHOWNA);
  return exists();
}

void Window::destroyWindow() {
  if (!handle_) return;
  Message m{handle_, WM_DESTROY, 0, 0};
  windowProc(m);
  if (!handle_) return;
  std::vector<Window*> kids = children_;
  for (Window* c : kids) c->destroyWindow();
  UiState& s = state();
  std::vector<Window*> ownedPopups;
  for (Window* p : s.popups)
    if (p->parent_ == this) ownedPopups.push_back(p);
  for (Window* p : ownedPopups) p->destroyWindow();
  bool wasActive = s.active == this;
  detachFromTree();
  if (wasActive) {
    for (auto it = s.popups.rbegin(); it != s.popups.rend(); ++it) {
      if ((*it)->visible_ && (*it)->enabled_) {
        activate(*it, WA_ACTIVE);
        break;
      }
    }
  }
}

// Takes the window (and its children, silently) out of every table. The objects of owned children are
// deleted.
void Window::detachFromTree() {
  UiState& s = state();
  markDirty(shownRect(*this));
  for (Window* c : std::vector<Window*>(children_)) {
    if (c->handle_) c->detachFromTree();
  }
  children_.clear();
  owned_.clear();
  for (Window* p : std::vector<Window*>(s.popups)) {
    if (p->parent_ == this && p->handle_) p->detachFromTree();
  }
  killTimersOf(handle_);
  if (s.focus && isDescendantOrSelf(s.focus, this)) s.focus = nullptr;
  if (s.capture && isDescendantOrSelf(s.capture, this)) s.capture = nullptr;
  if (s.active == this) s.active = nullptr;
  for (Window* p : s.popups)
    if (p->lastFocus_ && isDescendantOrSelf(p->lastFocus_, this)) p->lastFocus_ = nullptr;
  if (popup_) {
    s.popups.erase(std::remove(s.popups.begin(), s.popups.end(), this), s.popups.end());
  } else if (parent_) {
    auto& sib = parent_->children_;
    sib.erase(std::remove(sib.begin(), sib.end(), this), sib.end());
  }
  s.modals.erase(std::remove_if(s.modals.begin(), s.modals.end(),
                                [this](Dialog* d) { return static_cast<Window*>(d) == this; }),
                 s.modals.end());
  {
    std::lock_guard<std::mutex> lock(s.hm);
    s.handles.erase(handle_);
  }
  handle_ = 0;
  parent_ = nullptr;
  visible_ = false;
  ++s.detached;
}

Window* Window::getDlgItem(int id) const {
  for (Window* c : children_)
    if (c->id_ == id) return c;
  return nullptr;
}

Window* Window::popupRoot() {
  Window* w = this;
  while (w && !w->popup_) w = w->parent_;
  return w;
}

void Window::modifyStyle(std::uint32_t remove, std::uint32_t add) {
  style_ = (style_ & ~remove) | (add & ~(WS_VISIBLE | WS_DISABLED));
  invalidate();
}

void Window::showWindow(int cmd) {
  if (!handle_) return;
  UiState& s = state();
  bool show = cmd != SW_HIDE;
  if (show) {
    bool was = visible_;
    visible_ = true;
    if (!was) {
      sendMessage(WM_SHOWWINDOW, 1);
      if (children_.empty()) noteToggle(false, {});
      else invalidate();
    }
    if (popup_ && cmd != SW_SHOWNA && handle_ && s.active != this) activate(this, WA_ACTIVE);
  } else {
    if (!visible_) return;
    if (children_.empty()) noteToggle(isWindowVisible(), shownRect(*this));
    else markDirty(shownRect(*this));
    visible_ = false;
    sendMessage(WM_SHOWWINDOW, 0);
    if (s.capture && isDescendantOrSelf(s.capture, this)) releaseCapture();
    if (popup_) {
      if (s.active == this) deactivateFor(this);
    } else if (s.focus && isDescendantOrSelf(s.focus, this)) {
      setFocusTo(nullptr);
    }
  }
}

bool Window::isWindowVisible() const {
  const Window* w = this;
  while (w) {
    if (!w->visible_ || !w->handle_) return false;
    if (w->popup_) return true;
    w = w->parent_;
  }
  return false;
}

void Window::enableWindow(bool enable) {
  if (!handle_ || enabled_ == enable) return;
  enabled_ = enable;
  UiState& s = state();
  if (!enable) {
    if (s.capture && isDescendantOrSelf(s.capture, this)) releaseCapture();
    if (s.focus && isDescendantOrSelf(s.focus, this)) setFocusTo(nullptr);
  }
  sendMessage(WM_ENABLE, enable ? 1 : 0);
  invalidate();
}

void Window::moveWindow(const Rect& rect, bool) {
  const bool moved = rect != rect_;
  if (handle_ && moved) markDirty(shownRect(*this));  // where it was
  rect_ = rect;
  if (!handle_) return;
  sendMessage(WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
  sendMessage(WM_SIZE, 0, MAKELPARAM(rect.width(), rect.height()));
  if (moved) invalidate();
}

Point Window::clientOrigin() const {
  int b = borderOf(*this);
  if (popup_ || !parent_) return {rect_.left + b, rect_.top + b};
  Point p = parent_->clientOrigin();
  return {p.x + rect_.left + b, p.y + rect_.top + b};
}

Rect Window::getWindowRect() const {
  if (popup_ || !parent_) return rect_;
  Point p = parent_->clientOrigin();
  return rect_.offset(p.x, p.y);
}

Rect Window::getClientRect() const {
  int b = borderOf(*this);
  return {0, 0, std::max(0, rect_.width() - 2 * b), std::max(0, rect_.height() - 2 * b)};
}

Point Window::clientToScreen(Point p) const {
  Point o = clientOrigin();
  return {p.x + o.x, p.y + o.y};
}

Point Window::screenToClient(Point p) const {
  Point o = clientOrigin();
  return {p.x - o.x, p.y - o.y};
}

void Window::setWindowText(std::string_view text) {
  if (text_ == text) return;
  text_ = std::string(text);
  if (handle_) sendMessage(WM_SETTEXT);
  invalidate();
}

void Window::setFont(const Font& font, bool) {
  font_ = font;
  hasFont_ = true;
  invalidate();
}

Font Window::getFont() const {
  if (hasFont_) return font_;
  if (!popup_ && parent_) return parent_->getFont();
  return Font();
}

void Window::setFocus() {
  if (handle_) setFocusTo(this);
}

void Window::invalidate(bool) {
  if (!handle_) return;
  const Rect r = shownRect(*this);
  if (!r.empty()) {
    markDirty(r);
    return;
  }
  for (UiState::Toggled& t : state().toggled)
    if (t.window == handle_) t.changed = true;
}

void Window::noteToggle(bool shown, const Rect& rect) {
  auto& list = state().toggled;
  for (const UiState::Toggled& t : list)
    if (t.window == handle_) return;  // the first toggle since the last render says how it stood
  list.push_back({handle_, shown, rect, false});
}

void Window::invalidateRect(const Rect& client) {
  if (!handle_) return;
  if (!isWindowVisible()) return invalidate();
  const Point o = clientOrigin();
  markDirty(client.offset(o.x, o.y).intersect(visibleClip(*this)));
}

void Window::updateWindow() { renderIfDirty(); }

void Window::setCapture() {
  UiState& s = state();
  if (!handle_) return;
  Window* old = s.capture;
  s.capture = this;
  if (old && old != this && old->exists()) old->sendMessage(WM_CAPTURECHANGED, 0, static_cast<LPARAM>(handle_));
}

unsigned Window::setTimer(unsigned id, unsigned ms) {
  if (!handle_) return 0;
  UiState& s = state();
  auto ts = std::make_shared<TimerState>();
  ts->hwnd = handle_;
  ts->id = id;
  std::shared_ptr<TimerState> old;
  {
    std::lock_guard<std::mutex> lock(s.tm);
    ts->serial = ++s.timerSerial;
    auto key = std::make_pair(handle_, id);
    auto it = s.timers.find(key);
    if (it != s.timers.end()) old = it->second;
    s.timers[key] = ts;
  }
  if (old) platform::clock::removeTimer(old->clockId);
  std::weak_ptr<TimerState> weak = ts;
  ts->clockId = platform::clock::addTimer(std::max(1u, ms), true, [weak] {
    auto t = weak.lock();
    if (!t || t->pending.exchange(true)) return;
    Queued q;
    q.msg = {t->hwnd, WM_TIMER, t->id, static_cast<LPARAM>(t->serial)};
    push(std::move(q));
  });
  return id;
}

bool Window::killTimer(unsigned id) {
  UiState& s = state();
  std::shared_ptr<TimerState> t;
  {
    std::lock_guard<std::mutex> lock(s.tm);
    auto it = s.timers.find({handle_, id});
    if (it == s.timers.end()) return false;
    t = it->second;
    s.timers.erase(it);
  }
  platform::clock::removeTimer(t->clockId);
  return true;
}

LRESULT Window::sendMessage(std::uint32_t msg, WPARAM wParam, LPARAM lParam) {
  if (!handle_) return 0;
  if (!onUiThread()) return ui::sendMessage(handle_, msg, wParam, lParam);
  Message m{handle_, msg, wParam, lParam};
  return windowProc(m);
}

bool Window::postMessage(std::uint32_t msg, WPARAM wParam, LPARAM lParam) {
  return ui::postMessage(handle_, msg, wParam, lParam);
}

void Window::on(std::uint32_t message, Handler handler) {
  entries_.push_back({message, -1, -1, 0, std::move(handler)});
}

void Window::onCommand(int id, int code, std::function<void()> handler) {
  entries_.push_back({WM_COMMAND, id, id, static_cast<std::uint32_t>(code),
                      [h = std::move(handler)](Message&) -> LRESULT {
                        h();
                        return 0;
                      }});
}

void Window::onCommandRange(int firstId, int lastId, int code, std::function<void(int)> handler) {
  entries_.push_back({WM_COMMAND, firstId, lastId, static_cast<std::uint32_t>(code),
                      [h = std::move(handler)](Message& m) -> LRESULT {
                        h(static_cast<int>(LOWORD(m.wParam)));
                        return 0;
                      }});
}

void Window::onNotify(int id, std::uint32_t code, std::function<LRESULT(Notify&)> handler) {
  entries_.push_back({WM_NOTIFY, id, id, code, [h = std::move(handler)](Message& m) -> LRESULT {
                        return h(*reinterpret_cast<Notify*>(m.lParam));
                      }});
}

const Window::Entry* Window::findEntry(const Message& m) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->message != m.message) continue;
    if (m.message == WM_COMMAND) {
      int id = static_cast<int>(LOWORD(m.wParam));
      if (id >= it->firstId && id <= it->lastId && it->code == HIWORD(m.wParam)) return &*it;
    } else if (m.message == WM_NOTIFY) {
      auto* n = reinterpret_cast<const Notify*>(m.lParam);
      if (n && n->idFrom >= it->firstId && n->idFrom <= it->lastId && it->code == n->code) return &*it;
    } else if (it->firstId == -1) {
      return &*it;
    }
  }
  return nullptr;
}

bool Window::preTranslateMessage(Message&) { return false; }

LRESULT Window::windowProc(Message& msg) {
  if (const Entry* e = findEntry(msg)) {
    Handler h = e->handler;  // the table may change while the handler runs
    return h(msg);
  }
  return defWindowProc(msg);
}

LRESULT Window::defWindowProc(Message& msg) {
  if (msg.message == WM_PAINT) {
    PaintDC dc(*this);
    draw(dc);
  }
  return 0;
}

void Window::draw(DC&) {}
void Window::eraseBackground(DC&) {}

Brush Window::queryCtlColor(DC& dc, int kind, const Brush& fallback) {
  CtlColor cc;
  cc.dc = &dc;
  cc.control = this;
  cc.kind = kind;
  Window* target = kind == CTLCOLOR_DLG ? this : parent_;
  if (target && target->exists()) {
    Message m{target->handle_, WM_CTLCOLOR, reinterpret_cast<WPARAM>(&cc), static_cast<LPARAM>(handle_)};
    target->windowProc(m);
  }
  return cc.hasBrush ? cc.brush : fallback;
}

Window* Window::adopt(std::unique_ptr<Window> child) {
  owned_.push_back(std::move(child));
  return owned_.back().get();
}

void Window::bringToTop() {
  UiState& s = state();
  if (!handle_) return;
  auto& list = popup_ ? s.popups : parent_->children_;
  const std::vector<Window*> before = list;
  auto it = std::find(list.begin(), list.end(), this);
  if (it != list.end()) {
    list.erase(it);
    list.push_back(this);
  }
  if (popup_) {
    // Popups owned by this one stay above it, in their order.
    std::vector<Window*> owned;
    for (Window* p : s.popups) {
      for (Window* o = p->parent_; o;) {
        Window* r = o->popupRoot();
        if (!r) break;
        if (r == this) {
          owned.push_back(p);
          break;
        }
        o = r->parent_;
      }
    }
    for (Window* p : owned) {
      s.popups.erase(std::find(s.popups.begin(), s.popups.end(), p));
      s.popups.push_back(p);
    }
    if (list != before)
      for (Window* p : owned) p->invalidate();
  }
  // What now lies above others shows where they overlap it.
  if (list != before) invalidate();
}

void Window::notifyParent(int code) {
  if (parent_ && parent_->exists())
    parent_->sendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id_), static_cast<unsigned>(code)),
                         static_cast<LPARAM>(handle_));
}

LRESULT Window::notifyParent(Notify& n) {
  n.hwndFrom = handle_;
  n.idFrom = id_;
  if (!parent_ || !parent_->exists()) return 0;
  return parent_->sendMessage(WM_NOTIFY, static_cast<WPARAM>(id_), reinterpret_cast<LPARAM>(&n));
}

// ---- activation and focus --------------------------------------------------------------------------

void setFocusTo(Window* w) {
  UiState& s = state();
  if (w && !w->exists()) return;
  if (w == s.focus) return;
  Window* old = s.focus;
  s.focus = w;
  if (w) {
    if (Window* root = w->popupRoot()) UiAccess::lastFocus(*root) = w;
  }
  // A window may draw itself by whether it has the focus.
  if (old && old->exists()) {
    old->invalidate();
    old->sendMessage(WM_KILLFOCUS, 0, w ? static_cast<LPARAM>(w->handle()) : 0);
  }
  if (w && w->exists() && s.focus == w) {
    w->invalidate();
    w->sendMessage(WM_SETFOCUS, 0, old ? static_cast<LPARAM>(old->handle()) : 0);
  }
}

void activate(Window* popup, int how) {
  UiState& s = state();
  if (popup && (!popup->exists() || !popup->isPopup())) return;
  if (popup == s.active) return;
  Window* old = s.active;
  s.active = popup;
  if (old && old->exists()) {
    if (s.focus && s.focus->popupRoot() == old) {
      UiAccess::lastFocus(*old) = s.focus;
      Window* f = s.focus;
      s.focus = nullptr;
      f->invalidate();
      f->sendMessage(WM_KILLFOCUS);
    }
    old->sendMessage(WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), popup ? static_cast<LPARAM>(popup->handle()) : 0);
  }
  if (popup && popup->exists() && s.active == popup) {
    popup->bringToTop();
    popup->sendMessage(WM_ACTIVATE, MAKEWPARAM(static_cast<unsigned>(how), 0),
                       old ? static_cast<LPARAM>(old->handle()) : 0);
  }
}

void deactivateFor(Window* hidden) {
  UiState& s = state();
  if (s.active != hidden) return;
  Window* next = nullptr;
  if (!s.modals.empty()) {
    Window* m = s.modals.back();
    if (m != hidden && m->isWindowVisible()) next = m;
  }
  if (!next && hidden->parent() && hidden->parent()->exists()) {
    Window* owner = hidden->parent()->popupRoot();
    if (owner && owner->isWindowVisible() && owner->isEnabled() && inputAllowed(owner)) next = owner;
  }
  if (!next) {
    for (auto it = s.popups.rbegin(); it != s.popups.rend(); ++it) {
      Window* p = *it;
      if (p != hidden && p->isWindowVisible() && p->isEnabled() && inputAllowed(p)) {
        next = p;
        break;
      }
    }
  }
  activate(next, WA_ACTIVE);
}

bool inputAllowed(Window* w) {
  UiState& s = state();
  if (s.modals.empty() || !w) return true;
  Window* top = s.modals.back();
  for (Window* r = w->popupRoot(); r; r = r->parent() ? r->parent()->popupRoot() : nullptr) {
    if (r == top) return true;
  }
  return false;
}

void pushModal(Dialog* d) { state().modals.push_back(d); }
void popModal(Dialog* d) {
  auto& m = state().modals;
  m.erase(std::remove(m.begin(), m.end(), d), m.end());
}

Window* activeWindow() { return state().active; }
Window* focusWindow() { return state().focus; }
Window* captureWindow() { return state().capture; }

void releaseCapture() {
  UiState& s = state();
  Window* old = s.capture;
  s.capture = nullptr;
  if (old && old->exists()) old->sendMessage(WM_CAPTURECHANGED);
}

// ---- queue and loop --------------------------------------------------------------------------------

Window* fromHandle(Handle hwnd) {
  UiState& s = state();
  std::lock_guard<std::mutex> lock(s.hm);
  auto it = s.handles.find(hwnd);
  return it == s.handles.end() ? nullptr : it->second;
}

bool postMessage(Handle hwnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam) {
  UiState& s = state();
  {
    std::lock_guard<std::mutex> lock(s.hm);
    if (!s.handles.count(hwnd)) return false;
  }
  Queued q;
  q.msg = {hwnd, msg, wParam, lParam};
  push(std::move(q));
  return true;
}

LRESULT sendMessage(Handle hwnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam) {
  UiState& s = state();
  if (onUiThread()) {
    Window* w = fromHandle(hwnd);
    if (!w) return 0;
    Message m{hwnd, msg, wParam, lParam};
    return w->windowProc(m);
  }
  if (!s.initialized || !fromHandle(hwnd)) return 0;
  auto wait = std::make_shared<SendWait>();
  Queued q;
  q.kind = Queued::Send;
  q.msg = {hwnd, msg, wParam, lParam};
  q.wait = wait;
  push(std::move(q));
  std::unique_lock<std::mutex> lock(wait->m);
  wait->cv.wait(lock, [&] { return wait->done; });
  return wait->result;
}

void postQuitMessage(int code) {
  UiState& s = state();
  std::lock_guard<std::mutex> lock(s.qm);
  s.quitPosted = true;
  s.quitCode = code;
  s.qcv.notify_all();
  if (s.display) s.display->wake();
}

void setPreTranslateHook(std::function<bool(Message&)> hook) { state().preHook = std::move(hook); }
void setIdleHook(std::function<void()> hook) { state().idleHook = std::move(hook); }

namespace {

bool preTranslate(Message& m, Window* target) {
  UiState& s = state();
  if (s.preHook) {
    auto hook = s.preHook;
    if (hook(m)) return true;
  }
  Handle h = target->handle();
  for (Window* w = target; w && w->exists();) {
    if (w->preTranslateMessage(m)) return true;
    if (!fromHandle(h)) return true;  // the target went away
    w = w->parent();
  }
  return false;
}

// Returns false when the pre-translate chain swallowed the message.
bool deliver(Message& m, Window* target) {
  if (preTranslate(m, target)) return false;
  if (Window* w = fromHandle(m.hwnd)) w->windowProc(m);
  return true;
}

Window* childAt(Window* w, Point screen) {
  auto kids = w->children();
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    Window* c = *it;
    if (!c->isVisible() || !c->getWindowRect().contains(screen)) continue;
    if (!c->isEnabled()) return w;
    if (Window* deeper = childAt(c, screen)) {
      if (deeper == c && c->hitTransparent()) continue;
      return deeper;
    }
  }
  return w;
}

void routeMouse(std::uint32_t msg, Point screen) {
  UiState& s = state();
  Window* target = (s.capture && s.capture->exists()) ? s.capture : nullptr;
  if (!target) {
    if (msg == WM_MOUSEMOVE) return;  // a touch screen has no hover
    target = windowFromPoint(screen);
  }
  if (!target) return;
  Handle h = target->handle();
  if (msg == WM_LBUTTONDOWN) {
    Window* root = target->popupRoot();
    if (root && root != s.active) activate(root, WA_CLICKACTIVE);
    target = fromHandle(h);
    if (!target || !target->isWindowVisible() || !target->isEnabled()) return;
  }
  Point c = target->screenToClient(screen);
  Message m{h, msg, msg == WM_LBUTTONUP ? 0u : 1u, MAKELPARAM(c.x, c.y)};
  deliver(m, target);
}

// A character typed with a key belongs to its key-down: when pre-translation swallowed the key-down,
// its characters go nowhere either (until the key is released).
void routeKey(std::uint32_t msg, WPARAM w, LPARAM l) {
  UiState& s = state();
  if (msg == WM_CHAR && s.charSuppressed) return;
  if (msg == WM_KEYUP) s.charSuppressed = false;
  Window* target = (s.focus && s.focus->exists()) ? s.focus : s.active;
  if (!target) {
    if (msg == WM_KEYDOWN) s.charSuppressed = true;
    return;
  }
  Message m{target->handle(), msg, w, l};
  bool delivered = deliver(m, target);
  if (msg == WM_KEYDOWN) s.charSuppressed = !delivered;
}

}  // namespace

Window* windowFromPoint(Point screen) {
  UiState& s = state();
  for (auto it = s.popups.rbegin(); it != s.popups.rend(); ++it) {
    Window* p = *it;
    if (!p->isVisible() || !p->getWindowRect().contains(screen)) continue;
    if (!inputAllowed(p) || !p->isEnabled()) return nullptr;
    return childAt(p, screen);
  }
  return nullptr;
}

bool handleOne(bool& quit) {
  UiState& s = state();
  Queued q;
  {
    std::lock_guard<std::mutex> lock(s.qm);
    if (s.queue.empty()) {
      if (s.quitPosted) {
        s.quitPosted = false;
        quit = true;
        return true;
      }
      return false;
    }
    q = std::move(s.queue.front());
    s.queue.pop_front();
  }
  switch (q.kind) {
    case Queued::Mouse:
      routeMouse(q.msg.message, q.point);
      break;
    case Queued::Key:
    case Queued::Char:
      routeKey(q.msg.message, q.msg.wParam, q.msg.lParam);
      break;
    case Queued::Send: {
      LRESULT r = 0;
      if (Window* w = fromHandle(q.msg.hwnd)) r = w->windowProc(q.msg);
      std::lock_guard<std::mutex> lock(q.wait->m);
      q.wait->result = r;
      q.wait->done = true;
      q.wait->cv.notify_all();
      break;
    }
    case Queued::Normal: {
      Window* w = fromHandle(q.msg.hwnd);
      if (!w) break;
      if (q.msg.message == WM_TIMER) {
        std::lock_guard<std::mutex> lock(s.tm);
        auto it = s.timers.find({q.msg.hwnd, static_cast<unsigned>(q.msg.wParam)});
        if (it == s.timers.end() || static_cast<LPARAM>(it->second->serial) != q.msg.lParam) break;
        it->second->pending = false;
        q.msg.lParam = 0;
      }
      deliver(q.msg, w);
      break;
    }
  }
  return true;
}

void injectMouse(std::uint32_t msg, Point screen) {
  Queued q;
  q.kind = Queued::Mouse;
  q.msg.message = msg;
  q.point = screen;
  push(std::move(q));
}

void injectKey(std::uint32_t msg, unsigned vk, bool repeat) {
  Queued q;
  q.kind = Queued::Key;
  LPARAM l = 1;
  if (repeat) l |= (1 << 30);
  if (msg == WM_KEYUP) l |= (1 << 30) | (static_cast<LPARAM>(1) << 31);
  q.msg = {0, msg, vk, l};
  push(std::move(q));
}

void injectChar(char32_t ch) {
  Queued q;
  q.kind = Queued::Char;
  q.msg = {0, WM_CHAR, static_cast<WPARAM>(ch), 1};
  push(std::move(q));
}

bool pumpMessages() {
  UiState& s = state();
  if (!s.initialized) return false;
  if (s.display) s.display->pollInput();
  bool quit = false;
  while (handleOne(quit)) {
    if (quit) return false;
  }
  renderIfDirty();
  return true;
}

bool runUntil(const std::function<bool()>& done) {
  UiState& s = state();
  if (!s.initialized) return false;
  ++s.loopDepth;
  bool ok = true;
  while (!done()) {
    if (s.display) s.display->pollInput();
    bool quit = false;
    if (handleOne(quit)) {
      if (quit) {
        postQuitMessage(s.quitCode);  // outer loops end too
        ok = false;
        break;
      }
      continue;
    }
    renderIfDirty();
    if (done()) break;
    if (s.idleHook) {
      auto hook = s.idleHook;
      hook();
      std::lock_guard<std::mutex> lock(s.qm);
      if (!s.queue.empty() || s.quitPosted) continue;
    }
    if (s.display) s.display->waitForEvents(s.idleHook ? 1 : 50);
  }
  --s.loopDepth;
  return ok;
}

int runMessageLoop() {
  runUntil([] { return false; });
  UiState& s = state();
  std::lock_guard<std::mutex> lock(s.qm);
  s.quitPosted = false;
  return s.quitCode;
}

// ---- rendering ---------------------------------------------------------------------------------------

Rect visibleClip(const Window& w) {
  if (!w.isWindowVisible()) return {};
  Rect clip{0, 0, kScreenWidth, kScreenHeight};
  for (const Window* p = &w; p; p = p->isPopup() ? nullptr : p->parent()) {
    Point o = p->clientOrigin();
    Rect c = p->getClientRect().offset(o.x, o.y);
    clip = clip.intersect(c);
  }
  return clip;
}

Rect shownRect(const Window& w) {
  if (!w.exists() || !w.isWindowVisible()) return {};
  const Window* parent = w.isPopup() ? nullptr : w.parent();
  return w.getWindowRect().intersect(parent ? visibleClip(*parent) : kScreenRect);
}

namespace {
void renderWindow(Window& w, cairo_surface_t* surface, Point topLeft, const Rect& clip) {
  if (!w.isVisible() || !w.exists()) return;
  Rect wr = Rect{topLeft.x, topLeft.y, topLeft.x + w.windowRect().width(), topLeft.y + w.windowRect().height()};
  Rect area = wr.intersect(clip);
  if (area.empty()) return;
  int b = borderOf(w);
  Point origin{topLeft.x + b, topLeft.y + b};
  Rect clientArea = Rect{origin.x, origin.y, wr.right - b, wr.bottom - b}.intersect(clip);
  UiState& s = state();
  s.painting.push_back({&w, surface, origin, clientArea});
  {
    struct EraseDC : DC {
      EraseDC(cairo_surface_t* sf, Point o, const Rect& c) { attachDC(*d_, sf, o, c); }
    } dc(surface, origin, clientArea);
    dc.selectFont(w.getFont());
    w.eraseBackground(dc);
  }
  Handle h = w.handle();
  // Whether the window is still there after its handlers ran (looked up only when some window went).
  std::uint64_t seen = s.detached;
  auto alive = [&] {
    if (s.detached == seen) return true;
    seen = s.detached;
    return fromHandle(h) != nullptr;
  };
  Message paint{h, WM_PAINT, 0, 0};
  w.windowProc(paint);
  s.painting.pop_back();
  if (!alive()) return;
  if (b) {
    struct FrameDC : DC {
      FrameDC(cairo_surface_t* sf, const Rect& c) { attachDC(*d_, sf, {0, 0}, c); }
    } dc(surface, area);
    dc.frameRect(wr, Brush{kColorDarkShadow});
  }
  if (clientArea.empty()) return;
  for (Window* c : std::vector<Window*>(w.children())) {
    if (!alive()) return;
    const Rect cr = c->windowRect();
    renderWindow(*c, surface, {origin.x + cr.left, origin.y + cr.top}, clientArea);
  }
}

// Paints the part `clip` of the screen: the screen's own background, then every popup from the bottom
// up with its children, each clipped to it.
void paintRect(cairo_surface_t* surface, const Rect& clip) {
  cairo_t* cr = cairo_create(surface);
  cairo_rectangle(cr, clip.left, clip.top, clip.width(), clip.height());
  cairo_clip(cr);
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_paint(cr);
  cairo_destroy(cr);
  UiState& s = state();
  for (Window* p : std::vector<Window*>(s.popups)) {
    if (!fromHandle(p->handle()) && !p->exists()) continue;
    Rect r = p->windowRect();
    renderWindow(*p, surface, {r.left, r.top}, clip);
  }
}

bool insideAny(const std::vector<Rect>& rects, const Rect& r) {
  return std::any_of(rects.begin(), rects.end(), [&](const Rect& x) { return containsRect(x, r); });
}

// The repaint check: the whole screen painted afresh against the picture the repaints left; the
// bounds of the pixels that differ outside what is still to be repainted (empty when none).
Rect staleArea() {
  UiState& s = state();
  const std::vector<Rect> dirty = s.dirty;
  cairo_surface_t* fresh = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kScreenWidth, kScreenHeight);
  paintRect(fresh, kScreenRect);
  cairo_surface_flush(fresh);
  // What the fresh painting invalidates was invalidated by the repaint as well.
  s.dirty = dirty;
  // Drawn outside a repaint, or still to be repainted: not the repaint's to match.
  std::vector<Rect> pending = dirty;
  pending.insert(pending.end(), s.unshown.begin(), s.unshown.end());
  const unsigned char* a = cairo_image_surface_get_data(s.screen);
  const unsigned char* b = cairo_image_surface_get_data(fresh);
  const int sa = cairo_image_surface_get_stride(s.screen), sb = cairo_image_surface_get_stride(fresh);
  Rect diff;
  for (int y = 0; y < kScreenHeight; ++y) {
    const auto* ra = reinterpret_cast<const std::uint32_t*>(a + y * sa);
    const auto* rb = reinterpret_cast<const std::uint32_t*>(b + y * sb);
    if (std::memcmp(ra, rb, sizeof(std::uint32_t) * kScreenWidth) == 0) continue;
    for (int x = 0; x < kScreenWidth; ++x) {
      if (((ra[x] ^ rb[x]) & 0xFFFFFFu) == 0) continue;
      const Rect px{x, y, x + 1, y + 1};
      if (insideAny(pending, px)) continue;
      diff = diff.empty() ? px : diff.bounds(px);
    }
  }
  cairo_surface_destroy(fresh);
  return diff;
}
}  // namespace

void render() {
  UiState& s = state();
  if (!s.initialized || !s.screen) return;
  // Controls shown or hidden since the last render that do not stand as they stood.
  for (const UiState::Toggled& t : s.toggled) {
    const Window* w = fromHandle(t.window);
    const bool shown = w && w->isWindowVisible();
    const Rect now = shown ? shownRect(*w) : Rect{};
    if (shown == t.wasShown && !t.changed && now == t.rect) continue;
    if (t.wasShown) markDirty(t.rect);
    if (shown) markDirty(now);
  }
  s.toggled.clear();
  std::vector<Rect> painted;
  // What a paint handler invalidates inside what is being repainted is on the picture already; what
  // it invalidates elsewhere is repainted in a further pass (left for the next render after a few).
  for (int pass = 0; pass < 3 && !s.dirty.empty(); ++pass) {
    std::vector<Rect> thisPass;
    thisPass.swap(s.dirty);
    for (const Rect& r : thisPass) paintRect(s.screen, r);
    std::erase_if(s.dirty, [&](const Rect& r) { return insideAny(thisPass, r); });
    for (const Rect& r : thisPass) addRect(painted, r);
  }
  if (painted.empty() && s.unshown.empty()) return;
  cairo_surface_flush(s.screen);
  if (!painted.empty()) {
    if (s.repaintLog) {
      auto log = s.repaintLog;
      log(painted);
    }
    // A repaint of the whole screen leaves nothing stale.
    s.repaintedUnchecked = !insideAny(painted, kScreenRect);
    checkRepaints(false);
  }
  for (const Rect& r : s.unshown) addRect(painted, r);
  s.unshown.clear();
  if (s.display) s.display->present(s.screen, painted);
}

void checkRepaints(bool now) {
  UiState& s = state();
  if (!s.repaintCheck || !s.repaintedUnchecked || !s.initialized || !s.screen) return;
  const auto start = std::chrono::steady_clock::now();
  if (!now && start < s.nextCheck) return;
  const Rect stale = staleArea();
  const auto end = std::chrono::steady_clock::now();
  s.nextCheck = end + std::max<std::chrono::steady_clock::duration>(std::chrono::milliseconds(20), 4 * (end - start));
  s.repaintedUnchecked = false;
  auto check = s.repaintCheck;
  if (!stale.empty()) check(stale);
}

void renderIfDirty() {
  UiState& s = state();
  if (!s.dirty.empty() || !s.unshown.empty() || !s.toggled.empty()) render();
}

Bitmap renderScreen() {
  UiState& s = state();
  Bitmap out(kScreenWidth, kScreenHeight);
  if (!s.initialized) return out;
  renderIfDirty();
  checkRepaints(true);  // the picture a test looks at
  cairo_t* cr = cairo_create(out.impl()->surface);
  cairo_set_source_surface(cr, s.screen, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  return out;
}

Bitmap renderWindow(Window& w) {
  Rect r = w.windowRect();
  Bitmap out(std::max(1, r.width()), std::max(1, r.height()));
  if (!w.exists()) return out;
  bool vis = w.isVisible();
  UiAccess::setVisibleFlag(w, true);
  renderWindow(w, out.impl()->surface, {0, 0}, {0, 0, r.width(), r.height()});
  if (w.exists()) UiAccess::setVisibleFlag(w, vis);
  cairo_surface_flush(out.impl()->surface);
  return out;
}

bool saveScreenshot(const std::filesystem::path& hostFile, Window* w) {
  Bitmap b = w ? renderWindow(*w) : renderScreen();
  return b.savePng(hostFile);
}

// ---- start and end ------------------------------------------------------------------------------------

bool parseDisplayKind(std::string_view text, DisplayKind& out) {
  std::string t = platform::text::toLowerAscii(text);
  if (t == "auto") out = DisplayKind::Auto;
  else if (t == "headless") out = DisplayKind::Headless;
  else if (t == "sdl") out = DisplayKind::Sdl;
  else return false;
  return true;
}

bool init(const Options& options) {
  UiState& s = state();
  if (s.initialized) shutdown();
  std::unique_ptr<Display> disp;
  if (options.display == DisplayKind::Sdl) {
    disp = makeSdlDisplay(options);
    if (!disp) return false;
  } else if (options.display == DisplayKind::Auto && sdlDisplayAvailable()) {
    disp = makeSdlDisplay(options);
  }
  if (!disp) disp = std::make_unique<HeadlessDisplay>();
  completeSends();
  s.uiThread = std::this_thread::get_id();
  s.screen = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kScreenWidth, kScreenHeight);
  {
    std::lock_guard<std::mutex> lock(s.qm);
    s.display = std::move(disp);
  }
  s.popups.clear();
  s.active = s.focus = s.capture = nullptr;
  s.modals.clear();
  s.preHook = nullptr;
  s.idleHook = nullptr;
  s.dirty.assign(1, kScreenRect);
  s.unshown.clear();
  s.toggled.clear();
  s.initialized = true;
  return true;
}

void shutdown() {
  UiState& s = state();
  if (!s.initialized) return;
  checkRepaints(true);
  for (Window* p : std::vector<Window*>(s.popups))
    if (p->exists()) p->destroyWindow();
  std::vector<std::shared_ptr<TimerState>> timers;
  {
    std::lock_guard<std::mutex> lock(s.tm);
    for (auto& [k, t] : s.timers) timers.push_back(t);
    s.timers.clear();
  }
  for (auto& t : timers) platform::clock::removeTimer(t->clockId);
  s.initialized = false;
  completeSends();
  std::unique_ptr<Display> gone;
  {
    std::lock_guard<std::mutex> lock(s.qm);
    gone = std::move(s.display);
  }
  gone.reset();
  if (s.screen) cairo_surface_destroy(s.screen);
  s.screen = nullptr;
  s.preHook = nullptr;
  s.idleHook = nullptr;
}

bool initialized() { return state().initialized; }
DisplayKind display() {
  UiState& s = state();
  return s.display ? s.display->kind() : DisplayKind::Headless;
}

}  // namespace platform::ui
