// Whole tests: the procedure of one to three channels from the first level to the end of the test,
// driven against the simulated controllers on the manual clock and checked in the files it leaves
// (the test data file, its backup copy, the upload queue files and the parameter file).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <random>

#include "model/computations.h"
#include "model/header_fields.h"
#include "tests/endtoend/instrument.h"
#include "tests/endtoend/standard_rule.h"

using namespace endtoend;

namespace {

std::string readHost(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

float mean4(const Reading& r) { return (r.gauges[0] + r.gauges[1] + r.gauges[2] + r.gauges[3]) / 4.0f; }

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
// pause kept in the parameter file; after the resume one reading is taken at once, at the minute it is,
// with the schedule-break and paused marks, and the test runs on to its end.
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
  // One reading is taken at once, at the minute it is, marked late; the slots that passed during the
  // pause stay empty and the schedule goes on from it.
  inst.runFor(0.2);
  ASSERT_EQ(p.readingCount - before, 1);
  ASSERT_TRUE(inst.runUntil([&] { return p.testRunning.load() == 0; }, 40));

  Outcome o = checkFinished(inst, 1, t, "\\Storage Card\\2026001-P1.krv");
  const std::size_t k = static_cast<std::size_t>(before);
  EXPECT_EQ(o.readings[k].status[5], 4);
  EXPECT_EQ(o.readings[k].status[1] & 32, 32);  // schedule break
  EXPECT_EQ(o.readings[k].status[3] & 8, 8);    // paused
  for (std::size_t j = k + 1; j < o.readings.size(); ++j) {
    EXPECT_EQ(o.readings[j].status[3] & 8, 0) << j;
    EXPECT_EQ(o.readings[j].status[5], 0) << j;
  }
}

// One whole test over the real front-end link: frames through a pseudo-terminal to the controller
// simulator. A short schedule keeps it to about half an hour of instrument time.
TEST(WholeTest, OverTheLink) {
  sim::PileSettings pile;
  pile.creepMinutes = 1.0;
  Instrument inst(Instrument::Drive::Link, pile);
  const TestSetup t = endtoend::shortTest();
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


// Whole tests under standards with different rules: every level's first reading is the one at the
// moment its load was reached, time 0, and it alone stands on the level's step record in the rebuilt
// list; the later readings carry the standard's minutes; no reading stands twice; and every loading
// level is judged stable at the first reading at which the standard's own windows, measured back to
// that time-0 settlement, pass. Each test ends by itself (standard 14 at zero load too, and standard 48
// after zero-load readings whose second and third intervals are doubled, at the minutes they were
// taken).
TEST(WholeTest, EachLevelCountsFromTheReadingAtItsLoadByStandard) {
  struct Case {
    int code;
    float first, step, max;
  } cases[] = {
      {5, 400.0f, 200.0f, 1200.0f},  {6, 400.0f, 200.0f, 1000.0f}, {2, 400.0f, 200.0f, 1000.0f},
      {14, 400.0f, 200.0f, 1000.0f}, {72, 200.0f, 200.0f, 1000.0f}, {119, 400.0f, 200.0f, 1000.0f},
      {3, 400.0f, 200.0f, 1000.0f},  {48, 400.0f, 200.0f, 1000.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "standard " << c.code);
    Instrument inst;
    TestSetup t;
    t.code = c.code;
    t.firstLoad = c.first;
    t.step = c.step;
    t.maxLoad = c.max;
    t.serial = std::to_string(7000 + c.code);
    inst.start(1, t);
    Parameter& p = inst.ch(1);
    const auto load = loadingIntervals(p);
    if (c.code == 72) {
      // The second cycle of standard 72 climbs to its own load Pg (the set-up's extra value).
      const float pg = 1200.0f;
      const float second[] = {0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0.0f};
      for (std::size_t k = 0; k < 13; ++k) p.levelLoads[7 + k] = pg * second[k];
    }

    struct Seen {
      Criteria criteria;
      bool judged;      // taken while the level was held (phase 2 or 3)
      bool madeStable;  // the level became stable at it
    };
    std::map<int, Seen> seen;
    const std::uint64_t limit = clk::monotonicMs() + 120ull * 3600000ull;
    const int zeroTime = p.levelMinutes[16];
    while (p.testRunning.load() == 1 && clk::monotonicMs() < limit) {
      const int count = p.readingCount;
      const int phase = p.loadingPhase.load();
      const Criteria now{p.holdMinutes.load(), p.judgeIntervalMinutes.load(), p.judgeCount.load(),
                         p.criterionMode3.load(), p.stableSettlement.load()};
      inst.step();
      if (p.readingCount == count + 1)
        seen[count] = {now, phase == 2 || phase == 3, (phase == 2 || phase == 3) && p.loadingPhase.load() == 4};
    }
    ASSERT_EQ(p.testRunning.load(), 0) << "phase " << p.loadingPhase.load() << ", target " << p.controlLoad.load()
                                       << ", readings " << p.readingCount << ", next " << p.nextReadingText
                                       << ", questions " << inst.window.questions.size();

    const std::vector<TestRecord> file = inst.loadFile("\\Storage Card\\" + t.serial + "-P1.krv");
    const std::vector<Reading> readings = readingsOf(file);
    const std::vector<Level> levels = levelsOf(readings);
    ASSERT_GE(levels.size(), 4u);
    EXPECT_GE(lastTime(levels.back()), zeroTime);
    if (c.code == 14) {
      // Standard 14 ends by itself at its first zero-load reading at or after the zero-load time,
      // after readings 660 minutes apart.
      EXPECT_LT(timeBeforeLast(levels.back()), zeroTime);
    }
    std::vector<TestRecord> rebuilt = file;
    Parameter viewer;
    ASSERT_EQ(JDQFile::RebuildReadings(viewer, rebuilt), 1);
    // No reading stands twice: one position for each reading but the step records.
    EXPECT_EQ(viewer.readingIndex, static_cast<int>(readings.size() - levels.size()));

    const bool thousandths = c.code == 3 || c.code == 119;
    int levelNo = 0;
    int testTime = 0;
    std::size_t stepIndex = 0;
    for (const Level& lv : levels) {
      SCOPED_TRACE(testing::Message() << "level " << levelNo + 1 << " at " << lv.load);
      while (readings[stepIndex].marker != "--:--" || readings[stepIndex].load != lv.load) ++stepIndex;
      ASSERT_FALSE(lv.readings.empty());
      // The level's time 0: the reading at load reached, on the step record's position.
      EXPECT_EQ(lv.readings[0].minutes, 0);
      EXPECT_EQ(lv.readings[0].index, static_cast<int>(stepIndex) + 1);
      const std::size_t position = stepIndex - static_cast<std::size_t>(levelNo);
      EXPECT_EQ(recordMinutes(rebuilt[position]), 0);
      std::vector<Point> pts;
      for (const Reading& r : lv.readings) pts.push_back({r.minutes, RoundHalfEven(mean4(r), thousandths ? 3 : 2)});
      EXPECT_FLOAT_EQ(rebuilt[position].valuesA[16], pts[0].s);
      for (std::size_t k = 1; k < lv.readings.size(); ++k)
        EXPECT_EQ(recordMinutes(rebuilt[position + k]), lv.readings[k].minutes) << k;

      const bool loading = seen.at(lv.readings[0].index).judged;
      if (loading) {
        EXPECT_EQ(minutesOf(lv), scheduleTimes(load, lv.readings.size()));
        const bool finalLevel = std::fabs(lv.load - p.stepLoad3.load()) < 0.01f;
        std::size_t own = lv.readings.size();
        for (std::size_t k = 0; k < lv.readings.size() && own == lv.readings.size(); ++k) {
          const Seen& at = seen.at(lv.readings[k].index);
          if (ownRule(c.code, pts, k, at.criteria, levelNo == 0, finalLevel, testTime, position + k)) own = k;
        }
        ASSERT_LT(own, lv.readings.size()) << "never stable by the standard's rule";
        EXPECT_TRUE(seen.at(lv.readings[own].index).madeStable) << "the rule passes at minute " << pts[own].t;
        EXPECT_EQ(own, lv.readings.size() - 1) << "the level went on after it was stable";
      }
      testTime += lastTime(lv);
      ++levelNo;
    }
  }
}

// A main loop that is held up: ticks mostly 0.9 s apart, with gaps of 2, 15 and 120 s at random, and
// channel 1's maximum-load question left open for 20 minutes while channel 2 holds a level. Every
// level of both tests ends; a reading whose window passed is taken at the first tick after it, marked
// late: within a minute of its time it keeps its place, later it stands at the minute it was taken and
// the schedule goes on from there. So every reading stands at a minute of its level, counted from the
// moment the load was reached, at which it was taken.
TEST(WholeTest, IrregularTicksAndALongQuestionLoseNoReading) {
  Instrument inst;
  TestSetup one;
  one.firstLoad = one.maxLoad = 400.0f;
  inst.start(1, one);
  TestSetup two;
  two.maxLoad = 1000.0f;
  two.serial = "2026002";
  two.pile = "P2";
  auto startTwo = [&] { inst.start(2, two); };
  int longQuestions = 0;
  int phaseOfTwo = -1;
  inst.window.whileAsked = [&](const std::string& q) {
    if (q.rfind("1#", 0) != 0 || longQuestions++ != 0) return;
    phaseOfTwo = inst.ch(2).loadingPhase.load();
    clk::advance(20 * 60 * 1000);
  };

  // Each channel's clock times of the moments its levels' loads were reached, and of its readings.
  std::map<int, std::vector<std::int64_t>> reached;
  std::map<int, std::map<int, std::int64_t>> takenAt;
  std::mt19937 random(14);
  std::uniform_real_distribution<double> draw(0.0, 1.0);
  const std::uint64_t startTwoAt = clk::monotonicMs() + 45ull * 60000ull;  // channel 2 starts later
  bool twoStarted = false;
  const std::uint64_t limit = clk::monotonicMs() + 40ull * 3600000ull;
  while ((inst.ch(1).testRunning.load() == 1 || inst.ch(2).testRunning.load() == 1) &&
         clk::monotonicMs() < limit) {
    std::array<int, 3> phase{}, count{};
    for (int n = 1; n <= 2; ++n) {
      phase[static_cast<std::size_t>(n)] = inst.ch(n).loadingPhase.load();
      count[static_cast<std::size_t>(n)] = inst.ch(n).readingCount;
    }
    if (!twoStarted && clk::monotonicMs() >= startTwoAt) {
      startTwo();
      twoStarted = true;
    }
    const double r = draw(random);
    inst.step(r < 0.90 ? 900 : r < 0.95 ? 2000 : r < 0.985 ? 15000 : 120000);
    for (int n = 1; n <= 2; ++n) {
      Parameter& p = inst.ch(n);
      const int before = phase[static_cast<std::size_t>(n)];
      const int now = p.loadingPhase.load();
      if ((before == 1 && (now == 2 || now == 3)) || (before == 5 && now >= 6))
        reached[n].push_back(clk::toSeconds(p.localTime));
      for (int k = count[static_cast<std::size_t>(n)]; k < p.readingCount; ++k)
        takenAt[n][k] = clk::toSeconds(p.localTime);
    }
  }
  ASSERT_EQ(longQuestions, 1);
  EXPECT_TRUE(phaseOfTwo == 2 || phaseOfTwo == 3) << phaseOfTwo;  // channel 2 held a level meanwhile

  for (int n = 1; n <= 2; ++n) {
    SCOPED_TRACE(testing::Message() << "channel " << n);
    Parameter& p = inst.ch(n);
    const TestSetup& t = n == 1 ? one : two;
    Outcome o = checkFinished(inst, n, t, "\\Storage Card\\" + t.serial + "-" + t.pile + ".krv");
    ASSERT_EQ(reached[n].size(), o.levels.size());
    const auto load = loadingIntervals(p);
    const auto unload = unloadingIntervals(p);
    std::vector<TestRecord> rebuilt = o.records;
    Parameter viewer;
    ASSERT_EQ(JDQFile::RebuildReadings(viewer, rebuilt), 1);
    EXPECT_EQ(viewer.readingIndex, static_cast<int>(o.readings.size() - o.levels.size()));
    int inPlace = 0, ownMinute = 0;
    for (std::size_t l = 0; l < o.levels.size(); ++l) {
      SCOPED_TRACE(testing::Message() << "level " << l + 1 << " at " << o.levels[l].load);
      const Level& lv = o.levels[l];
      const bool loading = l == 0 || lv.load > o.levels[l - 1].load;
      const std::array<int, 7>& intervals = loading ? load : unload;
      const std::size_t position = static_cast<std::size_t>(lv.readings[0].index - 1) - l;
      // The reading at load reached is taken on that tick.
      EXPECT_EQ(takenAt[n].at(lv.readings[0].index), reached[n][l]);
      int minute = 0;  // the minute of the schedule the last reading stands at
      for (std::size_t k = 1; k < lv.readings.size(); ++k) {
        const Reading& r = lv.readings[k];
        const std::int64_t at = takenAt[n].at(r.index);
        const int slot = minute + intervals[std::min<std::size_t>(k - 1, 6)];
        const std::int64_t due = reached[n][l] + 60LL * slot;
        const int taken = static_cast<int>((at - reached[n][l] + 30) / 60);
        // Reading k is the one of the next slot, taken in its window; or, marked late, at the first
        // tick after it: within a minute of it in that slot, later at the minute it is taken, from
        // which the schedule goes on.
        EXPECT_GE(at, due) << k;
        if (at <= due + 10) {
          EXPECT_EQ(r.status[5], 0) << k;
          EXPECT_EQ(r.minutes, slot) << k;
          minute = slot;
        } else if (at < due + 60) {
          ++inPlace;
          EXPECT_EQ(r.status[5], 2) << k;
          EXPECT_EQ(r.minutes, taken) << k;
          minute = slot;
        } else {
          ++ownMinute;
          EXPECT_EQ(r.status[5], 4) << k;
          EXPECT_EQ(r.minutes, taken) << k;
          minute = taken;
        }
        if (r.status[5] != 0) {
          EXPECT_EQ(r.status[1] & 32, 32) << k;
        }
        // The rebuilt list, which the judgement reads, has the same minute.
        EXPECT_EQ(recordMinutes(rebuilt[position + k]), minute) << k;
      }
    }
    EXPECT_GT(inPlace, 0);
    EXPECT_GT(ownMinute, 0);
  }
}
