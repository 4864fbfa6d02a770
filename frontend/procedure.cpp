// Procedure actions: the pump's forced stop, the end of a test, the end of an unloading level, and
// pause and resume.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "frontend/procedure.h"
#include "model/computations.h"
#include "model/datafiles.h"
#include "model/header_fields.h"
#include "model/helpers.h"
#include "model/opened_test.h"

namespace frontend {

namespace {

int hundredths(float x) { return toIntSaturated(static_cast<float>(x * 100.0f + 0.5f)); }
int thousandths(float x) { return toIntSaturated(static_cast<float>(x * 1000.0f + 0.5f)); }

bool in(int code, std::initializer_list<int> set) { return std::find(set.begin(), set.end(), code) != set.end(); }

// Readings an intermediate unloading level needs before it is complete (0: never by count).
int unloadReadingsNeeded(int code) {
  if (in(code, {0, 149})) return 4;
  if (in(code, {1, 2, 3, 5, 8, 10, 13, 14, 17, 18, 19, 31, 32, 33, 47, 57, 58, 60, 61, 63, 64, 65, 69, 70,
                71, 73, 74, 80, 82, 84, 85, 87, 88, 91, 93, 102, 115, 140, 144, 145}))
    return 3;
  if (in(code, {4, 7, 11, 118, 34, 46, 50, 53, 59, 72, 75, 77, 83, 86, 119, 120, 121})) return 2;
  if (in(code, {6, 16, 79, 122})) return 1;
  if (in(code, {12, 35, 45, 51, 52, 68, 78, 81, 103, 104})) return 4;
  if (code == 92) return 5;
  if (in(code, {89, 90})) return 6;
  return 0;
}

// The number at the start of a record's time field (minutes of the reading).
int timeNumber(const TestRecord& r) { return header_fields::toInt(r.time); }

}  // namespace

void ClearPumpControl(Parameter& p) {
  LinkState& l = p.link;
  p.pumpCommand.store(0);
  l.manualOverride.store(0);
  l.autoLoading.store(0);
  l.pumpBlock.store(0);
  l.auxCountdown.store(0);
}

void ClearToIdle(Parameter& p) {
  ProcedureState& s = p.procedure;
  LinkState& l = p.link;
  std::lock_guard<std::mutex> lock(p.loadLock);
  p.testRunning.store(0);
  p.paused.store(0);
  // The test is no longer one to resume: a restore of the header records must not start it again.
  p.resumeMarker = 0;
  p.loadingPhase.store(0);
  p.previousLoad.store(0.0f);
  l.levelNumber.store(0);
  l.levelChange.store(0);
  l.reached.store(0);
  l.unloadStepCounter.store(0);
  s.levelCounter = 0;
  s.levelReadings = 0;
  s.levelStart = s.readingClock = s.useTarget = 0;
  s.waitingAfterStable = s.advanceRequested = 0;
  s.levelEndCounter = 0;
  s.reloadCounter = 1;
  s.unloadLevelComplete = 0;
  // No reading is scheduled any more.
  s.readingIndex = 0;
  s.nextReadingAt = 0;
  s.levelClockAt = 0;
  s.catchUpTaken = 0;
  s.overdue = 0;
  p.nextReadingText = kNoReadingText;
  // The pump released, every mark of the next reading cleared.
  ClearPumpControl(p);
  p.pumpForcedStop.store(0);
  s.pumpStopKind = 0;
  s.pumpStopMark = 0;
  s.stopRelease = 0;
  s.alarmMarks.fill(0);
  s.pausedMark = 0;
  s.zeroingMarks.fill(0);
  s.settingsChanged = 0;
  s.scheduleBreak = 0;
  s.lateReading = 0;
  s.ownMinutes = -1;
  s.slotMinutes = -1;
  p.procedureChanged.store(0);
  // The alarms of the ended test: no pause asked for, nothing counting towards one, nothing shown.
  l.pauseRequest.fill(0);
  l.persistence.fill(0);
  l.pauseRequested.store(0);
  l.stopState.store(0);
  l.pressureDeviation.store(0);
  for (std::string& t : l.alarmText) t.clear();
  for (std::string* t : {&l.deviationText, &l.moduleText, &l.boxText, &l.gaugeText, &l.commText, &l.batteryText,
                         &l.configText})
    t->clear();
  l.auxOutput.store(0);
}

int ChannelProcedure::TogglePumpStop(Parameter& p) {
  ProcedureState& s = p.procedure;
  if (p.pumpForcedStop.load() != 64) {
    p.pumpForcedStop.store(64);
    s.pumpStopKind = 1;
    s.pumpStopMark = 1;
    window_.setControlText(1038, "强停");
    window_.showControl(1038, true);
  } else if (s.pumpStopKind != 2) {
    ClearPumpControl(p);
    s.pumpStopKind = 0;
    s.pumpStopMark = 0;
    p.pumpForcedStop.store(0);
    p.link.stopState.store(0);
    if (p.pumpCommand.load() >= 1) {
      window_.setControlText(1038, "工作");
      window_.showControl(1038, false);
    } else {
      window_.setControlText(1038, "停止");
      window_.showControl(1038, true);
    }
  }
  p.link.manualOverride.store(0);
  p.link.autoLoading.store(0);
  const bool positive = p.controlLoad.load() > 0.0f;
  s.stopRelease = (!positive && p.pumpForcedStop.load() != 64) ? 1 : 0;
  return positive ? 1 : 0;
}

void ChannelProcedure::FinishTest(Parameter& p, const std::string& name) {
  ProcedureState& s = p.procedure;
  p.pollWhenIdle.store(1);
  const std::size_t slash = p.testFilePath.rfind('\\');
  s.lastTestFileName = slash == std::string::npos ? p.testFilePath : p.testFilePath.substr(slash + 1);
  ClearToIdle(p);
  p.fileLoaded.store(1);
  p.testFilePath.clear();
  p.clockShift = 0;
  p.uploadStatus.store(0);

  // Queue files with nothing left to send go (the routine deletes an emptied file of an idle channel).
  const int routeCode = toIntSaturated(route() + 0.5f);
  std::int64_t none = QueueRecord::kNoSlot;
  if (routeCode == 0 || routeCode == 3) JDQFile::WriteQueueFile(name, 1, 0, p, &none);
  if (routeCode == 2 || routeCode == 3) JDQFile::WriteQueueFile(name, 1, 1, p, &none);

  for (std::size_t i = 0; i < p.texts.size(); ++i) p.texts[i].clear();
  for (std::size_t i = 0; i < 4; ++i) p.texts2[i].clear();

  p.ParameterList.set(24, 0.0f);  // the next test's set-up gives its own control load
  JDQFile::BuildHeaderRecords(p);
  JDQFile::PackParameters(p, p.ParameterList);
  JDQFile::RestoreFromHeader(p, p.testRecords);
  JDQFile::SaveParameterFile(p.testFilePath, p.channelName, p);

  if (s.lastTestFileName.empty()) return;
  JDQFile::LoadOpenedTest(p, GetDataRoot(ch_[0]->boardFlag.load()) + s.lastTestFileName);
}

void ChannelProcedure::CheckCycleEnd(Parameter& p, const std::string& name) {
  ProcedureState& s = p.procedure;
  const int i = s.readingIndex;
  const int code = p.standardCode.load();
  const float target = p.controlLoad.load();
  const float step = p.stepLoad2.load();

  // Time number of the last reading, and value 16 of it and of the reading three before it, at their
  // rebuilt positions (a reading left out of the rebuild takes none), as the stability judgement
  // reads them.
  const int last = p.readingIndex - 1;
  const std::vector<TestRecord>& r = p.testRecords;
  const bool haveLast = last >= 0 && static_cast<std::size_t>(last) < r.size();
  const int minutes = haveLast ? timeNumber(r[static_cast<std::size_t>(last)]) : 0;
  const float lastSettlement = haveLast ? r[static_cast<std::size_t>(last)].valuesA[16] : 0.0f;
  const bool haveEarlier = haveLast && last >= 3;
  const float earlierSettlement = haveEarlier ? r[static_cast<std::size_t>(last - 3)].valuesA[16] : 0.0f;

  auto secondCycle = [&]() {
    const int mode = p.loadingMode.load();
    const char* text = mode == 1 ? "# 第二次循环，先将油泵换向阀打到\r\n加载！然后确认."
                       : (mode == 2 || mode == 3) ? "# 第二次循环，比例双油路，\r\n5秒钟后自动卸载!"
                                                  : "# 第二次循环，先保证油泵的加载状态\r\n，然后确认.";
    {
      std::lock_guard<std::mutex> lock(p.loadLock);
      p.loadingPhase.store(0);
    }
    if (ask(name + text) != 1) return;
    std::lock_guard<std::mutex> lock(p.loadLock);
    p.loadingPhase.store(1);
    p.controlLoad.store(levelLoad(p, s.levelCounter));
    p.judgeIntervalMinutes.store(15);
    p.holdMinutes.store(15);
    p.judgeCount.store(1);
  };

  if (target > 0.0f) {
    bool complete = false;
    const int needed = unloadReadingsNeeded(code);
    if (needed > 0) {
      complete = i >= needed;
    } else if (code == 15) {
      complete = i >= 5 && JDQFile::JudgeStableCycle(p) == 1;
    } else if (code == 48) {
      complete = i >= 4 && JDQFile::JudgeStableCycle(p) == 1;
    } else if (code == 9) {
      complete = minutes >= p.levelMinutes[15];
    }
    if (!complete) return;
    s.unloadLevelComplete = 0;
    if (code == 0 || code == 149) {
      s.levelCounter = std::min(s.levelCounter + 1, 19);
      if (s.levelCounter > (code == 0 ? 8 : 7)) {
        FinishTest(p, name);
      } else {
        setTarget(p, levelLoad(p, s.levelCounter));
      }
    } else if (code == 72) {
      const int before = s.levelCounter;
      s.levelCounter = std::min(s.levelCounter + 1, 20);
      if (s.levelCounter > 19) {
        FinishTest(p, name);
      } else if (before == 6) {
        secondCycle();
      } else {
        setTarget(p, levelLoad(p, s.levelCounter));
      }
    } else {
      const int n = p.levelMinutes[14];
      std::lock_guard<std::mutex> lock(p.loadLock);
      if (hundredths(target) - hundredths(step) * n < 1) {
        // The last intermediate level is done: unloading goes on to zero load.
        p.loadingPhase.store(5);
        p.controlLoad.store(0.0f);
      } else {
        p.controlLoad.store(target - static_cast<float>(n) * step);
      }
    }
    return;
  }

  // Zero load: the final readings decide when the test ends.
  bool ends = false;
  if (in(code, {3, 58, 88, 90, 102, 119, 121}) && i >= 3) {
    ends = haveEarlier && thousandths(earlierSettlement) - thousandths(lastSettlement) < 10;
  } else if ((code == 15 && i >= 5) || code == 48) {
    ends = JDQFile::JudgeStableCycle(p) == 1;
  } else if (code == 72 && i >= 2) {
    s.levelCounter = std::min(s.levelCounter + 1, 20);
    if (s.levelCounter > 19) {
      ends = true;
    } else if (s.levelCounter == 7) {
      secondCycle();
    } else {
      setTarget(p, levelLoad(p, s.levelCounter));
    }
  } else if (in(code, {73, 74}) && i >= 3) {
    ends = minutes >= p.levelMinutes[16] && haveEarlier && earlierSettlement - lastSettlement <= 0.25f;
  } else if (code == 11 || code == 118) {
    ends = JDQFile::JudgeStableCycle(p) == 1;
  } else if (code != 72) {
    ends = minutes >= p.levelMinutes[16];
  }
  if (ends) FinishTest(p, name);
}

void ChannelProcedure::ResumeFromRunningState(Parameter& p) {
  ProcedureState& s = p.procedure;
  s.readingIndex = std::clamp(p.runCounters[0], 0, 6);
  s.levelCounter = std::clamp(p.runCounters[1], 0, 19);
  p.link.levelNumber.store(std::max(0, p.runCounters[2]));
  s.reloadCounter = std::max(1, p.runCounter4);
  s.levelEndCounter = std::clamp(p.runCounter5, 0, 6500);
  s.catchUpTaken = p.runSwitch1 != 0 ? 1 : 0;
  s.waitingAfterStable = p.runSwitch2 != 0 ? 1 : 0;
  s.nextReadingAt = p.elapsedCounter;
  if (s.levelClockAt <= 0 || s.levelClockAt > s.nextReadingAt) {
    // A file of an older build keeps no time 0 of the level: it lies as many minutes before the next
    // reading as the schedule puts between them (the last reading's minutes and the next interval).
    const int last = p.readingIndex - 1;
    const int minutes = last >= 0 && static_cast<std::size_t>(last) < p.testRecords.size()
                            ? timeNumber(p.testRecords[static_cast<std::size_t>(last)])
                            : 0;
    const int k = std::clamp(s.readingIndex + 1, 1, 7);
    const int phase = p.loadingPhase.load();
    const int next = p.levelMinutes[static_cast<std::size_t>(phase >= 5 ? 6 + k : k - 1)];
    s.levelClockAt = s.nextReadingAt - 60 * static_cast<std::int64_t>(std::max(0, minutes) + std::max(1, next));
  }
  p.nextReadingText = TestClockTimeText(p.nextReadingSeconds, p.clockShift);
  std::lock_guard<std::mutex> lock(p.loadLock);
  p.previousLoad.store(p.runValue);
}

void ChannelProcedure::TogglePause(Parameter& p) {
  if (p.testRunning.load() != 1) return;
  if (p.paused.load() != 0) {
    ResumeTest(p);
    return;
  }
  p.procedure.pausedMark = 1;
  p.paused.store(1);
  JDQFile::PackParameters(p, p.ParameterList);
  JDQFile::SaveParameterFile(p.testFilePath, p.channelName, p);
  window_.setControlText(1276, "恢复\r\n试验");
}

void ChannelProcedure::ResumeTest(Parameter& p) {
  if (p.testRunning.load() != 1) return;
  LinkState& l = p.link;
  p.paused.store(0);
  for (auto& r : l.pauseRequest) r = 0;
  for (auto& c : l.persistence) c = 0;
  l.stopState.store(0);
  l.pauseRequested.store(0);
  JDQFile::PackParameters(p, p.ParameterList);
  JDQFile::SaveParameterFile(p.testFilePath, p.channelName, p);
  window_.setControlText(1276, "暂停\r\n试验");
  p.procedure.scheduleBreak = 1;
  ClearPumpControl(p);
  if (p.procedure.pumpStopKind != 2) {
    p.pumpForcedStop.store(0);
    p.procedure.pumpStopKind = 0;
    p.procedure.pumpStopMark = 0;
  }
}

}  // namespace frontend
