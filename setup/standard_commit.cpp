#include "setup/standard_commit.h"

#include <cmath>
#include <climits>
#include <mutex>

#include "model/datafiles.h"
#include "platform/text/text.h"
#include "setup/load_steps.h"
#include "setup/standards.h"

namespace {

using platform::text::format;

// A field value truncated toward zero, saturated (NaN as 0).
int Truncated(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0f) return INT_MAX;
  if (v <= -2147483648.0f) return INT_MIN;
  return static_cast<int>(v);
}

class Header {
 public:
  explicit Header(std::vector<TestRecord>& records) : records_(records) {}
  void text(int record, int field, const std::string& value) { JDQFile::SetHeaderText(records_, record, field, value); }
  void number(int record, int field, const char* fmt, double v) { text(record, field, format(fmt, v)); }
  void count(int record, int field, int v) { text(record, field, format("%d", v)); }
  // Writes only the first character of a text; the rest of the field stays.
  void first(int record, int field, char c) {
    if (record < 0 || static_cast<std::size_t>(record) >= records_.size()) return;
    TestRecord& r = records_[static_cast<std::size_t>(record)];
    (field == 1 ? r.text1 : field == 2 ? r.text2 : r.text3)[0] = c;
  }

 private:
  std::vector<TestRecord>& records_;
};

char Digit(int v) { return static_cast<char>('0' + (v >= 0 && v <= 9 ? v : 0)); }

int RotatingValue(float v) { return Truncated(static_cast<float>(static_cast<double>(v) + 0.5)); }

}  // namespace

std::string ReplaceTestFileExtension(const std::string& path, const std::string& ext) {
  if (path.size() < 4 || path[path.size() - 4] != '.') return path;
  return path.substr(0, path.size() - 4) + ext;
}

StandardCommitResult CommitStandardSettings(Parameter& p, const StandardSettings& s) {
  StandardCommitResult result;
  const int code = s.code;

  // The one refusal comes before any change.
  if (s.maxLoad - s.controlLoad < -0.00001f) {
    result.message = kControlLoadAboveMaximum;
    return result;
  }
  result.accepted = true;
  const bool running = p.testRunning.load() != 0;
  Header h(p.testRecords);

  // Level-load table and test-file extension.
  FillLevelTable(code, s.singleStep, s.maxLoad, s.extraValue, p.levelLoads);
  if (IsCyclicLateralStandard(code)) {
    p.testFilePath = ReplaceTestFileExtension(p.testFilePath, ".krs");
  } else if (IsSingleCycleLateralStandard(code)) {
    p.testFilePath = ReplaceTestFileExtension(p.testFilePath, ".krv");
  }

  {
    std::lock_guard<std::mutex> lock(p.loadLock);
    if (std::fabs(s.controlLoad - p.controlLoad.load()) > 0.00001f) {
      p.procedureChanged = 1;
      if (running) p.controlRequest = 2;
    }
  }

  p.stepLoad2 = s.singleStep;
  h.number(6, 2, "%.2f", s.singleStep);
  p.stepLoad3 = s.maxLoad;
  h.number(7, 2, "%.2f", s.maxLoad);
  p.standardCode = code;
  h.number(69, 3, "%.0f", code);

  // Stability criteria.
  float stable = s.stableSettlement;
  int mode = s.judgementMode;
  float overStable = s.overStableSettlement;
  int overMode = s.overJudgementMode;
  if (IsFastMethodStandard(code)) {
    stable = overStable = 0.1f;
    mode = overMode = 1;
  } else if (IsNoJudgementStandard(code)) {
    stable = overStable = 111.0f;
    mode = overMode = 0;
  }
  p.stableSettlement = stable;
  h.number(16, 2, "%.2f", stable);
  p.criterionMode3 = mode;
  h.first(18, 2, Digit(mode));
  p.altSettlement = overStable;
  h.number(63, 1, "%.2f", overStable);
  p.altCriterion4 = overMode;
  h.first(64, 1, Digit(overMode));

  // Schedule.
  p.holdMinutes = Truncated(s.holdTime);
  h.count(13, 2, p.holdMinutes);
  p.judgeIntervalMinutes = Truncated(s.judgeTime);
  h.count(14, 2, p.judgeIntervalMinutes);
  p.judgeCount = Truncated(s.judgeCount);
  h.count(15, 2, p.judgeCount);
  const int over[3] = {Truncated(s.overHoldTime), Truncated(s.overJudgeTime), Truncated(s.overJudgeCount)};
  for (int k = 0; k < 3; ++k) {
    p.altCriteria[static_cast<std::size_t>(k)] = over[k];
    h.count(66 + k, 1, over[k]);
  }
  for (int k = 0; k < 6; ++k) {
    p.levelMinutes[static_cast<std::size_t>(k)] = Truncated(s.loadIntervals[static_cast<std::size_t>(k)]);
    h.count(16 + k, 1, p.levelMinutes[static_cast<std::size_t>(k)]);
  }
  p.levelMinutes[6] = Truncated(s.loadIntervals[6]);
  h.count(57, 1, p.levelMinutes[6]);
  for (int k = 0; k < 6; ++k) {
    p.levelMinutes[static_cast<std::size_t>(7 + k)] = Truncated(s.unloadIntervals[static_cast<std::size_t>(k)]);
    h.count(22 + k, 1, p.levelMinutes[static_cast<std::size_t>(7 + k)]);
  }
  p.levelMinutes[13] = Truncated(s.unloadIntervals[6]);
  h.count(58, 1, p.levelMinutes[13]);
  const float unloadSteps = code == 0 ? 2.0f : s.unloadSteps;
  const int tail[3] = {Truncated(unloadSteps), Truncated(s.nonZeroTime), Truncated(s.zeroTime)};
  for (int k = 0; k < 3; ++k) {
    p.levelMinutes[static_cast<std::size_t>(14 + k)] = tail[k];
    h.count(28 + k, 1, tail[k]);
  }

  // No test under way: the change takes effect when the test starts.
  if (p.fileLoaded.load() != 0) p.procedureChanged = 0;

  // Rotating frame values of the command frame.
  int rotating1;
  int rotating2;
  const int type = p.testType.load();
  if (type == 3) {
    rotating1 = 100;
    rotating2 = 200;
  } else if (type == 0) {
    rotating1 = rotating2 = RotatingValue(s.singleStep * p.setupValue * 8.0f);
  } else {
    rotating1 = rotating2 = RotatingValue(s.singleStep * 8.0f);
  }
  p.rotatingValue1 = rotating1;
  p.rotatingValue2 = rotating2;

  p.levelMinutesLast = s.characteristic;
  h.number(71, 3, "%.2f", s.characteristic);
  p.stepLoad4 = s.extraValue;
  h.number(20, 3, "%.2f", s.extraValue);
  {
    std::lock_guard<std::mutex> lock(p.loadLock);
    p.controlLoad = s.controlLoad;
  }
  // Item 24 keeps the control load with the set-up (the header's record 4 is built from it).
  p.ParameterList.set(24, s.controlLoad);
  h.number(4, 2, "%.2f", s.controlLoad);
  p.pumpProcedure = 0;
  p.criterionMode1 = s.refillUnitMode;
  p.link.reloadPercent = s.refillUnitMode;
  h.first(17, 2, Digit(s.refillUnitMode));
  p.stepLoad1 = s.refillLower;
  h.number(5, 2, "%.1f", s.refillLower);
  p.criterionMode2 = s.soilType;
  h.first(67, 3, s.soilType != 0 ? '1' : '0');
  p.altCriterion5 = s.crossFlag;
  h.first(65, 1, s.crossFlag == 1 ? '1' : '0');
  p.altCriterion6 = s.overCrossFlag;
  h.first(69, 1, s.overCrossFlag == 1 ? '1' : '0');

  // A running test gets the new texts in its file.
  if (!p.testFilePath.empty() && running && p.fileLoaded.load() == 0)
    result.headerTextsRewritten = JDQFile::UpdateAllHeaderTexts(p.testFilePath, 0, p.testRecords, p) == 1;
  // The parameter file keeps the standard (and the rotating values, items 100 and 101) with the rest of
  // the set-up: a restart before the start finds it, and the end of a running test, which rebuilds the
  // channel from the items, keeps what was changed during the test.
  result.parameterFileSaved = JDQFile::SaveChannelSettings(p) == 1;
  result.showMainWindow = !running;
  return result;
}
