// Stability judgement by standard and the verdict of the cyclic programmes, on short synthetic series.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/computations.h"
#include "readings_fixture.h"

namespace {

// A level of 100 kN read every 30 minutes; the last settlement decides most windows.
LevelRds calm(float last, float load = 100.0f) {
  return {load, {{0, 1.0f}, {30, 1.5f}, {60, 1.55f}, {90, 1.6f}, {120, last}}};
}
const LevelRds kPrevious{50.0f, {{0, 0.5f}, {30, 0.8f}}};

// Hold 60, interval 30, count 2, limit 0.10 mm, mode 0; below the final load (100 of 200 kN).
void defaults(Parameter& p, int code) {
  p.standardCode = code;
  p.testType = 1;
  p.holdMinutes = 60;
  p.judgeIntervalMinutes = 30;
  p.judgeCount = 2;
  p.stableSettlement = 0.1f;
  p.criterionMode3 = 0;
  p.controlLoad = 100.0f;
  p.stepLoad3 = 200.0f;
  p.stepLoad2 = 20.0f;
  p.stepLoad4 = 100.0f;
  p.loadingPhase = 2;
}

void setSeries(Parameter& p, const std::vector<LevelRds>& levels) {
  p.testRecords = derivedList(levels);
  p.readingIndex = static_cast<int>(p.testRecords.size());
}

void finalLevel(Parameter& p) { p.controlLoad = 200.0f; }

struct Case {
  std::string name;
  std::vector<int> codes;
  std::function<void(Parameter&)> setup;
  std::vector<LevelRds> levels;
  int result;
  bool stable;
};

void run(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    for (int code : c.codes) {
      Parameter p;
      defaults(p, code);
      if (c.setup) c.setup(p);
      setSeries(p, c.levels);
      const int result = JDQFile::JudgeStable(p);
      EXPECT_EQ(result, c.result) << c.name << ", code " << code;
      EXPECT_EQ(p.loadingPhase.load(), c.stable ? 4 : 2) << c.name << ", code " << code;
    }
  }
}

auto mode(int m) {
  return [m](Parameter& p) { p.criterionMode3 = m; };
}

const std::vector<int> kPlainSliding = {1,  5,  12, 13, 17, 18, 19, 33, 35, 47, 48,  60,  63,  64,
                                        68, 69, 70, 72, 78, 79, 81, 85, 93, 115, 121, 140, 145};
const std::vector<int> kChained = {2, 6, 16, 32, 57, 59, 65, 71, 86, 87, 89, 103, 120, 122};

TEST(JudgeStable, SlidingWindowsOnSetA) {
  std::vector<int> slidingAndSpecialInMode0 = kPlainSliding;
  for (int code : {3, 58, 88, 90, 102, 119, 10, 14}) slidingAndSpecialInMode0.push_back(code);
  run({
      {"small changes", slidingAndSpecialInMode0, mode(0), {calm(1.64f)}, 1, true},
      {"change of exactly the limit, mode 0", slidingAndSpecialInMode0, mode(0), {calm(1.70f)}, 0, false},
      {"change of exactly the limit, mode 1", kPlainSliding, mode(1), {calm(1.70f)}, 1, true},
      {"just above the limit, mode 1", kPlainSliding, mode(1), {calm(1.71f)}, 0, false},
      {"exactly the limit, mode 2", {1}, mode(2), {calm(1.70f)}, 0, false},
      {"a fall always passes", {1}, nullptr, {calm(0.2f)}, 1, true},
      // Window 2 walks from the level's start into the level before.
      {"window meets the previous level", {1},
       [](Parameter& p) { p.judgeCount = 3; p.judgeIntervalMinutes = 31; },
       {kPrevious, {100.0f, {{0, 1.0f}, {30, 1.02f}, {60, 1.04f}, {90, 1.06f}}}}, 0, false},
      {"same series, two windows", {1}, [](Parameter& p) { p.judgeIntervalMinutes = 31; },
       {kPrevious, {100.0f, {{0, 1.0f}, {30, 1.02f}, {60, 1.04f}, {90, 1.06f}}}}, 1, true},
      // Windows without an older record neither pass nor fail.
      {"windows run out", {1}, [](Parameter& p) { p.judgeIntervalMinutes = 500; }, {calm(5.0f)}, 1, false},
  });
}

TEST(JudgeStable, Gate) {
  run({
      {"hold time met", {1, 7}, [](Parameter& p) { p.holdMinutes = 120; }, {calm(1.64f)}, 1, true},
      {"hold time not met", {1, 7, 2, 11}, [](Parameter& p) { p.holdMinutes = 121; }, {calm(1.64f)}, 0, false},
      {"judging count met", {7}, [](Parameter& p) { p.judgeCount = 4; }, {calm(1.64f)}, 1, true},
      {"judging count not met", {1, 7, 9, 73}, [](Parameter& p) { p.judgeCount = 5; }, {calm(1.64f)}, 0, false},
      // Codes 9, 73 and 74 are not held by the hold time of the gate.
      {"no hold gate for 73", {73}, [](Parameter& p) { p.holdMinutes = 500; }, {calm(1.64f)}, 1, true},
      {"a single record", {1, 7}, nullptr, {{100.0f, {{0, 1.0f}}}}, 0, false},
  });
  Parameter p;
  defaults(p, 1);
  setSeries(p, {calm(1.64f)});
  p.readingIndex = 9;  // past the end of the list
  EXPECT_EQ(JDQFile::JudgeStable(p), 0);
  EXPECT_EQ(p.loadingPhase, 2);
}

TEST(JudgeStable, CodesOutOfRangeBecomeStandardOne) {
  for (int code : {401, -1}) {
    Parameter p;
    defaults(p, code);
    setSeries(p, {calm(1.70f)});
    EXPECT_EQ(JDQFile::JudgeStable(p), 0) << code;
    EXPECT_EQ(p.standardCode, 1) << code;
    setSeries(p, {calm(1.64f)});
    EXPECT_EQ(JDQFile::JudgeStable(p), 1) << code;
    EXPECT_EQ(p.loadingPhase, 4) << code;
  }
}

TEST(JudgeStable, OtherCodesAreStableOnceTheGateIsMet) {
  run({
      {"not in any list", {7, 8, 20, 400, 144}, nullptr, {calm(9.0f)}, 1, true},
      {"gate not met", {7}, [](Parameter& p) { p.holdMinutes = 200; }, {calm(9.0f)}, 0, false},
  });
}

TEST(JudgeStable, MeasuresBySlidingCode) {
  auto mode1 = mode(1);
  run({
      // Thousandths under mode 1.
      {"thousandths at the limit", {3, 58, 88, 90, 102, 119}, mode1, {calm(1.700f)}, 1, true},
      {"thousandths above the limit", {3, 58, 88, 90, 102, 119}, mode1, {calm(1.701f)}, 0, false},
      // Code 10 under mode 1: 0.25 mm above the switch-over load, else 0.10 mm.
      {"10 above switch-over, 0.25", {10}, mode1, {calm(1.85f)}, 1, true},
      {"10 above switch-over, 0.26", {10}, mode1, {calm(1.86f)}, 0, false},
      {"10 below switch-over, 0.10", {10},
       [](Parameter& p) { p.criterionMode3 = 1; p.levelMinutesLast = 150.0f; }, {calm(1.70f)}, 1, true},
      {"10 below switch-over, 0.11", {10},
       [](Parameter& p) { p.criterionMode3 = 1; p.levelMinutesLast = 150.0f; }, {calm(1.71f)}, 0, false},
      // Code 14 under mode 1: stable after 119 minutes below the final level.
      {"14 at 120 minutes", {14}, mode1, {calm(9.0f)}, 1, true},
      {"14 at 119 minutes", {14}, mode1,
       {{100.0f, {{0, 1.0f}, {30, 1.5f}, {60, 1.55f}, {90, 1.6f}, {119, 9.0f}}}}, 0, false},
      {"14 in mode 0 is plain", {14}, mode(0), {calm(9.0f)}, 0, false},
      {"14 final, total time below 720", {14}, [](Parameter& p) { p.criterionMode3 = 1; finalLevel(p); },
       {{50.0f, {{0, 0.5f}, {599, 0.8f}}}, calm(1.70f, 200.0f)}, 0, false},
      {"14 final, total time 720", {14}, [](Parameter& p) { p.criterionMode3 = 1; finalLevel(p); },
       {{50.0f, {{0, 0.5f}, {600, 0.8f}}}, calm(1.70f, 200.0f)}, 1, true},
      {"14 final, total time 720, change too big", {14}, [](Parameter& p) { p.criterionMode3 = 1; finalLevel(p); },
       {{50.0f, {{0, 0.5f}, {600, 0.8f}}}, calm(1.71f, 200.0f)}, 0, false},
  });
}

// Self-balanced halves: u and v of a level, settlement s deliberately unsettled.
LevelRds halves(float lastU, float lastV) {
  return {100.0f,
          {{0, 0.0f, 1.0f, 1.0f}, {30, 3.0f, 1.5f, 1.5f}, {60, 6.0f, 1.55f, 1.55f}, {90, 0.0f, 1.6f, 1.6f},
           {120, 9.0f, lastU, lastV}}};
}

TEST(JudgeStable, HalfSettlementCodes) {
  const std::vector<int> both = {15, 31, 45, 51, 61, 80, 82, 84};
  auto type2 = [](int m) { return [m](Parameter& p) { p.testType = 2; p.criterionMode3 = m; }; };
  run({
      {"both halves within the limit (any mode)", both, type2(0), {halves(1.70f, 1.60f)}, 1, true},
      {"u just above the limit", both, type2(1), {halves(1.71f, 1.60f)}, 0, false},
      {"v just above the limit", both, type2(0), {halves(1.60f, 1.71f)}, 0, false},
      // Other test types compare 0 with the older record's value.
      {"not self-balanced", {15}, mode(0), {halves(1.60f, 1.60f)}, 0, false},
      {"not self-balanced, halves zero", {15}, mode(0), {calm(9.0f)}, 1, true},
      {"52: v at the limit, mode 0", {52}, type2(0), {halves(9.0f, 1.70f)}, 0, false},
      {"52: v at the limit, mode 1", {52}, type2(1), {halves(9.0f, 1.70f)}, 1, true},
      {"52: v below the limit", {52}, type2(0), {halves(9.0f, 1.69f)}, 1, true},
  });
}

TEST(JudgeStable, ChainedWindows) {
  // Interval 60: sliding windows compare 120-60 and 90-30; chained ones 120-60 and 60-0.
  const LevelRds chainOk{100.0f, {{0, 1.45f}, {30, 1.5f}, {60, 1.52f}, {90, 1.60f}, {120, 1.61f}}};
  auto interval60 = [](Parameter& p) { p.judgeIntervalMinutes = 60; };
  run({
      {"small changes", kChained, nullptr, {calm(1.64f)}, 1, true},
      {"exactly the limit", kChained, nullptr, {calm(1.70f)}, 0, false},
      {"chain passes where sliding fails", kChained, interval60, {chainOk}, 1, true},
      {"sliding fails the same series", {1}, interval60, {chainOk}, 0, false},
      {"chain walks into the previous level", {2}, [](Parameter& p) { p.judgeCount = 5; p.stableSettlement = 1.0f; },
       {kPrevious, calm(1.64f)}, 0, false},
      {"chain exhausted before the count", {2}, [](Parameter& p) { p.judgeCount = 3; p.judgeIntervalMinutes = 60; },
       {{100.0f, {{0, 1.0f}, {30, 1.02f}, {60, 1.04f}, {90, 1.06f}, {120, 1.08f}}}}, 1, false},
  });
}

TEST(JudgeStable, CodeNineTwoCriterionSets) {
  auto setB = [](int m, int kind, int hold) {
    return [=](Parameter& p) {
      p.levelMinutesLast = 50.0f;  // switch-over below the control load: set B
      p.altSettlement = 0.2f;
      p.altCriterion4 = m;
      p.altCriteria = {hold, 30, 2};
      p.altCriterion6 = kind;
    };
  };
  auto setA = [](int m, int kind) {
    return [=](Parameter& p) { p.criterionMode3 = m; p.altCriterion5 = kind; };
  };
  run({
      {"set A sliding, small changes", {9}, setA(0, 1), {calm(1.64f)}, 1, true},
      {"set A sliding, exactly the limit", {9}, setA(0, 1), {calm(1.70f)}, 0, false},
      {"set A mode 1, exactly the limit", {9}, setA(1, 0), {calm(1.70f)}, 1, true},
      {"set A hold not met", {9}, [](Parameter& p) { p.holdMinutes = 121; }, {calm(1.64f)}, 0, false},
      {"set B chained with its own limit", {9}, setB(0, 0, 60), {calm(1.70f)}, 1, true},
      {"set B exactly its limit", {9}, setB(0, 0, 60), {calm(1.80f)}, 0, false},
      {"set B hold not met", {9}, setB(0, 0, 121), {calm(1.64f)}, 0, false},
      {"convergence: each window settles less", {9}, setA(2, 0), {calm(1.64f)}, 1, true},
      {"convergence: newest window settles more", {9}, setA(2, 0), {calm(1.66f)}, 0, false},
      {"mode 3 at once", {9}, setA(3, 0), {calm(9.0f)}, 1, true},
      {"other modes never judge", {9}, setA(5, 0), {calm(1.0f)}, 1, false},
  });
}

TEST(JudgeStable, CodeFourByOptions) {
  auto options = [](int a, int b, bool atFinal) {
    return [=](Parameter& p) {
      p.uploadOption = a;
      p.secondOption = b;
      if (atFinal) finalLevel(p);
    };
  };
  run({
      // Neither option: the strict increment rule (d1 = 4, d2 = 5 / d1 = d2 = 5).
      {"strict, growing less", {4}, options(0, 0, false), {calm(1.64f)}, 1, true},
      {"strict, growing as much", {4}, options(0, 0, false), {calm(1.65f)}, 0, false},
      {"option A holding another value", {4}, options(2, 0, false), {calm(9.0f)}, 1, true},
      // Option B: non-growing below the final level, sliding windows (interval 60, mode 1) at it.
      {"B below final, equal increments", {4}, options(0, 1, false), {calm(1.65f)}, 1, true},
      {"B below final, growing", {4}, options(0, 1, false), {calm(1.66f)}, 0, false},
      {"B at final, 120-60 and 90-30", {4}, options(0, 1, true), {calm(1.65f, 200.0f)}, 1, true},
      {"B at final, change too big", {4}, options(0, 1, true), {calm(1.66f, 200.0f)}, 0, false},
      // Option A at the final level: window 1 takes its time and walk from two records back.
      {"A at final, shifted window", {4}, options(1, 0, true), {calm(1.65f, 200.0f)}, 0, false},
      {"A at final, shifted window passes", {4}, options(1, 0, true),
       {{200.0f, {{0, 1.55f}, {30, 1.5f}, {60, 1.55f}, {90, 1.6f}, {120, 1.64f}}}}, 1, true},
      {"A below final", {4}, options(1, 0, false), {calm(1.65f)}, 1, true},
  });
}

TEST(JudgeStable, IncrementRules) {
  // calm(1.64): increments 4, 5, 5, 50; calm(1.66): 6, 5, 5, 50.
  auto final = [](Parameter& p) { finalLevel(p); };
  auto type2 = [](Parameter& p) { p.testType = 2; };
  const LevelRds shortLevel{100.0f, {{0, 1.0f}, {30, 1.5f}, {60, 1.55f}, {90, 1.6f}}};
  run({
      {"strict", {11, 118}, nullptr, {calm(1.64f)}, 1, true},
      {"strict, d1 = d2", {11, 118}, nullptr, {calm(1.65f)}, 0, false},
      {"strict, falling", {11, 118}, nullptr, {calm(1.0f)}, 1, true},
      {"five-record", {0, 149}, nullptr, {calm(1.64f)}, 1, true},
      {"five-record, e1 above e2", {0, 149}, nullptr, {calm(1.66f)}, 0, false},
      {"five-record without five records", {0}, nullptr, {shortLevel}, 0, false},
      {"four-record", {46}, nullptr, {calm(1.65f)}, 1, true},
      {"four-record, growing", {46}, nullptr, {calm(1.66f)}, 0, false},
      {"34 at the exact final level", {34}, final, {calm(1.65f, 200.0f)}, 1, true},
      {"34 at the exact final level, growing", {34}, final, {calm(1.66f, 200.0f)}, 0, false},
      {"34 below the final level", {34}, nullptr, {calm(9.0f)}, 1, true},
      {"53 below the final level", {53}, nullptr, {calm(1.65f)}, 1, true},
      {"53 below the final level, growing", {53}, nullptr, {calm(1.66f)}, 0, false},
      {"53 at the final level: windows", {53}, final, {calm(1.70f, 200.0f)}, 0, false},
      {"50/83 v and u settle", {50, 83}, type2, {halves(1.65f, 1.65f)}, 1, true},
      {"50/83 u grows", {50, 83}, type2, {halves(1.66f, 1.65f)}, 0, false},
      {"50/83 v grows", {50, 83}, type2, {halves(1.65f, 1.66f)}, 0, false},
  });
  // Early in a test the increments would reach before record 0.
  Parameter p;
  defaults(p, 11);
  p.judgeCount = 1;
  p.holdMinutes = 0;
  setSeries(p, {{100.0f, {{0, 1.0f}, {30, 1.5f}}}});
  EXPECT_EQ(JDQFile::JudgeStable(p), 0);
  EXPECT_EQ(p.loadingPhase, 2);
}

TEST(JudgeStable, TimeScaledCodes) {
  // Hold 60: code 73 judges at the final level from 360 to 1440 minutes, code 74 from 1440 to 2880.
  auto at = [](int t, float s2, float sLast) {
    return LevelRds{200.0f, {{0, 1.0f}, {t - 90, 1.5f}, {t - 60, 1.55f}, {t - 30, s2}, {t, sLast}}};
  };
  auto final = [](Parameter& p) { finalLevel(p); };
  auto finalSmall97 = [](Parameter& p) { finalLevel(p); p.stepLoad4 = 10.0f; };
  run({
      {"73 too early", {73}, final, {at(359, 1.6f, 1.64f)}, 0, false},
      {"73 windows pass", {73}, final, {at(420, 1.6f, 1.64f)}, 1, true},
      {"73 a failing window only does not count", {73}, final, {at(420, 1.6f, 1.8f)}, 1, false},
      {"73 large settlement is stable", {73}, finalSmall97, {at(420, 1.6f, 1.8f)}, 1, true},
      {"73 late", {73}, final, {at(1441, 1.6f, 9.0f)}, 1, true},
      {"73 at 1440 still judged", {73}, final, {at(1440, 1.6f, 1.8f)}, 1, false},
      {"74 too early", {74}, final, {at(1439, 1.6f, 1.64f)}, 0, false},
      {"74 late", {74}, final, {at(2881, 1.6f, 9.0f)}, 1, true},
      {"73 below final after 2H", {73, 74}, nullptr, {calm(9.0f)}, 1, true},
      {"73 below final before 2H", {73, 74},
       [](Parameter& p) { p.holdMinutes = 61; }, {calm(1.70f)}, 0, false},
      {"92 after 2H", {92}, nullptr, {calm(9.0f)}, 1, true},
      {"92 before 2H", {92}, [](Parameter& p) { p.holdMinutes = 61; p.judgeCount = 1; }, {calm(1.70f)}, 0, false},
      {"92 before 2H, settled", {92}, [](Parameter& p) { p.holdMinutes = 61; }, {calm(1.64f)}, 1, true},
  });
}

TEST(JudgeStable, Code149AtTheFinalLevel) {
  // At the final level: every 30 minutes from 120; window 0 from n, window 1 from the record 30
  // minutes back, each against the record 60 minutes before its start, limit 0.10 mm, mode 0.
  auto level = [](int tn, float sn) {
    return LevelRds{200.0f, {{0, 1.0f}, {30, 1.3f}, {60, 1.5f}, {90, 1.55f}, {120, 1.58f}, {tn, sn}}};
  };
  auto final = [](Parameter& p) { finalLevel(p); };
  run({
      {"at 150 minutes", {149}, final, {level(150, 1.60f)}, 1, true},
      {"at 150 minutes, change of the limit", {149}, final, {level(150, 1.65f)}, 0, false},
      {"at 135 minutes", {149}, final, {level(135, 1.56f)}, 0, false},
  });
}

TEST(JudgeStable, CriterionAdjustments) {
  struct Adjust {
    const char* name;
    int code;
    std::function<void(Parameter&)> setup;
    int hold, interval, count, mode;
    float limit;
  };
  const Adjust cases[] = {
      {"0 below final", 0, nullptr, 60, 30, 2, 0, 0.1f},
      {"0 at final", 0, [](Parameter& p) { finalLevel(p); }, 120, 30, 2, 0, 0.1f},
      {"4 without options", 4, [](Parameter& p) { finalLevel(p); }, 60, 30, 2, 0, 0.1f},
      {"4 option B, last step", 4, [](Parameter& p) { finalLevel(p); p.secondOption = 1; p.stableSettlement = 0.5f; },
       120, 60, 2, 1, 0.1f},
      {"4 option A, two steps from the end", 4,
       [](Parameter& p) { p.controlLoad = 180.0f; p.uploadOption = 1; p.judgeCount = 3; }, 60, 30, 3, 0, 0.1f},
      {"4 option A, last step", 4, [](Parameter& p) { p.controlLoad = 181.0f; p.uploadOption = 1; }, 120, 60, 2, 1, 0.1f},
      {"149 below final", 149, [](Parameter& p) { p.judgeCount = 3; p.stableSettlement = 0.3f; }, 60, 10, 2, 2, 0.1f},
      {"149 at final", 149, [](Parameter& p) { finalLevel(p); }, 120, 60, 2, 0, 0.1f},
  };
  for (const Adjust& c : cases) {
    Parameter p;
    defaults(p, c.code);
    if (c.setup) c.setup(p);
    setSeries(p, {calm(1.64f)});
    JDQFile::JudgeStable(p);
    EXPECT_EQ(p.holdMinutes, c.hold) << c.name;
    EXPECT_EQ(p.judgeIntervalMinutes, c.interval) << c.name;
    EXPECT_EQ(p.judgeCount, c.count) << c.name;
    EXPECT_EQ(p.criterionMode3, c.mode) << c.name;
    EXPECT_FLOAT_EQ(p.stableSettlement, c.limit) << c.name;
  }
  // The gate judges on the values before the adjustment: code 149 at the final level with hold 200.
  Parameter p;
  defaults(p, 149);
  finalLevel(p);
  p.holdMinutes = 200;
  setSeries(p, {calm(1.64f, 200.0f)});
  EXPECT_EQ(JDQFile::JudgeStable(p), 0);
  EXPECT_EQ(p.holdMinutes, 200);
}

// ---- the cyclic verdict ----------------------------------------------------------------------------

struct CycleCase {
  std::string name;
  std::vector<int> codes;
  std::function<void(Parameter&)> setup;
  std::vector<LevelRds> levels;
  int result;
};

TEST(JudgeStableCycle, Verdicts) {
  auto zeroLoad = [](int zeroMinutes) {
    return [=](Parameter& p) { p.controlLoad = 0.0f; p.holdMinutes = 500; p.levelMinutes[16] = zeroMinutes; };
  };
  // Rebounds while unloading: settlements fall.
  auto rebound = [](float a, float b, float c) {
    return LevelRds{100.0f, {{0, 3.0f}, {30, 2.8f}, {60, a}, {90, b}, {120, c}}};
  };
  const std::vector<CycleCase> cases = {
      {"hold time gates a loaded step", {4}, [](Parameter& p) { p.holdMinutes = 121; }, {calm(1.64f)}, 0},
      {"zero load: hold time ignored", {4}, zeroLoad(120), {calm(1.64f)}, 1},
      {"zero load: zero-load time gates", {4}, zeroLoad(121), {calm(1.64f)}, 0},
      {"judging count", {4}, [](Parameter& p) { p.judgeCount = 5; }, {calm(1.64f)}, 0},
      {"11: settlement rising again", {11, 118}, nullptr, {rebound(2.6f, 2.5f, 2.55f)}, 1},
      {"11: equal rebounds", {11, 118}, nullptr, {rebound(2.6f, 2.5f, 2.4f)}, 0},
      {"11: smaller rebound", {11, 118}, nullptr, {rebound(2.6f, 2.4f, 2.35f)}, 1},
      {"48: exactly the limit, mode 1", {48}, mode(1), {calm(1.70f)}, 1},
      {"48: exactly the limit, mode 0", {48}, mode(0), {calm(1.70f)}, 0},
      {"48: a fall counts like a rise", {48}, mode(0), {calm(1.50f)}, 0},
      {"48: small changes", {48}, mode(0), {calm(1.64f)}, 1},
      {"48: windows run out", {48}, [](Parameter& p) { p.judgeIntervalMinutes = 500; }, {calm(9.0f)}, 1},
      {"48: the previous level", {48}, [](Parameter& p) { p.judgeCount = 3; p.judgeIntervalMinutes = 100; },
       {kPrevious, calm(1.64f)}, 0},
      {"15: only the halves count", {15}, mode(0), {halves(1.70f, 1.60f)}, 1},
      {"15: u above the limit", {15}, mode(1), {halves(1.71f, 1.60f)}, 0},
      {"15: v falls by more than the limit", {15}, mode(0), {halves(1.60f, 1.49f)}, 0},
      {"1000: chained, small changes", {1000}, mode(0), {calm(1.64f)}, 1},
      {"1000: chained, fall of the limit", {1000}, mode(0), {calm(1.50f)}, 0},
      {"1000: mode 1 allows the limit", {1000}, mode(1), {calm(1.70f)}, 1},
      {"other codes after the gate", {4, 1, 0}, nullptr, {calm(9.0f)}, 1},
  };
  for (const CycleCase& c : cases) {
    for (int code : c.codes) {
      Parameter p;
      defaults(p, code);
      if (c.setup) c.setup(p);
      setSeries(p, c.levels);
      const int holdBefore = p.holdMinutes;
      EXPECT_EQ(JDQFile::JudgeStableCycle(p), c.result) << c.name << ", code " << code;
      EXPECT_EQ(p.loadingPhase, 2) << c.name;
      EXPECT_EQ(p.holdMinutes, holdBefore) << c.name;
    }
  }
}

}  // namespace

// Settlements beyond any gauge (a damaged file) are compared in 64 bits: a change from far below to
// far above is a huge change, never a small one that wrapped around.
TEST(JudgeStable, HugeSettlementsDoNotWrapAround) {
  run({
      {"from far below to far above", kPlainSliding, mode(0),
       {{100.0f, {{0, 1.0f}, {30, 1.5f}, {60, -3.0e7f}, {90, 3.0e7f}, {120, -3.0e7f}}}}, 0, false},
  });
}
