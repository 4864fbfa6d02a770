// The curve plotters of the plotting window: the data curves drawn over the axes in the back buffer.
#include <algorithm>
#include <string>

#include "report/graph.h"
#include "report/graph_math.h"

namespace ui = platform::ui;
using graph_math::scaled;
using graph_math::pixel;

namespace {

// Selects the curve pen for one plotter and puts the previous pen back afterwards.
class CurvePen {
 public:
  CurvePen(ui::DC& dc, ui::Color colour) : dc_(dc), old_(dc.selectPen(ui::Pen{ui::PS_SOLID, 0, colour})) {}
  ~CurvePen() { dc_.selectPen(old_); }
  CurvePen(const CurvePen&) = delete;
  CurvePen& operator=(const CurvePen&) = delete;

 private:
  ui::DC& dc_;
  ui::Pen old_;
};

// Selects the chart's text font for the level labels and puts the previous font back afterwards.
class LabelFont {
 public:
  explicit LabelFont(ui::DC& dc) : dc_(dc), old_(dc.selectFont(ui::Font::create(18, 300, "宋体"))) {}
  ~LabelFont() { dc_.selectFont(old_); }
  LabelFont(const LabelFont&) = delete;
  LabelFont& operator=(const LabelFont&) = delete;

 private:
  ui::DC& dc_;
  ui::Font old_;
};

}  // namespace

void C2DGraph::Marker(ui::DC& dc, const Point& at) { dc.ellipse(Rect{at.x - 3, at.y - 3, at.x + 3, at.y + 3}); }

// A load curve: a line from each point to the next, a marker on every point from the second on. With
// toLoadMax the walk ends after the first point at the load maximum (the loading branch). A point the
// mapping cannot place (x of 0 or below on a logarithmic axis) is left out, and the curve goes on from
// the next point without a line to it.
void C2DGraph::PlotLoadList(ui::DC& dc, const std::vector<Point>& list, Mapper map, bool toLoadMax) {
  m_bStop = 0;
  bool havePrev = false;
  for (std::size_t i = 0; i < list.size() && !m_bStop; ++i) {
    m_ptCur = list[i];
    if (toLoadMax && m_ptCur.x == m_nLoadMax) m_bStop = 1;
    if (!(this->*map)(getClientRect(), m_ptTo, m_ptCur)) {
      havePrev = false;
      continue;
    }
    if (!havePrev) {
      m_ptPrev = m_ptCur;
      m_ptFrom = m_ptTo;
      havePrev = true;
    }
    dc.moveTo(m_ptFrom.x, m_ptFrom.y);
    dc.lineTo(m_ptTo.x, m_ptTo.y);
    if (i >= 1) Marker(dc, m_ptTo);
    m_ptPrev = m_ptCur;
    m_ptFrom = m_ptTo;
  }
}

// The time curves: the readings of each load level as one chain of markers joined by lines, labelled
// with the level number and load at the level's last reading. Chains of successive levels are not
// joined, and the walk ends at the first reading of the unloading (a level below the maximum after the
// maximum was reached).
void C2DGraph::PlotTimeList(ui::DC& dc, const std::vector<Point>& list, Mapper map) {
  if (list.empty()) return;
  const Rect c = getClientRect();
  m_ptPrev = list.front();
  bool prevPlaced = (this->*map)(c, m_ptFrom, m_ptPrev);
  if (prevPlaced) Marker(dc, m_ptFrom);
  m_nPos = 0;
  m_nLevel = 0;
  m_bStop = 0;
  m_bUnload = 0;
  const char* unit = m_nTestType == 0 ? "(kPa)" : "(kN)";
  auto label = [&](const Point& at, int load, bool placed) {
    ++m_nLevel;
    if (m_bUnload || !placed) return;
    m_strText = "(" + std::to_string(m_nLevel) + ") " + std::to_string(load) + unit;
    // Beside the level's last reading, moved up or down as little as it takes to stay clear of the
    // texts already drawn, so that the labels of close levels do not cover each other.
    const Point spot = LabelSpot(dc, c, {at.x + 8, at.y}, m_strText);
    dc.extTextOut(spot.x, spot.y, ui::ETO_CLIPPED, nullptr, m_strText);
    const ui::Size size = dc.getTextExtent(m_strText);
    m_textBoxes.push_back({spot.x, spot.y, spot.x + size.cx, spot.y + size.cy});
  };
  while (m_nPos < static_cast<int>(list.size()) && StepLoadAt(m_nPos) != kNoReading && !m_bUnload) {
    m_ptCur = list[static_cast<std::size_t>(m_nPos)];
    prevPlaced = (this->*map)(c, m_ptFrom, m_ptPrev);
    const bool placed = (this->*map)(c, m_ptTo, m_ptCur);
    const int load = StepLoadAt(m_nPos);
    if (load == m_nLoadMax) m_bStop = 1;
    if (m_bStop && load < m_nLoadMax) m_bUnload = 1;
    if (m_nPos >= 1) {
      if (load == StepLoadAt(m_nPos - 1)) {
        if (placed) {
          if (prevPlaced) {
            dc.moveTo(m_ptFrom.x, m_ptFrom.y);
            dc.lineTo(m_ptTo.x, m_ptTo.y);
          }
          Marker(dc, m_ptTo);
        }
        const int next = StepLoadAt(m_nPos + 1);
        if (next != kNoReading && next != load) label(m_ptTo, load, placed);
      } else if (!m_bUnload && placed) {
        Marker(dc, m_ptTo);
      }
    }
    m_ptPrev = m_ptCur;
    ++m_nPos;
    if (StepLoadAt(m_nPos) == kNoReading) label(m_ptTo, load, placed);
  }
}

void C2DGraph::PlotLoadCurve() {
  if (!m_memDC) return;
  CurvePen pen(*m_memDC, m_crCurve);
  PlotLoadList(*m_memDC, m_ptList1, &C2DGraph::MapPoint, false);
}

void C2DGraph::PlotLogLoadCurve() {
  if (!m_memDC) return;
  CurvePen pen(*m_memDC, m_crCurve);
  PlotLoadList(*m_memDC, m_ptList1, &C2DGraph::MapPoint, true);
}

void C2DGraph::PlotTimeCurves() {
  if (!m_memDC) return;
  CurvePen pen(*m_memDC, m_crCurve);
  LabelFont font(*m_memDC);
  PlotTimeList(*m_memDC, m_ptList2, &C2DGraph::MapPoint);
}

void C2DGraph::PlotLoadCurve2() {
  if (!m_memDC) return;
  CurvePen pen(*m_memDC, m_crCurve);
  PlotLoadList(*m_memDC, m_ptList1, &C2DGraph::MapPointUpper, false);
  PlotLoadList(*m_memDC, m_ptList3, &C2DGraph::MapPointLower, false);
}

void C2DGraph::PlotLogLoadCurve2() {
  if (!m_memDC) return;
  CurvePen pen(*m_memDC, m_crCurve);
  PlotLoadList(*m_memDC, m_ptList1, &C2DGraph::MapPointUpper, true);
  PlotLoadList(*m_memDC, m_ptList3, &C2DGraph::MapPointLower, true);
}

void C2DGraph::PlotTimeCurves2() {
  if (!m_memDC) return;
  CurvePen pen(*m_memDC, m_crCurve);
  LabelFont font(*m_memDC);
  PlotTimeList(*m_memDC, m_ptList2, &C2DGraph::MapPointUpper);
  PlotTimeList(*m_memDC, m_ptList4, &C2DGraph::MapPointLower);
}

void C2DGraph::PlotCycleCurve() { PlotCyclePairs(false); }

void C2DGraph::PlotCycleIncrement() { PlotCyclePairs(true); }

// The two charts of the cyclic lateral test walk lists 5 and 6 side by side, up to the shorter one,
// and draw nothing without levels.
//
// The displacement chart (kind 1) is the saw-tooth of the test: each level takes a level's width, each
// of its five cycles a fifth of that, with the loaded reading at two thirds of its cycle and the
// unloaded one at its end; no markers.
//
// The increment chart (kind 2) has one point per load level (its fifth cycle): the displacement gained
// since the previous level per load increment, one millimetre per kilonewton over the full height.
void C2DGraph::PlotCyclePairs(bool increment) {
  if (!m_memDC || m_ptList5.empty()) return;
  const int n = CycleLevels();
  if (n < 1) return;
  ui::DC& dc = *m_memDC;
  CurvePen pen(dc, m_crCurve);
  const Rect c = getClientRect();
  const int L = c.left, T = c.top, B = c.bottom;
  const float step = m_fLevelStep;
  // Displacement chart.
  const int f = c.right - L - 100;
  const int Hc = B - T - 110;
  const int zero = T + 80;
  const double range = m_dSettleMax - m_dSettleMin;
  // Increment chart.
  const int Wd = c.right - L - 80;
  const int Hd = (B - 20) - (T + 25);
  float previous = 0.0f;

  if (increment) dc.moveTo(L + 40, B - 20);
  else dc.moveTo(L + 40, zero);
  const std::size_t count = std::min(m_ptList5.size(), m_ptList6.size());
  for (std::size_t i = 0; i < count; ++i) {
    m_ptCur = m_ptList5[i];
    m_ptAux = m_ptList6[i];
    if (increment) {
      if (m_ptAux.x != 5) continue;
      const float y5 = static_cast<float>(m_ptCur.y);
      m_ptTo = {pixel(static_cast<float>(Wd) * static_cast<float>(m_ptCur.x) / (static_cast<float>(n) * step) +
                           static_cast<float>(L + 40)),
                pixel(static_cast<float>(B - 20) - (y5 - previous) * static_cast<float>(Hd) / (step * 100.0f))};
      dc.lineTo(m_ptTo.x, m_ptTo.y);
      Marker(dc, m_ptTo);
      previous = y5;
      continue;
    }
    const float offset =
        (static_cast<float>(m_ptCur.x) / step - 1.0f) * static_cast<float>(f) / static_cast<float>(n);
    const long long cycle = m_ptAux.x;
    const long long loaded = (2LL * f / 3 + static_cast<long long>(f) * (cycle - 1)) / (5LL * n);
    const long long unloaded = (static_cast<long long>(f) * cycle) / (5LL * n);
    m_ptFrom = {pixel(static_cast<float>(loaded) + offset + static_cast<float>(L + 40)),
                pixel(static_cast<std::int64_t>(zero) - scaled(Hc, m_ptCur.y, range, -0.01))};
    m_ptTo = {pixel(static_cast<float>(unloaded) + offset + static_cast<float>(L + 40)),
              pixel(static_cast<std::int64_t>(zero) - scaled(Hc, m_ptAux.y, range, -0.01))};
    dc.lineTo(m_ptFrom.x, m_ptFrom.y);
    dc.lineTo(m_ptTo.x, m_ptTo.y);
  }
}
