// Drawing of the windowing layer: colours, rectangles, pens, brushes, fonts, bitmaps and device contexts.
//
// Coordinates are integer pixels. Colours are 0x00BBGGRR values (RGB(r, g, b)). A rectangle covers the
// pixels left..right-1 and top..bottom-1. Every face name maps to the CJK font of the instrument
// (WenQuanYi Micro Hei), so Chinese and Latin texts render alike.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ui {

class Window;

using Color = std::uint32_t;
constexpr Color RGB(int r, int g, int b) {
  return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(Color c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(Color c) { return static_cast<int>((c >> 16) & 0xFF); }

// Colours of the standard look.
inline constexpr Color kColorFace = RGB(236, 236, 236);       // dialog and button face
inline constexpr Color kColorLight = RGB(255, 255, 255);      // raised edge
inline constexpr Color kColorShadow = RGB(160, 160, 160);     // sunken edge
inline constexpr Color kColorDarkShadow = RGB(64, 64, 64);
inline constexpr Color kColorWindow = RGB(255, 255, 255);     // edit and list background
inline constexpr Color kColorText = RGB(0, 0, 0);
inline constexpr Color kColorGrayText = RGB(140, 140, 140);   // disabled text
inline constexpr Color kColorHighlight = RGB(0, 90, 200);     // selection
inline constexpr Color kColorHighlightText = RGB(255, 255, 255);

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  int cx = 0;
  int cy = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  Point center() const { return {(left + right) / 2, (top + bottom) / 2}; }
  Rect offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  Rect deflate(int dx, int dy) const { return {left + dx, top + dy, right - dx, bottom - dy}; }
  Rect intersect(const Rect& o) const;
  // The smallest rectangle holding both.
  Rect bounds(const Rect& o) const {
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
  }
  bool operator==(const Rect&) const = default;
};

// Pen styles.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_DASH = 1;
inline constexpr int PS_DOT = 2;
inline constexpr int PS_DASHDOT = 3;
inline constexpr int PS_NULL = 5;

struct Pen {
  int style = PS_SOLID;
  int width = 1;  // 0 draws one pixel wide, as 1
  Color color = kColorText;
};

struct Brush {
  Color color = kColorWindow;
  bool hollow = false;  // draws nothing
  static Brush null() { return Brush{0, true}; }
};

// Font weights.
inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;

// A font by pixel height (the cell height, ascent plus descent) and weight (0 means normal; 600 and
// above draw bold). Copies share one cached font; a default-constructed font is the layer's default.
class Font {
 public:
  Font();
  static Font create(int height, int weight = 0, std::string_view faceName = "NULL");
  int height() const;
  int weight() const;
  int ascent() const;
  bool operator==(const Font& o) const { return impl() == o.impl(); }
  struct Impl;
  const Impl* impl() const;  // the default font is resolved on first use

 private:
  explicit Font(std::shared_ptr<const Impl> p) : p_(std::move(p)) {}
  std::shared_ptr<const Impl> p_;
};

// A picture of w x h pixels (copies share the pixels).
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height, Color fill = kColorWindow);
  bool valid() const { return p_ != nullptr; }
  int width() const;
  int height() const;
  Color pixel(int x, int y) const;  // 0 outside
  bool savePng(const std::filesystem::path& hostFile) const;
  struct Impl;
  Impl* impl() const { return p_.get(); }

 private:
  std::shared_ptr<Impl> p_;
};

// DrawText formats.
inline constexpr unsigned DT_TOP = 0x0;
inline constexpr unsigned DT_LEFT = 0x0;
inline constexpr unsigned DT_CENTER = 0x1;
inline constexpr unsigned DT_RIGHT = 0x2;
inline constexpr unsigned DT_VCENTER = 0x4;
inline constexpr unsigned DT_BOTTOM = 0x8;
inline constexpr unsigned DT_WORDBREAK = 0x10;
inline constexpr unsigned DT_SINGLELINE = 0x20;
inline constexpr unsigned DT_NOCLIP = 0x100;
inline constexpr unsigned DT_CALCRECT = 0x400;
// ExtTextOut options.
inline constexpr unsigned ETO_OPAQUE = 0x2;
inline constexpr unsigned ETO_CLIPPED = 0x4;
// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
// Frame controls.
inline constexpr unsigned DFC_BUTTON = 4;
inline constexpr unsigned DFCS_BUTTONPUSH = 0x10;
inline constexpr unsigned DFCS_PUSHED = 0x200;
inline constexpr unsigned DFCS_INACTIVE = 0x100;
// Raster operation of bitBlt.
inline constexpr unsigned SRCCOPY = 0x00CC0020;

// A device context: drawing state (pen, brush, font, text and background colours, current position)
// over a target picture. Coordinates are the window's client coordinates.
class DC {
 public:
  DC(const DC&) = delete;
  DC& operator=(const DC&) = delete;
  virtual ~DC();

  Pen selectPen(const Pen& pen);  // returns the previous one
  Brush selectBrush(const Brush& brush);
  Font selectFont(const Font& font);
  const Pen& pen() const;
  const Brush& brush() const;
  const Font& font() const;
  Color setTextColor(Color c);
  Color setBkColor(Color c);
  int setBkMode(int mode);
  Color textColor() const;
  Color bkColor() const;
  int bkMode() const;

  void moveTo(int x, int y);
  void lineTo(int x, int y);  // with the pen, from the current position; the end pixel is left out
  Point currentPosition() const;
  void polyline(const std::vector<Point>& points);
  void rectangle(const Rect& r);  // outline with the pen, inside with the brush
  void roundRect(const Rect& r, int ellipseWidth, int ellipseHeight);
  void ellipse(const Rect& r);
  void fillRect(const Rect& r, const Brush& brush);
  void fillSolidRect(const Rect& r, Color c);
  void frameRect(const Rect& r, const Brush& brush);  // one-pixel frame
  void drawFocusRect(const Rect& r);                  // dotted frame
  void draw3dRect(const Rect& r, Color topLeft, Color bottomRight);
  void drawFrameControl(const Rect& r, unsigned type, unsigned state);
  void setPixel(int x, int y, Color c);
  Color getPixel(int x, int y) const;

  // Text in the selected font and text colour; an OPAQUE background mode fills behind the text.
  void textOut(int x, int y, std::string_view text);  // (x, y) is the top-left corner of the text
  void extTextOut(int x, int y, unsigned options, const Rect* r, std::string_view text);
  // Lines split at "\r\n" or "\n" (and, with DT_WORDBREAK, wrapped at the width); DT_SINGLELINE keeps
  // one line. Returns the height of the text; DT_CALCRECT only measures, setting r's right and bottom.
  int drawText(std::string_view text, Rect& r, unsigned format);
  int drawText(std::string_view text, const Rect& r, unsigned format);
  Size getTextExtent(std::string_view text) const;

  void drawBitmap(const Bitmap& bmp, int x, int y);
  // Copies w x h pixels from src (at sx, sy) to (x, y). Only SRCCOPY.
  void bitBlt(int x, int y, int w, int h, const DC& src, int sx, int sy, unsigned rop = SRCCOPY);

  int saveDC();
  void restoreDC(int saved = -1);
  void intersectClipRect(const Rect& r);
  Rect clipBox() const;

  struct Impl;
  Impl* impl() const { return d_.get(); }

 protected:
  DC();
  std::unique_ptr<Impl> d_;
};

// A device context on a picture of its own (or on a given bitmap), for drawing off screen.
class MemoryDC : public DC {
 public:
  MemoryDC(int width, int height);
  explicit MemoryDC(const Bitmap& target);
  Bitmap selectBitmap(const Bitmap& bmp);  // returns the previous one
  const Bitmap& bitmap() const;
};

// The device context of a window while it paints (inside its WM_PAINT handler): clipped to the window.
// Outside painting it draws straight onto the screen picture, like ClientDC.
class PaintDC : public DC {
 public:
  explicit PaintDC(Window& w);
};

// Draws onto the window as it stands on the screen; the next repaint replaces it.
class ClientDC : public DC {
 public:
  explicit ClientDC(Window& w);
};

}  // namespace platform::ui
