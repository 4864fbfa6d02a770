// Dialog templates and dialogs.
#include <algorithm>
#include <map>
#include <mutex>

#include "platform/ui/internal.h"

namespace platform::ui {

namespace {
std::mutex gTemplateMutex;
std::map<int, DialogTemplate>& templates() {
  static auto* t = new std::map<int, DialogTemplate>();
  return *t;
}

bool isWithin(const Window* w, const Window* dlg) {
  for (; w; w = w->isPopup() ? nullptr : w->parent())
    if (w == dlg) return true;
  return false;
}
}  // namespace

void registerTemplate(DialogTemplate t) {
  std::lock_guard<std::mutex> lock(gTemplateMutex);
  int id = t.id;
  templates()[id] = std::move(t);
}

bool findTemplate(int id, DialogTemplate& out) {
  std::lock_guard<std::mutex> lock(gTemplateMutex);
  auto it = templates().find(id);
  if (it == templates().end()) return false;
  out = it->second;
  return true;
}

std::unique_ptr<Window> makeControl(ControlClass cls) {
  switch (cls) {
    case ControlClass::Static: return std::make_unique<Static>();
    case ControlClass::Button: return std::make_unique<Button>();
    case ControlClass::Edit: return std::make_unique<Edit>();
    case ControlClass::List: return std::make_unique<ListCtrl>();
    case ControlClass::Tab: return std::make_unique<TabCtrl>();
    case ControlClass::Slider: return std::make_unique<Slider>();
    case ControlClass::Progress: return std::make_unique<Progress>();
  }
  return std::make_unique<Static>();
}

Dialog::Dialog(int templateId) : templateId_(templateId) {}

Dialog::~Dialog() = default;

bool Dialog::create(Window* parent) { return create(templateId_, parent); }

bool Dialog::create(int templateId, Window* parent) {
  if (exists()) return false;
  DialogTemplate t;
  if (!findTemplate(templateId, t)) return false;
  templateId_ = templateId;
  return createFrom(t, parent);
}

bool Dialog::createFrom(const DialogTemplate& t, Window* parent) {
  ended_ = false;
  if (!createWindow(parent, t.rect, 0, t.caption, t.style & ~WS_VISIBLE)) return false;
  if (t.fontHeight != 0) setFont(Font::create(t.fontHeight, t.fontWeight), false);
  for (const ControlTemplate& ct : t.controls) {
    Window* c = nullptr;
    for (auto& [id, w] : bindings_)
      if (id == ct.id && !w->exists()) c = w;
    if (!c) c = adopt(makeControl(ct.cls));
    std::uint32_t style = WS_CHILD | ct.style;
    if (ct.visible) style |= WS_VISIBLE;
    if (!ct.enabled) style |= WS_DISABLED;
    if (c->createWindow(this, ct.rect, ct.id, ct.caption, style) && ct.fontHeight != 0)
      c->setFont(Font::create(ct.fontHeight, ct.fontWeight), false);
  }
  Handle h = handle();
  sendMessage(WM_INITDIALOG);
  onInitDialog();
  if (fromHandle(h) != this) return false;
  if (t.style & WS_VISIBLE) showWindow(SW_SHOW);
  return true;
}

void Dialog::bindControl(int id, Window& control) {
  if (!exists()) {
    bindings_.emplace_back(id, &control);
    return;
  }
  Window* old = getDlgItem(id);
  if (!old || old == &control) return;
  std::uint32_t style = old->style() | WS_CHILD;
  if (old->isVisible()) style |= WS_VISIBLE;
  if (!old->isEnabled()) style |= WS_DISABLED;
  Rect r = old->windowRect();
  std::string text = old->getWindowText();
  Font font = old->getFont();
  auto& kids = UiAccess::children(*this);
  auto pos = std::find(kids.begin(), kids.end(), old) - kids.begin();
  bool wasFocus = focusWindow() == old;
  old->destroyWindow();
  auto& owned = UiAccess::owned(*this);
  owned.erase(std::remove_if(owned.begin(), owned.end(), [old](auto& p) { return p.get() == old; }), owned.end());
  if (!control.createWindow(this, r, id, text, style)) return;
  control.setFont(font, false);
  // Keep the stacking place of the control it replaces.
  kids.erase(std::find(kids.begin(), kids.end(), &control));
  kids.insert(kids.begin() + std::min<std::ptrdiff_t>(pos, static_cast<std::ptrdiff_t>(kids.size())), &control);
  if (wasFocus) control.setFocus();
  bindings_.emplace_back(id, &control);
}

int Dialog::doModal(Window* owner) {
  if (exists()) return -1;
  DialogTemplate t;
  if (!findTemplate(templateId_, t)) return -1;
  if (!owner) owner = activeWindow();
  t.style &= ~(WS_CHILD | WS_VISIBLE);
  modal_ = true;
  if (!createFrom(t, owner)) {
    modal_ = false;
    return -1;
  }
  pushModal(this);
  if (!ended_) showWindow(SW_SHOW);
  runUntil([this] { return ended_ || !exists(); });
  popModal(this);
  int r = ended_ ? result_ : IDCANCEL;
  if (exists()) {
    showWindow(SW_HIDE);
    destroyWindow();
  }
  modal_ = false;
  return r;
}

void Dialog::endDialog(int result) {
  result_ = result;
  ended_ = true;
  if (!modal_) showWindow(SW_HIDE);
}

void Dialog::setDlgItemText(int id, std::string_view text) {
  if (Window* w = getDlgItem(id)) w->setWindowText(text);
}

std::string Dialog::getDlgItemText(int id) const {
  Window* w = getDlgItem(id);
  return w ? w->getWindowText() : std::string();
}

bool Dialog::preTranslateMessage(Message& msg) {
  if (msg.message != WM_KEYDOWN) return false;
  Window* target = fromHandle(msg.hwnd);
  if (!target || !isWithin(target, this)) return false;
  // Return and Escape press the dialog's OK and cancel buttons; a dialog without them (the main
  // window) is not ended by a stray key.
  int id = msg.wParam == VK_RETURN ? IDOK : msg.wParam == VK_ESCAPE ? IDCANCEL : 0;
  if (!id) return false;
  Window* button = getDlgItem(id);
  if (!button || !button->isWindowVisible() || !button->isEnabled()) return false;
  sendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED), static_cast<LPARAM>(button->handle()));
  return true;
}

LRESULT Dialog::defWindowProc(Message& msg) {
  switch (msg.message) {
    case WM_COMMAND:
      if (HIWORD(msg.wParam) == BN_CLICKED) {
        if (LOWORD(msg.wParam) == IDOK) onOK();
        else if (LOWORD(msg.wParam) == IDCANCEL) onCancel();
      }
      return 0;
    case WM_CLOSE:
      onCancel();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(msg.wParam) != WA_INACTIVE) {
        Window* f = UiAccess::lastFocus(*this);
        if (f && f->exists() && isWithin(f, this)) setFocusTo(f);
      }
      return 0;
    default:
      return Window::defWindowProc(msg);
  }
}

void Dialog::eraseBackground(DC& dc) {
  Brush b = queryCtlColor(dc, CTLCOLOR_DLG, Brush{kColorFace});
  if (b.hollow) return;
  dc.fillRect(getClientRect(), b);
}

}  // namespace platform::ui
