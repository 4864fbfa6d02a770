// bench-libs: model
// Work done after each recorded reading: the rebuild of the derived values of the whole reading list
// and the stability judgement; and the curve points a page builds.
//  - BM_RebuildAndJudgeAtReading/k: the work after reading k itself (a list of k readings), per
//    reading, for k = 100 and k = 3000 in the same run. This is the figure to compare across k.
//  - BM_WholeTest/3000: a whole test of 3000 readings recorded one by one; its per_reading counter is
//    the mean over a list that grows from 1 to 3000, not the cost at any one reading.
//  - BM_CurvePoints/3000: the curve points of a rebuilt list of 3000 readings.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "model/computations.h"
#include "model/datafiles.h"

namespace {

constexpr int kReadingsPerLevel = 20;

// Reading i of a test: a step record every 20 readings, loads rising by 50 kN, settlement creeping.
TestRecord reading(int i) {
  TestRecord r = JDQFile::BlankTestRecord();
  const bool step = i % kReadingsPerLevel == 0;
  std::memcpy(r.marker, step ? "--:--" : "10:00", 5);
  std::memcpy(r.stepMark, r.marker, 5);
  std::memcpy(r.time, "0\0\0\0\0", 5);
  r.valuesA[0] = 50.0f * static_cast<float>(i / kReadingsPerLevel + 1);
  const float s = 0.01f * static_cast<float>(i) + 0.3f / static_cast<float>(i % kReadingsPerLevel + 1);
  for (int g = 0; g < 6; ++g) r.valuesA[2 + g] = s + 0.01f * static_cast<float>(g);
  return r;
}

void setUp(Parameter& p) {
  p.testRunning = 1;
  p.standardCode = 1;
  p.testType = 1;
  p.stepLoad3 = 1.0e6f;
  p.controlLoad = 100.0f;
  p.holdMinutes = 60;
  p.judgeIntervalMinutes = 30;
  p.judgeCount = 2;
  p.stableSettlement = 0.1f;
  for (int k = 0; k < 14; ++k) p.levelMinutes[k] = k < 2 ? 5 : 15;
  for (int k = 0; k < 4; ++k) p.displacementOn[k] = 1;
}

// The work after reading k of a test (the last of a list of k readings).
void BM_RebuildAndJudgeAtReading(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Parameter p;
  setUp(p);
  for (int i = 0; i < n; ++i) p.testRecords.push_back(reading(i));
  p.readingCount = n;
  for (auto _ : state) {
    JDQFile::RebuildReadings(p, p.testRecords);
    p.loadingPhase = 2;
    benchmark::DoNotOptimize(JDQFile::JudgeStable(p));
  }
  state.SetLabel("per reading, at reading k");
}
BENCHMARK(BM_RebuildAndJudgeAtReading)->ArgName("k")->Arg(100)->Arg(3000)->Unit(benchmark::kMicrosecond);

// A whole test of 3000 readings recorded one by one, with the rebuild and the judgement after each.
void BM_WholeTest(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<TestRecord> readings;
  for (int i = 0; i < n; ++i) readings.push_back(reading(i));
  for (auto _ : state) {
    Parameter p;
    setUp(p);
    p.testRecords.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      p.testRecords.push_back(readings[static_cast<std::size_t>(i)]);
      p.readingCount = i + 1;
      JDQFile::RebuildReadings(p, p.testRecords);
      p.loadingPhase = 2;
      benchmark::DoNotOptimize(JDQFile::JudgeStable(p));
    }
  }
  state.SetLabel("mean per reading over a growing list, not the cost at reading k");
  // Mean time per reading (seconds; shown with a unit prefix).
  state.counters["per_reading"] = benchmark::Counter(
      static_cast<double>(n) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WholeTest)->Arg(3000)->Unit(benchmark::kMillisecond);

// The curve points a page builds from a rebuilt list (at most 300 positions are walked).
void BM_CurvePoints(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Parameter p;
  setUp(p);
  for (int i = 0; i < n; ++i) p.testRecords.push_back(reading(i));
  p.readingCount = n;
  JDQFile::RebuildReadings(p, p.testRecords);
  for (auto _ : state) {
    JDQFile::BuildCurvePoints(p, p.testRecords, nullptr, 0);
    benchmark::DoNotOptimize(p.curvePoints1.data());
  }
}
BENCHMARK(BM_CurvePoints)->Arg(3000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
