// The windowing layer: windows with control ids, messages, handler tables, the message loop, timers,
// focus and activation, and the displays (headless picture or SDL2 window).
//
// One thread, the user-interface thread (the one that called init()), owns every window. Other threads
// reach windows only through postMessage() (or sendMessage(), which waits for the UI thread). Timers run
// on the platform clock: their callback posts WM_TIMER, and the UI thread dispatches it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/gdi.h"

namespace platform::ui {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using Handle = std::uint32_t;  // 0 is no window

// Messages.
inline constexpr std::uint32_t WM_NULL = 0x0000;
inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_MOVE = 0x0003;
inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_SETFOCUS = 0x0007;
inline constexpr std::uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr std::uint32_t WM_ENABLE = 0x000A;
inline constexpr std::uint32_t WM_SETTEXT = 0x000C;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_SHOWWINDOW = 0x0018;
inline constexpr std::uint32_t WM_CTLCOLOR = 0x0019;  // wParam: CtlColor*; see CtlColor
inline constexpr std::uint32_t WM_DRAWITEM = 0x002B;  // wParam: control id, lParam: DrawItem*
inline constexpr std::uint32_t WM_SETFONT = 0x0030;
inline constexpr std::uint32_t WM_NOTIFY = 0x004E;    // wParam: control id, lParam: Notify*
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;   // wParam: virtual key; lParam bit 30: repeat
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;      // wParam: Unicode code point
inline constexpr std::uint32_t WM_INITDIALOG = 0x0110;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;   // wParam: MAKEWPARAM(id, code), lParam: handle
inline constexpr std::uint32_t WM_TIMER = 0x0113;     // wParam: timer id
inline constexpr std::uint32_t WM_HSCROLL = 0x0114;   // wParam: MAKEWPARAM(code, pos), lParam: handle
inline constexpr std::uint32_t WM_VSCROLL = 0x0115;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;  // lParam: MAKELPARAM(x, y) in client coordinates
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_CAPTURECHANGED = 0x0215;
inline constexpr std::uint32_t WM_USER = 0x0400;

// WM_ACTIVATE states (low word of wParam).
inline constexpr int WA_INACTIVE = 0;
inline constexpr int WA_ACTIVE = 1;
inline constexpr int WA_CLICKACTIVE = 2;

// showWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_SHOWNA = 8;  // show without activating

// Notification codes (WM_COMMAND high word / Notify::code).
inline constexpr int BN_CLICKED = 0;
inline constexpr int STN_CLICKED = 0;
inline constexpr int EN_SETFOCUS = 0x0100;
inline constexpr int EN_KILLFOCUS = 0x0200;
inline constexpr int EN_CHANGE = 0x0300;
inline constexpr std::uint32_t NM_CLICK = static_cast<std::uint32_t>(-2);
inline constexpr std::uint32_t NM_DBLCLK = static_cast<std::uint32_t>(-3);
inline constexpr std::uint32_t TCN_SELCHANGE = static_cast<std::uint32_t>(-551);
inline constexpr std::uint32_t TCN_SELCHANGING = static_cast<std::uint32_t>(-552);

// Dialog results and standard button ids.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Virtual keys.
inline constexpr unsigned VK_BACK = 0x08;
inline constexpr unsigned VK_TAB = 0x09;
inline constexpr unsigned VK_RETURN = 0x0D;
inline constexpr unsigned VK_ESCAPE = 0x1B;
inline constexpr unsigned VK_SPACE = 0x20;
inline constexpr unsigned VK_LEFT = 0x25;
inline constexpr unsigned VK_UP = 0x26;
inline constexpr unsigned VK_RIGHT = 0x27;
inline constexpr unsigned VK_DOWN = 0x28;
inline constexpr unsigned VK_DELETE = 0x2E;
inline constexpr unsigned VK_F1 = 0x70;
inline constexpr unsigned VK_OEM_MINUS = 0xBD;
inline constexpr unsigned VK_OEM_PERIOD = 0xBE;

// Window styles (common).
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000u;
inline constexpr std::uint32_t WS_BORDER = 0x00800000u;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000u;

// WM_CTLCOLOR kinds.
inline constexpr int CTLCOLOR_EDIT = 1;
inline constexpr int CTLCOLOR_LISTBOX = 2;
inline constexpr int CTLCOLOR_BTN = 3;
inline constexpr int CTLCOLOR_DLG = 4;
inline constexpr int CTLCOLOR_STATIC = 6;

// Owner-draw item states.
inline constexpr unsigned ODS_SELECTED = 0x0001;
inline constexpr unsigned ODS_DISABLED = 0x0004;
inline constexpr unsigned ODS_FOCUS = 0x0010;

constexpr WPARAM MAKEWPARAM(unsigned lo, unsigned hi) { return (lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16); }
constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<std::uint32_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
constexpr unsigned LOWORD(std::uintptr_t v) { return static_cast<unsigned>(v & 0xFFFFu); }
constexpr unsigned HIWORD(std::uintptr_t v) { return static_cast<unsigned>((v >> 16) & 0xFFFFu); }
constexpr int GET_X_LPARAM(LPARAM l) { return static_cast<std::int16_t>(l & 0xFFFF); }
constexpr int GET_Y_LPARAM(LPARAM l) { return static_cast<std::int16_t>((l >> 16) & 0xFFFF); }

struct Message {
  Handle hwnd = 0;
  std::uint32_t message = WM_NULL;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// WM_NOTIFY data (lParam points to it while the notification is sent).
struct Notify {
  Handle hwndFrom = 0;
  int idFrom = 0;
  std::uint32_t code = 0;
  int item = -1;          // list row, or -1
  int subItem = 0;        // list column
  Point point;            // in the control's client coordinates
  unsigned hitFlags = 0;  // list hit-test flags (LVHT_*)
  bool checkSet = false;  // NM_CLICK on a list check box: the handler has decided the row's check
};

// WM_CTLCOLOR data (wParam points to it): sent to the parent before a control draws (and to a dialog
// for its own background). The handler sets text colour, background colour and mode on dc, and may set
// a background brush.
struct CtlColor {
  DC* dc = nullptr;
  Window* control = nullptr;
  int kind = CTLCOLOR_STATIC;
  bool hasBrush = false;
  Brush brush;
  void setBrush(const Brush& b) { brush = b; hasBrush = true; }
  static CtlColor& of(const Message& m) { return *reinterpret_cast<CtlColor*>(m.wParam); }
};

// WM_DRAWITEM data for owner-drawn buttons.
struct DrawItem {
  int ctlId = 0;
  unsigned itemState = 0;  // ODS_*
  Rect rcItem;             // the control's client rectangle
  DC* dc = nullptr;
  Window* control = nullptr;
};

// A window: a popup (top-level, screen coordinates; a dialog) or a child (parent's client coordinates;
// a control or a child dialog). Every window has a handle; messages reach it through its handler table.
class Window {
 public:
  Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  // Destroying the object tears the window down silently (no WM_DESTROY): call destroyWindow() first
  // where the WM_DESTROY handlers must run.
  virtual ~Window();

  // Creates the window. A popup's rectangle is in screen coordinates and parent is its owner (may be
  // null); a child's rectangle is in the parent's client coordinates. Sends WM_CREATE.
  bool createWindow(Window* parent, const Rect& rect, int id, std::string_view text, std::uint32_t style);
  void destroyWindow();  // WM_DESTROY, then the children, timers and handle go
  bool exists() const { return handle_ != 0; }
  Handle handle() const { return handle_; }
  int id() const { return id_; }
  void setId(int id) { id_ = id; }
  bool isPopup() const { return popup_; }
  Window* parent() const { return parent_; }  // a popup's owner
  const std::vector<Window*>& children() const { return children_; }
  Window* getDlgItem(int id) const;           // a direct child with this id
  Window* popupRoot();                        // the popup this window lies in (itself for a popup)

  std::uint32_t style() const { return style_; }
  void modifyStyle(std::uint32_t remove, std::uint32_t add);

  void showWindow(int cmd);
  bool isVisible() const { return visible_; }  // own flag
  bool isWindowVisible() const;                // own flag and every parent's
  void enableWindow(bool enable);
  bool isEnabled() const { return enabled_; }
  void moveWindow(const Rect& rect, bool repaint = true);
  void moveWindow(int x, int y, int w, int h, bool repaint = true) { moveWindow(Rect{x, y, x + w, y + h}, repaint); }
  Rect windowRect() const { return rect_; }   // in the parent's client (popup: screen) coordinates
  Rect getWindowRect() const;                 // in screen coordinates
  Rect getClientRect() const;                 // (0, 0, width, height), less a border
  Point clientToScreen(Point p) const;
  Point screenToClient(Point p) const;
  Point clientOrigin() const;                 // screen position of the client area's top-left

  void setWindowText(std::string_view text);
  std::string getWindowText() const { return text_; }
  void setFont(const Font& font, bool redraw = true);
  Font getFont() const;                       // own font, else the dialog's, else the default

  void setFocus();
  // Marks the window (or a rectangle of its client area) to be repainted with what lies under it.
  void invalidate(bool erase = true);
  void invalidateRect(const Rect& client);
  void updateWindow();
  void setCapture();

  // Timers on the platform clock: WM_TIMER with wParam id every ms of instrument time. Setting an
  // existing id restarts it. Pending WM_TIMER messages of a timer coalesce into one, as on the device.
  unsigned setTimer(unsigned id, unsigned ms);
  bool killTimer(unsigned id);

  // On the UI thread. Worker threads keep the window's handle() and call ui::postMessage(handle, ...).
  LRESULT sendMessage(std::uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);
  bool postMessage(std::uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);

  // The handler table. A later entry for the same message (or command/notification and id) replaces an
  // earlier one, so a derived class's entries win over its base's. A handler may call defWindowProc(m)
  // for the default handling.
  using Handler = std::function<LRESULT(Message&)>;
  void on(std::uint32_t message, Handler handler);
  void onCommand(int id, int code, std::function<void()> handler);          // WM_COMMAND
  void onCommandRange(int firstId, int lastId, int code, std::function<void(int id)> handler);
  void onNotify(int id, std::uint32_t code, std::function<LRESULT(Notify&)> handler);  // WM_NOTIFY

  // Called for each message taken from the queue for this window or a descendant, before dispatch;
  // true swallows the message.
  virtual bool preTranslateMessage(Message& msg);
  // Dispatch through the handler table, else defWindowProc.
  virtual LRESULT windowProc(Message& msg);
  virtual LRESULT defWindowProc(Message& msg);

  // True when taps pass through this window to its parent (plain statics, group boxes).
  virtual bool hitTransparent() const { return false; }
  // Draws the window's own look (called by the default WM_PAINT handling).
  virtual void draw(DC& dc);
  // Fills the background before WM_PAINT (dialogs: their WM_CTLCOLOR brush). Default: nothing.
  virtual void eraseBackground(DC& dc);

  // Sends WM_CTLCOLOR for this control to its parent and applies the answer to dc; returns the brush
  // to fill the background with (hollow when none), defaulting to `fallback`.
  Brush queryCtlColor(DC& dc, int kind, const Brush& fallback);

  // Owned children are deleted with this window (controls a dialog made from its template).
  Window* adopt(std::unique_ptr<Window> child);
  void bringToTop();  // among its siblings (popups: the screen's stacking order)

 protected:
  void notifyParent(int code);  // WM_COMMAND (id, code) to the parent
  LRESULT notifyParent(Notify& n);

 private:
  friend struct UiAccess;
  struct Entry {
    std::uint32_t message;
    int firstId;
    int lastId;
    std::uint32_t code;
    Handler handler;
  };
  const Entry* findEntry(const Message& m) const;
  void detachFromTree();
  // A control without children shown or hidden: how it stood on the screen before (see render()).
  void noteToggle(bool shown, const Rect& rect);

  Handle handle_ = 0;
  int id_ = 0;
  bool popup_ = false;
  bool visible_ = false;
  bool enabled_ = true;
  std::uint32_t style_ = 0;
  Rect rect_;
  std::string text_;
  Font font_;
  bool hasFont_ = false;
  Window* parent_ = nullptr;
  std::vector<Window*> children_;
  std::vector<std::unique_ptr<Window>> owned_;
  std::vector<Entry> entries_;
  Window* lastFocus_ = nullptr;  // popups: the focus to restore on activation
};

// ---- the layer as a whole -------------------------------------------------------------------------

enum class DisplayKind { Auto, Headless, Sdl };

struct Options {
  DisplayKind display = DisplayKind::Headless;
  bool fullscreen = false;
  std::string title = "Instrument";
};

// Starts the layer on the calling thread (the UI thread): the screen of 1024 x 768 pixels on the chosen
// display. Auto takes SDL when a display is there (DISPLAY, WAYLAND_DISPLAY or SDL_VIDEODRIVER set, and
// SDL starts), else headless. Any windows of an earlier run must be gone. Returns false when SDL was asked for and cannot
// start.
bool init(const Options& options = {});
void shutdown();
bool initialized();
DisplayKind display();  // Headless or Sdl once started
// Parses "auto", "headless", "sdl" (any case); false when unknown.
bool parseDisplayKind(std::string_view text, DisplayKind& out);

inline constexpr int kScreenWidth = 1024;
inline constexpr int kScreenHeight = 768;

// Posting from any thread; false when the handle names no window.
bool postMessage(Handle hwnd, std::uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);
// On the UI thread: calls the window at once. From another thread: waits until the UI thread has
// handled it (0 when the window is gone or the layer shuts down).
LRESULT sendMessage(Handle hwnd, std::uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);
void postQuitMessage(int code);
Window* fromHandle(Handle hwnd);

// The message loop. pumpMessages() handles everything queued (and input from the display) without
// waiting, then repaints the screen when something changed; false once WM_QUIT was taken. runUntil()
// waits for and handles messages until done() holds or WM_QUIT arrives (false then).
bool pumpMessages();
bool runUntil(const std::function<bool()>& done);
int runMessageLoop();  // until WM_QUIT; returns its code

// An application-wide hook that sees every queued message first (true swallows it), then the window
// chain's preTranslateMessage runs.
void setPreTranslateHook(std::function<bool(Message&)> hook);
// Called whenever a waiting loop (runUntil, a modal dialog) finds the queue empty; tests drive modal
// dialogs from it. While a hook is set, waiting loops poll instead of sleeping.
void setIdleHook(std::function<void()> hook);

Window* activeWindow();  // the active popup
Window* focusWindow();
Window* captureWindow();
void releaseCapture();

// Input as the display delivers it: a finger or mouse at a screen point, a key. Queued, then routed on
// the UI thread (capture, hit test, modal dialogs, activation, focus), through the pre-translate chain.
void injectMouse(std::uint32_t msg, Point screen);  // WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP
void injectKey(std::uint32_t msg, unsigned vk, bool repeat = false);  // WM_KEYDOWN, WM_KEYUP
void injectChar(char32_t ch);

// The window a tap at this screen point reaches (null when none or when a modal dialog blocks it).
Window* windowFromPoint(Point screen);

// Pictures: the whole screen as shown, or one window (with its children) alone.
Bitmap renderScreen();
Bitmap renderWindow(Window& w);
bool saveScreenshot(const std::filesystem::path& hostFile, Window* w = nullptr);
void render();  // repaints the screen now (and shows it on SDL)

}  // namespace platform::ui
