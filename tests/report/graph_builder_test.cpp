// The curve builder of the model filling the plotting window, and where its points land.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "model/computations.h"
#include "model/datafiles.h"
#include "report/graph.h"

namespace {

TestRecord rawRecord(bool step, float load, float gauge) {
  TestRecord r = JDQFile::BlankTestRecord();
  std::memcpy(r.marker, step ? "--:--" : "11:00", 5);
  std::memcpy(r.stepMark, r.marker, 5);
  std::memcpy(r.time, "1    ", 5);
  r.valuesA[0] = load;
  for (int g = 0; g < 4; ++g) r.valuesA[2 + g] = gauge;
  return r;
}

TEST(GraphFromReadings, RebuiltTestDrawnOnTheLoadAndTimeCurves) {
  Parameter p;
  p.testRunning = 1;
  p.standardCode = 1;
  p.testType = 1;
  p.stepLoad3 = 400.0f;
  for (int k = 0; k < 7; ++k) p.levelMinutes[k] = 15;
  for (int k = 0; k < 4; ++k) p.displacementOn[k] = 1;
  std::vector<TestRecord> list = {rawRecord(true, 200, 0.0f),  rawRecord(false, 0, 1.20f), rawRecord(false, 0, 1.50f),
                                  rawRecord(true, 400, 1.50f), rawRecord(false, 0, 3.10f), rawRecord(false, 0, 3.40f)};
  p.readingCount = static_cast<int>(list.size());
  ASSERT_EQ(JDQFile::RebuildReadings(p, list), 1);

  C2DGraph g;
  g.AddPoint1(7, 7);  // left from an earlier chart
  JDQFile::BuildCurvePoints(p, list, &g, 1);
  using P = platform::ui::Point;
  EXPECT_EQ(g.m_ptList1, (std::vector<P>{{0, 0}, {200, 150}, {400, 340}}));
  // The first reading of each level is its time 0 (on the step record's place); the next one follows
  // 15 minutes on.
  EXPECT_EQ(g.m_ptList2, (std::vector<P>{{15, 150}, {15, 340}}));
  EXPECT_EQ(g.m_nLoadMax, 400);
  EXPECT_EQ(g.m_nTimeMax, 15);
  EXPECT_EQ(g.m_nStepLoad[0], 200);
  EXPECT_EQ(g.m_nStepLoad[1], 400);
  EXPECT_EQ(g.m_nStepLoad[2], 99999);
  EXPECT_NEAR(g.m_dSettleMaxRaw, 340.0, 1e-3);

  // The axis the drawing forms from it: 3.40 mm rounds up to 6 mm.
  g.m_dSettleMax = g.m_dSettleMaxRaw * g.SettlementUnit();
  g.RoundAxisMax();
  EXPECT_DOUBLE_EQ(g.m_dSettleMax, 6.0);
  // Client 870 x 660: 800 px for 400 kN, 600 px for 6 mm.
  const platform::ui::Rect client{0, 0, 870, 660};
  P out;
  ASSERT_TRUE(g.MapPoint(client, out, g.m_ptList1[2]));
  EXPECT_EQ(out, (P{840, 370}));
  ASSERT_TRUE(g.MapPoint(client, out, g.m_ptList1[1]));
  EXPECT_EQ(out, (P{440, 180}));
  g.m_nCurveKind = 3;  // s-lgt: three decades over 800 px
  ASSERT_TRUE(g.MapPoint(client, out, g.m_ptList2[1]));
  EXPECT_EQ(out, (P{40 + 313, 370}));
}

}  // namespace
