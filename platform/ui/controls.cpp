// Static, button, edit, report list, tab, slider and progress controls.
#include <algorithm>
#include <cmath>

#include "platform/ui/internal.h"

namespace platform::ui {

namespace {

Point pointOf(const Message& m) { return {GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)}; }

std::string utf8Encode(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x110000) {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

std::string joinChars(const std::vector<std::string>& chars, std::size_t from, std::size_t to) {
  std::string s;
  for (std::size_t i = from; i < to && i < chars.size(); ++i) s += chars[i];
  return s;
}

unsigned alignFormat(std::uint32_t style) {
  switch (style & 0x3) {
    case 1: return DT_CENTER;
    case 2: return DT_RIGHT;
    default: return DT_LEFT;
  }
}

void sunkenFrame(DC& dc, const Rect& r) { dc.draw3dRect(r, kColorShadow, kColorLight); }

}  // namespace

// ---- Static ----------------------------------------------------------------------------------------

bool Static::hitTransparent() const { return (style() & SS_NOTIFY) == 0; }

void Static::draw(DC& dc) {
  dc.setTextColor(isEnabled() ? kColorText : kColorGrayText);
  dc.setBkColor(kColorFace);
  dc.setBkMode(TRANSPARENT);
  Brush bg = queryCtlColor(dc, CTLCOLOR_STATIC, Brush::null());
  Rect r = getClientRect();
  dc.fillRect(r, bg);
  if (style() & SS_SUNKEN) {
    sunkenFrame(dc, r);
    r = r.deflate(2, 1);
  }
  if (image_.valid()) dc.drawBitmap(image_, (r.width() - image_.width()) / 2, (r.height() - image_.height()) / 2);
  const std::string text = getWindowText();
  unsigned fmt = alignFormat(style());
  if (style() & SS_CENTERIMAGE) {
    // Centred vertically as a block: broken at its line breaks and wrapped at the width while the
    // block fits the height. A text without line breaks that would not fit stays one line; one with
    // line breaks keeps them even then (its block is clipped evenly at the top and the bottom).
    fmt |= DT_VCENTER;
    Rect block = r;
    const int height = dc.drawText(text, block, fmt | DT_WORDBREAK | DT_CALCRECT);
    if (height <= r.height()) fmt |= DT_WORDBREAK;
    else if (text.find('\n') == std::string::npos) fmt |= DT_SINGLELINE;
  } else {
    fmt |= DT_WORDBREAK;
  }
  dc.drawText(text, r, fmt);
}

LRESULT Static::defWindowProc(Message& m) {
  if (!(style() & SS_NOTIFY)) return Window::defWindowProc(m);
  // A click is a press and a release on the control (a release alone, left by a tap that made another
  // window appear under the finger, is none).
  if (m.message == WM_LBUTTONDOWN) {
    setCapture();
    return 0;
  }
  if (m.message == WM_LBUTTONUP && captureWindow() == this) {
    Handle h = handle();
    releaseCapture();
    if (fromHandle(h) == this && getClientRect().contains(pointOf(m))) notifyParent(STN_CLICKED);
    return 0;
  }
  return Window::defWindowProc(m);
}

// ---- Button ----------------------------------------------------------------------------------------

void Button::setCheck(bool on) {
  if (checked_ != on) {
    checked_ = on;
    invalidate();
  }
}

void Button::setColors(Color face, Color text) {
  face_ = face;
  textColor_ = text;
  invalidate();
}

void Button::clearColors() {
  face_.reset();
  textColor_ = kColorText;
  invalidate();
}

void Button::drawItem(DrawItem& item) {
  if (parent() && parent()->exists())
    parent()->sendMessage(WM_DRAWITEM, static_cast<WPARAM>(id()), reinterpret_cast<LPARAM>(&item));
}

void Button::draw(DC& dc) {
  Rect r = getClientRect();
  std::uint32_t type = buttonType();
  if (type == BS_OWNERDRAW) {
    DrawItem di;
    di.ctlId = id();
    di.rcItem = r;
    di.dc = &dc;
    di.control = this;
    if (pressed_) di.itemState |= ODS_SELECTED;
    if (!isEnabled()) di.itemState |= ODS_DISABLED;
    if (focusWindow() == this) di.itemState |= ODS_FOCUS;
    drawItem(di);
    return;
  }
  dc.setTextColor(isEnabled() ? kColorText : kColorGrayText);
  dc.setBkMode(TRANSPARENT);
  if (type == BS_GROUPBOX || type == BS_AUTOCHECKBOX) {
    Brush bg = queryCtlColor(dc, CTLCOLOR_STATIC, Brush::null());
    if (!isEnabled()) dc.setTextColor(kColorGrayText);  // whatever the parent answered
    int fh = getFont().height();
    if (type == BS_GROUPBOX) {
      int tw = textWidthPx(getFont(), getWindowText());
      int y = fh / 2;
      Pen old = dc.selectPen(Pen{PS_SOLID, 1, kColorShadow});
      dc.moveTo(0, y);
      dc.lineTo(6, y);
      dc.moveTo(tw > 0 ? 12 + tw : 6, y);
      dc.lineTo(r.right - 1, y);
      dc.lineTo(r.right - 1, r.bottom - 1);
      dc.lineTo(0, r.bottom - 1);
      dc.lineTo(0, y);
      dc.selectPen(old);
      dc.fillRect({8, 0, 10 + tw, fh}, bg);
      dc.textOut(9, 0, getWindowText());
    } else {
      dc.fillRect(r, bg);
      int box = std::min(r.height() - 4, std::max(14, fh));
      Rect b{2, (r.height() - box) / 2, 2 + box, (r.height() - box) / 2 + box};
      dc.fillRect(b, Brush{kColorWindow});
      sunkenFrame(dc, b);
      dc.frameRect(b.deflate(1, 1), Brush{kColorDarkShadow});
      if (checked_) {
        Pen old = dc.selectPen(Pen{PS_SOLID, std::max(2, box / 8), kColorText});
        dc.moveTo(b.left + box / 5, b.top + box / 2);
        dc.lineTo(b.left + box * 2 / 5, b.bottom - box / 4);
        dc.lineTo(b.right - box / 5, b.top + box / 5);
        dc.selectPen(old);
      }
      Rect t{b.right + 6, 0, r.right, r.bottom};
      dc.drawText(getWindowText(), t, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
    return;
  }
  Brush face = face_ ? Brush{*face_} : queryCtlColor(dc, CTLCOLOR_BTN, Brush{kColorFace});
  if (face_) dc.setTextColor(textColor_);
  // A disabled button looks disabled, whatever colour its parent gives its text.
  if (!isEnabled()) dc.setTextColor(kColorGrayText);
  if (face.hollow) face = Brush{kColorFace};
  dc.fillRect(r, face);
  if (pressed_) {
    dc.draw3dRect(r, kColorDarkShadow, kColorLight);
    dc.draw3dRect(r.deflate(1, 1), kColorShadow, face.color);
  } else {
    dc.draw3dRect(r, kColorLight, kColorDarkShadow);
    dc.draw3dRect(r.deflate(1, 1), face.color, kColorShadow);
  }
  Rect t = r.deflate(3, 3);
  if (pressed_) t = t.offset(1, 1);
  dc.drawText(getWindowText(), t, DT_CENTER | DT_VCENTER);
  if (focusWindow() == this && r.width() > 10 && r.height() > 10) dc.drawFocusRect(r.deflate(4, 4));
}

LRESULT Button::defWindowProc(Message& m) {
  std::uint32_t type = buttonType();
  switch (m.message) {
    case WM_LBUTTONDOWN:
      if (type == BS_GROUPBOX) return 0;
      pressed_ = true;
      setCapture();
      setFocus();
      invalidate();
      return 0;
    case WM_MOUSEMOVE:
      if (captureWindow() == this) {
        bool inside = getClientRect().contains(pointOf(m));
        if (inside != pressed_) {
          pressed_ = inside;
          invalidate();
        }
      }
      return 0;
    case WM_LBUTTONUP: {
      if (captureWindow() != this) return 0;
      bool click = pressed_ && getClientRect().contains(pointOf(m));
      Handle h = handle();
      releaseCapture();
      if (click && fromHandle(h) == this) {
        if (type == BS_AUTOCHECKBOX) setCheck(!checked_);
        notifyParent(BN_CLICKED);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (pressed_) {
        pressed_ = false;
        invalidate();
      }
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      invalidate();
      return 0;
    default:
      return Window::defWindowProc(m);
  }
}

// ---- Edit ------------------------------------------------------------------------------------------

void Edit::setSel(int start, int end) {
  int n = static_cast<int>(utf8Chars(getWindowText()).size());
  if (start < 0) start = 0;
  if (end < 0 || end > n) end = n;
  if (start > n) start = n;
  if (start > end) std::swap(start, end);
  if (start == selStart_ && end == selEnd_) return;
  selStart_ = start;
  selEnd_ = end;
  invalidate();
}

void Edit::replaceSel(std::string_view text) {
  auto chars = utf8Chars(getWindowText());
  int n = static_cast<int>(chars.size());
  int a = std::clamp(selStart_, 0, n), b = std::clamp(selEnd_, a, n);
  auto ins = utf8Chars(text);
  if (limit_ > 0) {
    int room = limit_ - (n - (b - a));
    if (room < 0) room = 0;
    if (static_cast<int>(ins.size()) > room) ins.resize(static_cast<std::size_t>(room));
  }
  std::string out = joinChars(chars, 0, a);
  for (auto& c : ins) out += c;
  out += joinChars(chars, b, chars.size());
  int caret = a + static_cast<int>(ins.size());
  setWindowText(out);
  selStart_ = selEnd_ = caret;
  invalidate();
}

void Edit::draw(DC& dc) {
  Rect r = getClientRect();
  bool ro = (style() & ES_READONLY) || !isEnabled();
  dc.setTextColor(isEnabled() ? kColorText : kColorGrayText);
  dc.setBkColor(ro ? kColorFace : kColorWindow);
  dc.setBkMode(TRANSPARENT);
  Brush bg = queryCtlColor(dc, ro ? CTLCOLOR_STATIC : CTLCOLOR_EDIT, Brush{ro ? kColorFace : kColorWindow});
  if (bg.hollow) bg = Brush{kColorWindow};
  dc.fillRect(r, bg);
  sunkenFrame(dc, r);
  dc.frameRect(r.deflate(1, 1), Brush{kColorShadow});
  Rect t = r.deflate(6, 2);
  auto chars = utf8Chars(getWindowText());
  if (style() & ES_PASSWORD) std::fill(chars.begin(), chars.end(), std::string("*"));
  std::string shown = joinChars(chars, 0, chars.size());
  int n = static_cast<int>(chars.size());
  int a = std::clamp(selStart_, 0, n), b = std::clamp(selEnd_, a, n);
  Font f = getFont();
  int total = textWidthPx(f, shown);
  int x0 = t.left;
  if ((style() & 0x3) == ES_CENTER) x0 = t.left + (t.width() - total) / 2;
  else if ((style() & 0x3) == ES_RIGHT) x0 = t.right - total;
  int y0 = t.top + (t.height() - f.height()) / 2;
  dc.saveDC();
  dc.intersectClipRect(t);
  bool focused = focusWindow() == this;
  if (focused && a < b) {
    int xa = x0 + textWidthPx(f, joinChars(chars, 0, a));
    int xb = x0 + textWidthPx(f, joinChars(chars, 0, b));
    dc.textOut(x0, y0, shown);
    dc.fillRect({xa, y0, xb, y0 + f.height()}, Brush{kColorHighlight});
    Color old = dc.setTextColor(kColorHighlightText);
    dc.textOut(xa, y0, joinChars(chars, a, b));
    dc.setTextColor(old);
  } else {
    dc.textOut(x0, y0, shown);
  }
  if (focused && a == b) {
    int xc = x0 + textWidthPx(f, joinChars(chars, 0, b));
    dc.fillRect({xc, y0, xc + 2, y0 + f.height()}, Brush{dc.textColor()});
  }
  dc.restoreDC();
}

LRESULT Edit::defWindowProc(Message& m) {
  switch (m.message) {
    case WM_LBUTTONDOWN: {
      Handle h = handle();
      setFocus();
      if (fromHandle(h) == this) setSel(-1, -1);
      return 0;
    }
    case WM_SETFOCUS:
      invalidate();
      notifyParent(EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      invalidate();
      notifyParent(EN_KILLFOCUS);
      return 0;
    case WM_SETTEXT:
      selStart_ = selEnd_ = 0;
      return 0;
    case WM_CHAR: {
      if (style() & ES_READONLY) return 0;
      char32_t c = static_cast<char32_t>(m.wParam);
      if (c == 0x08) {
        if (selStart_ == selEnd_ && selStart_ > 0) --selStart_;
        if (selStart_ == selEnd_) return 0;
        replaceSel("");
        notifyParent(EN_CHANGE);
      } else if (c >= 0x20 && c != 0x7F) {
        std::string before = getWindowText();
        replaceSel(utf8Encode(c));
        if (getWindowText() != before) notifyParent(EN_CHANGE);
      }
      return 0;
    }
    case WM_KEYDOWN: {
      int n = static_cast<int>(utf8Chars(getWindowText()).size());
      if (m.wParam == VK_LEFT) setSel(std::max(0, selEnd_ - 1), std::max(0, selEnd_ - 1));
      else if (m.wParam == VK_RIGHT) setSel(std::min(n, selEnd_ + 1), std::min(n, selEnd_ + 1));
      else if (m.wParam == VK_DELETE && !(style() & ES_READONLY)) {
        if (selStart_ == selEnd_ && selEnd_ < n) ++selEnd_;
        if (selStart_ != selEnd_) {
          replaceSel("");
          notifyParent(EN_CHANGE);
        }
      }
      return 0;
    }
    default:
      return Window::defWindowProc(m);
  }
}

// ---- ListCtrl --------------------------------------------------------------------------------------

namespace {
constexpr int kScrollBarWidth = 18;
constexpr std::uint64_t kDoubleTapMs = 500;
}  // namespace

int ListCtrl::insertColumn(int col, std::string_view heading, int format, int width) {
  col = std::clamp(col, 0, columnCount());
  columns_.insert(columns_.begin() + col, Column{std::string(heading), format, std::max(0, width)});
  for (auto& r : rows_) {
    if (static_cast<int>(r.texts.size()) > col) r.texts.insert(r.texts.begin() + col, std::string());
  }
  invalidate();
  return col;
}

bool ListCtrl::setColumnWidth(int col, int width) {
  if (col < 0 || col >= columnCount()) return false;
  columns_[static_cast<std::size_t>(col)].width = std::max(0, width);
  invalidate();
  return true;
}

int ListCtrl::getColumnWidth(int col) const {
  return (col < 0 || col >= columnCount()) ? 0 : columns_[static_cast<std::size_t>(col)].width;
}

std::string ListCtrl::columnHeading(int col) const {
  return (col < 0 || col >= columnCount()) ? std::string() : columns_[static_cast<std::size_t>(col)].heading;
}

bool ListCtrl::setColumnHeading(int col, std::string_view heading) {
  if (col < 0 || col >= columnCount()) return false;
  columns_[static_cast<std::size_t>(col)].heading = std::string(heading);
  invalidate();
  return true;
}

void ListCtrl::setExtendedStyle(std::uint32_t ex) {
  exStyle_ = ex;
  invalidate();
}

int ListCtrl::insertItem(int row, std::string_view text, int image) {
  row = std::clamp(row, 0, getItemCount());
  Row r;
  r.texts.push_back(std::string(text));
  r.image = image;
  rows_.insert(rows_.begin() + row, std::move(r));
  if (focused_ >= row) ++focused_;
  if (selectionMark_ >= row) ++selectionMark_;
  invalidate();
  return row;
}

bool ListCtrl::setItemText(int row, int col, std::string_view text) {
  if (row < 0 || row >= getItemCount() || col < 0) return false;
  auto& t = rows_[static_cast<std::size_t>(row)].texts;
  if (static_cast<int>(t.size()) <= col) t.resize(static_cast<std::size_t>(col) + 1);
  if (t[static_cast<std::size_t>(col)] == text) return true;
  t[static_cast<std::size_t>(col)] = std::string(text);
  invalidate();
  return true;
}

std::string ListCtrl::getItemText(int row, int col) const {
  if (row < 0 || row >= getItemCount() || col < 0) return {};
  auto& t = rows_[static_cast<std::size_t>(row)].texts;
  return col < static_cast<int>(t.size()) ? t[static_cast<std::size_t>(col)] : std::string();
}

bool ListCtrl::deleteItem(int row) {
  if (row < 0 || row >= getItemCount()) return false;
  rows_.erase(rows_.begin() + row);
  if (focused_ == row) focused_ = -1;
  else if (focused_ > row) --focused_;
  if (selectionMark_ == row) selectionMark_ = -1;
  else if (selectionMark_ > row) --selectionMark_;
  scrollTo(top_);
  invalidate();
  return true;
}

void ListCtrl::deleteAllItems() {
  rows_.clear();
  top_ = 0;
  focused_ = -1;
  selectionMark_ = -1;
  lastTapRow_ = -1;
  invalidate();
}

bool ListCtrl::setItemImage(int row, int image) {
  if (row < 0 || row >= getItemCount()) return false;
  if (rows_[static_cast<std::size_t>(row)].image == image) return true;
  rows_[static_cast<std::size_t>(row)].image = image;
  invalidate();
  return true;
}

int ListCtrl::getItemImage(int row) const {
  return (row < 0 || row >= getItemCount()) ? -1 : rows_[static_cast<std::size_t>(row)].image;
}

bool ListCtrl::setItemData(int row, std::uintptr_t data) {
  if (row < 0 || row >= getItemCount()) return false;
  rows_[static_cast<std::size_t>(row)].data = data;
  return true;
}

std::uintptr_t ListCtrl::getItemData(int row) const {
  return (row < 0 || row >= getItemCount()) ? 0 : rows_[static_cast<std::size_t>(row)].data;
}

bool ListCtrl::setCheck(int row, bool on) {
  if (row < 0 || row >= getItemCount()) return false;
  if (rows_[static_cast<std::size_t>(row)].checked == on) return true;
  rows_[static_cast<std::size_t>(row)].checked = on;
  invalidate();
  return true;
}

bool ListCtrl::getCheck(int row) const {
  return row >= 0 && row < getItemCount() && rows_[static_cast<std::size_t>(row)].checked;
}

void ListCtrl::setItemColor(int row, Color c) {
  auto [it, added] = rowColors_.try_emplace(row, c);
  if (!added && it->second == c) return;
  it->second = c;
  invalidate();
}

std::optional<Color> ListCtrl::itemTextColor(int, int) const { return std::nullopt; }

std::optional<Color> ListCtrl::itemColor(int row) const {
  auto it = rowColors_.find(row);
  if (it == rowColors_.end()) return std::nullopt;
  return it->second;
}

bool ListCtrl::setItemState(int row, unsigned st, unsigned mask) {
  if (row < -1 || row >= getItemCount()) return false;
  int from = row < 0 ? 0 : row, to = row < 0 ? getItemCount() : row + 1;
  for (int i = from; i < to; ++i) {
    if (mask & LVNI_SELECTED) {
      bool sel = (st & LVNI_SELECTED) != 0;
      if (sel && (style() & LVS_SINGLESEL))
        for (auto& r : rows_) r.selected = false;
      rows_[static_cast<std::size_t>(i)].selected = sel;
    }
    if (mask & LVNI_FOCUSED) {
      if (st & LVNI_FOCUSED) focused_ = i;
      else if (focused_ == i) focused_ = -1;
    }
  }
  invalidate();
  return true;
}

unsigned ListCtrl::getItemState(int row, unsigned mask) const {
  if (row < 0 || row >= getItemCount()) return 0;
  unsigned st = 0;
  if (rows_[static_cast<std::size_t>(row)].selected) st |= LVNI_SELECTED;
  if (focused_ == row) st |= LVNI_FOCUSED;
  return st & mask;
}

int ListCtrl::getNextItem(int start, unsigned flags) const {
  for (int i = std::max(0, start + 1); i < getItemCount(); ++i) {
    if ((flags & LVNI_SELECTED) && !rows_[static_cast<std::size_t>(i)].selected) continue;
    if ((flags & LVNI_FOCUSED) && focused_ != i) continue;
    return i;
  }
  return -1;
}

int ListCtrl::setSelectionMark(int row) { return std::exchange(selectionMark_, row); }

int ListCtrl::getSelectedCount() const {
  return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.selected; }));
}

int ListCtrl::rowHeight() const {
  if (rowHeight_ > 0) return rowHeight_;
  int h = getFont().height() + 6;
  for (auto& b : images_) h = std::max(h, b.height() + 2);
  return h;
}

int ListCtrl::headerHeight() const { return (style() & LVS_NOCOLUMNHEADER) ? 0 : getFont().height() + 8; }

int ListCtrl::checkBoxWidth() const {
  if (!(exStyle_ & LVS_EX_CHECKBOXES)) return 0;
  return std::min(rowHeight() - 6, 26) + 8;
}

int ListCtrl::getCountPerPage() const {
  int h = getClientRect().height() - headerHeight() - (hasHBar() ? kScrollBarWidth : 0);
  return std::max(0, h / std::max(1, rowHeight()));
}

int ListCtrl::columnsWidth() const {
  int total = 0;
  for (auto& c : columns_) total += std::max(0, c.width);
  return total;
}

bool ListCtrl::hasHBar() const {
  const Rect c = getClientRect();
  const int rows = (c.height() - headerHeight()) / std::max(1, rowHeight());
  return columnsWidth() > c.width() - (getItemCount() > rows ? kScrollBarWidth : 0);
}

Rect ListCtrl::vTrack() const {
  if (getItemCount() <= getCountPerPage()) return Rect{};
  const Rect c = getClientRect();
  return {c.right - kScrollBarWidth, headerHeight(), c.right, c.bottom - (hasHBar() ? kScrollBarWidth : 0)};
}

Rect ListCtrl::vThumb() const {
  const Rect track = vTrack();
  if (track.empty()) return Rect{};
  const int n = getItemCount(), per = std::max(1, getCountPerPage());
  const int th = std::max(20, track.height() * per / std::max(1, n));
  const int ty = track.top + (track.height() - th) * top_ / std::max(1, n - per);
  return {track.left + 2, ty, track.right - 2, ty + th};
}

int ListCtrl::viewWidth() const {
  return getClientRect().width() - (getItemCount() > getCountPerPage() ? kScrollBarWidth : 0);
}

int ListCtrl::getScrollX() const { return std::clamp(left_, 0, std::max(0, columnsWidth() - viewWidth())); }

void ListCtrl::scrollXTo(int x) {
  const int left = std::clamp(x, 0, std::max(0, columnsWidth() - viewWidth()));
  if (left != getScrollX() || left != left_) {
    left_ = left;
    invalidate();
  }
}

void ListCtrl::scrollTo(int top) {
  int maxTop = std::max(0, getItemCount() - getCountPerPage());
  top = std::clamp(top, 0, maxTop);
  if (top != top_) {
    top_ = top;
    invalidate();
  }
}

bool ListCtrl::ensureVisible(int row) {
  if (row < 0 || row >= getItemCount()) return false;
  int per = std::max(1, getCountPerPage());
  if (row < top_) scrollTo(row);
  else if (row >= top_ + per) scrollTo(row - per + 1);
  return true;
}

Rect ListCtrl::getSubItemRect(int row, int col) const {
  int x = -getScrollX();
  for (int c = 0; c < col && c < columnCount(); ++c) x += columns_[static_cast<std::size_t>(c)].width;
  int y = headerHeight() + (row - top_) * rowHeight();
  return {x, y, x + getColumnWidth(col), y + rowHeight()};
}

Rect ListCtrl::getItemRect(int row) const {
  const int left = -getScrollX();
  int y = headerHeight() + (row - top_) * rowHeight();
  return {left, y, left + columnsWidth(), y + rowHeight()};
}

ListHit ListCtrl::hitTest(Point p) const {
  ListHit hit;
  Rect client = getClientRect();
  if (!client.contains(p) || p.y < headerHeight()) return hit;
  if (hasHBar() && p.y >= client.bottom - kScrollBarWidth) return hit;
  int row = top_ + (p.y - headerHeight()) / std::max(1, rowHeight());
  if (row < 0 || row >= getItemCount()) return hit;
  int x = -getScrollX();
  for (int c = 0; c < columnCount(); ++c) {
    int w = columns_[static_cast<std::size_t>(c)].width;
    if (p.x >= x && p.x < x + w) {
      hit.item = row;
      hit.subItem = c;
      hit.flags = LVHT_ONITEMLABEL;
      if (c == 0) {
        int cb = checkBoxWidth();
        int img = getItemImage(row);
        int iw = (img >= 0 && img < static_cast<int>(images_.size())) ? images_[static_cast<std::size_t>(img)].width() + 2 : 0;
        if (p.x < cb) hit.flags = LVHT_ONITEMSTATEICON;
        else if (p.x < cb + iw) hit.flags = LVHT_ONITEMICON;
      }
      return hit;
    }
    x += w;
  }
  if (exStyle_ & LVS_EX_FULLROWSELECT) {
    hit.item = row;
    hit.subItem = 0;
    hit.flags = LVHT_ONITEMLABEL;
  }
  return hit;
}

void ListCtrl::tapRow(Point p) {
  ListHit hit = hitTest(p);
  Handle h = handle();
  if (hit.item >= 0) {
    for (auto& r : rows_) r.selected = false;
    rows_[static_cast<std::size_t>(hit.item)].selected = true;
    focused_ = hit.item;
    selectionMark_ = hit.item;
    invalidate();
  }
  std::uint64_t now = platform::clock::monotonicMs();
  bool dbl = hit.item >= 0 && hit.item == lastTapRow_ && now - lastTapMs_ <= kDoubleTapMs;
  lastTapRow_ = dbl ? -1 : hit.item;
  lastTapMs_ = now;
  Notify n;
  n.code = dbl ? NM_DBLCLK : NM_CLICK;
  n.item = hit.item;
  n.subItem = hit.subItem;
  n.point = p;
  n.hitFlags = hit.flags;
  bool onBox = hit.item >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) && (exStyle_ & LVS_EX_CHECKBOXES);
  bool before = onBox && getCheck(hit.item);
  notifyParent(n);
  // The box toggles unless the click handler has set it already (or said it has decided it).
  if (onBox && !n.checkSet && fromHandle(h) == this && hit.item < getItemCount() && getCheck(hit.item) == before)
    setCheck(hit.item, !before);
}

LRESULT ListCtrl::defWindowProc(Message& m) {
  switch (m.message) {
    case WM_LBUTTONDOWN: {
      Handle h = handle();
      down_ = true;
      dragging_ = false;
      downPoint_ = pointOf(m);
      downTop_ = top_;
      downLeft_ = getScrollX();
      // A finger on the vertical bar's thumb drags the thumb, as on any scroll bar.
      const Rect thumb = vThumb();
      thumbDrag_ = !thumb.empty() && downPoint_.y >= thumb.top && downPoint_.y < thumb.bottom &&
                   downPoint_.x >= vTrack().left;
      thumbGrab_ = downPoint_.y - thumb.top;
      setCapture();
      if (fromHandle(h) == this) setFocus();
      return 0;
    }
    case WM_MOUSEMOVE:
      if (down_ && thumbDrag_) {
        const Rect track = vTrack(), thumb = vThumb();
        const int room = track.height() - thumb.height();
        const int rows = getItemCount() - std::max(1, getCountPerPage());
        if (room > 0 && rows > 0) {
          const int at = std::clamp(pointOf(m).y - thumbGrab_ - track.top, 0, room);
          scrollTo((at * rows + room / 2) / room);
        }
      } else if (down_) {
        int dy = pointOf(m).y - downPoint_.y;
        int dx = pointOf(m).x - downPoint_.x;
        if (!dragging_ && std::abs(dy) > rowHeight() / 2) dragging_ = true, sideways_ = false;
        if (!dragging_ && hasHBar() && std::abs(dx) > rowHeight() / 2) dragging_ = true, sideways_ = true;
        if (dragging_ && sideways_) scrollXTo(downLeft_ - dx);
        else if (dragging_) scrollTo(downTop_ - dy / std::max(1, rowHeight()));
      }
      return 0;
    case WM_LBUTTONUP: {
      bool wasDown = down_;
      down_ = false;
      const bool thumb = std::exchange(thumbDrag_, false);
      if (captureWindow() == this) releaseCapture();
      if (!wasDown || dragging_ || thumb) return 0;
      Point p = pointOf(m);
      Rect c = getClientRect();
      if (hasHBar() && p.y >= c.bottom - kScrollBarWidth) {
        const int view = viewWidth();
        if (p.x < view) scrollXTo(getScrollX() + (p.x < view / 2 ? -view : view) * 3 / 4);
        return 0;
      }
      if (getItemCount() > getCountPerPage() && p.x >= c.right - kScrollBarWidth && p.y >= headerHeight()) {
        int per = std::max(1, getCountPerPage());
        int mid = headerHeight() + (c.height() - headerHeight()) / 2;
        scrollTo(p.y < mid ? top_ - per : top_ + per);
        return 0;
      }
      tapRow(p);
      return 0;
    }
    case WM_CAPTURECHANGED:
      down_ = false;
      thumbDrag_ = false;
      return 0;
    case WM_KEYDOWN: {
      int cur = focused_ < 0 ? -1 : focused_;
      int next = cur;
      if (m.wParam == VK_DOWN) next = std::min(getItemCount() - 1, cur + 1);
      else if (m.wParam == VK_UP) next = std::max(0, cur - 1);
      if (next != cur && next >= 0) {
        setItemState(-1, 0, LVNI_SELECTED);
        setItemState(next, LVNI_SELECTED | LVNI_FOCUSED, LVNI_SELECTED | LVNI_FOCUSED);
        selectionMark_ = next;
        ensureVisible(next);
      }
      return 0;
    }
    default:
      return Window::defWindowProc(m);
  }
}

void ListCtrl::draw(DC& dc) {
  Rect client = getClientRect();
  Color bk = bk_.value_or(kColorWindow);
  dc.fillSolidRect(client, bk);
  dc.setBkMode(TRANSPARENT);
  int hh = headerHeight();
  int rh = std::max(1, rowHeight());
  bool scroll = getItemCount() > getCountPerPage();
  const bool hbar = hasHBar();
  const int left = getScrollX();
  Rect area{0, 0, client.right - (scroll ? kScrollBarWidth : 0), client.bottom - (hbar ? kScrollBarWidth : 0)};
  dc.saveDC();
  dc.intersectClipRect(area);
  // Header.
  if (hh > 0) {
    int x = -left;
    dc.setTextColor(kColorText);
    for (auto& c : columns_) {
      if (c.width > 0) {
        Rect r{x, 0, x + c.width, hh};
        dc.fillSolidRect(r, kColorFace);
        dc.draw3dRect(r, kColorLight, kColorShadow);
        unsigned f = c.format == LVCFMT_CENTER ? DT_CENTER : c.format == LVCFMT_RIGHT ? DT_RIGHT : DT_LEFT;
        dc.drawText(c.heading, r.deflate(margin_, 0), f | DT_VCENTER | DT_SINGLELINE);
      }
      x += c.width;
    }
    if (x < area.right) dc.fillSolidRect({x, 0, area.right, hh}, kColorFace);
  }
  int total = columnsWidth() - left;
  int per = getCountPerPage() + 1;
  int cb = checkBoxWidth();
  bool full = exStyle_ & LVS_EX_FULLROWSELECT;
  for (int row = top_; row < getItemCount() && row < top_ + per; ++row) {
    const Row& rw = rows_[static_cast<std::size_t>(row)];
    int y = hh + (row - top_) * rh;
    Color rowBk = bk;
    if (auto c = itemColor(row)) rowBk = *c;
    else if (textBk_) rowBk = *textBk_;
    dc.fillSolidRect({-left, y, total, y + rh}, rowBk);
    int x = -left;
    for (int col = 0; col < columnCount(); ++col) {
      const Column& c = columns_[static_cast<std::size_t>(col)];
      if (c.width <= 0) continue;
      Rect cell{x, y, x + c.width, y + rh};
      int textLeft = cell.left + margin_;
      bool highlight = rw.selected && (full || col == 0);
      if (col == 0) {
        if (cb > 0) {
          int box = cb - 8;
          Rect b{cell.left + 4, y + (rh - box) / 2, cell.left + 4 + box, y + (rh - box) / 2 + box};
          dc.fillSolidRect(b, kColorWindow);
          dc.frameRect(b, Brush{kColorDarkShadow});
          if (rw.checked) {
            Pen old = dc.selectPen(Pen{PS_SOLID, std::max(2, box / 8), kColorText});
            dc.moveTo(b.left + box / 5, b.top + box / 2);
            dc.lineTo(b.left + box * 2 / 5, b.bottom - box / 4);
            dc.lineTo(b.right - box / 5, b.top + box / 5);
            dc.selectPen(old);
          }
          textLeft = cell.left + cb;
        }
        if (rw.image >= 0 && rw.image < static_cast<int>(images_.size())) {
          const Bitmap& img = images_[static_cast<std::size_t>(rw.image)];
          dc.saveDC();
          dc.intersectClipRect(cell);
          dc.drawBitmap(img, textLeft, y + (rh - img.height()) / 2);
          dc.restoreDC();
          textLeft += img.width() + 4;
        }
      }
      if (highlight) dc.fillSolidRect({col == 0 ? textLeft - 2 : cell.left, y, cell.right, y + rh}, kColorHighlight);
      dc.setTextColor(highlight ? kColorHighlightText
                                : itemTextColor(row, col).value_or(text_.value_or(kColorText)));
      std::string t = col < static_cast<int>(rw.texts.size()) ? rw.texts[static_cast<std::size_t>(col)] : std::string();
      unsigned f = c.format == LVCFMT_CENTER ? DT_CENTER : c.format == LVCFMT_RIGHT ? DT_RIGHT : DT_LEFT;
      Rect tr{textLeft, y, cell.right - margin_, y + rh};
      if (f != DT_LEFT && col == 0) tr.left = textLeft;
      dc.drawText(t, tr, f | DT_VCENTER | DT_SINGLELINE);
      x += c.width;
    }
  }
  if (exStyle_ & LVS_EX_GRIDLINES) {
    Pen old = dc.selectPen(Pen{PS_SOLID, 1, RGB(192, 192, 192)});
    for (int y = hh + rh - 1; y < area.bottom; y += rh) {
      dc.moveTo(0, y);
      dc.lineTo(std::min(total, area.right), y);
    }
    int x = -left;
    for (auto& c : columns_) {
      x += c.width;
      if (c.width <= 0) continue;
      dc.moveTo(x - 1, hh);
      dc.lineTo(x - 1, client.bottom);
    }
    dc.selectPen(old);
  }
  dc.restoreDC();
  if (scroll) {
    if (hh > 0) dc.fillSolidRect({client.right - kScrollBarWidth, 0, client.right, hh}, kColorFace);
    dc.fillSolidRect(vTrack(), RGB(225, 225, 225));
    dc.fillSolidRect(vThumb(), RGB(150, 150, 150));
  }
  if (hbar) {
    const int view = area.right, all = std::max(1, columnsWidth());
    Rect track{0, area.bottom, view, client.bottom};
    dc.fillSolidRect(track, RGB(225, 225, 225));
    const int tw = std::max(20, view * view / all);
    const int tx = (view - tw) * left / std::max(1, all - view);
    dc.fillSolidRect({tx, track.top + 2, tx + tw, track.bottom - 2}, RGB(150, 150, 150));
    if (scroll) dc.fillSolidRect({area.right, area.bottom, client.right, client.bottom}, kColorFace);
  }
}

// ---- TabCtrl ---------------------------------------------------------------------------------------

int TabCtrl::insertItem(int index, std::string_view text) {
  index = std::clamp(index, 0, getItemCount());
  items_.insert(items_.begin() + index, std::string(text));
  if (cur_ < 0) cur_ = 0;
  else if (index <= cur_ && getItemCount() > 1) ++cur_;
  invalidate();
  return index;
}

std::string TabCtrl::getItemText(int index) const {
  return (index < 0 || index >= getItemCount()) ? std::string() : items_[static_cast<std::size_t>(index)];
}

int TabCtrl::setCurSel(int index) {
  int prev = cur_;
  if (index < -1 || index >= getItemCount()) return -1;
  if (index == cur_) return prev;
  cur_ = index;
  invalidate();
  return prev;
}

bool TabCtrl::deleteAllItems() {
  items_.clear();
  cur_ = -1;
  invalidate();
  return true;
}

// The row of tabs: the caption's height and a few pixels above and below it.
int TabCtrl::tabHeight() const { return getFont().height() + 9; }

Rect TabCtrl::getItemRect(int index) const {
  if (index < 0 || index >= getItemCount()) return {};
  Font f = getFont();
  Rect c = getClientRect();
  // Each tab is its caption and a margin of 14 pixels each side; when the row of tabs would be wider
  // than the control, the margins narrow (to 4 pixels each side at least) so every caption fits.
  int captions = 0;
  for (const std::string& item : items_) captions += textWidthPx(f, item);
  const int count = getItemCount();
  const int room = c.width() - 4 - captions;
  const int pad = std::clamp(room / count, 8, 28);
  int x = 2;
  for (int i = 0; i < index; ++i) x += textWidthPx(f, items_[static_cast<std::size_t>(i)]) + pad;
  int w = textWidthPx(f, items_[static_cast<std::size_t>(index)]) + pad;
  int th = tabHeight();
  if (style() & TCS_BOTTOM) return {x, c.bottom - th, x + w, c.bottom};
  return {x, 0, x + w, th};
}

Rect TabCtrl::displayRect() const {
  Rect c = getClientRect();
  int th = tabHeight();
  if (style() & TCS_BOTTOM) return {2, 2, c.right - 2, c.bottom - th - 2};
  return {2, th + 2, c.right - 2, c.bottom - 2};
}

void TabCtrl::draw(DC& dc) {
  Rect c = getClientRect();
  Brush bg = queryCtlColor(dc, CTLCOLOR_STATIC, Brush{kColorFace});
  if (bg.hollow) bg = Brush{kColorFace};
  dc.fillRect(c, bg);
  Rect body = displayRect().deflate(-2, -2);
  dc.fillSolidRect(body, kColorFace);
  dc.draw3dRect(body, kColorLight, kColorDarkShadow);
  dc.setBkMode(TRANSPARENT);
  bool bottom = style() & TCS_BOTTOM;
  for (int i = 0; i < getItemCount(); ++i) {
    Rect r = getItemRect(i);
    bool sel = i == cur_;
    if (sel) r = bottom ? Rect{r.left - 2, r.top - 2, r.right + 2, r.bottom} : Rect{r.left - 2, r.top, r.right + 2, r.bottom + 2};
    dc.fillSolidRect(r, sel ? kColorFace : RGB(212, 212, 212));
    Pen old = dc.selectPen(Pen{PS_SOLID, 1, kColorDarkShadow});
    if (bottom) {
      dc.moveTo(r.left, r.top);
      dc.lineTo(r.left, r.bottom - 1);
      dc.lineTo(r.right - 1, r.bottom - 1);
      dc.lineTo(r.right - 1, r.top - 1);
    } else {
      dc.moveTo(r.left, r.bottom);
      dc.lineTo(r.left, r.top);
      dc.lineTo(r.right - 1, r.top);
      dc.lineTo(r.right - 1, r.bottom);
    }
    dc.selectPen(old);
    dc.setTextColor(isEnabled() ? kColorText : kColorGrayText);
    dc.drawText(items_[static_cast<std::size_t>(i)], r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

LRESULT TabCtrl::defWindowProc(Message& m) {
  if (m.message == WM_LBUTTONDOWN) {
    Point p = pointOf(m);
    for (int i = 0; i < getItemCount(); ++i) {
      if (!getItemRect(i).contains(p)) continue;
      if (i == cur_) return 0;
      Handle h = handle();
      Notify changing;
      changing.code = TCN_SELCHANGING;
      if (notifyParent(changing) != 0 || fromHandle(h) != this) return 0;
      cur_ = i;
      invalidate();
      Notify changed;
      changed.code = TCN_SELCHANGE;
      notifyParent(changed);
      return 0;
    }
    return 0;
  }
  return Window::defWindowProc(m);
}

// ---- Slider ----------------------------------------------------------------------------------------

void Slider::setRange(int lo, int hi, bool) {
  lo_ = std::min(lo, hi);
  hi_ = std::max(lo, hi);
  pos_ = std::clamp(pos_, lo_, hi_);
  invalidate();
}

void Slider::setPos(int pos) {
  pos = std::clamp(pos, lo_, hi_);
  if (pos == pos_) return;
  pos_ = pos;
  invalidate();
}

int Slider::posFromX(int x) const {
  int w = getClientRect().width() - 24;
  if (w <= 0 || hi_ == lo_) return lo_;
  double f = std::clamp((x - 12) / static_cast<double>(w), 0.0, 1.0);
  return lo_ + static_cast<int>(std::lround(f * (hi_ - lo_)));
}

void Slider::draw(DC& dc) {
  Rect c = getClientRect();
  Brush bg = queryCtlColor(dc, CTLCOLOR_STATIC, Brush{kColorFace});
  dc.fillRect(c, bg.hollow ? Brush{kColorFace} : bg);
  int cy = c.height() / 2;
  Rect channel{12, cy - 2, c.right - 12, cy + 2};
  dc.fillSolidRect(channel, kColorWindow);
  dc.draw3dRect(channel, kColorShadow, kColorLight);
  int w = c.width() - 24;
  int x = 12 + (hi_ == lo_ ? 0 : (pos_ - lo_) * w / (hi_ - lo_));
  Rect thumb{x - 7, 4, x + 7, c.bottom - 4};
  dc.fillSolidRect(thumb, isEnabled() ? RGB(0, 110, 210) : kColorShadow);
  dc.draw3dRect(thumb, kColorLight, kColorDarkShadow);
}

LRESULT Slider::defWindowProc(Message& m) {
  auto notify = [this](int code) {
    if (parent() && parent()->exists())
      parent()->sendMessage(WM_HSCROLL, MAKEWPARAM(static_cast<unsigned>(code), static_cast<unsigned>(pos_)),
                            static_cast<LPARAM>(handle()));
  };
  switch (m.message) {
    case WM_LBUTTONDOWN:
      tracking_ = true;
      setCapture();
      setPos(posFromX(pointOf(m).x));
      notify(SB_THUMBTRACK);
      return 0;
    case WM_MOUSEMOVE:
      if (tracking_) {
        int p = posFromX(pointOf(m).x);
        if (p != pos_) {
          setPos(p);
          notify(SB_THUMBTRACK);
        }
      }
      return 0;
    case WM_LBUTTONUP:
      if (!tracking_) return 0;
      tracking_ = false;
      releaseCapture();
      notify(SB_THUMBPOSITION);
      notify(TB_ENDTRACK);
      return 0;
    case WM_CAPTURECHANGED:
      tracking_ = false;
      return 0;
    default:
      return Window::defWindowProc(m);
  }
}

// ---- Progress --------------------------------------------------------------------------------------

void Progress::setRange(int lo, int hi) {
  lo_ = lo;
  hi_ = std::max(lo, hi);
  pos_ = std::clamp(pos_, lo_, hi_);
  invalidate();
}

int Progress::setPos(int pos) {
  int old = pos_;
  pos_ = std::clamp(pos, lo_, hi_);
  if (pos_ != old) invalidate();
  return old;
}

int Progress::stepIt() {
  int old = pos_;
  pos_ += step_;
  if (pos_ > hi_) pos_ = lo_ + (pos_ - hi_);
  if (pos_ > hi_ || pos_ < lo_) pos_ = lo_;
  invalidate();
  return old;
}

void Progress::draw(DC& dc) {
  Rect c = getClientRect();
  dc.fillSolidRect(c, kColorWindow);
  dc.draw3dRect(c, kColorShadow, kColorLight);
  Rect in = c.deflate(2, 2);
  if (hi_ > lo_ && pos_ > lo_) {
    int w = static_cast<int>(static_cast<long long>(in.width()) * (pos_ - lo_) / (hi_ - lo_));
    dc.fillSolidRect({in.left, in.top, in.left + w, in.bottom}, bar_);
  }
}

}  // namespace platform::ui
