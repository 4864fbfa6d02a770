#include "app/widgets.h"

using namespace platform::ui;

namespace {
constexpr int kEdgeX = 2;  // the system's edge sizes
constexpr int kEdgeY = 2;
}  // namespace

int Utf8Length(const std::string& text) {
  int n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string Utf8Prefix(const std::string& text, int limit) {
  if (limit <= 0) return {};
  int n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (n == limit) return text.substr(0, i);
      ++n;
    }
  }
  return text;
}

// ---- CColorButton ---------------------------------------------------------------------------------

CColorButton::CColorButton() {
  on(WM_CREATE, [this](Message&) {
    makeOwnerDrawn();
    setTimer(kTimerId, kTimerMs);
    return LRESULT{0};
  });
  on(WM_TIMER, [this](Message& m) {
    if (state != drawnState_) {
      drawnState_ = state;
      ++repaints_;
      invalidate(true);
    }
    return defWindowProc(m);
  });
}

bool CColorButton::FaceColor(int state, Color& out) {
  switch (state) {
    case 1: out = RGB(255, 255, 255); return true;
    case 2: out = RGB(0, 255, 0); return true;
    case 3: out = RGB(255, 0, 0); return true;
    case 4: out = RGB(255, 255, 0); return true;
    default: return false;
  }
}

void CColorButton::drawItem(DrawItem& item) {
  DC& dc = *item.dc;
  Rect rc = item.rcItem;
  itemState_ = item.itemState;
  dc.drawFrameControl(rc, DFC_BUTTON,
                      (itemState_ & ODS_SELECTED) ? (DFCS_BUTTONPUSH | DFCS_PUSHED) : DFCS_BUTTONPUSH);
  focused_ = (itemState_ & ODS_FOCUS) != 0;
  Rect face = rc.deflate(kEdgeX, kEdgeY);
  Color c;
  if (FaceColor(state, c)) dc.fillSolidRect(face, c);
  drawnState_ = state;

  const std::string text = getWindowText();
  if (text.empty()) return;
  // The caption is copied with a bound and drawn on one line.
  caption_ = Utf8Prefix(text, kCaptionLimit);
  dc.setBkMode(TRANSPARENT);
  dc.setTextColor(isEnabled() ? kColorText : kColorGrayText);
  dc.drawText(caption_, rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (focused_) {
    DrawFrame(dc, rc, Brush{RGB(0, 0, 0)});
    dc.drawFocusRect(rc.deflate(3, 3));
  }
}

// ---- CMyButton ------------------------------------------------------------------------------------

CMyButton::CMyButton() {
  on(WM_CREATE, [this](Message&) {
    makeOwnerDrawn();
    return LRESULT{0};
  });
}

void CMyButton::drawItem(DrawItem& item) {
  DC& dc = *item.dc;
  const Rect rc = item.rcItem;
  dc.drawFrameControl(rc, DFC_BUTTON,
                      (item.itemState & ODS_SELECTED) ? (DFCS_BUTTONPUSH | DFCS_PUSHED) : DFCS_BUTTONPUSH);
  Rect face = rc.deflate(kEdgeX, kEdgeY);
  const int oldMode = dc.setBkMode(TRANSPARENT);
  const Color oldText = dc.setTextColor(RGB(255, 255, 255));
  const Color blue = RGB(0, 0, 255);
  const Color faceColor = state == 1 ? blue : RGB(255, 0, 0);
  dc.fillSolidRect(face, blue);
  if (item.itemState & ODS_FOCUS) face = face.deflate(5, 5);
  dc.fillSolidRect(face, faceColor);
  dc.drawText(getWindowText(), rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  dc.setTextColor(oldText);
  dc.setBkMode(oldMode);
}

// ---- CColorListCtrl -------------------------------------------------------------------------------

void CColorListCtrl::SetItemColor(int row, Color color) {
  rowColors_[row] = color;
  setItemColor(row, color);
}

bool CColorListCtrl::ItemColor(int row, Color& out) const {
  auto it = rowColors_.find(row);
  if (it == rowColors_.end()) return false;
  out = it->second;
  return true;
}

// ---- DrawFrame ------------------------------------------------------------------------------------

int DrawFrame(DC& dc, const Rect& r, const Brush& brush) {
  if (r.empty()) return 0;
  dc.fillRect({r.left, r.top, r.right, r.top + 1}, brush);
  dc.fillRect({r.right - 1, r.top, r.right, r.bottom}, brush);
  dc.fillRect({r.left, r.bottom - 1, r.right, r.bottom}, brush);
  dc.fillRect({r.left, r.top, r.left + 1, r.bottom}, brush);
  return 1;
}

std::vector<Bitmap> TickBoxImages() {
  Bitmap chosen(42, 42, RGB(255, 255, 255));
  Bitmap unchosen(42, 42, RGB(255, 255, 255));
  {
    MemoryDC dc(chosen);
    dc.selectPen(Pen{PS_SOLID, 2, RGB(0, 0, 255)});
    dc.selectBrush(Brush{RGB(0, 0, 255)});
    dc.rectangle({6, 6, 36, 36});
    dc.selectPen(Pen{PS_SOLID, 4, RGB(255, 255, 255)});
    dc.polyline({{11, 21}, {18, 29}, {31, 13}});
  }
  {
    MemoryDC dc(unchosen);
    dc.selectPen(Pen{PS_SOLID, 2, RGB(128, 128, 128)});
    dc.selectBrush(Brush{RGB(255, 255, 255)});
    dc.rectangle({6, 6, 36, 36});
  }
  return {chosen, unchosen};
}
