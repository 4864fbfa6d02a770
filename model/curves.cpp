// The curve points of a test: one level point per load level and one reading point per reading, for
// the summary table, and the same points handed to a plotting window with its limits.
#include <algorithm>
#include <cmath>
#include <vector>

#include "model/computations.h"
#include "model/record_values.h"

using namespace record_values;

namespace {

// Settlement in raw units of the graph: hundredths (or thousandths) of a millimetre, truncated.
int T100(float x) { return truncToInt(x * 100.0f); }
int T1000(float x) { return truncToInt(x * 1000.0f); }
// A load or a time as a whole number for the graph (a negative value counts as 0).
int whole(float x) { return x <= 0.0f ? 0 : truncToInt(x); }

class CurveBuilder {
 public:
  CurveBuilder(Parameter& p, const std::vector<TestRecord>& records, CurveGraph* graph)
      : p_(p), r_(records), g_(graph) {}

  void run(int standard, int testType) {
    selfBalanced_ = testType == 2;
    thousandths_ = isThousandths(standard);
    if (g_) {
      if (selfBalanced_) {
        if (p_.readingIndex > 0) g_->AddPoint3And1(0, 0, 0, 0);
      } else if (p_.readingIndex > 0) {
        g_->AddPoint1(0, 0);
      }
    }
    const int n = std::max(0, std::min(p_.readingIndex, static_cast<int>(r_.size())));
    if (g_) g_->SetStepLoadCount(n);
    int stop = n;
    for (int pos = 1; pos < n; ++pos) {
      const TestRecord& r = r_[pos];
      if (timeIs(r, "99999")) {
        stop = pos;
        break;
      }
      if (timeIs(r, "0")) {
        closeLevel(r_[pos - 1]);
        ++levelsBegun_;
        continue;
      }
      addReading(r);
    }
    if (stop >= 1) closeLevel(r_[stop - 1]);

    double scale = 0.1;
    for (const LevelPoint& lp : p_.curvePoints1) {
      const double v = selfBalanced_ ? std::fabs(static_cast<double>(lp.finalSettlement)) : lp.finalSettlement;
      scale = std::max(scale, v);
    }
    if (selfBalanced_) {
      for (const LevelPoint& lp : p_.curvePoints3) scale = std::max(scale, std::fabs(static_cast<double>(lp.finalSettlement)));
    }
    if (g_) {
      g_->SetLoadMax(maxLevelLoad_ < 6 ? 5 : maxLevelLoad_);
      g_->SetTimeMax(maxTime_);
      g_->SetTestType(testType);
      g_->SetStandard(standard);
      g_->SetSettleMaxRaw(scale * (thousandths_ ? 1000.0 : 100.0));
    }
  }

 private:
  // The level point of one series, after the previous point of the same list.
  static LevelPoint levelPoint(std::vector<LevelPoint>& list, float load, float final, float duration) {
    LevelPoint lp;
    lp.load = load;
    lp.finalSettlement = final;
    lp.duration = duration;
    if (list.empty()) {
      lp.levelSettlement = final;
      lp.cumulativeTime = duration;
    } else {
      lp.levelSettlement = final - list.back().finalSettlement;
      lp.cumulativeTime = list.back().cumulativeTime + duration;
    }
    return lp;
  }

  void closeLevel(const TestRecord& r) {
    const float load = r.valuesA[kLevel];
    const float duration = static_cast<float>(timeNumber(r));
    if (selfBalanced_) {
      const float upper = r.valuesA[kHalfUpper], lower = r.valuesA[kHalfLower];
      p_.curvePoints1.push_back(levelPoint(p_.curvePoints1, load, upper, duration));
      p_.curvePoints3.push_back(levelPoint(p_.curvePoints3, load, lower, duration));
      if (g_) g_->AddPoint3And1(whole(load), T100(upper), whole(load), T100(lower));
    } else {
      const float s = r.valuesA[kSettlement];
      p_.curvePoints1.push_back(levelPoint(p_.curvePoints1, load, s, duration));
      if (g_) g_->AddPoint1(whole(load), thousandths_ ? T1000(s) : T100(s));
    }
    maxLevelLoad_ = std::max(maxLevelLoad_, truncToInt(load));
  }

  void addReading(const TestRecord& r) {
    const float load = r.valuesA[kLevel];
    const float time = static_cast<float>(timeNumber(r));
    const float begun = static_cast<float>(levelsBegun_);
    if (selfBalanced_) {
      const float upper = r.valuesA[kHalfUpper], lower = r.valuesA[kHalfLower];
      p_.curvePoints2.push_back({load, upper, time, begun});
      p_.curvePoints4.push_back({load, lower, time, begun});
      if (g_) g_->AddPoint4And2(whole(time), T100(upper), whole(time), T100(lower));
    } else {
      const float s = r.valuesA[kSettlement];
      p_.curvePoints2.push_back({load, s, time, begun});
      if (g_) g_->AddPoint2(whole(time), thousandths_ ? T1000(s) : T100(s));
    }
    if (g_) g_->SetStepLoad(readings_, truncToInt(load));
    ++readings_;
    maxTime_ = std::max(maxTime_, truncToInt(time));
  }

  Parameter& p_;
  const std::vector<TestRecord>& r_;
  CurveGraph* g_;
  bool selfBalanced_ = false;
  bool thousandths_ = false;
  int levelsBegun_ = 1;  // the first level begins at record 0
  int readings_ = 0;
  int maxLevelLoad_ = 0;
  int maxTime_ = 0;
};

// Flag-weighted mean of gauges 3 and 4 (values 4 and 5) in hundredths.
int gauges34(const TestRecord& r, int f3, int f4) {
  const float mean = (static_cast<float>(f3) * r.valuesA[4] + static_cast<float>(f4) * r.valuesA[5]) /
                     static_cast<float>(f3 + f4);
  return T100(mean);
}

// The chart of the cyclic lateral standards: for every second reading, the displacement before and
// after it against the level load and the second load value.
void cyclicChart(const std::vector<TestRecord>& records, const TestSettings& s,
                 CurveGraph& g, int standard, int testType) {
  g.ClearPointList(5);
  g.ClearPointList(6);
  g.SetLoadMax(truncToInt(s.maxLoad + 0.5f));
  g.SetLevelStep(s.loadIncrement);
  g.SetStandard(standard);
  g.SetTestType(testType);
  const int f3 = s.gaugeOn[2], f4 = s.gaugeOn[3];
  const int count = std::min(s.recordCount, static_cast<int>(records.size()));
  // The displacement scale of this chart, in hundredths: the largest displacement drawn, at least
  // 0.1 mm as for the other charts.
  double scale = 10.0;
  int reading = 0;
  for (int j = 0; j < count; ++j) {
    const TestRecord& r = records[j];
    if (isEndRecord(r)) break;
    if (isStepRecord(r)) continue;
    if (reading % 2 == 1 && f3 + f4 >= 1 && j >= 1) {
      const int before = gauges34(records[j - 1], f3, f4), after = gauges34(r, f3, f4);
      g.AddPoint5(whole(r.valuesA[kLevel]), before);
      g.AddPoint6(whole(r.valuesA[kSecondLoad]), after);
      scale = std::max({scale, std::fabs(static_cast<double>(before)), std::fabs(static_cast<double>(after))});
    }
    ++reading;
  }
  g.SetSettleMaxRaw(scale);
}

}  // namespace

void JDQFile::BuildCurvePoints(Parameter& p, const std::vector<TestRecord>& records, CurveGraph* graph,
                               int drawMode) {
  const TestSettings s = SettingsOf(p, records);
  if (s.recordCount < 1 || records.empty()) return;
  CurveGraph* g = drawMode == 1 ? graph : nullptr;

  p.curvePoints1.clear();
  p.curvePoints2.clear();
  p.curvePoints3.clear();
  p.curvePoints4.clear();
  if (g) {
    for (int list = 1; list <= 4; ++list) g->ClearPointList(list);
  }
  int standard = s.standard;
  int testType = s.testType;
  if (!p.testRunning && p.readingIndex < 1) standard = testType = 0;

  if (g && isCyclicLateral(standard)) {
    cyclicChart(records, s, *g, standard, testType);
    return;
  }
  CurveBuilder(p, records, g).run(standard, testType);
}
