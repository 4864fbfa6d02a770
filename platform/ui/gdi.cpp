// Drawing on cairo; fonts through fontconfig.
#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/text/text.h"
#include "platform/ui/internal.h"

#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps a few allocations of its configuration for the life of the process; the leak
// checker is told so for every program that draws text.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
#endif

namespace platform::ui {

namespace {

// The one face of the instrument; every face name asked for maps to it.
constexpr const char* kFaceName = "WenQuanYi Micro Hei";
constexpr int kDefaultFontHeight = 22;

void setSource(cairo_t* cr, Color c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

std::mutex gFontMutex;
std::map<std::pair<int, int>, std::shared_ptr<const Font::Impl>>& fontCache() {
  static auto* cache = new std::map<std::pair<int, int>, std::shared_ptr<const Font::Impl>>();
  return *cache;
}

cairo_font_face_t* matchFace(bool bold) {
  // Resolved once per weight through fontconfig; falls back to cairo's own choice for the name.
  static cairo_font_face_t* faces[2] = {nullptr, nullptr};
  cairo_font_face_t*& face = faces[bold ? 1 : 0];
  if (face) return face;
  FcPattern* pat = FcPatternCreate();
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(kFaceName));
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (match) {
    face = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);
  }
  if (!face || cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
    face = cairo_toy_font_face_create(kFaceName, CAIRO_FONT_SLANT_NORMAL,
                                      bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  }
  return face;
}

std::shared_ptr<const Font::Impl> makeFont(int height, int weight) {
  if (height == 0) height = kDefaultFontHeight;
  height = std::clamp(std::abs(height), 4, 400);
  if (weight <= 0) weight = FW_NORMAL;
  bool bold = weight >= 600;
  std::lock_guard<std::mutex> lock(gFontMutex);
  auto key = std::make_pair(height, bold ? 700 : 400);
  auto& cache = fontCache();
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  cairo_font_face_t* face = matchFace(bold);
  cairo_font_options_t* opts = cairo_font_options_create();
  cairo_font_options_set_antialias(opts, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_ON);
  cairo_matrix_t identity;
  cairo_matrix_init_identity(&identity);
  // Scale so that ascent + descent fills the asked cell height.
  cairo_matrix_t unit;
  cairo_matrix_init_scale(&unit, 100, 100);
  cairo_scaled_font_t* probe = cairo_scaled_font_create(face, &unit, &identity, opts);
  cairo_font_extents_t ext;
  cairo_scaled_font_extents(probe, &ext);
  cairo_scaled_font_destroy(probe);
  double cell = (ext.ascent + ext.descent) / 100.0;
  if (!(cell > 0.1)) cell = 1.0;
  double size = height / cell;
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, size, size);
  auto impl = std::make_shared<Font::Impl>();
  impl->font = cairo_scaled_font_create(face, &m, &identity, opts);
  cairo_font_options_destroy(opts);
  cairo_scaled_font_extents(impl->font, &ext);
  impl->height = height;
  impl->weight = weight;
  impl->ascent = std::round(ext.ascent);
  impl->descent = height - impl->ascent;
  cache[key] = impl;
  return impl;
}

// A text as cairo may take it. Cairo refuses any text that is not well-formed UTF-8 or that holds a
// noncharacter, and a refusal by the text measurement leaves the shared scaled font in an error state
// for good (every later text in that font draws nothing), so every text is made fit to be shown
// (platform::text::displayText) before it is measured, laid out or drawn.
class ShownText {
 public:
  explicit ShownText(std::string_view text) : view_(text) {
    if (!platform::text::isShowable(text)) {
      own_ = platform::text::displayText(text);
      view_ = own_;
    }
  }
  operator std::string_view() const { return view_; }

 private:
  std::string own_;
  std::string_view view_;
};

// Splits UTF-8 text into its characters.
std::vector<std::string_view> characters(std::string_view s) {
  std::vector<std::string_view> out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    n = std::min(n, s.size() - i);
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

double textWidth(const Font::Impl* f, std::string_view s) {
  if (s.empty()) return 0;
  std::string z(s);
  cairo_text_extents_t te;
  cairo_scaled_font_text_extents(f->font, z.c_str(), &te);
  return te.x_advance;
}

// Lines of a text for drawText: split at line breaks, wrapped at `width` when wrap is set.
std::vector<std::string> layoutLines(const Font::Impl* f, std::string_view text, bool single, bool wrap,
                                     int width) {
  std::vector<std::string> lines;
  if (single) {
    std::string s;
    for (char c : text)
      if (c != '\r' && c != '\n') s += c;
    lines.push_back(s);
    return lines;
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t nl = text.find('\n', start);
    std::string_view line = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!wrap || width <= 0 || textWidth(f, line) <= width) {
      lines.emplace_back(line);
    } else {
      // Greedy wrap: break after a space when there is one on the line, else between any characters.
      auto chars = characters(line);
      std::string cur;
      std::size_t lastSpace = std::string::npos;
      for (auto ch : chars) {
        std::string next = cur + std::string(ch);
        if (!cur.empty() && textWidth(f, next) > width) {
          if (lastSpace != std::string::npos && lastSpace > 0) {
            lines.push_back(cur.substr(0, lastSpace));
            cur = cur.substr(lastSpace + 1) + std::string(ch);
          } else {
            lines.push_back(cur);
            cur = std::string(ch);
          }
          lastSpace = std::string::npos;
        } else {
          cur = next;
        }
        if (ch == " ") lastSpace = cur.size() - 1;
      }
      lines.push_back(cur);
    }
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return lines;
}

void applyPen(cairo_t* cr, const Pen& p) {
  setSource(cr, p.color);
  double w = std::max(1, p.width);
  cairo_set_line_width(cr, w);
  if (p.style == PS_DASH && p.width <= 1) {
    const double d[] = {6, 3};
    cairo_set_dash(cr, d, 2, 0);
  } else if (p.style == PS_DOT && p.width <= 1) {
    const double d[] = {1, 2};
    cairo_set_dash(cr, d, 2, 0);
  } else if (p.style == PS_DASHDOT && p.width <= 1) {
    const double d[] = {6, 2, 1, 2};
    cairo_set_dash(cr, d, 4, 0);
  } else {
    cairo_set_dash(cr, nullptr, 0, 0);
  }
}

// Offset that puts a line of this width on pixel centres.
double align(const Pen& p) { return (std::max(1, p.width) % 2) ? 0.5 : 0.0; }

}  // namespace

int textWidthPx(const Font& font, std::string_view text) {
  return static_cast<int>(std::ceil(textWidth(font.impl(), ShownText(text))));
}

std::vector<std::string> utf8Chars(std::string_view s) {
  std::vector<std::string> out;
  for (auto c : characters(s)) out.emplace_back(c);
  return out;
}

Rect Rect::intersect(const Rect& o) const {
  Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
  if (r.empty()) return Rect{};
  return r;
}

// ---- fonts -----------------------------------------------------------------------------------------

Font::Impl::~Impl() {
  if (font) cairo_scaled_font_destroy(font);
}

// Windows made by static initialisers carry a font; nothing is looked up before it is drawn with.
Font::Font() = default;
Font Font::create(int height, int weight, std::string_view) { return Font(makeFont(height, weight)); }
const Font::Impl* Font::impl() const {
  if (p_) return p_.get();
  static const std::shared_ptr<const Impl> standard = makeFont(0, 0);
  return standard.get();
}
int Font::height() const { return impl()->height; }
int Font::weight() const { return impl()->weight; }
int Font::ascent() const { return static_cast<int>(impl()->ascent); }

// ---- bitmaps ---------------------------------------------------------------------------------------

Bitmap::Impl::~Impl() {
  if (surface) cairo_surface_destroy(surface);
}

Bitmap::Bitmap(int width, int height, Color fill) : p_(std::make_shared<Impl>()) {
  p_->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(1, width), std::max(1, height));
  cairo_t* cr = cairo_create(p_->surface);
  setSource(cr, fill);
  cairo_paint(cr);
  cairo_destroy(cr);
}

int Bitmap::width() const { return p_ ? cairo_image_surface_get_width(p_->surface) : 0; }
int Bitmap::height() const { return p_ ? cairo_image_surface_get_height(p_->surface) : 0; }

Color Bitmap::pixel(int x, int y) const {
  if (!p_ || x < 0 || y < 0 || x >= width() || y >= height()) return 0;
  cairo_surface_flush(p_->surface);
  const unsigned char* data = cairo_image_surface_get_data(p_->surface);
  int stride = cairo_image_surface_get_stride(p_->surface);
  std::uint32_t v;
  std::memcpy(&v, data + y * stride + x * 4, 4);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

bool Bitmap::savePng(const std::filesystem::path& hostFile) const {
  if (!p_) return false;
  return cairo_surface_write_to_png(p_->surface, hostFile.string().c_str()) == CAIRO_STATUS_SUCCESS;
}

// ---- device contexts -------------------------------------------------------------------------------

DC::Impl::~Impl() {
  if (cr) cairo_destroy(cr);
}

void attachDC(DC::Impl& d, cairo_surface_t* surface, Point origin, const Rect& clip) {
  if (d.cr) cairo_destroy(d.cr);
  d.cr = cairo_create(surface);
  cairo_set_antialias(d.cr, CAIRO_ANTIALIAS_NONE);
  cairo_rectangle(d.cr, clip.left, clip.top, clip.width(), clip.height());
  cairo_clip(d.cr);
  cairo_translate(d.cr, origin.x, origin.y);
}

DC::DC() : d_(std::make_unique<Impl>()) {}
DC::~DC() = default;

Pen DC::selectPen(const Pen& pen) { return std::exchange(d_->pen, pen); }
Brush DC::selectBrush(const Brush& brush) { return std::exchange(d_->brush, brush); }
Font DC::selectFont(const Font& font) { return std::exchange(d_->font, font); }
const Pen& DC::pen() const { return d_->pen; }
const Brush& DC::brush() const { return d_->brush; }
const Font& DC::font() const { return d_->font; }
Color DC::setTextColor(Color c) { return std::exchange(d_->text, c); }
Color DC::setBkColor(Color c) { return std::exchange(d_->bk, c); }
int DC::setBkMode(int mode) { return std::exchange(d_->bkMode, mode); }
Color DC::textColor() const { return d_->text; }
Color DC::bkColor() const { return d_->bk; }
int DC::bkMode() const { return d_->bkMode; }

void DC::moveTo(int x, int y) { d_->pos = {x, y}; }
Point DC::currentPosition() const { return d_->pos; }

void DC::lineTo(int x, int y) {
  Point from = d_->pos;
  d_->pos = {x, y};
  if (d_->pen.style == PS_NULL) return;
  cairo_t* cr = d_->cr;
  applyPen(cr, d_->pen);
  double a = align(d_->pen);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_move_to(cr, from.x + a, from.y + a);
  cairo_line_to(cr, x + a, y + a);
  cairo_stroke(cr);
}

void DC::polyline(const std::vector<Point>& points) {
  if (points.size() < 2 || d_->pen.style == PS_NULL) return;
  cairo_t* cr = d_->cr;
  applyPen(cr, d_->pen);
  double a = align(d_->pen);
  cairo_move_to(cr, points[0].x + a, points[0].y + a);
  for (std::size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].x + a, points[i].y + a);
  cairo_stroke(cr);
}

namespace {
void roundedPath(cairo_t* cr, double x, double y, double w, double h, double rx, double ry) {
  rx = std::min(rx, w / 2);
  ry = std::min(ry, h / 2);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_new_sub_path(cr);
  auto corner = [&](double cx, double cy, double a0) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, a0, a0 + M_PI / 2);
    cairo_restore(cr);
  };
  corner(x + w - rx, y + ry, -M_PI / 2);
  corner(x + w - rx, y + h - ry, 0);
  corner(x + rx, y + h - ry, M_PI / 2);
  corner(x + rx, y + ry, M_PI);
  cairo_close_path(cr);
}

void ellipsePath(cairo_t* cr, double x, double y, double w, double h) {
  if (w <= 0 || h <= 0) return;
  cairo_save(cr);
  cairo_translate(cr, x + w / 2, y + h / 2);
  cairo_scale(cr, w / 2, h / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
}

// Fills and outlines a shape given by `path(x, y, w, h)`, the GDI way: the outline lies inside r.
template <class PathFn>
void shape(DC::Impl& d, const Rect& r, PathFn path) {
  if (r.empty()) return;
  cairo_t* cr = d.cr;
  // Nothing of it lies where the DC may draw (a repaint of another part of the window).
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
  if (r.right <= x1 || r.left >= x2 || r.bottom <= y1 || r.top >= y2) return;
  if (!d.brush.hollow) {
    setSource(cr, d.brush.color);
    path(r.left, r.top, r.width(), r.height());
    cairo_fill(cr);
  }
  if (d.pen.style != PS_NULL) {
    applyPen(cr, d.pen);
    double w = std::max(1, d.pen.width);
    path(r.left + w / 2, r.top + w / 2, r.width() - w, r.height() - w);
    cairo_stroke(cr);
  }
}
}  // namespace

void DC::rectangle(const Rect& r) {
  shape(*d_, r, [&](double x, double y, double w, double h) { cairo_rectangle(d_->cr, x, y, w, h); });
}

void DC::roundRect(const Rect& r, int ew, int eh) {
  shape(*d_, r, [&](double x, double y, double w, double h) { roundedPath(d_->cr, x, y, w, h, ew / 2.0, eh / 2.0); });
}

void DC::ellipse(const Rect& r) {
  cairo_set_antialias(d_->cr, CAIRO_ANTIALIAS_DEFAULT);
  shape(*d_, r, [&](double x, double y, double w, double h) { ellipsePath(d_->cr, x, y, w, h); });
  cairo_set_antialias(d_->cr, CAIRO_ANTIALIAS_NONE);
}

void DC::fillRect(const Rect& r, const Brush& brush) {
  if (brush.hollow || r.empty()) return;
  setSource(d_->cr, brush.color);
  cairo_rectangle(d_->cr, r.left, r.top, r.width(), r.height());
  cairo_fill(d_->cr);
}

void DC::fillSolidRect(const Rect& r, Color c) {
  fillRect(r, Brush{c});
  d_->bk = c;
}

void DC::frameRect(const Rect& r, const Brush& brush) {
  if (r.empty()) return;
  fillRect({r.left, r.top, r.right, r.top + 1}, brush);
  fillRect({r.right - 1, r.top, r.right, r.bottom}, brush);
  fillRect({r.left, r.bottom - 1, r.right, r.bottom}, brush);
  fillRect({r.left, r.top, r.left + 1, r.bottom}, brush);
}

void DC::drawFocusRect(const Rect& r) {
  Pen old = selectPen(Pen{PS_DOT, 1, kColorText});
  Brush oldB = selectBrush(Brush::null());
  rectangle(r);
  selectPen(old);
  selectBrush(oldB);
}

void DC::draw3dRect(const Rect& r, Color tl, Color br) {
  fillRect({r.left, r.top, r.right - 1, r.top + 1}, Brush{tl});
  fillRect({r.left, r.top, r.left + 1, r.bottom - 1}, Brush{tl});
  fillRect({r.right - 1, r.top, r.right, r.bottom}, Brush{br});
  fillRect({r.left, r.bottom - 1, r.right, r.bottom}, Brush{br});
}

void DC::drawFrameControl(const Rect& r, unsigned type, unsigned st) {
  if (type != DFC_BUTTON) return;
  fillRect(r, Brush{kColorFace});
  if (st & DFCS_PUSHED) {
    draw3dRect(r, kColorDarkShadow, kColorLight);
    draw3dRect(r.deflate(1, 1), kColorShadow, kColorFace);
  } else {
    draw3dRect(r, kColorLight, kColorDarkShadow);
    draw3dRect(r.deflate(1, 1), kColorFace, kColorShadow);
  }
}

void DC::setPixel(int x, int y, Color c) { fillRect({x, y, x + 1, y + 1}, Brush{c}); }

Color DC::getPixel(int x, int y) const {
  cairo_surface_t* s = cairo_get_target(d_->cr);
  double dx = x, dy = y;
  cairo_user_to_device(d_->cr, &dx, &dy);
  int px = static_cast<int>(dx), py = static_cast<int>(dy);
  if (cairo_surface_get_type(s) != CAIRO_SURFACE_TYPE_IMAGE) return 0;
  if (px < 0 || py < 0 || px >= cairo_image_surface_get_width(s) || py >= cairo_image_surface_get_height(s)) return 0;
  cairo_surface_flush(s);
  std::uint32_t v;
  std::memcpy(&v, cairo_image_surface_get_data(s) + py * cairo_image_surface_get_stride(s) + px * 4, 4);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

namespace {
void showText(DC::Impl& d, double x, double y, std::string_view text) {
  if (text.empty()) return;
  const Font::Impl* f = d.font.impl();
  cairo_set_scaled_font(d.cr, f->font);
  setSource(d.cr, d.text);
  cairo_move_to(d.cr, x, y + f->ascent);
  std::string z(text);
  cairo_show_text(d.cr, z.c_str());
}
}  // namespace

Size DC::getTextExtent(std::string_view raw) const {
  const ShownText text(raw);
  const Font::Impl* f = d_->font.impl();
  auto lines = layoutLines(f, text, false, false, 0);
  double w = 0;
  for (auto& l : lines) w = std::max(w, textWidth(f, l));
  return {static_cast<int>(std::ceil(w)), f->height * static_cast<int>(lines.size())};
}

void DC::textOut(int x, int y, std::string_view text) { extTextOut(x, y, 0, nullptr, text); }

void DC::extTextOut(int x, int y, unsigned options, const Rect* r, std::string_view raw) {
  const ShownText text(raw);
  const Font::Impl* f = d_->font.impl();
  cairo_save(d_->cr);
  if (r && (options & ETO_OPAQUE)) fillRect(*r, Brush{d_->bk});
  if (r && (options & ETO_CLIPPED)) {
    cairo_rectangle(d_->cr, r->left, r->top, r->width(), r->height());
    cairo_clip(d_->cr);
  }
  if (d_->bkMode == OPAQUE && !(r && (options & ETO_OPAQUE))) {
    int w = static_cast<int>(std::ceil(textWidth(f, text)));
    fillRect({x, y, x + w, y + f->height}, Brush{d_->bk});
  }
  showText(*d_, x, y, text);
  cairo_restore(d_->cr);
}

int DC::drawText(std::string_view text, const Rect& r, unsigned format) {
  Rect copy = r;
  return drawText(text, copy, format & ~DT_CALCRECT);
}

int DC::drawText(std::string_view raw, Rect& r, unsigned format) {
  const ShownText text(raw);
  const Font::Impl* f = d_->font.impl();
  bool single = format & DT_SINGLELINE;
  auto lines = layoutLines(f, text, single, format & DT_WORDBREAK, r.width());
  int lineH = f->height;
  int total = lineH * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    double w = 0;
    for (auto& l : lines) w = std::max(w, textWidth(f, l));
    r.right = r.left + static_cast<int>(std::ceil(w));
    r.bottom = r.top + total;
    return total;
  }
  int y = r.top;
  if (format & DT_VCENTER) y = r.top + (r.height() - total) / 2;
  else if (format & DT_BOTTOM) y = r.bottom - total;
  cairo_save(d_->cr);
  if (!(format & DT_NOCLIP)) {
    cairo_rectangle(d_->cr, r.left, r.top, r.width(), r.height());
    cairo_clip(d_->cr);
  }
  for (auto& l : lines) {
    double w = textWidth(f, l);
    double x = r.left;
    if (format & DT_CENTER) x = r.left + std::floor((r.width() - w) / 2);
    else if (format & DT_RIGHT) x = r.right - w;
    if (d_->bkMode == OPAQUE && !l.empty())
      fillRect({static_cast<int>(x), y, static_cast<int>(std::ceil(x + w)), y + lineH}, Brush{d_->bk});
    showText(*d_, x, y, l);
    y += lineH;
  }
  cairo_restore(d_->cr);
  return total;
}

void DC::drawBitmap(const Bitmap& bmp, int x, int y) {
  if (!bmp.valid()) return;
  cairo_set_source_surface(d_->cr, bmp.impl()->surface, x, y);
  cairo_rectangle(d_->cr, x, y, bmp.width(), bmp.height());
  cairo_fill(d_->cr);
}

void DC::bitBlt(int x, int y, int w, int h, const DC& src, int sx, int sy, unsigned) {
  if (w <= 0 || h <= 0 || !src.d_->cr) return;
  cairo_surface_t* s = cairo_get_target(src.d_->cr);
  cairo_surface_flush(s);
  // The source's client origin on its surface.
  double ox = 0, oy = 0;
  cairo_user_to_device(src.d_->cr, &ox, &oy);
  cairo_save(d_->cr);
  cairo_set_source_surface(d_->cr, s, x - sx - ox, y - sy - oy);
  cairo_pattern_set_filter(cairo_get_source(d_->cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(d_->cr, x, y, w, h);
  cairo_fill(d_->cr);
  cairo_restore(d_->cr);
}

int DC::saveDC() {
  cairo_save(d_->cr);
  d_->saved.push_back({d_->pen, d_->brush, d_->font, d_->text, d_->bk, d_->bkMode});
  return static_cast<int>(d_->saved.size());
}

void DC::restoreDC(int saved) {
  if (d_->saved.empty()) return;
  std::size_t keep = saved < 0 ? d_->saved.size() - 1 : static_cast<std::size_t>(std::max(saved - 1, 0));
  while (d_->saved.size() > keep) {
    auto& s = d_->saved.back();
    d_->pen = s.pen;
    d_->brush = s.brush;
    d_->font = s.font;
    d_->text = s.text;
    d_->bk = s.bk;
    d_->bkMode = s.bkMode;
    d_->saved.pop_back();
    cairo_restore(d_->cr);
  }
}

void DC::intersectClipRect(const Rect& r) {
  cairo_rectangle(d_->cr, r.left, r.top, r.width(), r.height());
  cairo_clip(d_->cr);
}

Rect DC::clipBox() const {
  double x1, y1, x2, y2;
  cairo_clip_extents(d_->cr, &x1, &y1, &x2, &y2);
  return {static_cast<int>(std::floor(x1)), static_cast<int>(std::floor(y1)), static_cast<int>(std::ceil(x2)),
          static_cast<int>(std::ceil(y2))};
}

MemoryDC::MemoryDC(int width, int height) : MemoryDC(Bitmap(width, height)) {}

MemoryDC::MemoryDC(const Bitmap& target) {
  Bitmap b = target.valid() ? target : Bitmap(1, 1);
  selectBitmap(b);
}

Bitmap MemoryDC::selectBitmap(const Bitmap& bmp) {
  Bitmap old = d_->bitmap;
  if (!bmp.valid()) return old;
  d_->bitmap = bmp;
  attachDC(*d_, bmp.impl()->surface, {0, 0}, {0, 0, bmp.width(), bmp.height()});
  return old;
}

const Bitmap& MemoryDC::bitmap() const { return d_->bitmap; }

namespace {
void attachToWindow(DC::Impl& d, Window& w, bool inPaint) {
  UiState& s = state();
  if (inPaint) {
    for (auto it = s.painting.rbegin(); it != s.painting.rend(); ++it) {
      if (it->window == &w) {
        attachDC(d, it->surface, it->origin, it->clip);
        return;
      }
    }
  }
  if (s.screen) {
    Point o = w.clientOrigin();
    const Rect clip = visibleClip(w);
    attachDC(d, s.screen, o, clip);
    addRect(s.unshown, clip);  // drawn straight onto the screen: the display shows it at the next render
  } else {
    d.bitmap = Bitmap(1, 1);
    attachDC(d, d.bitmap.impl()->surface, {0, 0}, {0, 0, 0, 0});
  }
}
}  // namespace

PaintDC::PaintDC(Window& w) {
  attachToWindow(*d_, w, true);
  d_->font = w.getFont();
}

ClientDC::ClientDC(Window& w) {
  attachToWindow(*d_, w, false);
  d_->font = w.getFont();
}

}  // namespace platform::ui
