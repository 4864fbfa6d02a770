// Painting of the plotting window: the back buffer, then the axes, ticks, grid, numbers and titles of
// each chart layout, then the curves.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "report/graph.h"
#include "report/graph_math.h"

namespace ui = platform::ui;
using graph_math::truncClamp;

namespace {

// Lateral standards drawn on the one-panel layout, with H for the load and Y0 for the displacement.
bool isOnePanelLateral(int standard) { return standard == 77 || standard == 93 || standard == 145; }

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// The chart's font at a height: A (18) for every text, B (13) for the level loads of the cyclic chart.
ui::Font chartFont(int height) { return ui::Font::create(height, 300, "宋体"); }

// Levels of the cyclic chart beyond this many are narrower than a few pixels and are not drawn.
constexpr int kMaxCycleLevels = 200;

constexpr int kFontA = 18;
constexpr int kFontB = 13;
constexpr int kFontSmallest = 10;
// The numbers of the vertical axis end this far right of the window's left edge, clear of the axis.
constexpr int kNumberMargin = 37;

}  // namespace

int C2DGraph::Create(const char*, const char*, std::uint32_t style, const Rect& rect, ui::Window* parent, int id,
                     void*) {
  return createWindow(parent, rect, id, "", style) ? 1 : 0;
}

void C2DGraph::OnPaint() {
  ui::PaintDC paint(*this);
  const Rect c = getClientRect();
  if (!m_memDC || !ShowsWhatItDrew()) DrawAll();
  paint.bitBlt(0, 0, c.width(), c.height(), *m_memDC, 0, 0, ui::SRCCOPY);
}

std::array<double, 15> C2DGraph::DrawingValues() const {
  const Rect c = getClientRect();
  return {m_dSettleMaxRaw, m_dSettleMin, static_cast<double>(m_nLoadMax), static_cast<double>(m_nLoadMin),
          static_cast<double>(m_nTimeMax), static_cast<double>(m_nCurveKind), static_cast<double>(m_nTestType),
          static_cast<double>(m_nStandard), static_cast<double>(m_fLevelStep), static_cast<double>(m_crBack),
          static_cast<double>(m_crAxis), static_cast<double>(m_crCurve), static_cast<double>(m_crText),
          static_cast<double>(c.width()), static_cast<double>(c.height())};
}

namespace {
// Equal to the bit (so a NaN range equals itself).
template <class T>
bool sameItems(const T* a, std::size_t na, const T* b, std::size_t nb) {
  return na == nb && (na == 0 || std::memcmp(a, b, na * sizeof(T)) == 0);
}
}  // namespace

bool C2DGraph::ShowsWhatItDrew() const {
  if (!m_drawn) return false;
  const std::array<double, 15> values = DrawingValues();
  if (!sameItems(values.data(), values.size(), m_drawn->values.data(), m_drawn->values.size())) return false;
  if (!sameItems(m_nStepLoad.data(), m_nStepLoad.size(), m_drawn->stepLoads.data(), m_drawn->stepLoads.size()))
    return false;
  const std::vector<Point>* lists[6] = {&m_ptList1, &m_ptList2, &m_ptList3, &m_ptList4, &m_ptList5, &m_ptList6};
  for (std::size_t k = 0; k < 6; ++k) {
    const std::vector<Point>& now = *lists[k];
    const std::vector<Point>& then = m_drawn->lists[k];
    if (!sameItems(now.data(), now.size(), then.data(), then.size())) return false;
  }
  return true;
}

int C2DGraph::StepLoadAt(int index) const {
  if (index < 0 || index >= static_cast<int>(m_nStepLoad.size())) return kNoReading;
  return m_nStepLoad[static_cast<std::size_t>(index)];
}

int C2DGraph::CycleLevels() const {
  if (!(m_fLevelStep > 0.0f)) return 0;
  const float levels = static_cast<float>(m_nLoadMax) / m_fLevelStep + 0.5f;
  if (!(levels >= 1.0f) || levels >= static_cast<float>(kMaxCycleLevels + 1)) return 0;
  return static_cast<int>(levels);
}

void C2DGraph::AxisLine(int x1, int y1, int x2, int y2) { m_sketch.axes.push_back({{x1, y1}, {x2, y2}}); }

void C2DGraph::GridLine(int x1, int y1, int x2, int y2) { m_sketch.grid.push_back({{x1, y1}, {x2, y2}}); }

void C2DGraph::PutText(const Rect&, int x, int y, const std::string& text, int height) {
  m_sketch.texts.push_back({{x, y}, text, height});
}

void C2DGraph::DrawNumberUnder(const Rect& c, int tickX, int y, const std::string& text) {
  const int length = static_cast<int>(text.size());
  PutText(c, length == 1 ? tickX - 3 : tickX + 2 - 4 * length, y, text);
}

// A number of the vertical axis: left of the axis, ending before it (in a smaller font when the
// number is too wide for the margin).
void C2DGraph::DrawNumberBeside(const Rect& c, int y, const std::string& text, bool cyclic) {
  const int length = static_cast<int>(text.size());
  int x = c.left;
  if (length == 4) x = c.left + (cyclic ? 6 : 8);
  else if (length == 5) x = c.left + (cyclic ? 2 : 4);
  const int room = kNumberMargin;
  int height = kFontA;
  int width = TextWidth(text, height);
  while (width > room && height > kFontSmallest) width = TextWidth(text, --height);
  x = std::max(c.left, std::min(x, c.left + room - width));
  PutText(c, x, y + (kFontA - height) / 2, text, height);
}

int C2DGraph::TextWidth(const std::string& text, int height) const {
  if (!m_memDC) return 0;
  const ui::Font old = m_memDC->selectFont(chartFont(height));
  const int width = m_memDC->getTextExtent(text).cx;
  m_memDC->selectFont(old);
  return width;
}

// Draws what the layout sketched: the grid first, the texts over it (each kept inside the window),
// then the axes and ticks, which no text covers.
void C2DGraph::FlushSketch(ui::DC& dc, const Rect& c) {
  const ui::Pen old = dc.selectPen(ui::Pen{ui::PS_DASH, 0, m_crAxis});
  for (const auto& [from, to] : m_sketch.grid) {
    dc.moveTo(from.x, from.y);
    dc.lineTo(to.x, to.y);
  }
  for (const Sketch::Text& t : m_sketch.texts) {
    dc.selectFont(chartFont(t.height));
    const ui::Size size = dc.getTextExtent(t.text);
    const int ascent = dc.font().ascent();
    const int x = std::max(c.left, std::min(t.at.x, c.right - size.cx));
    // The part below the baseline may pass the bottom edge: digits and letters end on it.
    const int y = std::max(c.top, std::min(t.at.y, c.bottom - ascent));
    dc.extTextOut(x, y, ui::ETO_CLIPPED, nullptr, t.text);
    m_textBoxes.push_back({x, y, x + size.cx, y + size.cy});
  }
  dc.selectFont(chartFont(kFontA));
  dc.selectPen(ui::Pen{ui::PS_SOLID, 0, m_crAxis});
  for (const auto& [from, to] : m_sketch.axes) {
    dc.moveTo(from.x, from.y);
    dc.lineTo(to.x, to.y);
  }
  dc.selectPen(old);
  m_sketch = Sketch{};
}

void C2DGraph::DrawAll() {
  const Rect c = getClientRect();
  m_dSettleMax = m_dSettleMaxRaw * SettlementUnit();
  RoundAxisMax();

  const int width = std::max(1, c.width()), height = std::max(1, c.height());
  if (!m_memDC || m_bmpBack.width() != width || m_bmpBack.height() != height) {
    m_bmpBack = ui::Bitmap(width, height, m_crBack);
    m_memDC = std::make_unique<ui::MemoryDC>(m_bmpBack);
  }
  ui::DC& dc = *m_memDC;
  dc.setBkColor(m_crBack);
  dc.setBkMode(ui::OPAQUE);
  dc.fillRect(c, ui::Brush{m_crBack});
  dc.setTextColor(m_crText);
  const ui::Font oldFont = dc.selectFont(chartFont(kFontA));
  const ui::Pen oldPen = dc.selectPen(ui::Pen{ui::PS_SOLID, 0, m_crAxis});
  m_sketch = Sketch{};
  m_textBoxes.clear();
  m_labels.clear();

  enum class Layout { None, OnePanel, TwoPanels, Cycle } layout = Layout::None;
  if (m_nTestType == 0 || m_nTestType == 1 || m_nTestType == 5 || isOnePanelLateral(m_nStandard))
    layout = Layout::OnePanel;
  else if (m_nTestType == 2)
    layout = Layout::TwoPanels;
  else if (m_nTestType == 4)
    layout = Layout::Cycle;

  switch (layout) {
    case Layout::OnePanel: DrawOnePanel(c); break;
    case Layout::TwoPanels: DrawTwoPanels(c); break;
    case Layout::Cycle:
      m_nLevelCount = CycleLevels();
      if (m_nCurveKind == 1) DrawCycleTime(c);
      else if (m_nCurveKind == 2) DrawCycleIncrement(c);
      break;
    case Layout::None: break;
  }
  FlushSketch(dc, c);
  dc.selectPen(oldPen);
  dc.selectFont(oldFont);

  switch (layout) {
    case Layout::OnePanel:
      if (m_nCurveKind == 1 || m_nCurveKind == 4) PlotLoadCurve();
      else if (m_nCurveKind == 2 || m_nCurveKind == 5) PlotLogLoadCurve();
      else if (m_nCurveKind == 3 || m_nCurveKind == 6) PlotTimeCurves();
      break;
    case Layout::TwoPanels:
      if (m_nCurveKind == 1) PlotLoadCurve2();
      else if (m_nCurveKind == 2) PlotLogLoadCurve2();
      else if (m_nCurveKind == 3) PlotTimeCurves2();
      break;
    case Layout::Cycle:
      if (m_nCurveKind == 1) PlotCycleCurve();
      else if (m_nCurveKind == 2) PlotCycleIncrement();
      break;
    case Layout::None: break;
  }
  if (!m_drawn) m_drawn = std::make_unique<DrawnFrom>();
  m_drawn->lists = {m_ptList1, m_ptList2, m_ptList3, m_ptList4, m_ptList5, m_ptList6};
  m_drawn->stepLoads = m_nStepLoad;
  m_drawn->values = DrawingValues();
}

void C2DGraph::DrawOnePanel(const Rect& c) {
  const int L = c.left, T = c.top, R = c.right, B = c.bottom;
  const int kind = m_nCurveKind;
  if (kind < 1 || kind > 6) return;
  const bool lateral = isOnePanelLateral(m_nStandard);
  const bool plate = m_nTestType == 0;
  if (kind <= 3) {
    // Settlement downward from the load or time axis along the top.
    AxisLine(L + 40, T + 30, L + 40, B - 10);
    AxisLine(L + 42, B - 20, L + 40, B - 10);
    AxisLine(L + 38, B - 20, L + 40, B - 10);
    AxisLine(L + 40, T + 30, R - 10, T + 30);
    AxisLine(R - 20, T + 28, R - 10, T + 30);
    AxisLine(R - 20, T + 32, R - 10, T + 30);
    for (int l = 1; l <= 50; ++l) {
      const int y = T + (B - T - 60) * l / 50 + 30;
      AxisLine(L + 40, y, l % 10 == 0 ? L + 48 : L + 45, y);
    }
    m_pszYTitle = lateral ? "Y0(mm)" : "s(mm)";
    PutText(c, L + 48, B - 18, m_pszYTitle);
    for (int j = 0; j <= 5; ++j)
      DrawNumberBeside(c, T + (B - T - 60) * j / 5 + 23, fixed(j * m_dSettleMax * 0.2, 2), false);
  } else {
    // Displacement upward from the load or time axis along the bottom.
    AxisLine(L + 40, T + 10, L + 40, B - 15);
    AxisLine(L + 42, T + 20, L + 40, T + 10);
    AxisLine(L + 38, T + 20, L + 40, T + 10);
    AxisLine(L + 40, B - 15, R - 10, B - 15);
    AxisLine(R - 20, B - 17, R - 10, B - 15);
    AxisLine(R - 20, B - 13, R - 10, B - 15);
    for (int n = 50; n >= 1; --n) {
      const int y = B - (B - T - 40) * n / 50 - 15;
      AxisLine(L + 40, y, n % 10 == 0 ? L + 48 : L + 45, y);
    }
    // The title stands clear of the top long tick (to L+48) and of the number beside the axis.
    m_pszYTitle = "δ(mm)";
    PutText(c, L + 56, T + 10, m_pszYTitle);
    for (int n = 5; n >= 0; --n)
      DrawNumberBeside(c, B - n * (B - T - 40) / 5 - 22, fixed(n * m_dSettleMax * 0.2, 2), false);
  }

  if (kind == 1 || kind == 4) DrawLinearLoadAxis(c, kind == 4);
  else if (kind <= 3) DrawLogAxis(c, T + 30, 1, T + 10, false);
  else DrawLogAxis(c, B - 15, -1, B - 15, false);

  // Axis title and chart title.
  const char* axis = "";
  const char* chart = "";
  int axisX = R - 50;
  switch (kind) {
    case 1:
      axisX = R - 46;
      if (lateral) axis = "H(kN)", chart = "H-Y0曲线";
      else if (plate) axis = "p(kPa)", chart = "p-s 曲线";
      else axis = "Q(kN)", chart = "Q-s 曲线";
      break;
    case 2:
      if (lateral) axis = "lgH(kN)", chart = "Y0-lgH曲线";
      else if (plate) axis = "lgp(kPa)", chart = "s-lgp 曲线", axisX = R - 52;
      else axis = "lgQ(kN)", chart = "s-lgQ 曲线";
      break;
    case 3:
      axis = "lgt(min)";
      chart = lateral ? "Y0-lgt曲线" : "s-lgt 曲线";
      break;
    case 4:
      axisX = R - 40;
      axis = plate ? "U(kPa)" : "U(kN)";
      chart = "U-δ 曲线";
      break;
    case 5:
      axisX = R - 40;
      axis = plate ? "lgU(kPa)" : "lgU(kN)";
      chart = "δ-lgU 曲线";
      break;
    default:
      axis = "lgt(min)";
      chart = "δ-lgt 曲线";
      break;
  }
  m_pszXTitle = axis;
  if (kind <= 3) {
    PutText(c, axisX, T + 38, axis);
    PutText(c, R / 2, B - 18, chart);
  } else {
    PutText(c, axisX, B - 38, axis);
    PutText(c, R / 2, T + 10, chart);
  }
}

void C2DGraph::DrawLinearLoadAxis(const Rect& c, bool upward) {
  const int L = c.left, T = c.top, R = c.right, B = c.bottom;
  const int W = R - L - 70;
  for (int l = upward ? 0 : 1; l <= 50; ++l) {
    const int x = L + W * l / 50 + 40;
    const bool longTick = l % 10 == 0;
    if (upward) AxisLine(x, B - 15, x, longTick ? B - 23 : B - 20);
    else AxisLine(x, T + 30, x, longTick ? T + 38 : T + 35);
  }
  for (int l = 0; l <= 5; ++l) {
    const long long load = static_cast<long long>(l) * m_nLoadMax / 5;
    DrawNumberUnder(c, L + W * l / 5 + 40, upward ? B - 15 : T + 10, std::to_string(load));
  }
  for (int l = 1; l <= 5; ++l) {
    const int x = L + l * W / 5 + 40;
    if (upward) {
      GridLine(x, T + 30, x, B - 23);
      const int y = B - (B - T - 40) * l / 5 - 15;
      GridLine(L + 48, y, R - 30, y);
    } else {
      GridLine(x, T + 30, x, B - 30);
      const int y = T + l * (B - T - 60) / 5 + 30;
      GridLine(L + 40, y, R - 30, y);
    }
  }
}

// The decades of a logarithmic load or time axis on the line axisY, ticks going down (tickDir 1) or up
// (-1) from it, numbers at numberY (on the middle line of two panels, the 1 goes right of the vertical
// axis and the ticks that cross it there). Ticks sit where the mapping puts their values.
void C2DGraph::DrawLogAxis(const Rect& c, int axisY, int tickDir, int numberY, bool belowMiddle) {
  const int kind = m_nCurveKind;
  const bool load = kind == 2 || kind == 5;
  const int full = load ? LogLoadFullScale() : LogTimeFullScale();
  const int decades = full == 100000 ? 5 : full == 10000 ? 4 : 3;
  int decadeValue = 1;
  for (int d = 0; d <= decades; ++d) {
    int x = c.left + 40;
    MapX(c, kind, decadeValue, x);
    if (d >= 1) AxisLine(x, axisY, x, axisY + 8 * tickDir);
    if (d == 0 && belowMiddle) PutText(c, x + 9, numberY, "1");  // right of the vertical axis and its ticks
    else DrawNumberUnder(c, x, numberY, std::to_string(decadeValue));
    if (d < decades) {
      for (int k = 1; k <= 9; ++k) {
        int mx = x;
        MapX(c, kind, decadeValue * k, mx);
        AxisLine(mx, axisY, mx, axisY + 5 * tickDir);
      }
    }
    decadeValue *= 10;
  }
}

void C2DGraph::DrawTwoPanels(const Rect& c) {
  const int L = c.left, T = c.top, R = c.right, B = c.bottom;
  const int W = R - L - 70;
  const int H = (B - T) / 2;
  const int M = B - H;
  const int kind = m_nCurveKind;

  for (int l = 1; l <= 5; ++l) {
    const int x = L + l * W / 5 + 40;
    GridLine(x, T + 15, x, B - 15);
    const int up = M - l * (M - T - 15) / 5;
    GridLine(L + 40, up, R - 30, up);
    const int down = M + l * (H - 15) / 5;
    GridLine(L + 40, down, R - 30, down);
  }

  AxisLine(L + 40, T + 10, L + 40, B - 10);
  AxisLine(L + 42, T + 20, L + 40, T + 10);
  AxisLine(L + 38, T + 20, L + 40, T + 10);
  AxisLine(L + 42, B - 20, L + 40, B - 10);
  AxisLine(L + 38, B - 20, L + 40, B - 10);
  AxisLine(L + 40, M, R - 10, M);
  AxisLine(R - 20, M - 2, R - 10, M);
  AxisLine(R - 20, M + 2, R - 10, M);
  for (int n = 50; n >= 1; --n) {
    const int tickEnd = n % 10 == 0 ? L + 48 : L + 45;
    const int up = M - n * (M - T - 15) / 50;
    AxisLine(L + 40, up, tickEnd, up);
    const int down = M + n * (H - 15) / 50;
    AxisLine(L + 40, down, tickEnd, down);
  }

  // The title stands clear of the top long tick (to L+48) and of the number beside the axis.
  m_pszYTitle = "s(mm)";
  PutText(c, L + 56, T + 10, m_pszYTitle);
  for (int k = 1; k <= 5; ++k) {
    DrawNumberBeside(c, M - k * (M - T - 15) / 5 - 7, fixed(k * m_dSettleMax * 0.2, 2), false);
    DrawNumberBeside(c, M + k * (H - 15) / 5 - 7, fixed(-k * m_dSettleMax * 0.2, 2), false);
  }
  DrawNumberBeside(c, M - 7, "0.00", false);

  if (kind == 1) {
    for (int l = 1; l <= 50; ++l) {
      const int x = L + 40 + l * W / 50;
      AxisLine(x, M, x, l % 10 == 0 ? M + 8 : M + 5);
    }
    m_pszXTitle = "Q(kN)";
    PutText(c, R - 50, M - 20, m_pszXTitle);
    PutText(c, R / 2, B - 18, "Q-s曲线");
    for (int l = 1; l <= 5; ++l) {
      const long long load = static_cast<long long>(l) * m_nLoadMax / 5;
      DrawNumberUnder(c, L + 40 + l * W / 5, M + 7, std::to_string(load));
    }
  } else if (kind == 2) {
    m_pszXTitle = "lgQ(kN)";
    PutText(c, R - 50, M - 20, m_pszXTitle);
    PutText(c, R / 2, B - 18, "s-lgQ 曲线");
    DrawLogAxis(c, M, 1, M + 7, true);
  } else if (kind == 3) {
    m_pszXTitle = "lgt(min)";
    PutText(c, R - 50, M - 18, m_pszXTitle);
    PutText(c, R / 2, B - 18, "s-lgt 曲线");
    DrawLogAxis(c, M, 1, M + 7, true);
  }
}

void C2DGraph::DrawCycleTime(const Rect& c) {
  const int L = c.left, T = c.top, R = c.right, B = c.bottom;
  const int n = m_nLevelCount;
  const int Wc = R - L - 100;
  AxisLine(L + 40, T + 30, L + 40, B - 20);
  AxisLine(L + 40, T + 30, R - 20, T + 30);
  AxisLine(L + 40, T + 80, R - 20, T + 80);
  for (int l = 1; l <= 50; ++l) {
    const int y = T + (B - T - 110) * l / 50 + 80;
    AxisLine(L + 40, y, l % 5 == 0 ? L + 48 : L + 45, y);
  }
  m_pszYTitle = "Y0(mm)";
  PutText(c, L + 48, B - 18, m_pszYTitle);
  for (int l = 0; l <= 5; ++l)
    DrawNumberBeside(c, T + (B - T - 110) * l / 5 + 73, fixed(l * m_dSettleMax * 0.2, 2), true);

  // Level f (a fraction counts within a level) to x.
  auto levelX = [&](float f) {
    return truncClamp(static_cast<float>(Wc) * f / static_cast<float>(n) + static_cast<float>(L + 40));
  };
  for (int l = 1; l <= n; ++l) {
    const float q = static_cast<float>(l - 1);
    AxisLine(levelX(static_cast<float>(l)), T + 30, levelX(static_cast<float>(l)), T + 80);
    const int down = levelX(q + 0.22f);
    AxisLine(down, T + 45, down, T + 65);
    AxisLine(down, T + 65, levelX(q + 0.12f), T + 60);
    const int up = levelX(q + 0.78f);
    AxisLine(up, T + 45, up, T + 65);
    AxisLine(up, T + 45, levelX(q + 0.88f), T + 50);
  }
  PutText(c, R - 56, T + 35, "时间t(h)");
  m_pszXTitle = "H0(10kN)";
  PutText(c, R - 56, T + 85, m_pszXTitle);
  PutText(c, R / 2 - 50, B - 18, "下表 H0-t-Y0曲线");

  // Hour numbers: each level lasts half an hour. Without levels only the hour 0 is shown.
  DrawNumberUnder(c, L + 40, T + 10, "0");
  for (int h = 1; n >= 1 && h <= n / 2; ++h)
    DrawNumberUnder(c, L + 40 + (2 * h * Wc) / n, T + 10, std::to_string(h));

  for (int k = 0; k < n; ++k) {
    PutText(c, levelX(static_cast<float>(k) + 0.25f) - 4 * 1 + 10, T + 32, "0", kFontB);
    const std::string load = fixed((k + 1) * m_fLevelStep * 0.1f, 1);
    PutText(c, levelX(static_cast<float>(k) + 0.38f) - 4 * static_cast<int>(load.size()) + 5, T + 65, load, kFontB);
  }
}

void C2DGraph::DrawCycleIncrement(const Rect& c) {
  const int L = c.left, T = c.top, R = c.right, B = c.bottom;
  const int n = m_nLevelCount;
  const int Wd = R - L - 80;
  AxisLine(L + 40, T + 15, L + 40, B - 20);
  AxisLine(L + 40, B - 20, R - 20, B - 20);
  for (int k = 50; k >= 1; --k) {
    const int y = B - k * (B - T - 45) / 50 - 20;
    AxisLine(L + 40, y, k % 10 == 0 ? L + 48 : L + 45, y);
  }
  m_pszYTitle = "△Y0/△H0(mm/kN)";
  PutText(c, L + 2, T + 1, m_pszYTitle);
  m_pszXTitle = "H0(10kN)";
  PutText(c, R - 65, B - 45, m_pszXTitle);
  PutText(c, R / 2 - 50, T + 2, "下表 H0--△Y0/△H0 曲线");
  if (n < 1) return;  // no level step: the scale and the load numbers have nothing to stand on

  for (int l = 0; l <= 5; ++l)
    DrawNumberBeside(c, B - l * (B - T - 45) / 5 - 27, fixed(l * m_dSettleMax / (m_fLevelStep * 5), 2), true);
  for (int m = 0; m <= n / 2; ++m) {
    const int x = L + 40 + (2 * m * Wd) / n;
    AxisLine(x, B - 20, x, B - 28);
    PutText(c, x - 5, B - 18, fixed(m * m_fLevelStep * 0.2, 1));
  }
  for (int m = 0; m <= 5 * n; ++m) {
    const int x = L + 40 + ((m * Wd) / n) / 5;
    AxisLine(x, B - 20, x, B - 25);
  }
}
