#include <gtest/gtest.h>

#include <vector>

#include "report/graph.h"

namespace {

using Point = platform::ui::Point;
using Rect = platform::ui::Rect;

// A client area 870 x 660: plot width W = 800 from x0 = 40.
const Rect kClient{0, 0, 870, 660};

TEST(C2DGraphData, StartsWithItsInitialRanges) {
  C2DGraph g;
  EXPECT_EQ(g.m_nLoadMax, 1000);
  EXPECT_EQ(g.m_nTimeMax, 1000);
  EXPECT_DOUBLE_EQ(g.m_dSettleMax, 10.0);
  EXPECT_DOUBLE_EQ(g.m_dSettleMaxRaw, 1000.0);
  EXPECT_EQ(g.m_nCurveKind, 1);
  EXPECT_EQ(g.m_nTestType, 1);
  for (int v : g.m_nStepLoad) ASSERT_EQ(v, 99999);
  EXPECT_EQ(g.m_crCurve, platform::ui::RGB(0, 40, 200));
  EXPECT_STREQ(g.m_pszXTitle, "Q(kN)");
}

TEST(C2DGraphData, AddPointOperationsAppendToTheirLists) {
  C2DGraph g;
  g.AddPoint1(1, 2);
  g.AddPoint2(3, 4);
  g.AddPoint3And1(5, 6, 7, 8);
  g.AddPoint4And2(9, 10, 11, 12);
  g.AddPoint5(13, 14);
  g.AddPoint6(15, 16);
  EXPECT_EQ(g.m_ptList1, (std::vector<Point>{{1, 2}, {7, 8}}));
  EXPECT_EQ(g.m_ptList2, (std::vector<Point>{{3, 4}, {11, 12}}));
  EXPECT_EQ(g.m_ptList3, (std::vector<Point>{{5, 6}}));
  EXPECT_EQ(g.m_ptList4, (std::vector<Point>{{9, 10}}));
  EXPECT_EQ(g.m_ptList5, (std::vector<Point>{{13, 14}}));
  EXPECT_EQ(g.m_ptList6, (std::vector<Point>{{15, 16}}));
  g.ClearPointList(1);
  g.ClearPointList(7);  // no such list
  EXPECT_TRUE(g.m_ptList1.empty());
  EXPECT_EQ(g.m_ptList2.size(), 2u);
  // The per-reading table takes only the entries it was sized to, each sized entry without a reading.
  g.SetStepLoad(0, 4);
  EXPECT_TRUE(g.m_nStepLoad.empty());
  g.SetStepLoadCount(1200);
  g.SetStepLoad(1199, 5);
  g.SetStepLoad(1200, 6);
  g.SetStepLoad(-1, 7);
  ASSERT_EQ(g.m_nStepLoad.size(), 1200u);
  EXPECT_EQ(g.m_nStepLoad[1199], 5);
  EXPECT_EQ(g.m_nStepLoad[0], 99999);
  g.SetStepLoadCount(-3);
  EXPECT_TRUE(g.m_nStepLoad.empty());
}

// At every step the value moves to the next step; between two steps it goes to the upper one.
TEST(C2DGraphData, RoundAxisMaxFollowsTheLadder) {
  const double ladder[] = {3, 6, 9, 12, 15, 18, 24, 30, 36, 42, 48, 54, 60, 90, 120, 150, 180, 240, 300, 360, 420};
  C2DGraph g;
  double below = 0.0;
  for (std::size_t i = 0; i < std::size(ladder); ++i) {
    const double step = ladder[i];
    const double next = i + 1 < std::size(ladder) ? ladder[i + 1] : 420.0;
    g.m_dSettleMax = (below + step) / 2;  // between the previous step and this one
    g.RoundAxisMax();
    EXPECT_DOUBLE_EQ(g.m_dSettleMax, step) << "between " << below << " and " << step;
    g.m_dSettleMax = step;
    g.RoundAxisMax();
    EXPECT_DOUBLE_EQ(g.m_dSettleMax, next) << "at " << step;
    g.m_dSettleMax = step - 1e-9;
    g.RoundAxisMax();
    EXPECT_DOUBLE_EQ(g.m_dSettleMax, step) << "just below " << step;
    below = step;
  }
  for (double v : {0.0, -5.0, 2.999}) {
    g.m_dSettleMax = v;
    g.RoundAxisMax();
    EXPECT_DOUBLE_EQ(g.m_dSettleMax, 3.0) << v;
  }
  for (double v : {360.01, 419.0, 500.0, 1e9}) {
    g.m_dSettleMax = v;
    g.RoundAxisMax();
    EXPECT_DOUBLE_EQ(g.m_dSettleMax, 420.0) << v;
  }
}

// The axis maximum as the drawing forms it: raw settlement times the unit, then the ladder.
TEST(C2DGraphData, SettlementAxisFromTheRawMaximum) {
  struct Case { int standard; double raw; double axis; };
  const Case cases[] = {{58, 5000, 6}, {1, 5000, 54}, {1, 0, 3}, {1, 50000, 420}, {3, 120, 3}};
  for (const Case& c : cases) {
    C2DGraph g;
    g.m_nStandard = c.standard;
    g.m_dSettleMaxRaw = c.raw;
    g.m_dSettleMax = g.m_dSettleMaxRaw * g.SettlementUnit();
    g.RoundAxisMax();
    EXPECT_DOUBLE_EQ(g.m_dSettleMax, c.axis) << c.standard << " " << c.raw;
  }
}

struct MapCase {
  const char* name;
  int kind;
  int loadMax;
  int timeMax;
  int standard;
  Point in;
  Point out;
};

TEST(C2DGraphData, MapPointByKind) {
  const MapCase cases[] = {
      // Linear load: x0 + W * x / range; settlement down from y0 = 30 over 600 px for 10 mm.
      {"Q-s", 1, 1000, 1000, 1, {500, 250}, {440, 180}},
      {"Q-s truncates toward zero", 1, 1000, 1000, 1, {333, 333}, {306, 229}},
      {"Q-s thousandths", 1, 1000, 1000, 58, {1000, 2500}, {840, 180}},
      {"Q-s zero range multiplies", 1, 0, 1000, 1, {1, 0}, {840, 30}},
      {"negative settlement goes up", 1, 1000, 1000, 1, {0, -100}, {40, -30}},
      // Log load: three decades up to 1000 kN, four to 9999, five from 10000.
      {"s-lgQ 1000", 2, 1000, 1000, 1, {100, 0}, {573, 30}},
      {"s-lgQ 999", 2, 999, 1000, 1, {1000, 0}, {840, 30}},
      {"s-lgQ 1001", 2, 1001, 1000, 1, {100, 0}, {440, 30}},
      {"s-lgQ 9999", 2, 9999, 1000, 1, {100, 0}, {440, 30}},
      {"s-lgQ 10000", 2, 10000, 1000, 1, {100, 0}, {360, 30}},
      // Log time: three decades up to 1000 min, else four.
      {"s-lgt 1000", 3, 1000, 1000, 1, {10, 100}, {306, 90}},
      {"s-lgt 1001", 3, 1000, 1001, 1, {10, 100}, {240, 90}},
      // Upward kinds: from base = bottom - 15 over base - y0 = 615 px.
      {"uplift", 4, 1000, 1000, 1, {250, 200}, {240, 522}},
      {"uplift log time", 6, 1000, 1000, 1, {1000, 0}, {840, 645}},
  };
  for (const MapCase& c : cases) {
    C2DGraph g;
    g.m_nCurveKind = c.kind;
    g.m_nLoadMax = c.loadMax;
    g.m_nTimeMax = c.timeMax;
    g.m_nStandard = c.standard;
    Point out{-1, -1};
    EXPECT_TRUE(g.MapPoint(kClient, out, c.in)) << c.name;
    EXPECT_EQ(out, c.out) << c.name;
  }
}

TEST(C2DGraphData, LogAxesSkipPointsAtOrBelowZero) {
  for (int kind : {2, 3, 5, 6}) {
    C2DGraph g;
    g.m_nCurveKind = kind;
    Point out;
    EXPECT_FALSE(g.MapPoint(kClient, out, {0, 0})) << kind;
    EXPECT_FALSE(g.MapPoint(kClient, out, {-5, 0})) << kind;
    EXPECT_TRUE(g.MapPoint(kClient, out, {1, 0})) << kind;
    EXPECT_EQ(out.x, 40) << kind;  // log 1 = 0: the axis origin
  }
  C2DGraph g;
  g.m_nCurveKind = 7;
  Point out{-1, -1};
  EXPECT_FALSE(g.MapPoint(kClient, out, {1, 1}));
  EXPECT_EQ(out, (Point{-1, -1}));
}

TEST(C2DGraphData, TwoPanelMappingsAroundTheMiddleLine) {
  // H = 330, middle line M = 330, each panel 315 px for 10 mm.
  C2DGraph g;
  Point up, down;
  ASSERT_TRUE(g.MapPointUpper(kClient, up, {500, 200}));
  ASSERT_TRUE(g.MapPointLower(kClient, down, {500, 200}));
  EXPECT_EQ(up, (Point{440, 393}));    // positive values go down from the middle line
  EXPECT_EQ(down, (Point{440, 267}));  // and up in the lower panel
  // An odd height: the lower panel is the larger half.
  const Rect odd{0, 0, 870, 661};
  ASSERT_TRUE(g.MapPointLower(odd, down, {0, 1000}));
  EXPECT_EQ(down, (Point{40, 331 - 316}));
  // The panels map x for kinds 1..3 only: another kind leaves X unset but still places Y.
  g.m_nCurveKind = 4;
  Point out{-1, -1};
  EXPECT_FALSE(g.MapPointUpper(kClient, out, {1, 1000}));
  EXPECT_EQ(out, (Point{-1, 645}));
  out = {-1, -1};
  EXPECT_FALSE(g.MapPointLower(kClient, out, {1, 1000}));
  EXPECT_EQ(out, (Point{-1, 15}));
}

TEST(C2DGraphData, ZeroSettlementRangeKeepsPointsOnTheAxis) {
  C2DGraph g;
  g.m_dSettleMax = 0.0;
  Point out;
  ASSERT_TRUE(g.MapPoint(kClient, out, {0, 500}));
  EXPECT_EQ(out.y, 30);
  ASSERT_TRUE(g.MapPointUpper(kClient, out, {0, 500}));
  EXPECT_EQ(out.y, 330);
}

}  // namespace
