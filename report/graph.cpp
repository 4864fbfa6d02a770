#include "report/graph.h"

#include <cmath>
#include <cstdint>

#include "report/graph_math.h"

using graph_math::pixel;
using graph_math::scaled;

C2DGraph::C2DGraph() {
  on(platform::ui::WM_PAINT, [this](platform::ui::Message&) {
    OnPaint();
    return platform::ui::LRESULT{0};
  });
}

C2DGraph::~C2DGraph() {
  if (m_memDC) m_memDC.reset();
}

void C2DGraph::AddPoint1(int x, int y) {
  m_ptList1.push_back({x, y});
  invalidate(true);
}

void C2DGraph::AddPoint2(int x, int y) {
  m_ptList2.push_back({x, y});
  invalidate(true);
}

void C2DGraph::AddPoint3And1(int x3, int y3, int x1, int y1) {
  m_ptList3.push_back({x3, y3});
  m_ptList1.push_back({x1, y1});
  invalidate(true);
}

void C2DGraph::AddPoint4And2(int x4, int y4, int x2, int y2) {
  m_ptList4.push_back({x4, y4});
  m_ptList2.push_back({x2, y2});
  invalidate(true);
}

void C2DGraph::AddPoint5(int x, int y) {
  m_ptList5.push_back({x, y});
  invalidate(true);
}

void C2DGraph::AddPoint6(int x, int y) {
  m_ptList6.push_back({x, y});
  invalidate(true);
}

void C2DGraph::ClearPointList(int list) {
  switch (list) {
    case 1: m_ptList1.clear(); break;
    case 2: m_ptList2.clear(); break;
    case 3: m_ptList3.clear(); break;
    case 4: m_ptList4.clear(); break;
    case 5: m_ptList5.clear(); break;
    case 6: m_ptList6.clear(); break;
    default: return;
  }
  invalidate(true);
}

void C2DGraph::SetStepLoadCount(int count) {
  m_nStepLoad.assign(static_cast<std::size_t>(count < 0 ? 0 : count), kNoReading);
}

void C2DGraph::SetStepLoad(int index, int load) {
  if (index < 0 || index >= static_cast<int>(m_nStepLoad.size())) return;
  m_nStepLoad[static_cast<std::size_t>(index)] = load;
}

int C2DGraph::LogLoadFullScale() const {
  if (m_nLoadMax >= 10000) return 100000;
  if (m_nLoadMax > 1000) return 10000;
  return 1000;  // up to 1000 kN: three decades
}

int C2DGraph::LogTimeFullScale() const { return m_nTimeMax <= 1000 ? 1000 : 10000; }

double C2DGraph::SettlementUnit() const {
  switch (m_nStandard) {
    case 3: case 58: case 88: case 90: case 102: case 119: return 0.001;
    default: return 0.01;
  }
}

bool C2DGraph::MapX(const Rect& c, int kind, int x, int& X) const {
  const int x0 = c.left + 40;
  const int w = c.right - c.left - 70;
  switch (kind) {
    case 1:
    case 4: {
      const int range = m_nLoadMax - m_nLoadMin;
      const std::int64_t wx = static_cast<std::int64_t>(w) * x;
      X = pixel(x0 + (range == 0 ? wx : wx / range));
      return true;
    }
    case 2:
    case 5:
    case 3:
    case 6: {
      const int full = (kind == 2 || kind == 5) ? LogLoadFullScale() : LogTimeFullScale();
      if (x <= 0) {
        X = x0;
        return false;
      }
      X = pixel(x0 + static_cast<double>(w) / std::log10(static_cast<double>(full)) *
                         std::log10(static_cast<double>(x)));
      return true;
    }
    default:
      return false;
  }
}

bool C2DGraph::MapPoint(const Rect& c, Point& out, const Point& p) const {
  const int kind = m_nCurveKind;
  if (kind < 1 || kind > 6) return false;
  const bool xOk = MapX(c, kind, p.x, out.x);
  const double range = m_dSettleMax - m_dSettleMin;
  const double unit = SettlementUnit();
  const int y0 = c.top + 30;
  if (kind <= 3) {
    const int y1 = c.bottom - 30;
    out.y = pixel(static_cast<std::int64_t>(y0) - scaled(y1 - y0, p.y, range, -unit));
  } else {
    const int base = c.bottom - 15;
    out.y = pixel(static_cast<std::int64_t>(base) - scaled(base - y0, p.y, range, unit));
  }
  return xOk;
}

bool C2DGraph::MapPointUpper(const Rect& c, Point& out, const Point& p) const {
  const int kind = m_nCurveKind;
  const int h = (c.bottom - c.top) / 2;
  const int middle = c.bottom - h;
  out.y = pixel(static_cast<std::int64_t>(middle) - scaled(h - 15, p.y, m_dSettleMax - m_dSettleMin, -0.01));
  // The panels map loads and times of kinds 1 to 3 only; X stays unset for any other kind.
  if (kind < 1 || kind > 3) return false;
  return MapX(c, kind, p.x, out.x);
}

bool C2DGraph::MapPointLower(const Rect& c, Point& out, const Point& p) const {
  const int kind = m_nCurveKind;
  const int h = (c.bottom - c.top) / 2;
  const int middle = c.bottom - h;
  out.y = pixel(static_cast<std::int64_t>(middle) -
                scaled((c.bottom - c.top) - h - 15, p.y, m_dSettleMax - m_dSettleMin, 0.01));
  // The panels map loads and times of kinds 1 to 3 only; X stays unset for any other kind.
  if (kind < 1 || kind > 3) return false;
  return MapX(c, kind, p.x, out.x);
}

double C2DGraph::AxisStepAbove(double v) {
  static constexpr double kLadder[] = {3,  6,   9,   12,  15,  18,  24,  30,  36,  42, 48,
                                       54, 60,  90,  120, 150, 180, 240, 300, 360, 420};
  if (!(v >= kLadder[0])) return kLadder[0];  // below the first step (and NaN)
  for (double step : kLadder) {
    if (v < step) return step;
  }
  return 420.0;
}

void C2DGraph::RoundAxisMax() { m_dSettleMax = AxisStepAbove(m_dSettleMax); }
