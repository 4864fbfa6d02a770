// The control tick of a channel: the reading schedule of the current level, the per-second sampling,
// the stable level and the move to the next level, the maximum-load and oil-circuit questions, the
// unloading schedule and the minute upload.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "frontend/command.h"
#include "frontend/procedure.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/text/text.h"

namespace frontend {

namespace clk = platform::clock;
using platform::text::format;

namespace {

bool isCyclic(int code) { return code == 62 || code == 76 || code == 144; }

// int(x * 100 + 0.5) in single precision, saturated.
int hundredths(float x) { return toIntSaturated(static_cast<float>(x * 100.0f + 0.5f)); }

int secondsOfDay(const clk::DateTime& t) { return t.hour * 3600 + t.minute * 60 + t.second; }

std::string clockText(const clk::DateTime& t) {
  return format("%02d : %02d : %02d", t.hour, t.minute, t.second);
}

bool atMaximum(const Parameter& p) {
  return std::fabs(static_cast<double>(p.controlLoad.load()) - static_cast<double>(p.stepLoad3.load())) <
         9.255e-6;
}

// Loading interval k (1..7) and unloading interval k (1..7), minutes. An interval below one minute
// (a schedule typed as 0) counts as one minute, so readings never follow each other tick by tick.
int loadingMinutes(const Parameter& p, int k) {
  k = std::clamp(k, 1, 7);
  return std::max(1, p.levelMinutes[static_cast<std::size_t>(k - 1)]);
}
int unloadingMinutes(const Parameter& p, int k) {
  k = std::clamp(k, 1, 7);
  return std::max(1, p.levelMinutes[static_cast<std::size_t>(6 + k)]);
}

// A load as the main window shows it: "%.2f" without trailing zeros and point.
std::string loadText(float v) {
  std::string s = format("%.2f", static_cast<double>(v));
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

// Prompt texts by loading mode: [0] mode 1, [1] modes 2 and 3, [2] mode 0.
using PromptTexts = std::array<const char*, 3>;
const PromptTexts kMaxGeneral = {"# 已加到最大荷载，若卸载请先油路换向！\r\n然后单击确定.",
                                 "# 已加到最大荷载，比例双油路\r\n5秒钟后自动卸载!",
                                 "# 已加到最大荷载，若卸载请单击确定\r\n然后卸压."};
const PromptTexts kMax0 = {"# 双油路千斤顶，卸载前先将油路打到卸载阀！\r\n然后选择确定.",
                           "# 比例双油路，\r\n5秒钟后自动卸载!", "# 当前使用的为单油路千斤顶\r\n确定后人工卸压."};
const PromptTexts kMax72 = {"双油路千斤顶，卸载前先将油泵换向\r\n阀打到卸载！然后确认.",
                            "# 比例双油路，\r\n5秒钟后自动卸载!",
                            "单油路千斤顶，先选择确认，然后人\r\n工卸压！"};
const PromptTexts kMax149 = {"双油路千斤顶，卸载前先将油泵换向\r\n阀打到卸载！然后确认",
                             "自动双油路，5秒后自动卸载！", "单油路千斤顶，先选择确认，然后人\r\n工卸压！"};
const PromptTexts kUnloadPrompt = {"# 请将油泵换向阀打到卸载方向，\r\n5秒钟后自动卸载!",
                                   "# 比例双油路，\r\n5秒钟后自动卸载!", "# 请将油泵卸压，\r\n5秒钟后自动卸载!"};
const PromptTexts kReloadPrompt = {"# 请将油泵换向阀打到加载方向，\r\n5秒钟后自动加载!",
                                   "# 比例双油路，\r\n5秒钟后自动加载!", "# 请将油泵加压，\r\n5秒钟后自动加载!"};
constexpr const char* kBeyondMaximum = "# 已达到最大荷载,“确定”继续试验,\r\n“取消”结束试验!";

const char* byMode(const PromptTexts& t, int mode) {
  if (mode == 1) return t[0];
  if (mode == 2 || mode == 3) return t[1];
  return t[2];
}

// A question of a channel: the channel digit goes before a text that begins with "# " (giving
// "1# ..."); a text without that mark stands as it is.
std::string channelQuestion(const std::string& name, const char* text) {
  return std::string(text).rfind("# ", 0) == 0 ? name + text : std::string(text);
}

enum MaxKind { kGeneral, kStandard0, kStandard72, kStandard149 };

}  // namespace

// ---------------------------------------------------------------------------------------------------

ChannelProcedure::ChannelProcedure(Parameter& ch1, Parameter& ch2, Parameter& ch3, MainWindowPort& window,
                                   FrontEndLink* link)
    : ch_{&ch1, &ch2, &ch3}, window_(window), link_(link) {}

int ChannelProcedure::channelNumber(const Parameter& p) const {
  for (int i = 0; i < 3; ++i)
    if (ch_[static_cast<std::size_t>(i)] == &p) return i + 1;
  return 1;
}

bool ChannelProcedure::shown(const Parameter& p) const {
  return ch_[0]->selectedChannelText == std::to_string(channelNumber(p));
}

float ChannelProcedure::route() const { return ch_[0]->ParameterList.item(56); }

int ChannelProcedure::ask(const std::string& question) {
  prompt_ = question;
  return window_.confirm(question);
}

void ChannelProcedure::alarmOn() {
  if (link_ != nullptr) link_->AlarmOn();
}

void ChannelProcedure::composeAlarms(const Parameter& p) {
  if (link_ != nullptr) link_->ComposeAlarmText(channelNumber(p));
}

// The controller signals: signal byte 255, and the alarm output when it is off.
void ChannelProcedure::signal(Parameter& p) {
  p.link.auxOutput.store(255);
  if (ch_[0]->alarmOn.load() == 0) alarmOn();
}

void ChannelProcedure::setPhase(Parameter& p, int phase) {
  std::lock_guard<std::mutex> lock(p.loadLock);
  p.loadingPhase.store(phase);
}

void ChannelProcedure::setTarget(Parameter& p, float load) {
  std::lock_guard<std::mutex> lock(p.loadLock);
  p.controlLoad.store(load);
}

float ChannelProcedure::levelLoad(const Parameter& p, int index) const {
  return p.levelLoads[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(p.levelLoads.size()) - 1))];
}

// ---------------------------------------------------------------------------------------------------
// The tick.

void ChannelProcedure::takeNewLevel(Parameter& p) {
  ProcedureState& s = p.procedure;
  int index = -1;
  if (takeLevelChange(p, &index) != 0) {
    if (index >= 0) s.levelCounter = index;
    s.levelStart = 1;
    s.readingClock = 0;
    s.useTarget = 0;
  }
  if (p.link.reached.exchange(0) != 0) {
    s.readingClock = 1;
    s.useTarget = 1;
  }
}

int ChannelProcedure::ControlTick(Parameter& p, const std::string& name) {
  ProcedureState& s = p.procedure;
  if (p.testRunning.load() == 1) takeNewLevel(p);
  const clk::DateTime now = p.localTime;
  // A paused channel shows the time of its test clock (the instrument's time when it has no shift).
  auto shownNow = [&p, &now] {
    return clockText(p.clockShift == 0 ? now : clk::fromSeconds(clk::toSeconds(now) + p.clockShift));
  };
  const int phase = p.loadingPhase.load();
  if (phase < 0) return 0;
  if (phase == 0) {
    if (p.paused.load() != 0) {
      p.timeText = shownNow();
    } else if (p.link.linkLost.load() != 0) {
      if (p.link.goodCount.load() > 3) p.link.goodCount.store(0);
      p.timeText = p.nextReadingText;
    }
    return 0;
  }
  composeAlarms(p);
  if (p.paused.load() != 0) {
    p.timeText = shownNow();
    return 0;
  }
  if (s.levelEndCounter > 6500) s.levelEndCounter = 0;
  if (p.link.unloadStepCounter.load() > 6500) p.link.unloadStepCounter.store(0);
  if (p.link.linkLost.load() != 0) {
    if (p.link.goodCount.load() > 3) p.link.goodCount.store(0);
    p.timeText = p.nextReadingText;
    return 0;
  }
  if (p.link.goodCount.load() <= 3) return 0;

  if (p.testRunning.load() == 1) phaseWork(p, name);

  // Pump stop at zero load (single oil circuit: the operator lets the pressure off by hand).
  if (p.testRunning.load() == 1 && p.loadingPhase.load() >= 5 && !(p.controlLoad.load() > 0.0f) &&
      p.loadingMode.load() == 0 && s.stopRelease == 0)
    p.pumpForcedStop.store(64);

  minuteUpload(p);
  p.timeText = p.nextReadingText;
  return 0;
}

// A reading is due in the ten seconds from its time on. One whose window has passed (the main loop
// was held up: a slow card, a long question, a pause, a restart) is taken at the first tick after it,
// marked late, once the link has been up long enough to trust the readings: within a minute of its
// time it keeps its slot; later it is taken at the minute it is (see placeReading).
ChannelProcedure::Slot ChannelProcedure::slotState(const Parameter& p) const {
  const std::int64_t now = clk::toSeconds(p.localTime);
  const std::int64_t at = p.procedure.nextReadingAt;
  if (now < at) return Slot::NotYet;
  if (now <= at + 10) return Slot::Due;
  if (p.link.goodCount.load() < 30) return Slot::NotYet;
  if (p.nextReadingText.empty() || p.nextReadingText == kNoReadingText) return Slot::NotYet;
  return now < at + 60 ? Slot::Late : Slot::Passed;
}

// The next reading at absolute time `at` (seconds): the absolute time, its time of day and its text.
void ChannelProcedure::scheduleAt(Parameter& p, std::int64_t at) {
  ProcedureState& s = p.procedure;
  s.nextReadingAt = at;
  p.nextReadingSeconds = secondsOfDay(clk::fromSeconds(at));
  // Shown beside the channel's test clock, in its time.
  p.nextReadingText = TestClockTimeText(p.nextReadingSeconds, p.clockShift);
  // The absolute time goes into the running state of the header records with the test.
  p.elapsedCounter = s.nextReadingAt;
}

// The next reading `seconds` after the one whose time has just come: the schedule counts from the
// reading's own time, not from the tick that took it, so a reading taken late or a few seconds into
// its window moves none of the later ones.
void ChannelProcedure::scheduleNext(Parameter& p, int seconds) {
  scheduleAt(p, p.procedure.nextReadingAt + seconds);
}

void ChannelProcedure::scheduleHolding(Parameter& p) {
  ProcedureState& s = p.procedure;
  s.readingIndex = std::min(s.readingIndex + 1, 6);
  int seconds = loadingMinutes(p, s.readingIndex + 1) * 60;
  if (p.standardCode.load() == 53 && atMaximum(p))
    seconds = s.readingIndex <= 2 ? 600 : s.readingIndex <= 4 ? 900 : 1800;
  scheduleNext(p, seconds);
}

void ChannelProcedure::scheduleUnloading(Parameter& p) {
  ProcedureState& s = p.procedure;
  const int code = p.standardCode.load();
  const float target = p.controlLoad.load();
  if (code == 14 && target == 0.0f && unloadingMinutes(p, s.readingIndex + 1) == 660) {
    // The end-of-cycle check follows this reading too: the test ends at its first zero-load reading
    // at or after the zero-load time.
    s.readingIndex = std::min(s.readingIndex + 1, 6);
    scheduleNext(p, unloadingMinutes(p, s.readingIndex + 1) * 60);
    return;
  }
  if (code == 48 && target == 0.0f) {
    const int before = s.readingIndex;
    s.readingIndex = before + 1;
    int minutes;
    if (s.readingIndex > 6) {
      s.readingIndex = 6;
      minutes = unloadingMinutes(p, 7);
    } else {
      minutes = unloadingMinutes(p, s.readingIndex + 1);
    }
    const bool doubled = (before == 1 || before == 2) && p.criterionMode2.load() == 0;
    scheduleNext(p, minutes * (doubled ? 120 : 60));
    return;
  }
  if ((code == 89 || code == 90) && !(target > 0.0f)) {
    scheduleNext(p, 1800);
    return;
  }
  if (code == 77 && !(target > 0.0f)) {
    scheduleNext(p, 600);
    return;
  }
  s.readingIndex = std::min(s.readingIndex + 1, 6);
  const int minutes = unloadingMinutes(p, s.readingIndex + 1);
  scheduleNext(p, minutes * 60 + (code == 14 && minutes == 660 ? 20 : 0));
}

void ChannelProcedure::sampleSecond(Parameter& p) {
  ProcedureState& s = p.procedure;
  s.thisTick = p.localTime;
  const std::int64_t diff = clk::toSeconds(s.thisTick) - clk::toSeconds(s.previousSample);
  if (s.clockJump != 0) {
    p.exportRecords.clear();
    s.sampleCounter = 0;
    // Sampling starts again in step with the next reading, or at once when that reading is already
    // overdue (there is nothing to align to).
    const std::int64_t ahead = s.nextReadingAt - clk::toSeconds(s.thisTick);
    if ((ahead > 59 && s.thisTick.second == p.nextReadingSeconds % 60) || ahead < 0) {
      s.clockJump = 0;
      s.previousSample = s.thisTick;
    }
    return;
  }
  if (diff == 1 || diff == -1) {
    const LinkState& l = p.link;
    TestRecord a = JDQFile::BlankTestRecord();
    const std::string hm = format("%02d:%02d", s.thisTick.hour, s.thisTick.minute);
    const std::string hms = format("%02d:%02d:%02d", s.thisTick.hour, s.thisTick.minute, s.thisTick.second);
    std::copy_n(hm.data(), std::min<std::size_t>(hm.size(), sizeof a.marker), a.marker);
    std::fill(std::begin(a.text4), std::end(a.text4), '\0');
    std::copy_n(hms.data(), std::min<std::size_t>(hms.size(), sizeof a.text4 - 1), a.text4);
    a.valuesA[0] = l.measuredLoad.load();
    a.valuesA[1] = l.measuredPressure.load();
    TestRecord b = a;
    for (std::size_t g = 0; g < 8; ++g) a.valuesA[2 + g] = l.displacement[g].load();
    for (std::size_t g = 0; g < 4; ++g) b.valuesA[2 + g] = l.unfiltered[g].load();
    b.valuesA[6] = l.meanDisplacement.load();
    b.valuesA[7] = l.meanGroup1.load();
    b.valuesA[8] = l.meanGroup2.load();
    p.exportRecords.push_back(a);
    p.exportRecords.push_back(b);
    if (++s.sampleCounter > 59) {
      if (ch_[0]->procedure.textExport == 1) AppendTextExport(p);
      s.sampleCounter = 0;
      p.exportRecords.clear();
      p.minuteUpload.store(1);
    }
  } else if (diff != 0) {
    s.clockJump = 1;
  }
  s.previousSample = s.thisTick;
}

void ChannelProcedure::phaseWork(Parameter& p, const std::string& name) {
  ProcedureState& s = p.procedure;
  if (s.skipTick != 0) {
    s.skipTick = 0;
    return;
  }
  if (s.levelStart != 0) {
    levelStart(p, name);
    return;
  }
  if (s.readingClock != 0) {
    readingClockStart(p, name);
    return;
  }
  const int phase = p.loadingPhase.load();
  if (phase == 2 || phase == 3) {
    holdingReadings(p, name);
  } else if (phase == 4) {
    stableLevel(p, name);
  } else if (phase == 5) {
    unloadingStep(p);
  } else if (phase >= 6) {
    unloadingReadings(p, name);
  }
}

void ChannelProcedure::levelStart(Parameter& p, const std::string& name) {
  ProcedureState& s = p.procedure;
  const int phase = p.loadingPhase.load();
  const bool counts = isCyclic(p.standardCode.load()) ? phase >= 1 : (phase >= 1 && phase <= 4);
  const bool onScreen = shown(p);
  if (counts) {
    const int level = p.link.levelNumber.load() + 1;
    p.link.levelNumber.store(level);
    if (onScreen) window_.setControlText(1026, format("%d级", level));
  } else if (onScreen) {
    window_.setControlText(1026, kNoValueText);
  }
  if (onScreen) {
    window_.setControlText(1034, JDQFile::HeaderText(p.testRecords, 7, 3));
    window_.setControlText(1036, JDQFile::HeaderText(p.testRecords, 8, 1));
  }
  RecordReading(p, name);
  p.timeText = kNoReadingText;
  if (onScreen) window_.setControlText(1012, loadText(p.controlLoad.load()));
  p.nextReadingText = kNoReadingText;
  s.readingIndex = 0;
  s.catchUpTaken = 0;
}

// The level's schedule starts at the tick at which its load is reached, with that tick's time: the
// reading taken then is the level's time 0 (the settlement at the load's application), and the
// schedule's readings follow at their minutes from it. The cyclic lateral standards take no reading
// then.
void ChannelProcedure::readingClockStart(Parameter& p, const std::string& name) {
  ProcedureState& s = p.procedure;
  const int phase = p.loadingPhase.load();
  const int code = p.standardCode.load();
  const float target = p.controlLoad.load();
  int seconds;
  if (phase == 2 || phase == 3) {
    seconds = !isCyclic(code) && code == 53 && atMaximum(p) ? 600 : loadingMinutes(p, 1) * 60;
  } else if (phase >= 6) {
    seconds = unloadingMinutes(p, 1) * 60;
    if ((code == 89 || code == 90) && !(target > 0.0f)) seconds = 1800;
    if (code == 77 && !(target > 0.0f)) seconds = 600;
  } else {
    return;
  }
  const std::int64_t now = clk::toSeconds(p.localTime);
  s.levelClockAt = now;
  s.readingIndex = 0;
  scheduleAt(p, now + seconds);
  p.timeText = p.nextReadingText;
  if (isCyclic(code)) {
    s.readingClock = 0;
    s.useTarget = 0;
    return;
  }
  RecordReading(p, name);
}

// The minute of its level at which the reading whose time has come stands. On time, it is its slot,
// counted from the level's time 0. One whose window has passed carries the schedule-break mark. Taken
// within a minute of its time, it is the scheduled reading taken late: it takes its place in the
// schedule (the later readings keep their minutes) and the late mark. Taken later, perhaps with later
// slots passed as well, it is one reading at the minute at which it is taken, and the schedule goes on
// from that minute with the standard's intervals; the slots that passed stay empty. No reading is
// stored under a minute at which it was not taken.
void ChannelProcedure::placeReading(Parameter& p, Slot slot) {
  ProcedureState& s = p.procedure;
  const bool timed = s.levelClockAt > 0 && s.levelClockAt <= s.nextReadingAt;
  s.slotMinutes = timed ? static_cast<int>(std::min<std::int64_t>((s.nextReadingAt - s.levelClockAt) / 60, 99998))
                        : -1;
  if (slot == Slot::Due) return;
  s.scheduleBreak = 1;
  s.catchUpTaken = 1;
  const std::int64_t now = clk::toSeconds(p.localTime);
  if (slot == Slot::Late || !timed) {
    // (A level without a time 0 to count from keeps its slots.)
    s.lateReading = 1;
    return;
  }
  const std::int64_t minutes = std::min<std::int64_t>((now - s.levelClockAt + 30) / 60, 99998);
  s.ownMinutes = static_cast<int>(minutes);
  // The base the next interval is counted from (scheduleNext).
  s.nextReadingAt = s.levelClockAt + 60 * minutes;
}

void ChannelProcedure::holdingReadings(Parameter& p, const std::string& name) {
  sampleSecond(p);
  const Slot slot = slotState(p);
  if (slot == Slot::NotYet) return;
  placeReading(p, slot);
  scheduleHolding(p);
  RecordReading(p, name);
  if (isCyclic(p.standardCode.load())) {
    unloadingPrompt(p, name);
  } else {
    p.timeText = p.nextReadingText;
  }
}

void ChannelProcedure::stableLevel(Parameter& p, const std::string& name) {
  ProcedureState& s = p.procedure;
  p.exportRecords.clear();
  s.sampleCounter = 0;
  p.timeText.clear();
  p.nextReadingText.clear();

  const int code = p.standardCode.load();
  const float target = p.controlLoad.load();
  const float step = p.stepLoad2.load();
  const float maximum = p.stepLoad3.load();
  const bool beyond = hundredths(maximum) < hundredths(target) + hundredths(step);
  if (beyond || s.levelCounter == 5 || p.ParameterList.item(88) == 0.0f) signal(p);

  if (++s.levelEndCounter <= 29) return;
  p.link.auxOutput.store(0);
  s.levelEndCounter = 0;
  if (ch_[0]->procedure.autoAdvance == 0 && s.advanceRequested == 0) {
    s.waitingAfterStable = 1;
    setPhase(p, 0);
    return;
  }
  s.advanceRequested = 0;
  s.waitingAfterStable = 0;

  const int c = s.levelCounter;
  auto criteria = [&p](int hold, int count, int interval) {
    p.holdMinutes.store(hold);
    p.judgeCount.store(count);
    p.judgeIntervalMinutes.store(interval);
  };
  switch (code) {
    case 0:
      s.levelCounter = std::min(c + 1, 19);
      if (c + 1 > 6) break;
      if (c == 5) {
        maximumLoadPrompt(p, name, kStandard0);
      } else if (c == 4) {
        setTarget(p, levelLoad(p, 5));
        criteria(120, 1, 10);
      } else {
        setTarget(p, levelLoad(p, c + 1));
        criteria(60, 1, 10);
      }
      break;
    case 149:
      s.levelCounter = std::min(c + 1, 19);
      if (c + 1 > 5) break;
      if (c == 4) {
        maximumLoadPrompt(p, name, kStandard149);
      } else {
        setTarget(p, levelLoad(p, c + 1));
      }
      break;
    case 72:
      s.levelCounter = std::min(c + 1, 19);
      if (c + 1 > 19) break;
      if (c == 3 || c == 13) {
        setTarget(p, levelLoad(p, c + 1));
        criteria(60, 1, 15);
      } else if (c == 4 || c == 14) {
        maximumLoadPrompt(p, name, kStandard72);
      } else {
        setTarget(p, levelLoad(p, c + 1));
        criteria(15, 1, 15);
      }
      break;
    default:
      if (beyond) {
        maximumLoadPrompt(p, name, kGeneral);
      } else if (code == 11 || code == 118) {
        const bool first = !p.testRecords.empty() && p.testRecords[0].valuesA[17] == target;
        setTarget(p, target + (first ? 2.0f : 1.0f) * step);
      } else if (code == 53) {
        setTarget(p, target + step);
        p.stableSettlement.store(0.1f);
        p.judgeCount.store(1);
        p.criterionMode3.store(0);
        p.judgeIntervalMinutes.store(60);
        p.holdMinutes.store(60);
      } else {
        setTarget(p, target + step);
      }
      break;
  }
}

void ChannelProcedure::maximumLoadPrompt(Parameter& p, const std::string& name, int kind) {
  const PromptTexts& texts = kind == kStandard0 ? kMax0 : kind == kStandard72 ? kMax72
                                                        : kind == kStandard149 ? kMax149 : kMaxGeneral;
  const int mode = p.loadingMode.load();
  setPhase(p, 0);
  if (ask(channelQuestion(name, byMode(texts, mode))) != 1) return;

  const int code = p.standardCode.load();
  const float target = p.controlLoad.load();
  const float step = p.stepLoad2.load();
  float next;
  if (code == 0 || code == 72 || code == 149) {
    next = levelLoad(p, p.procedure.levelCounter);
  } else {
    next = target - static_cast<float>(p.levelMinutes[14]) * step;
    const bool odd = step > 0.0f && (static_cast<long long>(p.stepLoad3.load() / step) % 2) != 0;
    if (odd && (code == 3 || code == 10 || code == 57 || code == 58 || code == 88 || code == 90 ||
                code == 102 || code == 119))
      next = target - 3.0f * step;
    if (!(next > 0.0f)) next = 0.0f;
  }
  std::lock_guard<std::mutex> lock(p.loadLock);
  p.loadingPhase.store(5);
  p.controlLoad.store(next);
}

void ChannelProcedure::unloadingStep(Parameter& p) {
  ProcedureState& s = p.procedure;
  p.exportRecords.clear();
  s.sampleCounter = 0;
  ++s.levelEndCounter;
  if (p.ParameterList.item(88) == 0.0f) signal(p);
  if (p.controlLoad.load() > 0.0f) {
    if (s.levelEndCounter > 29) {
      p.link.auxOutput.store(0);
      s.levelEndCounter = 0;
    }
  } else if (s.levelEndCounter > 119) {
    p.link.unloadStepCounter.store(120);
    p.link.auxOutput.store(0);
    s.levelEndCounter = 0;
  }
}

void ChannelProcedure::unloadingReadings(Parameter& p, const std::string& name) {
  sampleSecond(p);
  const Slot slot = slotState(p);
  if (slot == Slot::NotYet) return;
  placeReading(p, slot);
  scheduleUnloading(p);
  RecordReading(p, name);
  if (isCyclic(p.standardCode.load())) {
    reloadingPrompt(p, name, slot != Slot::Due);
  } else {
    CheckCycleEnd(p, name);
  }
}

void ChannelProcedure::unloadingPrompt(Parameter& p, const std::string& name) {
  setPhase(p, 0);
  if (ask(name + byMode(kUnloadPrompt, p.loadingMode.load())) == 1) {
    setPhase(p, 5);
    UpdateStateRecords(p);
    JDQFile::UpdateHeaderTexts(p.testFilePath, 0, p.testRecords, p);
  }
  window_.hideSecondaryDialogs();
  p.timeText = p.nextReadingText;
}

void ChannelProcedure::reloadingPrompt(Parameter& p, const std::string& name, bool late) {
  ProcedureState& s = p.procedure;
  setPhase(p, 0);
  if (ask(name + byMode(kReloadPrompt, p.loadingMode.load())) == 1) {
    if (++s.reloadCounter > 5) {
      s.reloadCounter = 1;
      const float step = p.stepLoad2.load();
      const float next = p.controlLoad.load() + step;
      if (!(next > p.stepLoad3.load())) {
        std::lock_guard<std::mutex> lock(p.loadLock);
        p.controlLoad.store(next);
        p.loadingPhase.store(1);
      } else if (ask(late ? std::string(" ") + kBeyondMaximum : channelQuestion(name, kBeyondMaximum)) == 1) {
        std::lock_guard<std::mutex> lock(p.loadLock);
        p.stepLoad3.store(p.stepLoad3.load() + step);
        p.controlLoad.store(p.controlLoad.load() + step);
        p.loadingPhase.store(1);
      } else {
        FinishTest(p, name);
        window_.hideSecondaryDialogs();
        return;
      }
    } else {
      setPhase(p, 1);
    }
    UpdateStateRecords(p);
    JDQFile::UpdateHeaderTexts(p.testFilePath, 0, p.testRecords, p);
  }
  window_.hideSecondaryDialogs();
  p.timeText = p.nextReadingText;
}

void ChannelProcedure::minuteUpload(Parameter& p) {
  if (p.minuteUpload.load() == 0) return;
  if (p.ParameterList.item(74) != 1.0f) return;
  const int phase = p.loadingPhase.load();
  if (!(phase == 2 || phase == 3 || phase >= 6)) return;
  p.procedure.lastReadingTime = format("%02d:%02d", p.localTime.hour, p.localTime.minute);
  queueUpload(p, true);
  p.minuteUpload.store(0);
}

bool ChannelProcedure::RequestNextLevel(Parameter& p) {
  ProcedureState& s = p.procedure;
  if (p.testRunning.load() != 1 || s.waitingAfterStable == 0) return false;
  std::lock_guard<std::mutex> lock(p.loadLock);
  if (p.loadingPhase.load() != 0) return false;
  s.waitingAfterStable = 0;
  s.advanceRequested = 1;
  s.levelEndCounter = 29;
  p.loadingPhase.store(4);
  return true;
}

}  // namespace frontend
