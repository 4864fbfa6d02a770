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

// The level labels' font height, and the smallest it takes where many labels share a panel.
constexpr int kLabelFont = 18;
constexpr int kLabelFontSmallest = 10;
// How much further right a label stands when a leader line joins it to its chain's end.
constexpr int kLeaderRun = 16;

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
// maximum was reached). The labels are placed once the chains are drawn, within [top, bottom) of the
// window.
void C2DGraph::PlotTimeList(ui::DC& dc, const std::vector<Point>& list, Mapper map, int top, int bottom) {
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
  std::vector<Label> labels;
  auto label = [&](const Point& at, int load, bool placed) {
    ++m_nLevel;
    if (m_bUnload || !placed) return;
    m_strText = "(" + std::to_string(m_nLevel) + ") " + std::to_string(load) + unit;
    labels.push_back({m_strText, at, Rect{}, false});
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
  // The levels follow each other the way the settlement grows on this mapping.
  Point zero, grown;
  (this->*map)(c, zero, {1, 0});
  (this->*map)(c, grown, {1, 1000});
  DrawLabels(dc, labels, top, bottom, grown.y >= zero.y);
}

namespace {

// One label along the placement's own axis u, which runs the way the levels follow each other (down
// the chart, or up it): the label spans [at, at + size) of u and [left, right) across.
struct Slot {
  int left, right;
  int want;  // where its chain's end puts it
  int at;
  int size;
};

bool Across(const Slot& a, const Slot& b) { return a.left < b.right && b.left < a.right; }

// Places the labels (in level order, all of one size) in [lo, hi) of u: each as near where it wants to
// be as it can, in level order and never over another label or over an obstacle (the axes' texts),
// where labels that stand across from one another are concerned. A run of such labels whose chains
// end close together shares the room around those ends: the sum of the squares of their moves is the
// smallest that keeps them in order (the pooled means of an isotonic fit); a label with room of its own
// stays where it wants to be.
void Arrange(std::vector<Slot>& labels, int lo, int hi, const std::vector<Slot>& obstacles) {
  const std::size_t n = labels.size();
  for (std::size_t first = 0; first < n;) {
    std::size_t end = first + 1;
    while (end < n && Across(labels[end - 1], labels[end])) ++end;
    // Pool adjacent violators on want - k * size, k counted within the run.
    struct Block {
      double sum;
      std::size_t count;
    };
    std::vector<Block> blocks;
    for (std::size_t i = first; i < end; ++i) {
      const double size = labels[i].size;
      blocks.push_back({labels[i].want - static_cast<double>(i - first) * size, 1});
      while (blocks.size() > 1) {
        const Block& b = blocks.back();
        const Block& a = blocks[blocks.size() - 2];
        if (a.sum / static_cast<double>(a.count) <= b.sum / static_cast<double>(b.count)) break;
        const Block merged{a.sum + b.sum, a.count + b.count};
        blocks.pop_back();
        blocks.back() = merged;
      }
    }
    std::size_t i = first;
    for (const Block& b : blocks)
      for (std::size_t k = 0; k < b.count; ++k, ++i)
        labels[i].at = static_cast<int>(std::lround(b.sum / static_cast<double>(b.count) +
                                                    static_cast<double>(i - first) * labels[i].size));
    // Inside [lo, hi) where the run fits; the end of the range wins where it does not.
    for (std::size_t k = first; k < end; ++k)
      labels[k].at = std::max(labels[k].at, lo + static_cast<int>(k - first) * labels[k].size);
    for (std::size_t k = first; k < end; ++k)
      labels[k].at = std::min(labels[k].at, hi - static_cast<int>(end - k) * labels[k].size);
    first = end;
  }
  // Every label after the labels across from it that come before it, and clear of the obstacles: moved
  // back before one when that is the shorter way and keeps the order, else on past it.
  for (std::size_t j = 0; j < n; ++j) {
    Slot& s = labels[j];
    int after = lo;
    for (std::size_t i = 0; i < j; ++i)
      if (Across(labels[i], s)) after = std::max(after, labels[i].at + labels[i].size);
    s.at = std::max(s.at, after);
    for (std::size_t tries = 0; tries <= obstacles.size(); ++tries) {
      const Slot* hit = nullptr;
      for (const Slot& o : obstacles)
        if (Across(o, s) && o.at < s.at + s.size && s.at < o.at + o.size) hit = &o;
      if (!hit) break;
      const int back = hit->at - s.size, on = hit->at + hit->size;
      const bool backClear = back >= after && std::none_of(obstacles.begin(), obstacles.end(), [&](const Slot& o) {
        return Across(o, s) && o.at < back + s.size && back < o.at + o.size;
      });
      s.at = backClear && s.at - back < on - s.at ? back : on;
    }
  }
}

}  // namespace

void C2DGraph::DrawLabels(ui::DC& dc, std::vector<Label>& labels, int top, int bottom, bool downward) {
  if (labels.empty()) return;
  const Rect c = getClientRect();
  // The labels' font: the chart's, smaller where the labels of the panel would not fit in its height
  // in that size.
  const int count = static_cast<int>(labels.size());
  const int height = std::clamp((bottom - top) / count, kLabelFontSmallest, kLabelFont);
  const ui::Font old = dc.selectFont(ui::Font::create(height, 300, "宋体"));
  // Along u the levels follow each other: u = y down the chart, u = -(y + height) up it.
  auto toU = [&](int y, int size) { return downward ? y : -(y + size); };
  std::vector<Slot> slots;
  for (const Label& l : labels) {
    const int width = dc.getTextExtent(l.text).cx;
    const int x = std::max(c.left, std::min(l.anchor.x + 8, c.right - width));
    // Beside the chain's end: the text's middle at the end's height.
    slots.push_back({x, x + width, toU(l.anchor.y - height / 2, height), 0, height});
  }
  std::vector<Slot> obstacles;
  for (const Rect& r : m_textBoxes) obstacles.push_back({r.left, r.right, toU(r.top, r.height()), 0, r.height()});
  for (Slot& o : obstacles) o.at = o.want;
  const int lo = downward ? top : -bottom, hi = downward ? bottom : -top;
  Arrange(slots, lo, hi, obstacles);
  // Where each label went. A stack of labels that had to make room for one another, where any of them
  // no longer stands beside its chain's end, stands a little further right, each joined to its chain's
  // end by a line, so that the lines fan out and none passes behind a label of the stack.
  for (std::size_t k = 0; k < labels.size(); ++k) {
    const int y = downward ? slots[k].at : -(slots[k].at + height);
    labels[k].box = {slots[k].left, y, slots[k].right, y + height};
    labels[k].leader = labels[k].anchor.y < y || labels[k].anchor.y >= y + height;
  }
  for (std::size_t first = 0; first < labels.size();) {
    std::size_t end = first + 1;
    while (end < labels.size() && Across(slots[end - 1], slots[end]) && slots[end].at == slots[end - 1].at + height)
      ++end;
    const bool moved = std::any_of(labels.begin() + static_cast<std::ptrdiff_t>(first),
                                   labels.begin() + static_cast<std::ptrdiff_t>(end), [](const Label& l) { return l.leader; });
    std::vector<Rect> further;
    for (std::size_t k = first; moved && k < end; ++k) {
      const Rect& box = labels[k].box;
      const int x = std::max(c.left, std::min(box.left + kLeaderRun, c.right - box.width()));
      further.push_back({x, box.top, x + box.width(), box.bottom});
    }
    // Only where that leaves the stack clear of the other labels and of the axes' texts.
    auto clear = [&](const Rect& r) {
      for (std::size_t k = 0; k < labels.size(); ++k)
        if ((k < first || k >= end) && !r.intersect(labels[k].box).empty()) return false;
      return std::none_of(m_textBoxes.begin(), m_textBoxes.end(), [&](const Rect& t) { return !r.intersect(t).empty(); });
    };
    if (moved && std::all_of(further.begin(), further.end(), clear))
      for (std::size_t k = first; k < end; ++k) labels[k].box = further[k - first];
    for (std::size_t k = first; moved && k < end; ++k) labels[k].leader = true;
    first = end;
  }
  // Leader lines first, then the texts over them.
  const ui::Pen pen = dc.selectPen(ui::Pen{ui::PS_SOLID, 0, m_crText});
  for (const Label& l : labels) {
    if (!l.leader) continue;
    dc.moveTo(l.anchor.x + 3, l.anchor.y);
    dc.lineTo(l.box.left - 2, (l.box.top + l.box.bottom) / 2);
  }
  dc.selectPen(pen);
  for (Label& l : labels) {
    dc.extTextOut(l.box.left, l.box.top, ui::ETO_CLIPPED, nullptr, l.text);
    m_textBoxes.push_back(l.box);
    m_labels.push_back(l);
  }
  dc.selectFont(old);
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
  const Rect c = getClientRect();
  // Below the time axis along the top (kind 3), or above the one along the bottom (kind 6).
  if (m_nCurveKind <= 3) PlotTimeList(*m_memDC, m_ptList2, &C2DGraph::MapPoint, c.top + 31, c.bottom);
  else PlotTimeList(*m_memDC, m_ptList2, &C2DGraph::MapPoint, c.top, c.bottom - 16);
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
  // Each panel's labels in its own half, clear of the middle line.
  const Rect c = getClientRect();
  const int middle = c.bottom - (c.bottom - c.top) / 2;
  PlotTimeList(*m_memDC, m_ptList2, &C2DGraph::MapPointUpper, middle + 1, c.bottom);
  PlotTimeList(*m_memDC, m_ptList4, &C2DGraph::MapPointLower, c.top, middle);
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
// since the previous level per load increment, on the scale its axis is numbered in (m_dSettleMax per
// level step, in mm/kN, at the full height).
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
      // (gain / step) / (m_dSettleMax / step) of the height: the level step cancels.
      const double gain = static_cast<double>(y5 - previous) * SettlementUnit();
      m_ptTo = {pixel(static_cast<float>(Wd) * static_cast<float>(m_ptCur.x) / (static_cast<float>(n) * step) +
                           static_cast<float>(L + 40)),
                pixel(static_cast<double>(B - 20) - gain * static_cast<double>(Hd) / m_dSettleMax)};
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
