// The charts as drawn: pixels of the axes, ticks, grid, numbers, titles and curves of a plotting
// window of 800 x 400 on the headless display.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "chart_fixture.h"

namespace {

using namespace chart_fixture;
using Point = platform::ui::Point;
using Rect = platform::ui::Rect;

constexpr int kW = 800, kH = 400;  // client (L, T, R, B) = (0, 0, 800, 400); plot width W = 730
constexpr ui::Color kBlack = 0x000000;
constexpr ui::Color kWhite = 0xFFFFFF;

int distance(ui::Color a, ui::Color b) {
  return std::abs(ui::GetRValue(a) - ui::GetRValue(b)) + std::abs(ui::GetGValue(a) - ui::GetGValue(b)) +
         std::abs(ui::GetBValue(a) - ui::GetBValue(b));
}

// Pixels of a rectangle that clearly differ from white.
int ink(const ui::Bitmap& b, const Rect& r) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += distance(b.pixel(x, y), kWhite) > 96;
  return n;
}

// A pixel of the curve colour (or a shade of it from antialiasing) within one pixel of p.
bool curveNear(const ui::Bitmap& b, Point p) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const ui::Color c = b.pixel(p.x + dx, p.y + dy);
      if (ui::GetBValue(c) > ui::GetRValue(c) + 60) return true;
    }
  return false;
}

// A marker: a ring of the curve colour of radius 3 (the lines into and out of a point cross at most two
// of its four sides).
bool markerAt(const ui::Bitmap& b, Point p) {
  int ring = 0;
  for (Point d : {Point{-3, 0}, Point{2, 0}, Point{0, -3}, Point{0, 2}}) ring += curveNear(b, {p.x + d.x, p.y + d.y});
  return ring == 4;
}

int textWidth(const std::string& text, int height = 18) {
  ui::MemoryDC dc(1, 1);
  dc.selectFont(ui::Font::create(height, 300, "宋体"));
  return dc.getTextExtent(text).cx;
}

// Share of the ink pixels (of the picture or of the text drawn alone) at which the picture differs from
// the text drawn alone at (x, y) in the chart's font and text colour: near 0 where that text stands.
double textMismatch(const ui::Bitmap& shot, int x, int y, const std::string& text, int height = 18) {
  ui::MemoryDC dc(shot.width(), shot.height());
  dc.fillSolidRect({0, 0, shot.width(), shot.height()}, kWhite);
  dc.selectFont(ui::Font::create(height, 300, "宋体"));
  dc.setTextColor(ui::RGB(0, 0, 100));
  dc.setBkColor(kWhite);
  dc.extTextOut(x, y, ui::ETO_CLIPPED, nullptr, text);
  const ui::Bitmap want = dc.bitmap();
  const int w = textWidth(text, height);
  int inked = 0, differ = 0;
  for (int yy = y; yy < y + height; ++yy)
    for (int xx = x; xx < x + w; ++xx) {
      // Lines of the axes and the grid (pure black) are drawn over texts; they do not count.
      if (shot.pixel(xx, yy) == kBlack) continue;
      const bool a = distance(shot.pixel(xx, yy), kWhite) > 96, e = distance(want.pixel(xx, yy), kWhite) > 96;
      inked += a || e;
      differ += a != e;
    }
  return inked == 0 ? 1.0 : static_cast<double>(differ) / inked;
}

// A number of the vertical axis ends clear of the axis, in a smaller font when it is too wide.
int besideHeight(const std::string& text) {
  int height = 18;
  while (textWidth(text, height) > 37 && height > 10) --height;
  return height;
}
int besideX(const std::string& text) {
  const int part = text.size() == 4 ? 8 : text.size() == 5 ? 4 : 0;
  return std::max(0, std::min(part, 37 - textWidth(text, besideHeight(text))));
}
// A text at x, moved left as far as it takes to end inside the window.
int fitX(int x, const std::string& text) { return std::min(x, kW - textWidth(text)); }
// A number under a tick.
int underX(int tickX, const std::string& text) {
  const int n = static_cast<int>(text.size());
  return n == 1 ? tickX - 3 : tickX + 2 - 4 * n;
}

class GraphPaint : public ChartTest {
 protected:
  C2DGraph& chart(int testType, int standard, int kind) {
    C2DGraph& g = makeGraph(kW, kH);
    g.m_nTestType = testType;
    g.m_nStandard = standard;
    g.m_nCurveKind = kind;
    return g;
  }
};

TEST_F(GraphPaint, LoadSettlementAxesTicksGridNumbersAndTitles) {
  C2DGraph& g = chart(1, 5, 1);
  g.m_nLoadMax = 1000;
  g.m_dSettleMaxRaw = 1000;  // 10 mm: a 12 mm axis
  const ui::Bitmap b = paint();
  EXPECT_DOUBLE_EQ(g.m_dSettleMax, 12.0);
  // Vertical axis down the left with its arrow head; the load axis along the top with its arrow head.
  for (int y = 30; y < 390; ++y) ASSERT_EQ(b.pixel(40, y), kBlack) << y;
  for (int x = 40; x < 790; ++x) ASSERT_EQ(b.pixel(x, 30), kBlack) << x;
  EXPECT_EQ(b.pixel(41, 385), kBlack);
  EXPECT_EQ(b.pixel(39, 385), kBlack);
  EXPECT_EQ(b.pixel(785, 29), kBlack);
  EXPECT_EQ(b.pixel(785, 31), kBlack);
  // Settlement ticks every 340/50 px: short to L+45, every tenth to L+48.
  const int y1 = 340 * 1 / 50 + 30, y10 = 340 * 10 / 50 + 30;
  EXPECT_EQ(b.pixel(44, y1), kBlack);
  EXPECT_EQ(b.pixel(46, y1), kWhite);
  // The long tick fills a gap of the grid line that runs along it.
  EXPECT_EQ(b.pixel(46, y10), kBlack);
  EXPECT_EQ(b.pixel(47, y10), kBlack);
  // Load ticks every 730/50 px, short to T+35, every tenth to T+38.
  const int x1 = 730 / 50 + 40, x10 = 730 * 10 / 50 + 40;
  EXPECT_EQ(b.pixel(x1, 34), kBlack);
  EXPECT_EQ(b.pixel(x1, 36), kWhite);
  EXPECT_EQ(b.pixel(x10, 37), kBlack);
  // The dashed grid: broken lines at the fifths of both axes.
  int on = 0, off = 0;
  for (int x = 60; x < 760; ++x) (b.pixel(x, y10) == kBlack ? on : off)++;
  EXPECT_GT(on, 300);
  EXPECT_GT(off, 100);
  on = off = 0;
  for (int y = 50; y < 360; ++y) (b.pixel(x10, y) == kBlack ? on : off)++;
  EXPECT_GT(on, 120);
  EXPECT_GT(off, 50);
  // Numbers and titles where they belong.
  for (int j = 0; j <= 5; ++j) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", j * 12.0 * 0.2);
    EXPECT_LT(textMismatch(b, besideX(text), 340 * j / 5 + 23, text), 0.1) << text;
  }
  for (int l = 0; l <= 5; ++l) {
    const std::string text = std::to_string(l * 200);
    EXPECT_LT(textMismatch(b, underX(730 * l / 5 + 40, text), 10, text), 0.1) << text;
  }
  EXPECT_LT(textMismatch(b, 48, 382, "s(mm)"), 0.1);
  EXPECT_LT(textMismatch(b, 754, 38, "Q(kN)"), 0.1);
  EXPECT_LT(textMismatch(b, 400, 382, "Q-s 曲线"), 0.1);
  EXPECT_GT(textMismatch(b, 400, 382, "p-s 曲线"), 0.2) << "the comparison tells texts apart";
  EXPECT_STREQ(g.m_pszXTitle, "Q(kN)");
  EXPECT_STREQ(g.m_pszYTitle, "s(mm)");
  // Every text inside the window: nothing drawn on the last column or row but the background.
  EXPECT_EQ(ink(b, {kW - 1, 0, kW, kH}), 0);
}

TEST_F(GraphPaint, UpwardLayoutOfAnUpliftTest) {
  C2DGraph& g = chart(5, 13, 4);
  g.m_nLoadMax = 500;
  g.m_dSettleMaxRaw = 1000;
  const ui::Bitmap b = paint();
  for (int y = 10; y < 385; ++y) ASSERT_EQ(b.pixel(40, y), kBlack) << y;
  for (int x = 40; x < 790; ++x) ASSERT_EQ(b.pixel(x, 385), kBlack) << x;
  EXPECT_EQ(b.pixel(41, 15), kBlack);  // arrow head at the top
  // Tick 0 of the load axis stands too; tick 10 is long.
  EXPECT_EQ(b.pixel(40 + 730 * 10 / 50, 378), kBlack);
  EXPECT_LT(textMismatch(b, 56, 10, "δ(mm)"), 0.1);  // clear of the top long tick
  EXPECT_LT(textMismatch(b, 400, 10, "U-δ 曲线"), 0.1);
  for (int l = 0; l <= 5; ++l) {
    const std::string text = std::to_string(l * 100);  // a load axis of 500 numbered 0 to 500
    EXPECT_LT(textMismatch(b, underX(730 * l / 5 + 40, text), 385, text), 0.1) << text;
  }
  // The top number sits on its tick 5 px above the mapped full scale, as drawn on the instrument.
  EXPECT_LT(textMismatch(b, besideX("12.00"), 400 - 360 - 22, "12.00"), 0.1);
  Point top;
  ASSERT_TRUE(g.MapPoint(top, {0, 1200}));
  EXPECT_EQ(top.y, 30);
}

struct AxisCase {
  const char* name;
  int testType, standard, kind, loadMax, timeMax;
  double raw;
  std::vector<std::pair<Point, std::string>> texts;  // text at its top-left corner
};

TEST_F(GraphPaint, AxesAndTitlesOfTheChartVariants) {
  auto n = [](double v) {
    char t[16];
    std::snprintf(t, sizeof t, "%.2f", v);
    return std::string(t);
  };
  const int d3 = 730 / 3;  // width of a decade of three
  const std::vector<AxisCase> cases = {
      {"rock standard: 5000 raw is a 6 mm axis", 1, 3, 1, 1000, 1000, 5000,
       {{{besideX("6.00"), 340 + 23}, "6.00"},
        {{besideX("1.20"), 68 + 23}, "1.20"},
        {{besideX("3.60"), 204 + 23}, "3.60"}}},
      {"other standards: 5000 raw is a 54 mm axis", 1, 5, 1, 1000, 1000, 5000,
       {{{besideX("54.00"), 340 + 23}, "54.00"}, {{besideX(n(10.8)), 68 + 23}, n(10.8)}}},
      {"plate", 0, 2, 1, 400, 1000, 100, {{{fitX(754, "p(kPa)"), 38}, "p(kPa)"}, {{400, 382}, "p-s 曲线"}}},
      {"plate log", 0, 2, 2, 400, 1000, 100, {{{fitX(748, "lgp(kPa)"), 38}, "lgp(kPa)"}, {{400, 382}, "s-lgp 曲线"}}},
      {"lateral 93", 4, 93, 1, 400, 1000, 100,
       {{{48, 382}, "Y0(mm)"}, {{400, 382}, "H-Y0曲线"}, {{754, 38}, "H(kN)"}}},
      {"lateral 93 log", 4, 93, 2, 400, 1000, 100, {{{400, 382}, "Y0-lgH曲线"}}},
      {"lateral 93 time", 4, 93, 3, 400, 1000, 100, {{{400, 382}, "Y0-lgt曲线"}}},
      {"three load decades at 1000", 1, 5, 2, 1000, 1000, 100,
       {{{37, 10}, "1"}, {{underX(40 + d3, "10"), 10}, "10"}, {{underX(40 + 2 * d3, "100"), 10}, "100"},
        {{underX(770, "1000"), 10}, "1000"}, {{400, 382}, "s-lgQ 曲线"}}},
      {"four load decades at 1001", 1, 5, 2, 1001, 1000, 100,
       {{{underX(40 + 730 * 3 / 4, "1000"), 10}, "1000"}, {{underX(770, "10000"), 10}, "10000"}}},
      {"three time decades at 1000", 1, 5, 3, 1000, 1000, 100,
       {{{underX(770, "1000"), 10}, "1000"}, {{fitX(750, "lgt(min)"), 38}, "lgt(min)"}, {{400, 382}, "s-lgt 曲线"}}},
      {"four time decades at 1001", 1, 5, 3, 1000, 1001, 100, {{{underX(770, "10000"), 10}, "10000"}}},
      {"uplift log load", 5, 13, 5, 1000, 1000, 100, {{{400, 10}, "δ-lgU 曲线"}}},
      {"uplift log time", 5, 13, 6, 1000, 1000, 100, {{{400, 10}, "δ-lgt 曲线"}}},
  };
  for (const AxisCase& c : cases) {
    C2DGraph& g = chart(c.testType, c.standard, c.kind);
    g.m_nLoadMax = c.loadMax;
    g.m_nTimeMax = c.timeMax;
    g.m_dSettleMaxRaw = c.raw;
    const ui::Bitmap b = paint();
    for (const auto& [at, text] : c.texts) EXPECT_LT(textMismatch(b, at.x, at.y, text), 0.1) << c.name << ": " << text;
    EXPECT_EQ(ink(b, {kW - 1, 0, kW, kH}), 0) << c.name;
  }
}

TEST_F(GraphPaint, LogAxisTicksSitWhereTheMappingPutsTheirValues) {
  C2DGraph& g = chart(1, 5, 2);
  g.m_nLoadMax = 1000;
  const ui::Bitmap b = paint();
  for (int decade = 1; decade <= 1000; decade *= 10) {
    for (int k = decade == 1 ? 2 : 1; k <= 9; ++k) {
      if (decade * k > 1000) break;
      Point at;
      ASSERT_TRUE(g.MapPoint(at, {decade * k, 0}));
      const bool decadeTick = k == 1 && decade > 1;
      EXPECT_EQ(b.pixel(at.x, 34), kBlack) << decade * k;                       // every tick to T+35
      EXPECT_EQ(b.pixel(at.x, 37), decadeTick ? kBlack : kWhite) << decade * k;  // decades to T+38
    }
  }
  // No grid on a logarithmic axis.
  EXPECT_EQ(ink(b, {60, 100, 760, 370}), 0);
}

TEST_F(GraphPaint, LoadCurveJoinsMappedPointsWithMarkersFromTheSecondPointOn) {
  C2DGraph& g = chart(1, 5, 1);
  g.m_nLoadMax = 1000;
  g.m_dSettleMaxRaw = 1000;
  g.AddPoint1(500, 600);
  g.AddPoint1(1000, 1200);
  g.AddPoint1(250, 1100);
  const ui::Bitmap b = paint();
  Point p0, p1, p2;
  ASSERT_TRUE(g.MapPoint(p0, {500, 600}));
  ASSERT_TRUE(g.MapPoint(p1, {1000, 1200}));
  ASSERT_TRUE(g.MapPoint(p2, {250, 1100}));
  EXPECT_EQ(p0, (Point{405, 200}));
  EXPECT_FALSE(markerAt(b, p0)) << "the first point has no marker";
  EXPECT_TRUE(markerAt(b, p1));
  EXPECT_TRUE(markerAt(b, p2));
  for (double t : {0.25, 0.5, 0.75}) {
    EXPECT_TRUE(curveNear(b, {p0.x + static_cast<int>((p1.x - p0.x) * t), p0.y + static_cast<int>((p1.y - p0.y) * t)}));
    EXPECT_TRUE(curveNear(b, {p1.x + static_cast<int>((p2.x - p1.x) * t), p1.y + static_cast<int>((p2.y - p1.y) * t)}));
  }
  EXPECT_EQ(b.pixel(p0.x + 20, p0.y - 20), kWhite);
  // The window shows the back buffer.
  for (Point p : {p0, p1, Point{40, 100}, Point{300, 10}}) EXPECT_EQ(b.pixel(p.x, p.y), g.m_bmpBack.pixel(p.x, p.y));
}

TEST_F(GraphPaint, LogLoadCurveStartsAtItsFirstPositiveLoadAndEndsAtTheMaximum) {
  C2DGraph& g = chart(1, 5, 2);
  g.m_nLoadMax = 1000;
  g.m_dSettleMaxRaw = 1000;
  for (Point p : {Point{0, 0}, Point{100, 200}, Point{400, 500}, Point{1000, 900}, Point{500, 1100}})
    g.AddPoint1(p.x, p.y);
  const ui::Bitmap b = paint();
  Point a, c, d, e;
  ASSERT_TRUE(g.MapPoint(a, {100, 200}));
  ASSERT_TRUE(g.MapPoint(c, {400, 500}));
  ASSERT_TRUE(g.MapPoint(d, {1000, 900}));
  ASSERT_TRUE(g.MapPoint(e, {500, 1100}));
  EXPECT_TRUE(markerAt(b, a));
  EXPECT_TRUE(markerAt(b, c));
  EXPECT_TRUE(markerAt(b, d)) << "the point at the load maximum is drawn";
  EXPECT_FALSE(markerAt(b, e)) << "the unloading is not drawn";
  EXPECT_TRUE(curveNear(b, {(a.x + c.x) / 2, (a.y + c.y) / 2}));
  EXPECT_FALSE(curveNear(b, {(d.x + e.x) / 2, (d.y + e.y) / 2}));
  // Nothing from the axis origin toward the first positive point.
  EXPECT_FALSE(curveNear(b, {(40 + a.x) / 2, (30 + a.y) / 2}));
}

// Levels 100, 200 and 300 kN with three readings each, then an unloading level of 200 kN.
void timeChains(C2DGraph& g) {
  g.m_nLoadMax = 300;
  g.m_nTimeMax = 60;
  g.m_dSettleMaxRaw = 1000;
  const int loads[] = {100, 100, 100, 200, 200, 200, 300, 300, 300, 200, 200};
  const int times[] = {5, 15, 30, 5, 15, 30, 5, 15, 60, 5, 10};
  const int settle[] = {50, 80, 100, 250, 300, 330, 600, 700, 760, 500, 480};
  g.SetStepLoadCount(11);
  for (int i = 0; i < 11; ++i) {
    g.AddPoint2(times[i], settle[i]);
    g.SetStepLoad(i, loads[i]);
  }
}

TEST_F(GraphPaint, TimeCurvesOneLabelledChainPerLevelUpToTheUnloading) {
  for (int testType : {1, 0}) {
    C2DGraph& g = chart(testType, testType == 0 ? 2 : 5, 3);
    timeChains(g);
    const ui::Bitmap b = paint();
    const char* unit = testType == 0 ? "(kPa)" : "(kN)";
    std::vector<Point> at(11);
    for (int i = 0; i < 11; ++i) ASSERT_TRUE(g.MapPoint(at[i], g.m_ptList2[static_cast<std::size_t>(i)]));
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(markerAt(b, at[static_cast<std::size_t>(i)])) << i;
    for (int i : {9, 10}) EXPECT_FALSE(markerAt(b, at[static_cast<std::size_t>(i)])) << "unloading " << i;
    // Lines within a level, none from one level to the next.
    EXPECT_TRUE(curveNear(b, {(at[0].x + at[1].x) / 2, (at[0].y + at[1].y) / 2}));
    EXPECT_FALSE(curveNear(b, {(at[2].x + at[3].x) / 2, (at[2].y + at[3].y) / 2}));
    EXPECT_FALSE(curveNear(b, {(at[8].x + at[9].x) / 2, (at[8].y + at[9].y) / 2}));
    // Labels beside each level's last reading, the middle of the text at its height.
    const std::string labels[] = {std::string("(1) 100") + unit, std::string("(2) 200") + unit,
                                  std::string("(3) 300") + unit};
    const int last[] = {2, 5, 8};
    for (int l = 0; l < 3; ++l) {
      const Point p = at[static_cast<std::size_t>(last[l])];
      EXPECT_LT(textMismatch(b, p.x + 8, p.y - 9, labels[l]), 0.1) << labels[l];
    }
    EXPECT_EQ(g.m_nLevel, 3);
  }
}

// The level labels of the time curves at a curve page's size: each beside its own chain's end, or joined
// to it by a short line from that end where the labels of chains that end close together had to make
// room for each other; in level order down the chart; never over one another; inside the window; and
// drawn there. A 25-level test to 75 mm, whose first chains end a few pixels apart, and a lateral test
// (standard 93) whose first levels hardly move.
TEST_F(GraphPaint, LevelLabelsStandByTheirChainsInLevelOrder) {
  auto manyLevels = [] {
    std::vector<float> loads;
    for (int l = 1; l <= 25; ++l) loads.push_back(200.0f * static_cast<float>(l));
    return staticTest(1, 5, loads, [](float load, bool) {
      const float q = load / 5000.0f;
      const float s = 6.0f * q + 69.0f * std::pow(q, 6.0f);
      return std::array<float, 4>{s, s, s, s};
    });
  };
  auto lateral = [] {
    std::vector<float> loads;
    for (int l = 1; l <= 10; ++l) loads.push_back(40.0f * static_cast<float>(l));
    return staticTest(4, 93, loads, [](float load, bool) {
      const float s = load <= 240.0f ? load / 4000.0f : 0.08f * (load - 200.0f);
      return std::array<float, 4>{s, s, s, s};
    });
  };
  const struct {
    const char* what;
    std::function<RecordedTest()> test;
    std::size_t levels;
    int step;
  } cases[] = {{"25 levels", manyLevels, 25, 200}, {"standard 93", lateral, 10, 40}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    C2DGraph& g = makeGraph(524, 460);
    RecordedTest t = c.test();
    build(t, g);
    g.m_nCurveKind = 3;
    const ui::Bitmap b = paint();
    ASSERT_EQ(g.m_labels.size(), c.levels);
    for (std::size_t k = 0; k < c.levels; ++k) {
      const C2DGraph::Label& l = g.m_labels[k];
      const int level = static_cast<int>(k) + 1;
      EXPECT_EQ(l.text, "(" + std::to_string(level) + ") " + std::to_string(c.step * level) + "(kN)");
      // Its own chain's end: the last reading of the level, where the next level's chain starts.
      EXPECT_TRUE(markerAt(b, l.anchor)) << l.text;
      if (k > 0) {
        EXPECT_GE(l.anchor.y, g.m_labels[k - 1].anchor.y) << l.text;
      }
      // Beside it, or joined to it by a line from it.
      if (!l.leader) {
        EXPECT_EQ(l.box.left, l.anchor.x + 8) << l.text;
        EXPECT_TRUE(l.anchor.y >= l.box.top && l.anchor.y < l.box.bottom) << l.text;
      } else {
        EXPECT_LE(l.box.left, l.anchor.x + 8 + 16) << l.text;
        const Point mid{(l.anchor.x + 3 + l.box.left - 2) / 2, (l.anchor.y + (l.box.top + l.box.bottom) / 2) / 2};
        int line = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) line += b.pixel(mid.x + dx, mid.y + dy) == g.m_crText;
        EXPECT_GT(line, 0) << l.text << " has its line";
      }
      // In order, apart, inside the window, and drawn.
      EXPECT_GE(l.box.top, 0);
      EXPECT_LE(l.box.bottom, 460);
      EXPECT_LE(l.box.right, 524);
      if (k > 0) {
        EXPECT_GE(l.box.top, g.m_labels[k - 1].box.bottom) << l.text << " after the one before";
      }
      for (std::size_t j = 0; j < k; ++j) EXPECT_TRUE(l.box.intersect(g.m_labels[j].box).empty()) << l.text;
      EXPECT_LT(textMismatch(b, l.box.left, l.box.top, l.text, l.box.height()), 0.1) << l.text;
    }
  }
}

// A repaint of a chart whose points, ranges and kind did not change copies its back buffer; any change
// draws it again, and the same points draw the same picture.
TEST_F(GraphPaint, UnchangedChartIsCopiedAndAChangedOneDrawnAgain) {
  C2DGraph& g = chart(1, 5, 3);
  timeChains(g);
  const ui::Bitmap first = paint();
  constexpr ui::Color kMark = ui::RGB(255, 0, 0);
  auto markBackBuffer = [&] {
    ASSERT_NE(g.m_memDC, nullptr);
    g.m_memDC->setPixel(3, 3, kMark);
  };
  auto same = [](const ui::Bitmap& a, const ui::Bitmap& b) {
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x)
        if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
  };
  markBackBuffer();
  EXPECT_EQ(paint().pixel(3, 3), kMark) << "copied, not drawn";
  // The same points again, as the curve builder gives them at every redraw request.
  const std::vector<Point> points = g.m_ptList2;
  g.ClearPointList(2);
  for (const Point& p : points) g.AddPoint2(p.x, p.y);
  EXPECT_EQ(paint().pixel(3, 3), kMark) << "the same points";
  // Each change draws the chart again; put back, the chart is the first picture again.
  const std::function<void(int)> changes[] = {
      [&](int k) { g.m_ptList2[1].y += k; },
      [&](int k) { g.m_nStepLoad[0] += 50 * k; },
      [&](int k) { g.m_nLoadMax += k; },
      [&](int k) { g.m_nTimeMax += 2000 * k; },
      [&](int k) { g.m_dSettleMaxRaw += 4000.0 * k; },
      [&](int k) { g.m_nCurveKind += k; },
      [&](int k) { g.m_nTestType -= k; },
      [&](int k) { g.m_nStandard = k > 0 ? 3 : 5; },
      [&](int) { g.m_crCurve ^= 0xFF0000u; },
  };
  for (std::size_t c = 0; c < std::size(changes); ++c) {
    markBackBuffer();
    changes[c](1);
    EXPECT_NE(paint().pixel(3, 3), kMark) << "change " << c;
    changes[c](-1);
    EXPECT_TRUE(same(paint(), first)) << "change " << c << " put back";
  }
  // A new point, and another size.
  markBackBuffer();
  g.AddPoint2(90, 800);
  EXPECT_NE(paint().pixel(3, 3), kMark);
  markBackBuffer();
  g.moveWindow(0, 0, kW - 100, kH, true);
  EXPECT_NE(paint().pixel(3, 3), kMark);
}

TEST_F(GraphPaint, TimeCurveTableReadOnlyWithinItsSize) {
  C2DGraph& g = chart(1, 5, 3);
  g.m_nLoadMax = 100;
  g.m_nTimeMax = 1000;
  g.m_dSettleMaxRaw = 1000;
  g.SetStepLoadCount(300);
  for (int i = 0; i < 320; ++i) {
    g.AddPoint2(1 + i, 300 + i);
    g.SetStepLoad(i, 100);  // no end mark inside the table
  }
  const ui::Bitmap b = paint();
  EXPECT_EQ(g.m_nPos, 300);
  Point last, past;
  ASSERT_TRUE(g.MapPoint(last, g.m_ptList2[299]));
  ASSERT_TRUE(g.MapPoint(past, g.m_ptList2[310]));
  EXPECT_TRUE(markerAt(b, last));
  EXPECT_FALSE(markerAt(b, past));
  EXPECT_LT(textMismatch(b, last.x + 8, last.y - 9, "(1) 100(kN)"), 0.1);
}

TEST_F(GraphPaint, TwoPanelChartsAroundTheMiddleLine) {
  C2DGraph& g = chart(2, 15, 1);
  g.m_nLoadMax = 1000;
  g.m_dSettleMaxRaw = 1000;  // 12 mm each way
  g.AddPoint3And1(0, 0, 0, 0);
  g.AddPoint3And1(500, 300, 500, 400);
  g.AddPoint3And1(1000, 600, 1000, 900);
  const ui::Bitmap b = paint();
  const int M = 200, H = 200;
  // (The curves start on the middle line at the axis.)
  for (int y = 10; y < 390; ++y) {
    if (std::abs(y - M) > 2) {
      ASSERT_EQ(b.pixel(40, y), kBlack) << y;
    }
  }
  for (int x = 60; x < 790; ++x) ASSERT_EQ(b.pixel(x, M), kBlack) << x;
  EXPECT_EQ(b.pixel(41, 15), kBlack);
  EXPECT_EQ(b.pixel(41, 385), kBlack);
  EXPECT_EQ(b.pixel(785, M - 1), kBlack);
  // Ticks both ways from the middle, every tenth long; load ticks under the middle line.
  EXPECT_EQ(b.pixel(47, M - 10 * (M - 15) / 50), kBlack);
  EXPECT_EQ(b.pixel(47, M + 10 * (H - 15) / 50), kBlack);
  EXPECT_EQ(b.pixel(44, M + (H - 15) / 50), kBlack);
  EXPECT_EQ(b.pixel(46, M + (H - 15) / 50), kWhite);
  EXPECT_EQ(b.pixel(40 + 730 * 10 / 50, M + 7), kBlack);
  EXPECT_EQ(b.pixel(40 + 730 / 50, M + 4), kBlack);
  EXPECT_LT(textMismatch(b, besideX("0.00"), M - 7, "0.00"), 0.1);
  EXPECT_LT(textMismatch(b, besideX("12.00"), M - 5 * (M - 15) / 5 - 7, "12.00"), 0.1);
  const int small = besideHeight("-12.00");
  EXPECT_LT(small, 18);
  EXPECT_LT(textMismatch(b, besideX("-12.00"), M + 5 * (H - 15) / 5 - 7 + (18 - small) / 2, "-12.00", small), 0.1);
  EXPECT_LT(textMismatch(b, underX(40 + 730 / 5, "200"), M + 7, "200"), 0.1);
  EXPECT_LT(textMismatch(b, 750, M - 20, "Q(kN)"), 0.1);
  EXPECT_LT(textMismatch(b, 400, 382, "Q-s曲线"), 0.1);
  EXPECT_LT(textMismatch(b, 56, 10, "s(mm)"), 0.1);  // clear of the top long tick
  // List 1 by the upper mapping (positive values below the middle line), list 3 by the lower one.
  Point u, l;
  ASSERT_TRUE(g.MapPointUpper(u, {1000, 900}));
  ASSERT_TRUE(g.MapPointLower(l, {1000, 600}));
  EXPECT_GT(u.y, M);
  EXPECT_LT(l.y, M);
  EXPECT_TRUE(markerAt(b, u));
  EXPECT_TRUE(markerAt(b, l));
}

TEST_F(GraphPaint, TwoPanelTimeChartsLabelBothPanels) {
  C2DGraph& g = chart(2, 15, 3);
  g.m_nLoadMax = 200;
  g.m_nTimeMax = 60;
  g.m_dSettleMaxRaw = 1000;
  const int loads[] = {100, 100, 200, 200};
  const int times[] = {5, 30, 5, 60};
  g.SetStepLoadCount(4);
  for (int i = 0; i < 4; ++i) {
    g.AddPoint4And2(times[i], 100 + 100 * i, times[i], 150 + 150 * i);
    g.SetStepLoad(i, loads[i]);
  }
  const ui::Bitmap b = paint();
  Point up, down;
  ASSERT_TRUE(g.MapPointUpper(up, g.m_ptList2[1]));
  ASSERT_TRUE(g.MapPointLower(down, g.m_ptList4[1]));
  EXPECT_TRUE(markerAt(b, up));
  EXPECT_TRUE(markerAt(b, down));
  EXPECT_LT(textMismatch(b, up.x + 8, up.y - 9, "(1) 100(kN)"), 0.1);
  EXPECT_LT(textMismatch(b, down.x + 8, down.y - 9, "(1) 100(kN)"), 0.1);
  EXPECT_LT(textMismatch(b, 49, 207, "1"), 0.1) << "the 1 of the time axis right of the vertical axis";
  EXPECT_LT(textMismatch(b, fitX(750, "lgt(min)"), 182, "lgt(min)"), 0.1);
}

// A cyclic lateral test of three 20 kN levels, five cycles each.
void cycles(C2DGraph& g, int pairs6 = 15) {
  g.m_nTestType = 4;
  g.m_nStandard = 62;
  g.m_nLoadMax = 60;
  g.m_fLevelStep = 20.0f;
  g.m_dSettleMaxRaw = 1000;
  for (int level = 1; level <= 3; ++level)
    for (int c = 1; c <= 5; ++c) {
      g.AddPoint5(20 * level, 100 * level + 10 * c);
      if (static_cast<int>(g.m_ptList6.size()) < pairs6) g.AddPoint6(c, 30 * level + 5 * c);
    }
}

TEST_F(GraphPaint, CyclicTimeChartDrawsLevelBlocksHoursAndTheSawTooth) {
  C2DGraph& g = makeGraph(kW, kH);
  cycles(g);
  g.m_nCurveKind = 1;
  const ui::Bitmap b = paint();
  EXPECT_EQ(g.m_nLevelCount, 3);
  const int Wc = 700;
  // (The saw-tooth starts on the zero line at the axis.)
  for (int y = 30; y < 380; ++y) {
    if (std::abs(y - 80) > 2) {
      ASSERT_EQ(b.pixel(40, y), kBlack) << y;
    }
  }
  for (int x = 40; x < 780; ++x) ASSERT_EQ(b.pixel(x, 30), kBlack) << x;
  for (int x = 60; x < 780; ++x) ASSERT_EQ(b.pixel(x, 80), kBlack) << x;
  for (int l = 1; l <= 3; ++l) EXPECT_EQ(b.pixel(Wc * l / 3 + 40, 55), kBlack) << "separator " << l;
  EXPECT_EQ(b.pixel(47, 290 * 5 / 50 + 80), kBlack) << "a long tick every fifth";
  EXPECT_EQ(b.pixel(44, 290 * 41 / 50 + 80), kBlack);
  EXPECT_EQ(b.pixel(46, 290 * 41 / 50 + 80), kWhite);
  EXPECT_LT(textMismatch(b, 37, 10, "0"), 0.1);
  EXPECT_LT(textMismatch(b, underX(40 + 2 * Wc / 3, "1"), 10, "1"), 0.1);
  EXPECT_LT(textMismatch(b, 48, 382, "Y0(mm)"), 0.1);
  EXPECT_LT(textMismatch(b, 350, 382, "下表 H0-t-Y0曲线"), 0.1);
  const int down = static_cast<int>(Wc * 0.22f / 3 + 40);
  EXPECT_EQ(b.pixel(down, 55), kBlack) << "the loading arrow of level 1";
  // The saw-tooth: the first loaded reading of level 1 at two thirds of its cycle.
  const int x1 = static_cast<int>(static_cast<float>((2 * Wc / 3) / 15) + 0.0f + 40.0f);
  const int y1 = 80 + static_cast<int>(290.0 * 110 / 12 * 0.01);
  EXPECT_TRUE(curveNear(b, {x1, y1}));
  EXPECT_TRUE(curveNear(b, {(40 + x1) / 2, (80 + y1) / 2}));
}

// One marker per level (its fifth cycle), where the displacement the level gained per kilonewton of its
// step reads on the chart's own axis.
TEST_F(GraphPaint, CyclicIncrementChartMarksEachLevelOnItsOwnAxis) {
  C2DGraph& g = makeGraph(kW, kH);
  cycles(g);
  g.m_nCurveKind = 2;
  const ui::Bitmap b = paint();
  const int Wd = 720, Hd = 355;
  // (The curve starts at the origin.)
  for (int y = 15; y < 375; ++y) ASSERT_EQ(b.pixel(40, y), kBlack) << y;
  for (int x = 50; x < 780; ++x) ASSERT_EQ(b.pixel(x, 380), kBlack) << x;
  EXPECT_LT(textMismatch(b, 2, 1, "△Y0/△H0(mm/kN)"), 0.1);
  EXPECT_LT(textMismatch(b, 350, 2, "下表 H0--△Y0/△H0 曲线"), 0.1);
  // The axis as drawn: 0.00 at the horizontal axis, 0.60 mm/kN (a 12 mm chart, 20 kN steps) at Hd above.
  for (int l = 0; l <= 5; ++l) {
    char number[16];
    std::snprintf(number, sizeof number, "%.2f", 0.12 * l);
    const int x = std::max(0, std::min(6, 37 - textWidth(number)));
    EXPECT_LT(textMismatch(b, x, 400 - l * Hd / 5 - 27, number), 0.1) << number;
  }
  const double top = 0.60;
  // Each level's fifth loaded reading against the level before, from the readings themselves.
  double previousMm = 0.0;
  for (int level = 1; level <= 3; ++level) {
    const double mm = (100 * level + 50) * 0.01;
    const double perKn = (mm - previousMm) / 20.0;
    const int x = static_cast<int>(static_cast<float>(Wd * 20 * level) / (3.0f * 20.0f) + 40.0f);
    const int y = static_cast<int>(380.0 - perKn / top * Hd);
    EXPECT_TRUE(markerAt(b, {x, y})) << level << " at " << perKn << " mm/kN";
    // Not where the fourth cycle would put it.
    const double fourth = ((100 * level + 40) * 0.01 - previousMm) / 20.0;
    EXPECT_FALSE(markerAt(b, {x, static_cast<int>(380.0 - fourth / top * Hd)})) << level;
    previousMm = mm;
  }
}

TEST_F(GraphPaint, CyclicChartsWithoutLevelsOrWithShortListsStaySound) {
  {
    // A level step of 0 (and a load below half a step): axes, titles and the hour 0 only.
    for (float step : {0.0f, -5.0f, 200.0f}) {
      C2DGraph& g = makeGraph(kW, kH);
      cycles(g);
      g.m_fLevelStep = step;
      g.m_nCurveKind = 1;
      const ui::Bitmap b = paint();
      EXPECT_EQ(g.m_nLevelCount, 0) << step;
      EXPECT_LT(textMismatch(b, 37, 10, "0"), 0.1) << step;
      EXPECT_EQ(ink(b, {60, 0, 800, 28}), 0) << "no other hour " << step;
      EXPECT_EQ(ink(b, {41, 31, 740, 80}), 0) << "no level blocks " << step;
      EXPECT_EQ(ink(b, {50, 81, 720, 370}), 0) << "no curve " << step;
      EXPECT_LT(textMismatch(b, 48, 382, "Y0(mm)"), 0.1) << step;
      g.m_nCurveKind = 2;
      const ui::Bitmap inc = paint();
      EXPECT_EQ(ink(inc, {50, 25, 720, 370}), 0) << "no ticks, numbers or curve " << step;
      EXPECT_EQ(ink(inc, {0, 25, 37, 370}), 0) << "no numbers that divide by the step " << step;
    }
  }
  {
    // List 6 shorter than list 5: the curves stop at the shorter list.
    C2DGraph& g = makeGraph(kW, kH);
    cycles(g, 7);
    g.m_nCurveKind = 2;
    const ui::Bitmap b = paint();
    const int x2 = static_cast<int>(720.0f * 40.0f / 60.0f + 40.0f);
    // Level 1 gained 1.50 mm over 20 kN: 0.075 of the axis's 0.60 mm/kN.
    EXPECT_TRUE(markerAt(b, {static_cast<int>(720.0f * 20.0f / 60.0f + 40.0f), static_cast<int>(380.0 - 0.075 / 0.6 * 355)}));
    EXPECT_EQ(ink(b, {x2 - 5, 25, x2 + 5, 370}), 0);
  }
  {
    // Kind 3 of a cyclic test: the background only.
    C2DGraph& g = makeGraph(kW, kH);
    cycles(g);
    g.m_nCurveKind = 3;
    EXPECT_EQ(ink(paint(), {0, 0, kW, kH}), 0);
  }
}

TEST_F(GraphPaint, EmptyListsDrawAxesOnlyAndUnknownTypesNothing) {
  C2DGraph& g = chart(1, 5, 3);
  const ui::Bitmap b = paint();
  EXPECT_GT(ink(b, {0, 0, kW, 30}), 0);
  EXPECT_EQ(ink(b, {60, 40, 740, 370}), 0);
  g.m_nTestType = 3;  // no chart for this type
  EXPECT_EQ(ink(paint(), {0, 0, kW, kH}), 0);
}

TEST_F(GraphPaint, ChartOfARecordedTestFromTheCurveBuilder) {
  C2DGraph& g = makeGraph(kW, kH);
  RecordedTest t = compressionTest();
  build(t, g);
  ASSERT_GE(g.m_ptList1.size(), 11u);
  g.m_nCurveKind = 1;
  ui::Bitmap b = paint();
  EXPECT_EQ(g.m_nLoadMax, 2400);
  for (std::size_t i = 1; i < g.m_ptList1.size(); ++i) {
    Point at;
    ASSERT_TRUE(g.MapPoint(at, g.m_ptList1[i]));
    EXPECT_TRUE(curveNear(b, at)) << i;
  }
  g.m_nCurveKind = 2;
  b = paint();
  Point first;
  ASSERT_TRUE(g.MapPoint(first, g.m_ptList1[1]));
  EXPECT_TRUE(markerAt(b, first));
}

}  // namespace

namespace {

// Limits and points far outside any real test leave the window drawing its next chart as before.
TEST_F(GraphPaint, ExtremeLimitsAndPointsNeitherFaultNorSpoilTheNextChart) {
  C2DGraph& g = chart(1, 5, 1);
  const ui::Bitmap clean = paint();
  struct Limits { int loadMax, timeMax; double raw; float step; };
  const Limits limits[] = {{0, 0, 0, 0.0f}, {-5, -5, -1, -1.0f}, {2147483647, 2147483647, 1e300, 1e-30f},
                           {1, 1, std::nan(""), std::nanf("")}, {-2147483647, 0, HUGE_VAL, HUGE_VALF}};
  const Point points[] = {{0, 0}, {2147483647, 2147483647}, {-2147483647, -2147483647}, {1, -2147483647}, {5, 5}};
  for (const Limits& l : limits) {
    for (int type : {0, 1, 2, 4, 5}) {
      for (int kind = 0; kind <= 7; ++kind) {
        g.m_nTestType = type;
        g.m_nStandard = type == 4 ? 62 : 5;
        g.m_nCurveKind = kind;
        g.m_nLoadMax = l.loadMax;
        g.m_nTimeMax = l.timeMax;
        g.m_dSettleMaxRaw = l.raw;
        g.m_fLevelStep = l.step;
        for (int list = 1; list <= 6; ++list) g.ClearPointList(list);
        g.SetStepLoadCount(5);
        for (int i = 0; i < 5; ++i) {
          const Point p = points[i];
          g.AddPoint3And1(p.x, p.y, p.y, p.x);
          g.AddPoint4And2(p.y, p.x, p.x, p.y);
          g.AddPoint5(p.x, p.y);
          g.AddPoint6(i == 4 ? 5 : p.x, p.y);
          g.SetStepLoad(i, i < 2 ? l.loadMax : p.x);
        }
        paint();
      }
    }
  }
  // The same chart as at the start.
  g.m_nTestType = 1;
  g.m_nStandard = 5;
  g.m_nCurveKind = 1;
  g.m_nLoadMax = 1000;
  g.m_nTimeMax = 1000;
  g.m_dSettleMaxRaw = 1000;
  for (int list = 1; list <= 6; ++list) g.ClearPointList(list);
  g.SetStepLoadCount(0);
  const ui::Bitmap again = paint();
  int differ = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) differ += again.pixel(x, y) != clean.pixel(x, y);
  EXPECT_EQ(differ, 0);
}

}  // namespace
