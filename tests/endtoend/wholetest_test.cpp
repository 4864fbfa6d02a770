// Whole tests: the procedure of one to three channels from the first level to the end of the test,
// driven against the simulated controllers on the manual clock and checked in the files it leaves
// (the test data file, its backup copy, the upload queue files and the parameter file).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numeric>

#include "model/computations.h"
#include "model/header_fields.h"
#include "tests/endtoend/instrument.h"

using namespace endtoend;

namespace {

std::string readHost(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

float mean4(const Reading& r) { return (r.gauges[0] + r.gauges[1] + r.gauges[2] + r.gauges[3]) / 4.0f; }

// Reading times of a level, in minutes after its load was reached, whose reading intervals are
// `intervals` (1..7, the seventh repeating): 0 (the reading when the load was reached), i1, i1+i2, ...
std::vector<int> scheduleTimes(const std::array<int, 7>& intervals, std::size_t count) {
  std::vector<int> t;
  int at = 0;
  if (count > 0) t.push_back(0);
  for (std::size_t k = 0; t.size() < count; ++k) t.push_back(at += intervals[std::min<std::size_t>(k, 6)]);
  return t;
}

std::array<int, 7> loadingIntervals(const Parameter& p) {
  return {p.levelMinutes[0], p.levelMinutes[1], p.levelMinutes[2], p.levelMinutes[3],
          p.levelMinutes[4], p.levelMinutes[5], p.levelMinutes[6]};
}
std::array<int, 7> unloadingIntervals(const Parameter& p) {
  return {p.levelMinutes[7],  p.levelMinutes[8],  p.levelMinutes[9], p.levelMinutes[10],
          p.levelMinutes[11], p.levelMinutes[12], p.levelMinutes[13]};
}

// The time of a level's last reading and of the one before it (0 when there is none).
int lastTime(const Level& l) { return l.readings.empty() ? 0 : l.readings.back().minutes; }
int timeBeforeLast(const Level& l) {
  return l.readings.size() < 2 ? 0 : l.readings[l.readings.size() - 2].minutes;
}

std::vector<int> minutesOf(const Level& l) {
  std::vector<int> m;
  for (const Reading& r : l.readings) m.push_back(r.minutes);
  return m;
}

// The time field of a record, in minutes.
int recordMinutes(const TestRecord& r) { return std::atoi(std::string(r.time, sizeof r.time).c_str()); }

// What a finished test left behind, with the checks every whole test shares.
struct Outcome {
  std::vector<TestRecord> records;
  std::vector<Reading> readings;
  std::vector<Level> levels;
};

Outcome checkFinished(Instrument& inst, int n, const TestSetup& t, const std::string& path) {
  Parameter& p = inst.ch(n);
  Outcome o;
  EXPECT_EQ(p.testRunning.load(), 0);
  EXPECT_EQ(p.loadingPhase.load(), 0);
  EXPECT_TRUE(p.testFilePath.empty());
  // The file and its backup copy are the same bytes.
  const std::string file = readHost(inst.hostPath(path));
  const std::string backup = readHost(inst.hostPath(JDQFile::BackupPathFor(path, 1)));
  EXPECT_FALSE(file.empty());
  EXPECT_EQ(file, backup) << "backup differs from " << path;
  EXPECT_EQ(file.size() % kTestRecordDiskSize, 0u);
  o.records = inst.loadFile(path);
  o.readings = readingsOf(o.records);
  o.levels = levelsOf(o.readings);
  // The finished test is shown from its file: the counts stop at the first record without a reading.
  EXPECT_EQ(p.readingCount, static_cast<int>(o.readings.size()));
  EXPECT_EQ(p.openedTestRecords.size(), o.records.size());

  // Levels: up by one step from the first load to the maximum, then down to zero.
  std::vector<float> expect;
  for (float l = t.firstLoad; l <= t.maxLoad + 0.01f; l += t.step) expect.push_back(l);
  const float top = expect.back();
  const int down = p.levelMinutes[14];
  for (float l = top - static_cast<float>(down) * t.step; l > 0.01f; l -= static_cast<float>(down) * t.step)
    expect.push_back(l);
  expect.push_back(0.0f);
  std::vector<float> got;
  for (const Level& l : o.levels) got.push_back(l.load);
  EXPECT_EQ(got, expect);
  return o;
}

// The queue files hold one record per reading, as built for each route.
void checkQueues(Instrument& inst, const std::string& base, std::size_t readings, const TestSetup& t) {
  const auto module = queueSlots(inst.hostPath(base + ".gps"));
  const auto box = queueSlots(inst.hostPath(base + ".gpsw"));
  ASSERT_EQ(module.size(), readings);
  ASSERT_EQ(box.size(), readings);
  for (std::size_t k = 0; k < readings; ++k) {
    for (const std::string* s : {&module[k], &box[k]}) {
      EXPECT_EQ(s->substr(0, 4), "GPRS");
      int sum = 0;
      for (int b = 0; b < 127; ++b) sum += static_cast<unsigned char>((*s)[static_cast<std::size_t>(b)]);
      EXPECT_EQ(sum % 256, static_cast<unsigned char>((*s)[127]));
    }
    // The module gets the serial number (digits, sent as BCD); the box, with a pile number and route
    // 3, the external serial number as text.
    EXPECT_EQ(module[k][4], 4);
    EXPECT_EQ(box[k][4], t.externalSerial.empty() ? 4 : 5);
  }
}

}  // namespace

// The slow maintained load of JGJ106-2014 (code 5) on a compression pile: loaded in its levels to the
// maximum load, each level held until stable, unloaded in double steps to zero, then the zero-load
// readings until the standard's time, and the end.
TEST(WholeTest, SlowMaintainedCompressionToZero) {
  Instrument inst;
  TestSetup t;
  inst.start(1, t);
  Parameter& p = inst.ch(1);
  const int hold = p.holdMinutes.load();
  const int interval = p.judgeIntervalMinutes.load();
  const float limit = p.stableSettlement.load();
  const int zeroTime = p.levelMinutes[16];
  const auto load = loadingIntervals(p);
  const auto unload = unloadingIntervals(p);
  ASSERT_TRUE(inst.runUntil([&] { return p.testRunning.load() == 0; }, 60));

  const std::string path = "\\Storage Card\\2026001-P1.krv";
  Outcome o = checkFinished(inst, 1, t, path);
  ASSERT_EQ(o.levels.size(), 11u);
  ASSERT_EQ(inst.window.questions.size(), 1u);
  EXPECT_EQ(inst.window.questions[0], "1# 已加到最大荷载，若卸载请先油路换向！\r\n然后单击确定.");

  for (std::size_t l = 0; l < 7; ++l) {
    SCOPED_TRACE(testing::Message() << "loading level " << l + 1);
    const Level& lv = o.levels[l];
    ASSERT_GE(lv.readings.size(), 3u);
    // Readings at the standard's times after the load was reached: 5, 15, 30, 45, 60, 90, 120, ...
    EXPECT_EQ(minutesOf(lv), scheduleTimes(load, lv.readings.size()));
    for (const Reading& r : lv.readings) EXPECT_NEAR(r.load, lv.load, 5.0f);
    // Stable: held for the hold time, and the settlement of the last judging interval is below the
    // limit; one reading earlier it was not yet stable (the level moves on at its first stable reading).
    EXPECT_GE(lastTime(lv), hold);
    auto settledSince = [&](std::size_t k) {
      const Reading& a = lv.readings[k];
      for (std::size_t b = k; b-- > 0;)
        if (a.minutes - lv.readings[b].minutes >= interval) return mean4(a) - mean4(lv.readings[b]);
      return 1e9f;
    };
    EXPECT_LT(settledSince(lv.readings.size() - 1), limit + 0.005f);
    if (timeBeforeLast(lv) >= hold) {
      EXPECT_GE(settledSince(lv.readings.size() - 2), limit - 0.005f);
    }
  }
  for (std::size_t l = 7; l < 10; ++l) {
    SCOPED_TRACE(testing::Message() << "unloading level " << l - 6);
    const Level& lv = o.levels[l];
    // The reading at load reached and three at the unloading intervals (the level is complete).
    EXPECT_EQ(minutesOf(lv), scheduleTimes(unload, 4));
    for (const Reading& r : lv.readings) EXPECT_NEAR(r.load, lv.load, 5.0f);
  }
  // The zero-load readings rebound the pile and end at the zero-load time.
  const Level& zero = o.levels[10];
  EXPECT_EQ(minutesOf(zero), scheduleTimes(unload, zero.readings.size()));
  EXPECT_GE(lastTime(zero), zeroTime);
  EXPECT_LT(timeBeforeLast(zero), zeroTime);
  for (const Reading& r : zero.readings) EXPECT_LT(std::fabs(r.load), 6.0f);
  const float peak = mean4(o.levels[6].readings.back());
  EXPECT_LT(mean4(zero.readings.back()), peak - 1.0f);
  EXPECT_GT(mean4(zero.readings.back()), 0.5f);

  // Status bytes: the first reading carries the schedule-break mark of a fresh channel; the upload
  // route is 3 in every reading.
  EXPECT_EQ(o.readings[0].status[1], 32);
  // The second reading filled the trailing header texts.
  EXPECT_EQ(std::string(o.records[12].tail1), "KRV718C-3.3.8");
  EXPECT_EQ(std::string(o.records[13].tail1), "0");
  for (const Reading& r : o.readings) EXPECT_EQ(r.status[2], 3);
  checkQueues(inst, "\\Storage Card\\2026001-P1", o.readings.size(), t);

  // The channel's parameter file was saved with no test.
  Parameter reloaded;
  reloaded.boardFlag = 1;
  std::string stored;
  ASSERT_EQ(JDQFile::LoadParameterFile(stored, "1", reloaded), 1);
  EXPECT_TRUE(stored.empty());
}

// A quick standard (JGJ106-2014 quick, code 4: increment rule, one hour a level) on a compression
// pile, and the uplift test of JGJ106-2014 (code 13) on an uplift pile.
TEST(WholeTest, QuickStandardAndUplift) {
  struct Case {
    int code;
    int testType;
    float first, step, max;
    std::size_t unloadReadings;  // readings of an unloading level until it is complete (with the one at
                                 // load reached)
  } cases[] = {
      {4, 1, 300.0f, 300.0f, 1500.0f, 3},
      {13, 5, 160.0f, 80.0f, 640.0f, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "standard " << c.code);
    Instrument inst;
    TestSetup t;
    t.code = c.code;
    t.testType = c.testType;
    t.firstLoad = c.first;
    t.step = c.step;
    t.maxLoad = c.max;
    t.serial = std::to_string(9000 + c.code);
    inst.start(1, t);
    Parameter& p = inst.ch(1);
    const int hold = p.holdMinutes.load();
    const auto load = loadingIntervals(p);
    const auto unload = unloadingIntervals(p);
    const int zeroTime = p.levelMinutes[16];
    const int down = p.levelMinutes[14];
    ASSERT_TRUE(inst.runUntil([&] { return p.testRunning.load() == 0; }, 60));
    const std::string base = "\\Storage Card\\" + t.serial + "-P1";
    Outcome o = checkFinished(inst, 1, t, base + ".krv");
    const std::size_t loading = static_cast<std::size_t>(std::lround((c.max - c.first) / c.step)) + 1;
    ASSERT_GT(o.levels.size(), loading);
    for (std::size_t l = 0; l < loading; ++l) {
      const Level& lv = o.levels[l];
      EXPECT_EQ(minutesOf(lv), scheduleTimes(load, lv.readings.size())) << "level " << l + 1;
      EXPECT_GE(lastTime(lv), hold) << "level " << l + 1;
    }
    for (std::size_t l = loading; l + 1 < o.levels.size(); ++l)
      EXPECT_EQ(o.levels[l].readings.size(), c.unloadReadings) << "unloading level " << l;
    const Level& zero = o.levels.back();
    EXPECT_EQ(minutesOf(zero), scheduleTimes(unload, zero.readings.size()));
    EXPECT_GE(lastTime(zero), zeroTime);
    EXPECT_LT(timeBeforeLast(zero), zeroTime);
    (void)down;
    checkQueues(inst, base, o.readings.size(), t);
  }
}

// Three channels with three standards at once: each keeps its own schedule, files and queues.
TEST(WholeTest, ThreeChannelsAtOnce) {
  Instrument inst;
  TestSetup a, b, c;
  a.serial = "1005";
  b.serial = "2004";
  b.code = 4;
  b.firstLoad = 300.0f;
  b.step = 300.0f;
  b.maxLoad = 1200.0f;
  c.serial = "3013";
  c.code = 13;
  c.testType = 5;
  c.firstLoad = 160.0f;
  c.step = 80.0f;
  c.maxLoad = 480.0f;
  c.route = 3.0f;
  inst.start(1, a);
  inst.start(2, b);
  inst.start(3, c);
  auto running = [&] {
    return inst.ch(1).testRunning.load() + inst.ch(2).testRunning.load() + inst.ch(3).testRunning.load();
  };
  ASSERT_TRUE(inst.runUntil([&] { return running() == 0; }, 60));
  const TestSetup* setups[3] = {&a, &b, &c};
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(testing::Message() << "channel " << n);
    const TestSetup& t = *setups[n - 1];
    const std::string base = "\\Storage Card\\" + t.serial + "-P1";
    Outcome o = checkFinished(inst, n, t, base + ".krv");
    const auto load = loadingIntervals(inst.ch(n));
    for (std::size_t l = 0; l < o.levels.size() && o.levels[l].load <= t.maxLoad && l < 3; ++l)
      EXPECT_EQ(minutesOf(o.levels[l]), scheduleTimes(load, o.levels[l].readings.size()));
    checkQueues(inst, base, o.readings.size(), t);
  }
  // Each maximum-load question names its channel.
  ASSERT_EQ(inst.window.questions.size(), 3u);
  std::vector<char> digits;
  for (const std::string& q : inst.window.questions) digits.push_back(q[0]);
  std::sort(digits.begin(), digits.end());
  EXPECT_EQ(digits, (std::vector<char>{'1', '2', '3'}));
}

// A pause in the second level: no reading while paused, the clock on the channel's time display, the
// pause kept in the parameter file; after the resume the overdue reading is caught up and carries the
// schedule-break and paused marks, and the test runs on to its end.
TEST(WholeTest, PauseAndResume) {
  Instrument inst;
  TestSetup t;
  t.maxLoad = 800.0f;
  inst.start(1, t);
  Parameter& p = inst.ch(1);
  ASSERT_TRUE(inst.runUntil([&] { return p.link.levelNumber.load() == 2 && p.procedure.readingIndex >= 2; }, 10));
  const int before = p.readingCount;
  inst.procedure->TogglePause(p);
  EXPECT_EQ(p.paused.load(), 1);
  EXPECT_EQ(inst.window.controls[1276], "恢复\r\n试验");
  {
    Parameter stored;
    stored.boardFlag = 1;
    std::string path;
    ASSERT_EQ(JDQFile::LoadParameterFile(path, "1", stored), 1);
    EXPECT_EQ(stored.ParameterList.item(66), 1.0f);
  }
  inst.runFor(45);
  EXPECT_EQ(p.readingCount, before);
  const clk::DateTime now = clk::localTime();
  EXPECT_EQ(p.timeText, platform::text::format("%02d : %02d : %02d", now.hour, now.minute, now.second));
  EXPECT_EQ(p.pumpCommand.load(), 0);

  inst.procedure->TogglePause(p);
  EXPECT_EQ(p.paused.load(), 0);
  EXPECT_EQ(inst.window.controls[1276], "暂停\r\n试验");
  // The readings that fell due during the pause are taken at once, one a tick, each marked late;
  // the schedule goes on at its own minutes.
  inst.runFor(0.2);
  ASSERT_GE(p.readingCount - before, 2);
  ASSERT_TRUE(inst.runUntil([&] { return p.testRunning.load() == 0; }, 40));

  Outcome o = checkFinished(inst, 1, t, "\\Storage Card\\2026001-P1.krv");
  std::size_t k = static_cast<std::size_t>(before);
  for (; k < o.readings.size() && o.readings[k].status[5] == 2; ++k) {
    EXPECT_EQ(o.readings[k].status[1] & 32, 32) << k;  // schedule break
    EXPECT_EQ(o.readings[k].status[3] & 8, k == static_cast<std::size_t>(before) ? 8 : 0) << k;  // paused
  }
  EXPECT_GE(k - static_cast<std::size_t>(before), 2u);
  for (; k < o.readings.size(); ++k) {
    EXPECT_EQ(o.readings[k].status[3] & 8, 0) << k;
    EXPECT_EQ(o.readings[k].status[5], 0) << k;
  }
}

// One whole test over the real front-end link: frames through a pseudo-terminal to the controller
// simulator. A short schedule keeps it to about half an hour of instrument time.
TEST(WholeTest, OverTheLink) {
  sim::PileSettings pile;
  pile.creepMinutes = 1.0;
  Instrument inst(Instrument::Drive::Link, pile);
  TestSetup t;
  t.firstLoad = 200.0f;
  t.step = 200.0f;
  t.maxLoad = 400.0f;
  t.schedule = [](TimingRow& row) {
    for (int k = 0; k < 6; ++k) {
      row[static_cast<std::size_t>(kLoadInterval1 + k)] = 1;
      row[static_cast<std::size_t>(kUnloadInterval1 + k)] = 1;
    }
    row[kLoadInterval7] = row[kUnloadInterval7] = 1;
    row[kHoldTime] = 3;
    row[kJudgeTime] = 2;
    row[kJudgeCount] = 1;
    row[kZeroTime] = 4;
  };
  t.stableSettlement = 0.1f;
  inst.start(1, t);
  inst.openLink({"1"});
  Parameter& p = inst.ch(1);
  ASSERT_TRUE(inst.runUntil([&] { return p.testRunning.load() == 0; }, 2));
  Outcome o = checkFinished(inst, 1, t, "\\Storage Card\\2026001-P1.krv");
  ASSERT_EQ(o.levels.size(), 3u);  // 200, 400, then 0 (400 - 2 x 200)
  const std::array<int, 7> ones{1, 1, 1, 1, 1, 1, 1};
  for (std::size_t l = 0; l < 2; ++l) {
    EXPECT_EQ(minutesOf(o.levels[l]), scheduleTimes(ones, o.levels[l].readings.size()));
    EXPECT_GE(lastTime(o.levels[l]), 3);
    for (std::size_t k = 1; k < o.levels[l].readings.size(); ++k)
      EXPECT_NEAR(o.levels[l].readings[k].load, o.levels[l].load, 6.0f);
  }
  EXPECT_GE(lastTime(o.levels.back()), 4);
  checkQueues(inst, "\\Storage Card\\2026001-P1", o.readings.size(), t);
}

// Each reading's time within its level is the minute it was taken after the level's load was
// reached: in the test data file, in the reading list the stability judgement reads right after the
// reading, and in the list rebuilt from the file when the finished test is opened. A level is judged
// stable only once its hold time has really passed, and the zero-load readings end at the standard's
// zero-load time. One loading level, then unloading to zero, under a slow and a quick standard.
TEST(WholeTest, ReadingTimesAreTheMinutesAfterTheLoadWasReached) {
  struct Case {
    int code;
    float load;
  } cases[] = {{5, 400.0f}, {4, 300.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "standard " << c.code);
    Instrument inst;
    TestSetup t;
    t.code = c.code;
    t.firstLoad = t.maxLoad = c.load;
    t.step = c.load / 2.0f;
    inst.start(1, t);
    Parameter& p = inst.ch(1);
    const int hold = p.holdMinutes.load();
    const int zeroTime = p.levelMinutes[16];

    struct Taken {
      int index;
      bool step;
      int minute;        // minutes after the load of the level was reached, by the instrument clock
      int listed;        // the time of its record in the reading list after the reading
      bool madeStable;   // the judgement after this reading found the level stable
    };
    std::vector<Taken> taken;
    std::int64_t reachedAt = 0;
    int levelsSoFar = 0;
    int phase = p.loadingPhase.load();
    const std::uint64_t limit = clk::monotonicMs() + 12ull * 3600000ull;
    while (p.testRunning.load() == 1 && clk::monotonicMs() < limit) {
      const int count = p.readingCount;
      inst.step();
      const int now = p.loadingPhase.load();
      const std::int64_t at = clk::toSeconds(p.localTime);
      if ((phase == 1 && (now == 2 || now == 3)) || (phase == 5 && now >= 6)) reachedAt = at;
      if (p.readingCount == count + 1 && p.testRunning.load() == 1) {
        const TestRecord& r = p.testRecords[static_cast<std::size_t>(count)];
        const bool step = std::string(r.marker, 5) == "--:--";
        levelsSoFar += step;
        // In the rebuilt list each level's first reading stands on its step record's position, so
        // every later record stands one place before its index per level before it.
        const std::size_t listed = static_cast<std::size_t>(count - (step ? levelsSoFar - 1 : levelsSoFar));
        taken.push_back({count, step, step ? 0 : static_cast<int>((at - reachedAt + 30) / 60),
                         recordMinutes(p.testRecords[listed]), now == 4 && phase != 4});
      }
      phase = now;
    }
    ASSERT_EQ(p.testRunning.load(), 0);

    const std::vector<TestRecord> file = inst.loadFile("\\Storage Card\\2026001-P1.krv");
    std::vector<TestRecord> opened = file;
    Parameter viewer;
    ASSERT_EQ(JDQFile::RebuildReadings(viewer, opened), 1);
    int levels = 0;
    for (const Taken& k : taken) {
      SCOPED_TRACE(testing::Message() << "record " << k.index << ", taken at minute " << k.minute);
      const std::size_t i = static_cast<std::size_t>(k.index);
      levels += k.step;
      EXPECT_EQ(recordMinutes(file[i]), k.minute);
      EXPECT_EQ(k.listed, k.minute);
      EXPECT_EQ(recordMinutes(opened[i - static_cast<std::size_t>(k.step ? levels - 1 : levels)]), k.minute);
      if (k.madeStable) {
        EXPECT_GE(k.minute, hold);
      }
    }
    EXPECT_GE(levels, 2);
    // The loading level became stable at a reading; the test ended at the first zero-load reading at
    // the zero-load time.
    EXPECT_EQ(std::count_if(taken.begin(), taken.end(), [](const Taken& k) { return k.madeStable; }), 1);
    ASSERT_EQ(file.size() > taken.size(), true);
    const std::size_t last = static_cast<std::size_t>(p.readingCount) - 1;
    EXPECT_GE(recordMinutes(file[last]), zeroTime);
    EXPECT_LT(recordMinutes(file[last - 1]), zeroTime);
  }
}
