// Curve points of a test and what the curve builder hands to a plotting window.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "model/computations.h"
#include "readings_fixture.h"

namespace {

using Pt = std::pair<int, int>;

// A plotting window that keeps what it is given.
struct FakeGraph : CurveGraph {
  std::vector<Pt> lists[7];
  std::vector<int> cleared;
  int loadMax = -1, timeMax = -1, testType = -1, standard = -1;
  float levelStep = -1;
  double settleRaw = -1;
  std::vector<int> stepLoad;

  void AddPoint1(int x, int y) override { lists[1].push_back({x, y}); }
  void AddPoint2(int x, int y) override { lists[2].push_back({x, y}); }
  void AddPoint3And1(int x3, int y3, int x1, int y1) override {
    lists[3].push_back({x3, y3});
    lists[1].push_back({x1, y1});
  }
  void AddPoint4And2(int x4, int y4, int x2, int y2) override {
    lists[4].push_back({x4, y4});
    lists[2].push_back({x2, y2});
  }
  void AddPoint5(int x, int y) override { lists[5].push_back({x, y}); }
  void AddPoint6(int x, int y) override { lists[6].push_back({x, y}); }
  void ClearPointList(int list) override {
    cleared.push_back(list);
    if (list >= 1 && list <= 6) lists[list].clear();
  }
  void SetLoadMax(int v) override { loadMax = v; }
  void SetLevelStep(float v) override { levelStep = v; }
  void SetSettleMaxRaw(double v) override { settleRaw = v; }
  void SetTimeMax(int v) override { timeMax = v; }
  void SetTestType(int v) override { testType = v; }
  void SetStandard(int v) override { standard = v; }
  void SetStepLoadCount(int n) override { stepLoad.assign(static_cast<std::size_t>(n), CurveGraph::kNoReading); }
  void SetStepLoad(int i, int v) override {
    ASSERT_GE(i, 0);
    ASSERT_LT(i, static_cast<int>(stepLoad.size()));
    stepLoad[static_cast<std::size_t>(i)] = v;
  }
};

// Two loading levels and one unloading level, as the rebuild leaves them.
std::vector<LevelRds> threeLevels() {
  return {{100.0f, {{0, 0.50f, 0.2f, 0.3f}, {5, 0.50f, 0.2f, 0.3f}, {15, 0.60f, 0.25f, 0.35f}}},
          {200.0f, {{0, 1.00f, -0.5f, 0.6f}, {5, 1.00f, -0.5f, 0.6f}, {15, 1.10f, -1.2f, 0.7f}}},
          {100.0f, {{0, 1.00f, -1.0f, 0.6f}, {7, 1.00f, -1.0f, 0.6f}}}};
}

void runningTest(Parameter& p, const std::vector<TestRecord>& list, int standard, int type = 1) {
  p.testRunning = 1;
  p.standardCode = standard;
  p.testType = type;
  p.readingCount = static_cast<int>(list.size());
  p.readingIndex = static_cast<int>(list.size());
}

TEST(BuildCurvePoints, LevelAndReadingPointsOfARunningTest) {
  Parameter p;
  const std::vector<TestRecord> list = derivedList(threeLevels());
  runningTest(p, list, 1);
  FakeGraph g;
  g.lists[5] = {{9, 9}};
  JDQFile::BuildCurvePoints(p, list, &g, 1);

  ASSERT_EQ(p.curvePoints1.size(), 3u);
  const float levels[3][5] = {{100, 0.60f, 0.60f, 15, 15}, {200, 0.50f, 1.10f, 15, 30}, {100, -0.10f, 1.00f, 7, 37}};
  for (int i = 0; i < 3; ++i) {
    const LevelPoint& lp = p.curvePoints1[i];
    EXPECT_FLOAT_EQ(lp.load, levels[i][0]) << i;
    EXPECT_NEAR(lp.levelSettlement, levels[i][1], 1e-6) << i;
    EXPECT_FLOAT_EQ(lp.finalSettlement, levels[i][2]) << i;
    EXPECT_FLOAT_EQ(lp.duration, levels[i][3]) << i;
    EXPECT_FLOAT_EQ(lp.cumulativeTime, levels[i][4]) << i;
  }
  ASSERT_EQ(p.curvePoints2.size(), 5u);
  const float readings[5][4] = {{100, 0.5f, 5, 1}, {100, 0.6f, 15, 1}, {200, 1.0f, 5, 2}, {200, 1.1f, 15, 2}, {100, 1.0f, 7, 3}};
  for (int i = 0; i < 5; ++i) {
    const ReadingPoint& rp = p.curvePoints2[i];
    EXPECT_FLOAT_EQ(rp.load, readings[i][0]) << i;
    EXPECT_FLOAT_EQ(rp.settlement, readings[i][1]) << i;
    EXPECT_FLOAT_EQ(rp.time, readings[i][2]) << i;
    EXPECT_FLOAT_EQ(rp.levelsBegun, readings[i][3]) << i;
  }
  EXPECT_TRUE(p.curvePoints3.empty());
  EXPECT_TRUE(p.curvePoints4.empty());

  EXPECT_EQ(g.lists[1], (std::vector<Pt>{{0, 0}, {100, 60}, {200, 110}, {100, 100}}));
  EXPECT_EQ(g.lists[2], (std::vector<Pt>{{5, 50}, {15, 60}, {5, 100}, {15, 110}, {7, 100}}));
  EXPECT_EQ(g.lists[5], (std::vector<Pt>{{9, 9}}));  // the cyclic chart is not touched
  ASSERT_EQ(static_cast<int>(g.stepLoad.size()), p.readingIndex);
  EXPECT_EQ(std::vector<int>(g.stepLoad.begin(), g.stepLoad.begin() + 6),
            (std::vector<int>{100, 100, 200, 200, 100, 99999}));
  EXPECT_EQ(g.loadMax, 200);
  EXPECT_EQ(g.timeMax, 15);
  EXPECT_EQ(g.testType, 1);
  EXPECT_EQ(g.standard, 1);
  EXPECT_NEAR(g.settleRaw, 110.0, 1e-4);

  // Draw mode 0 builds the same point lists and leaves the graph alone.
  FakeGraph untouched;
  p.curvePoints1.clear();
  JDQFile::BuildCurvePoints(p, list, &untouched, 0);
  EXPECT_EQ(p.curvePoints1.size(), 3u);
  EXPECT_TRUE(untouched.lists[1].empty());
  EXPECT_TRUE(untouched.cleared.empty());
  EXPECT_EQ(untouched.loadMax, -1);
}

TEST(BuildCurvePoints, ThousandthsAndHundredths) {
  for (int standard : {58, 1}) {
    Parameter p;
    const std::vector<TestRecord> list = derivedList({{100.0f, {{0, 1.234f}, {5, 1.234f}}}});
    runningTest(p, list, standard);
    FakeGraph g;
    JDQFile::BuildCurvePoints(p, list, &g, 1);
    const int y = standard == 58 ? 1234 : 123;
    EXPECT_EQ(g.lists[1], (std::vector<Pt>{{0, 0}, {100, y}})) << standard;
    EXPECT_EQ(g.lists[2], (std::vector<Pt>{{5, y}})) << standard;
    EXPECT_NEAR(g.settleRaw, standard == 58 ? 1234.0 : 123.4, 1e-3) << standard;
  }
}

TEST(BuildCurvePoints, SelfBalancedHalves) {
  Parameter p;
  const std::vector<TestRecord> list = derivedList(threeLevels());
  runningTest(p, list, 1, 2);
  FakeGraph g;
  JDQFile::BuildCurvePoints(p, list, &g, 1);
  // The pair operations take values 11 first (lists 3 and 4), then values 10 (lists 1 and 2).
  EXPECT_EQ(g.lists[3], (std::vector<Pt>{{0, 0}, {100, 35}, {200, 70}, {100, 60}}));
  EXPECT_EQ(g.lists[1], (std::vector<Pt>{{0, 0}, {100, 25}, {200, -120}, {100, -100}}));
  EXPECT_EQ(g.lists[4], (std::vector<Pt>{{5, 30}, {15, 35}, {5, 60}, {15, 70}, {7, 60}}));
  EXPECT_EQ(g.lists[2], (std::vector<Pt>{{5, 20}, {15, 25}, {5, -50}, {15, -120}, {7, -100}}));
  // The channel's first pair of lists holds values 11, the second values 10.
  EXPECT_FLOAT_EQ(p.curvePoints1[1].finalSettlement, 0.7f);
  ASSERT_EQ(p.curvePoints3.size(), 3u);
  ASSERT_EQ(p.curvePoints4.size(), 5u);
  EXPECT_FLOAT_EQ(p.curvePoints3[1].finalSettlement, -1.2f);
  EXPECT_FLOAT_EQ(p.curvePoints3[1].levelSettlement, -1.45f);
  EXPECT_FLOAT_EQ(p.curvePoints4[2].settlement, -0.5f);
  // The scale takes the largest absolute final settlement of both halves.
  EXPECT_NEAR(g.settleRaw, 120.0, 1e-4);
}

TEST(BuildCurvePoints, FirstRecordOnlyAndPositionLimits) {
  {
    Parameter p;
    const std::vector<TestRecord> list = derivedList(threeLevels());
    runningTest(p, list, 1);
    p.readingIndex = 1;
    FakeGraph g;
    JDQFile::BuildCurvePoints(p, list, &g, 1);
    EXPECT_EQ(g.lists[1], (std::vector<Pt>{{0, 0}, {100, 50}}));
    EXPECT_TRUE(g.lists[2].empty());
    EXPECT_EQ(p.curvePoints1.size(), 1u);
    EXPECT_NEAR(g.settleRaw, 50.0, 1e-4);
  }
  {
    // 400 records: every one is taken, past the 300 of a short table.
    std::vector<Rd> rds;
    for (int k = 0; k < 400; ++k) rds.push_back({k, 0.01f * static_cast<float>(k)});
    Parameter p;
    const std::vector<TestRecord> list = derivedList({{100.0f, rds}});
    runningTest(p, list, 1);
    FakeGraph g;
    JDQFile::BuildCurvePoints(p, list, &g, 1);
    ASSERT_EQ(p.curvePoints1.size(), 1u);
    EXPECT_FLOAT_EQ(p.curvePoints1[0].duration, 399.0f);
    EXPECT_EQ(p.curvePoints2.size(), 399u);
    EXPECT_EQ(g.timeMax, 399);
    ASSERT_EQ(static_cast<int>(g.stepLoad.size()), p.readingIndex);
    EXPECT_EQ(g.stepLoad[398], 100);
    EXPECT_EQ(g.stepLoad[399], 99999);
  }
  {
    // An end record stops the walk; the record before it closes the level.
    std::vector<TestRecord> list = derivedList(threeLevels());
    setTimeText(list[4], "99999");
    Parameter p;
    runningTest(p, list, 1);
    JDQFile::BuildCurvePoints(p, list, nullptr, 1);
    ASSERT_EQ(p.curvePoints1.size(), 2u);
    EXPECT_FLOAT_EQ(p.curvePoints1[1].load, 200.0f);
    EXPECT_FLOAT_EQ(p.curvePoints1[1].duration, 0.0f);
  }
  {
    Parameter p;
    std::vector<TestRecord> list = derivedList(threeLevels());
    runningTest(p, list, 1);
    p.readingCount = 0;
    FakeGraph g;
    p.curvePoints1.resize(2);
    JDQFile::BuildCurvePoints(p, list, &g, 1);
    EXPECT_EQ(p.curvePoints1.size(), 2u);  // nothing done
    EXPECT_TRUE(g.cleared.empty());
  }
}

TEST(BuildCurvePoints, SmallLoadsDrawToFiveKilonewtons) {
  const std::pair<float, int> cases[] = {{3.0f, 5}, {5.9f, 5}, {6.0f, 6}, {250.7f, 250}};
  for (const auto& [load, expected] : cases) {
    Parameter p;
    const std::vector<TestRecord> list = derivedList({{load, {{0, 0.1f}, {5, 0.2f}}}});
    runningTest(p, list, 1);
    FakeGraph g;
    JDQFile::BuildCurvePoints(p, list, &g, 1);
    EXPECT_EQ(g.loadMax, expected) << load;
  }
}

TEST(BuildCurvePoints, CyclicLateralChart) {
  // Standard 62: step, then readings; every second reading adds a point to lists 5 and 6.
  std::vector<TestRecord> list = derivedList({{40.0f, {{0, 0.0f}, {5, 0.0f}, {10, 0.0f}, {15, 0.0f}, {20, 0.0f}}}});
  const float g3[] = {0.0f, 0.11f, 0.22f, 0.33f, 0.44f};
  const float g4[] = {0.0f, 0.13f, 0.24f, 0.35f, 0.46f};
  for (int i = 0; i < 5; ++i) {
    list[i].valuesA[4] = g3[i];
    list[i].valuesA[5] = g4[i];
    list[i].valuesA[13] = 10.0f * static_cast<float>(i);
  }
  Parameter p;
  runningTest(p, list, 62, 4);
  p.stepLoad3 = 199.6f;
  p.stepLoad2 = 20.0f;
  p.displacementOn[2] = 1;
  p.displacementOn[3] = 1;
  FakeGraph g;
  g.lists[1] = {{1, 1}};
  g.lists[2] = {{2, 2}};
  JDQFile::BuildCurvePoints(p, list, &g, 1);
  // Readings are records 1..4; the second and fourth add points.
  EXPECT_EQ(g.lists[5], (std::vector<Pt>{{40, 12}, {40, 34}}));
  // (0.22 + 0.24) / 2 in single precision is just below 0.23: hundredths are truncated.
  EXPECT_EQ(g.lists[6], (std::vector<Pt>{{20, 22}, {40, 45}}));
  EXPECT_TRUE(g.lists[1].empty());
  EXPECT_TRUE(g.lists[2].empty());
  EXPECT_EQ(g.loadMax, 200);
  EXPECT_FLOAT_EQ(g.levelStep, 20.0f);
  EXPECT_EQ(g.standard, 62);
  EXPECT_DOUBLE_EQ(g.settleRaw, 45.0);  // the largest displacement drawn, in hundredths

  // Gauges 3 and 4 off: nothing to draw.
  p.displacementOn[2] = 0;
  p.displacementOn[3] = 0;
  FakeGraph none;
  JDQFile::BuildCurvePoints(p, list, &none, 1);
  EXPECT_TRUE(none.lists[5].empty());
}

TEST(BuildCurvePoints, OpenedTestTakesItsStandardFromTheHeader) {
  Parameter file;
  file.ParameterList.extendWithDefaults();
  file.ParameterList.set(51, 58.0f);
  file.ParameterList.set(64, 5.0f);
  ASSERT_EQ(JDQFile::BuildHeaderRecords(file), 1);
  std::vector<TestRecord> list = file.testRecords;
  const std::vector<TestRecord> readings = derivedList({{100.0f, {{0, 1.234f}, {5, 1.234f}}}});
  for (std::size_t i = 0; i < readings.size(); ++i) {
    std::memcpy(list[i].marker, readings[i].marker, 5);
    std::memcpy(list[i].time, readings[i].time, 5);
    std::memcpy(list[i].valuesA, readings[i].valuesA, sizeof readings[i].valuesA);
  }
  Parameter viewer;
  viewer.standardCode = 1;
  viewer.testType = 1;
  viewer.readingIndex = 2;
  FakeGraph g;
  JDQFile::BuildCurvePoints(viewer, list, &g, 1);
  EXPECT_EQ(g.standard, 58);
  EXPECT_EQ(g.testType, 5);
  EXPECT_EQ(g.lists[2], (std::vector<Pt>{{5, 1234}}));
  // Without a position both are 0.
  viewer.readingIndex = 0;
  FakeGraph h;
  JDQFile::BuildCurvePoints(viewer, list, &h, 1);
  EXPECT_EQ(h.standard, 0);
  EXPECT_EQ(h.testType, 0);
  EXPECT_EQ(h.lists[1], (std::vector<Pt>{}));
}

}  // namespace
