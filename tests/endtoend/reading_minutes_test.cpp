// Every reading carries the minute at which it was taken: whole tests of standard 5 over the simulated
// pile on the manual clock in which something holds the schedule up for more than one slot (a pause, a
// question left open, the program restarted) or marks the procedure as changed (a pump stopped by
// hand and the level's clock started with "手动记录", the standard changed in the middle of a level).
// Each reading is checked here against the pile itself, at the moment it was taken and at the minute
// it carries, and each loading level against the standard's own windows over the true minutes, not
// against the program's judgement.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

#include "app/test_control.h"
#include "model/computations.h"
#include "tests/endtoend/instrument.h"
#include "tests/endtoend/standard_rule.h"

using namespace endtoend;

namespace {

using Gauges = std::array<double, 4>;

float mean4(const Reading& r) { return (r.gauges[0] + r.gauges[1] + r.gauges[2] + r.gauges[3]) / 4.0f; }
int recordMinutes(const TestRecord& r) { return std::atoi(std::string(r.time, sizeof r.time).c_str()); }
std::int64_t nowSeconds() { return clk::toSeconds(clk::localTime()); }

// A gauge reads whole counts of 0.0099 mm: a reading is the pile's settlement when every gauge lies
// within three quarters of a count of it.
bool samePile(const Reading& r, const Gauges& g) {
  for (std::size_t k = 0; k < 4; ++k)
    if (std::fabs(static_cast<double>(r.gauges[k]) - g[k]) > 0.0075) return false;
  return true;
}

// What one channel did, seen from outside around each main-loop step: the pile under it, and for each
// reading the moment it was taken, the pile then, the criteria in force and what the judgement made
// of it.
class Watch {
 public:
  struct Taken {
    std::int64_t at = 0;
    Gauges pile{};
    Criteria criteria;
    int code = 0;             // the standard in force
    bool judged = false;      // taken while the level was held (phase 2 or 3)
    bool madeStable = false;  // the level became stable at it
  };

  Watch(Instrument& inst, int n) : inst_(inst), n_(n) {}

  void before() {
    const Parameter& p = inst_.ch(n_);
    count_ = p.readingCount;
    phase_ = p.loadingPhase.load();
    criteria_ = {p.holdMinutes.load(), p.judgeIntervalMinutes.load(), p.judgeCount.load(), p.criterionMode3.load(),
                 p.stableSettlement.load()};
    code_ = p.standardCode.load();
  }
  void after() {
    const Parameter& p = inst_.ch(n_);
    if (p.testRunning.load() != 1 && p.readingCount == count_) return;
    Gauges g;
    for (std::size_t k = 0; k < 4; ++k) g[k] = inst_.controller(n_).gaugeMm(static_cast<int>(k));
    const std::int64_t now = clk::toSeconds(p.localTime);
    trace.emplace_back(now, g);
    const bool held = phase_ == 2 || phase_ == 3;
    for (int k = count_; k < p.readingCount; ++k)
      taken[k] = {now, g, criteria_, code_, held, held && p.loadingPhase.load() == 4};
  }

  std::map<int, Taken> taken;
  std::vector<std::pair<std::int64_t, Gauges>> trace;

  // Whether the pile stood at the reading's gauges within a minute either side of `at`.
  bool pileAround(const Reading& r, std::int64_t at) const {
    for (const auto& [t, g] : trace)
      if (t >= at - 60 && t <= at + 60 && samePile(r, g)) return true;
    return false;
  }

 private:
  Instrument& inst_;
  int n_;
  int count_ = 0;
  int phase_ = 0;
  Criteria criteria_;
  int code_ = 0;
};

// Steps the instrument until no channel runs (or `hours` of instrument time), with `event` before each
// step and the watches around it.
void runWatched(Instrument& inst, std::vector<Watch*> watches, const std::function<void()>& event, double hours) {
  const std::uint64_t limit = clk::monotonicMs() + static_cast<std::uint64_t>(hours * 3600000.0);
  auto running = [&] {
    return inst.ch(1).testRunning.load() + inst.ch(2).testRunning.load() + inst.ch(3).testRunning.load() > 0;
  };
  while (running() && clk::monotonicMs() < limit) {
    if (event) event();
    for (Watch* w : watches) w->before();
    inst.step();
    for (Watch* w : watches) w->after();
  }
}

// The checks of a finished test of channel `n`, level by level: the reading at load reached stands at
// "0" on its step record's position; no reading is left out or stands twice; every later reading
// carries a minute that its taking time does not contradict (within a minute of it, on time within its
// ten seconds), later than the one before; every reading is the pile's settlement at the moment it
// was taken (nothing from before a gap) and at the minute it carries; and each loading level is
// judged stable at the first reading at which the windows of the standard in force over the true
// minutes pass.
void checkEveryReading(Instrument& inst, int n, const Watch& w) {
  SCOPED_TRACE(testing::Message() << "channel " << n);
  Parameter& p = inst.ch(n);
  EXPECT_EQ(p.testRunning.load(), 0) << "the test did not end";
  const std::vector<TestRecord> file = inst.loadFile(p.procedure.lastTestFileName.empty()
                                                         ? p.testFilePath
                                                         : "\\Storage Card\\" + p.procedure.lastTestFileName);
  const std::vector<Reading> readings = readingsOf(file);
  const std::vector<Level> levels = levelsOf(readings);
  ASSERT_GE(levels.size(), 2u);
  std::vector<TestRecord> rebuilt = file;
  Parameter viewer;
  ASSERT_EQ(JDQFile::RebuildReadings(viewer, rebuilt), 1);
  EXPECT_EQ(viewer.readingIndex, static_cast<int>(readings.size() - levels.size())) << "a reading left out";
  for (const Reading& r : readings) EXPECT_EQ(r.status[0] & 64, 0) << "reading " << r.index << " is left out";

  const float maxLoad = std::strtof(JDQFile::HeaderText(file, 7, 2).c_str(), nullptr);
  int levelNo = 0;
  for (const Level& lv : levels) {
    SCOPED_TRACE(testing::Message() << "level " << levelNo + 1 << " at " << lv.load);
    ASSERT_FALSE(lv.readings.empty());
    const std::size_t position = static_cast<std::size_t>(lv.readings[0].index - 1 - levelNo);
    const Watch::Taken& zero = w.taken.at(lv.readings[0].index);
    EXPECT_EQ(lv.readings[0].minutes, 0);
    EXPECT_EQ(recordMinutes(rebuilt[position]), 0);
    std::vector<Point> pts;
    int before = -1;
    for (std::size_t k = 0; k < lv.readings.size(); ++k) {
      const Reading& r = lv.readings[k];
      const Watch::Taken& t = w.taken.at(r.index);
      const std::int64_t since = t.at - zero.at;
      const int minute = recordMinutes(rebuilt[position + k]);
      SCOPED_TRACE(testing::Message() << "reading " << k << " taken " << since << " s in, at minute " << minute);
      EXPECT_LE(std::llabs(60LL * minute - since), 60) << "its minute is not when it was taken";
      if (r.status[5] == 0) {
        EXPECT_GE(since, 60LL * minute);
        EXPECT_LE(since, 60LL * minute + 10);
      }
      EXPECT_GT(minute, before);
      before = minute;
      if (k > 0) {
        EXPECT_TRUE(samePile(r, t.pile)) << "not the pile's settlement when it was taken";
      }
      EXPECT_TRUE(w.pileAround(r, zero.at + 60LL * minute)) << "not the pile's settlement at its minute";
      pts.push_back({static_cast<int>((since + 30) / 60), RoundHalfEven(mean4(r), 2)});
    }
    if (zero.judged) {
      const bool finalLevel = std::fabs(lv.load - maxLoad) < 0.01f;
      std::size_t own = lv.readings.size();
      for (std::size_t k = 0; k < lv.readings.size() && own == lv.readings.size(); ++k) {
        const Watch::Taken& t = w.taken.at(lv.readings[k].index);
        if (ownRule(t.code, pts, k, t.criteria, levelNo == 0, finalLevel, 0, position + k)) own = k;
      }
      ASSERT_LT(own, lv.readings.size()) << "never stable by the standard's rule";
      EXPECT_TRUE(w.taken.at(lv.readings[own].index).madeStable) << "the rule passes at minute " << pts[own].t;
      EXPECT_EQ(own, lv.readings.size() - 1) << "the level went on after it was stable";
    }
    ++levelNo;
  }
}

// Whether channel p holds level `level` `minutes` or more after its load was reached.
bool holdingAt(const Parameter& p, int level, int minutes) {
  const int phase = p.loadingPhase.load();
  return p.link.levelNumber.load() == level && (phase == 2 || phase == 3) &&
         clk::toSeconds(p.localTime) - p.procedure.levelClockAt >= 60LL * minutes;
}

// How far a case's event has gone, and when its last step came.
struct Stage {
  int step = 0;
  std::int64_t at = 0;
};

// The standard changed to `code` at minute 20 of level `level`, with the control load typed `off` from
// the level's own.
std::function<void(Instrument&, Stage&)> changeStandard(int code, int level, float off) {
  return [code, level, off](Instrument& inst, Stage& stage) {
    Parameter& p = inst.ch(1);
    if (stage.step != 0 || !holdingAt(p, level, 20)) return;
    TestSetup changed;
    changed.code = code;
    changed.step = p.stepLoad2.load();
    changed.maxLoad = p.stepLoad3.load();
    StandardSettings s = standardSettings(changed);
    s.controlLoad = p.controlLoad.load() + off;
    ASSERT_TRUE(CommitStandardSettings(p, s).accepted);
    EXPECT_EQ(p.procedureChanged.load(), off != 0.0f ? 1 : 0);
    stage.step = 1;
  };
}

// Minutes of a gap: longer than the four slots of standard 5 between minute 20 and minute 95 of a level.
constexpr std::int64_t kGapMinutes = 75;

}  // namespace

// Standard 5 from 400 kN in steps of 200 kN to 800 kN, with one of these in the second level: a pause
// from minute 20 to minute 95; the program down from minute 20 for 75 minutes and started again; the
// pump stopped by hand at 505 kN on the way to 600 kN and the level's clock started with "手动记录";
// in the third level, the standard changed (to 65, the same schedule) at minute 20 with the control
// load typed as 799.996 kN, which the set-up takes as a changed control load and the level as its own
// 800 kN; or, at minute 20 of the second level, the standard changed to 2, whose schedule differs (the
// readings taken before keep their minutes, the later ones follow the new intervals). After a gap one
// reading is taken at the minute it is, and the schedule goes on from it; the procedure-changed mark
// stays in status byte 1 and leaves no reading out.
TEST(ReadingMinutes, EveryReadingCarriesTheMinuteAtWhichItWasTaken) {
  struct Case {
    const char* name;
    std::function<void(Instrument&, Stage&)> event;  // before each step
    int ownMinuteReadings;                         // readings taken at their own minute, at least
    bool markedChange;                             // a reading carries the procedure-changed mark
  };
  const Case cases[] = {
      {"paused from minute 20 to 95",
       [](Instrument& inst, Stage& stage) {
         Parameter& p = inst.ch(1);
         if (stage.step == 0 && holdingAt(p, 2, 20)) {
           inst.procedure->TogglePause(p);
           stage = {1, nowSeconds()};
         } else if (stage.step == 1 && nowSeconds() - stage.at >= 60 * kGapMinutes) {
           inst.procedure->TogglePause(p);
           stage.step = 2;
         }
       },
       1, false},
      {"program down from minute 20 for 75 minutes",
       [](Instrument& inst, Stage& stage) {
         if (stage.step != 0 || !holdingAt(inst.ch(1), 2, 20)) return;
         clk::advance(static_cast<std::uint64_t>(kGapMinutes) * 60000);
         inst.restart(1);
         stage.step = 1;
       },
       1, false},
      {"pump stopped by hand at 505 kN, then the manual record",
       [](Instrument& inst, Stage& stage) {
         Parameter& p = inst.ch(1);
         if (stage.step == 0 && p.link.levelNumber.load() == 2 && p.loadingPhase.load() == 1 &&
             p.link.measuredLoad.load() >= 505.0f) {
           inst.procedure->TogglePumpStop(p);
           stage.step = 1;
         } else if (stage.step == 1) {
           EXPECT_EQ(testcontrol::ManualRecord(p, p.ParameterList.item(56), 0), testcontrol::ManualOutcome::LevelAdvanced);
           stage.step = 2;
         } else if (stage.step == 2) {
           inst.procedure->TogglePumpStop(p);  // the pump goes on again for the level
           stage.step = 3;
         }
       },
       0, true},
      {"standard changed at minute 20 of the last level", changeStandard(65, 3, -0.004f), 0, true},
      {"standard of another schedule from minute 20 of the second level", changeStandard(2, 2, 0.0f), 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Instrument inst;
    TestSetup t;
    t.maxLoad = 800.0f;
    inst.start(1, t);
    Watch w(inst, 1);
    Stage stage;
    runWatched(inst, {&w}, [&] { c.event(inst, stage); }, 40);
    EXPECT_GT(stage.step, 0) << "the event never came";
    checkEveryReading(inst, 1, w);

    const std::vector<Reading> readings = readingsOf(inst.loadFile("\\Storage Card\\2026001-P1.krv"));
    int own = 0;
    bool marked = false;
    for (const Reading& r : readings) {
      own += (r.status[5] & 4) != 0;
      marked = marked || (r.status[1] & 64) != 0;
    }
    EXPECT_EQ(own, c.ownMinuteReadings);
    EXPECT_EQ(marked, c.markedChange);
  }
}

// Channel 1's maximum-load question stands open for 75 minutes while channel 2 holds its first level:
// the main loop, and with it every poll and reading, waits. Afterwards channel 2 takes one reading at
// the minute it is, with the pile's settlement then, and goes on from it.
TEST(ReadingMinutes, AQuestionLeftOpenOverSeveralSlots) {
  Instrument inst;
  TestSetup one;
  one.firstLoad = one.maxLoad = 400.0f;
  inst.start(1, one);
  TestSetup two;
  two.maxLoad = 800.0f;
  two.serial = "2026002";
  two.pile = "P2";
  int asked = 0;
  int phaseOfTwo = -1;
  inst.window.whileAsked = [&](const std::string& q) {
    if (q.rfind("1#", 0) != 0 || asked++ != 0) return;
    phaseOfTwo = inst.ch(2).loadingPhase.load();
    clk::advance(static_cast<std::uint64_t>(kGapMinutes) * 60000);
  };
  Watch w1(inst, 1), w2(inst, 2);
  const std::int64_t startTwoAt = nowSeconds() + 100 * 60;
  bool twoStarted = false;
  runWatched(inst, {&w1, &w2},
             [&] {
               if (twoStarted || nowSeconds() < startTwoAt) return;
               inst.start(2, two);
               twoStarted = true;
             },
             40);
  ASSERT_EQ(asked, 1);
  EXPECT_TRUE(phaseOfTwo == 2 || phaseOfTwo == 3) << phaseOfTwo;
  checkEveryReading(inst, 1, w1);
  checkEveryReading(inst, 2, w2);
  int own = 0;
  for (const Reading& r : readingsOf(inst.loadFile("\\Storage Card\\2026002-P2.krv"))) own += (r.status[5] & 4) != 0;
  EXPECT_EQ(own, 1);
}
