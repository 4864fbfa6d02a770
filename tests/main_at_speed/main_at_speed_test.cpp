// The real Main on a fast clock against the controller simulator: the slow maintained test of
// standard 5 (JGJ106-2014, code 5), set up and started as the test-control dialog leaves it, run by
// the program with its own main loop, link threads and display (headless) while FrontendSim moves the
// pile on the same clock and writes down what the pile did every 200 ms. Each reading of the test file
// is then checked against that trace: its gauges are the pile's settlement at the minutes the reading
// carries, counted from the moment the level's load was reached.
//
// The clock scale stretches every wall-clock delay of Main: a reading's ten-second window is
// 10 / scale seconds of wall time, so a main-loop tick that takes longer (drawing the screen, writing
// the file, a busy machine) makes the reading late. A late reading is taken at the next tick and
// marked; its minutes are then those at which it was taken (later than a minute after its slot, the
// schedule goes on from them), and it must still be the pile's settlement at those minutes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "model/computations.h"
#include "model/datafiles.h"
#include "tests/endtoend/instrument.h"
#include "tests/endtoend/programs.h"
#include "tests/endtoend/standard_rule.h"

using namespace endtoend;
namespace fsys = std::filesystem;

namespace {

// One line of the simulator's trace: the pile of controller `number` at local time `ms`.
struct PileSample {
  std::string number;
  long long ms = 0;
  double force = 0.0;
  std::array<double, 4> gauges{};
};

std::vector<PileSample> readTrace(const fsys::path& file, const std::string& number) {
  std::vector<PileSample> out;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    PileSample x;
    if (!(s >> x.number >> x.ms >> x.force >> x.gauges[0] >> x.gauges[1] >> x.gauges[2] >> x.gauges[3])) continue;
    if (x.number == number) out.push_back(x);
  }
  return out;
}

// A gauge reads whole counts of 0.0099 mm: a reading is the pile's settlement when every gauge is
// within three quarters of a count of it (half a count of rounding, and the pile moving between two trace lines).
bool sameSettlement(const Reading& r, const PileSample& s) {
  for (std::size_t g = 0; g < 4; ++g)
    if (std::fabs(static_cast<double>(r.gauges[g]) - s.gauges[g]) > 0.0075) return false;
  return true;
}

// A reading taken between two trace lines: every gauge lies between the two lines' (within the same
// three quarters of a count). On a busy machine the simulator's tracing can be held up for seconds of
// instrument time while the pile moves under a changing load, and no single line then matches.
bool settlementBetween(const Reading& r, const PileSample& a, const PileSample& b) {
  for (std::size_t g = 0; g < 4; ++g) {
    const double lo = std::min(a.gauges[g], b.gauges[g]) - 0.0075, hi = std::max(a.gauges[g], b.gauges[g]) + 0.0075;
    const double v = static_cast<double>(r.gauges[g]);
    if (v < lo || v > hi) return false;
  }
  return true;
}

// What a run left: the readings of the test file by level, and the pile's trace.
struct SpeedRun {
  std::vector<Level> levels;
  std::vector<PileSample> pile;
  std::array<int, 7> loadIntervals{}, unloadIntervals{};
  bool ended = false;
  double wallSeconds = 0.0;
  double instrumentHours = 0.0;
};

// Sets up and starts channel 1's test in a fresh device root, runs Main and the simulator at `scale`
// until `enough` holds for the file's levels (or the test ended, or `wallLimit` seconds passed).
class MainAtSpeed {
 public:
  MainAtSpeed() {
    char tmpl[] = "/tmp/mainatspeed-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("no temporary folder");
    root_ = tmpl;
    build_ = fsys::read_symlink("/proc/self/exe").parent_path().parent_path().parent_path();
    if (const char* b = std::getenv("INSTRUMENT_BUILD_DIR")) build_ = b;
  }
  ~MainAtSpeed() {
    stopProgram(main_);
    stopProgram(sim_);
    std::error_code ec;
    if (!keep_) fsys::remove_all(root_, ec);
  }

  // `taps`: what the operator taps from the start (by default OK to the maximum-load question); `enough`
  // may tap more (tap()).
  SpeedRun run(const TestSetup& t, double scale, double wallLimit, const std::function<bool(const std::vector<Level>&)>& enough,
               const std::vector<std::string>& taps = {"Main 132 1121"}) {
    SpeedRun out;
    const std::string mainExe = (build_ / "app" / "Main").string();
    const std::string simExe = (build_ / "sim" / "FrontendSim").string();
    if (!fsys::exists(mainExe) || !fsys::exists(simExe)) {
      ADD_FAILURE() << "Main or FrontendSim is not built in " << build_;
      return out;
    }
    const std::string path = "\\Storage Card\\" + t.serial + "-" + t.pile + ".krv";
    {
      // The set-up and the start of the test-control dialog, then what the dialog leaves on the
      // device: the parameter file names the test and carries the controller's number (item 83); the
      // header texts hold the running state with the first level's load.
      Instrument prep;
      prep.start(1, t);
      Parameter& p = prep.ch(1);
      out.loadIntervals = loadingIntervals(p);
      out.unloadIntervals = unloadingIntervals(p);
      p.ParameterList.set(83, 1.0f);
      EXPECT_EQ(JDQFile::SaveParameterFile(p.testFilePath, p.channelName, p), 1);
      UpdateStateRecords(p);
      EXPECT_EQ(JDQFile::UpdateAllHeaderTexts(p.testFilePath, 31, p.testRecords, p), 1);
      for (const auto& e : fsys::directory_iterator(prep.root()))
        fsys::copy(e.path(), root_ / e.path().filename(), fsys::copy_options::recursive);
    }
    // The operator's taps through the test taps of the headless display: the maximum-load question
    // answered with OK is the confirmation dialog, template 132, its OK button 1121.
    fsys::create_directories(root_ / "taps");
    for (const std::string& command : taps) tap(command);
    setenv("INSTRUMENT_TEST_TAPS", (root_ / "taps").string().c_str(), 1);

    const std::string rootText = root_.string(), scaleText = std::to_string(scale);
    const fsys::path trace = root_ / "pile.trace";
    // The controllers on the wired port (item 57 is 1: the wired link, "COM2" on this board).
    sim_ = spawnProgram({simExe, "--root", rootText, "--clock-scale", scaleText, "--trace", trace.string()},
                        rootText + "/sim.log");
    awaitPort(root_);
    const auto started = std::chrono::steady_clock::now();
    main_ = spawnProgram({mainExe, "--root", rootText, "--clock-scale", scaleText, "--display", "headless"},
                         rootText + "/main.log");
    EXPECT_GT(sim_, 0);
    EXPECT_GT(main_, 0);

    platform::fs::setRoot(root_);
    auto levels = [&] {
      std::vector<TestRecord> records;
      JDQFile::LoadTestFile(path, records);
      return levelsOf(readingsOf(records));
    };
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() < wallLimit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      Parameter stored;
      stored.boardFlag = 1;
      std::string running;
      out.ended = JDQFile::LoadParameterFile(running, "1", stored) == 1 && running.empty();
      if (out.ended || enough(levels())) break;
    }
    out.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    stopProgram(main_);
    stopProgram(sim_);
    main_ = sim_ = 0;
    out.levels = levels();
    out.pile = readTrace(trace, "000001");
    if (out.pile.empty()) out.pile = readTrace(trace, "1");
    if (out.pile.size() > 1)
      out.instrumentHours = static_cast<double>(out.pile.back().ms - out.pile.front().ms) / 3600000.0;
    return out;
  }

  void keep() { keep_ = true; }
  const fsys::path& root() const { return root_; }

  // A tap after those before it ("<program> <template> <control>"); Main performs them in turn.
  void tap(const std::string& command) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d.tap", ++taps_);
    const fsys::path file = root_ / "taps" / name;
    std::ofstream(file.string() + ".part") << command << "\n";
    fsys::rename(file.string() + ".part", file);
  }

 private:
  fsys::path root_, build_;
  pid_t main_ = 0, sim_ = 0;
  bool keep_ = false;
  int taps_ = 0;
};

// What the check found.
struct Verdict {
  int readings = 0;
  int late = 0;
  int latestMinutes = 0;  // the most minutes a late reading came after its slot
};

// Checks each reading of the levels against the pile's trace: a level's time 0 is the moment the pile
// first stood at its load-reached reading after the last reading of the level before; a reading on
// time carries the minutes of its slot (the one before it plus the standard's interval) and is the
// pile's settlement within its ten-second window; a late one is marked and is the pile's settlement at
// the minutes it carries: within a minute of its slot it keeps the slot (its file time is the minute
// it was taken), later it carries its own minute and the schedule goes on from it. `levelsToCheck`:
// the first that many levels.
Verdict checkAgainstThePile(const SpeedRun& run, std::size_t levelsToCheck) {
  Verdict v;
  const std::vector<PileSample>& pile = run.pile;
  // The trace line at which the last reading checked stood: what a level reads lies after it.
  std::size_t floor = 0;
  // The window's trace lines and the line on either side of it: a busy machine can hold the
  // simulator's tracing up for longer than a window, and then those two are the pile's nearest states.
  auto standsAt = [&](const Reading& r, std::size_t k) {
    return sameSettlement(r, pile[k]) || (k + 1 < pile.size() && settlementBetween(r, pile[k], pile[k + 1]));
  };
  // The load-reached reading is taken while the pile still moves under the last of the load: the
  // plausibility filter can hold a gauge at its last accepted value, so each gauge is the pile's at
  // the line or at a line of the minute before it (after the level before).
  auto heldGaugesAt = [&](const Reading& r, std::size_t k) {
    for (std::size_t g = 0; g < 4; ++g) {
      bool seen = false;
      for (std::size_t j = k + 1; j-- > floor && pile[j].ms >= pile[k].ms - 60000 && !seen;)
        seen = std::fabs(static_cast<double>(r.gauges[g]) - pile[j].gauges[g]) <= 0.0075;
      if (!seen) return false;
    }
    return true;
  };
  // The first trace line from `from` to `to` at which the pile stood at the reading, or none.
  auto matchIn = [&](const Reading& r, long long from, long long to) -> std::optional<std::size_t> {
    std::size_t k = floor;
    while (k + 1 < pile.size() && pile[k + 1].ms < from) ++k;
    for (; k < pile.size(); ++k) {
      if (standsAt(r, k)) return k;
      if (pile[k].ms > to) break;
    }
    return std::nullopt;
  };
  for (std::size_t l = 0; l < std::min(levelsToCheck, run.levels.size()); ++l) {
    const Level& lv = run.levels[l];
    SCOPED_TRACE(testing::Message() << "level " << l + 1 << " at " << lv.load << " kN");
    if (lv.readings.empty()) continue;
    const bool loading = l == 0 || lv.load > run.levels[l - 1].load;
    const std::array<int, 7>& intervals = loading ? run.loadIntervals : run.unloadIntervals;
    // Time 0: the first moment (after the level before) at which the pile stood at the reading.
    const Reading& first = lv.readings[0];
    EXPECT_EQ(first.minutes, 0);
    std::size_t cursor = floor;
    while (cursor < pile.size() && !standsAt(first, cursor) && !heldGaugesAt(first, cursor)) ++cursor;
    if (cursor == pile.size()) {
      ADD_FAILURE() << "the pile never stood at the load-reached reading";
      return v;
    }
    floor = cursor;
    const long long zero = pile[cursor].ms;
    int minute = 0;  // the minute of the schedule the reading before stands at
    for (std::size_t k = 1; k < lv.readings.size(); ++k) {
      const Reading& r = lv.readings[k];
      ++v.readings;
      const int slot = minute + intervals[std::min<std::size_t>(k - 1, 6)];
      std::optional<std::size_t> at;
      if (r.status[5] == 0) {
        EXPECT_EQ(r.minutes, slot) << "reading " << k;
        const long long due = zero + 60000LL * slot;
        at = matchIn(r, due - 3000, due + 13000);
        minute = slot;
      } else {
        ++v.late;
        v.latestMinutes = std::max(v.latestMinutes, r.minutes - slot);
        EXPECT_TRUE(r.status[5] == 2 || r.status[5] == 4) << "reading " << k;
        EXPECT_GE(r.minutes, r.status[5] == 2 ? slot : slot + 1) << "reading " << k;
        EXPECT_EQ(r.status[1] & 32, 32) << "reading " << k;
        const long long taken = zero + 60000LL * r.minutes;
        at = matchIn(r, taken - 45000, taken + 45000);
        minute = r.status[5] == 2 ? slot : r.minutes;
      }
      EXPECT_TRUE(at.has_value()) << (r.status[5] != 0 ? "late " : "") << "reading " << k << " at minute "
                                  << r.minutes << " is not the pile's settlement then";
      if (at) floor = *at;
    }
  }
  return v;
}

double envNumber(const char* name, double fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && std::atof(v) > 0 ? std::atof(v) : fallback;
}

// The runs' test: loading to 800 kN in four levels, no upload.
TestSetup speedSetup() {
  TestSetup t;
  t.maxLoad = 800.0f;
  t.route = 1.0f;
  return t;
}

}  // namespace

// The first two levels of the test at a high clock scale (600: four instrument hours in about 25
// seconds): every reading is the pile's settlement at its minutes. How many readings came late depends
// on how busy the machine is; each late one is marked and still true to the pile.
TEST(MainAtSpeed, FirstLevelsReadThePileAtTheirMinutes) {
  const TestSetup t = speedSetup();
  MainAtSpeed m;
  const double scale = 600.0;
  const SpeedRun run = m.run(t, scale, 50.0, [](const std::vector<Level>& l) { return l.size() >= 3; });
  ASSERT_FALSE(run.ended);
  ASSERT_GE(run.levels.size(), 3u) << "Main left " << run.levels.size() << " levels in " << run.wallSeconds
                                   << " s; device root " << m.root();
  EXPECT_FLOAT_EQ(run.levels[0].load, 400.0f);
  EXPECT_FLOAT_EQ(run.levels[1].load, 600.0f);
  for (std::size_t l = 0; l < 2; ++l) EXPECT_GE(run.levels[l].readings.size(), 8u) << "level " << l + 1;
  const Verdict v = checkAgainstThePile(run, 2);
  EXPECT_GE(v.readings, 14);
  std::printf("clock scale %.0f: %.1f instrument hours in %.1f s; %d readings, %d late (up to %d min)\n", scale,
              run.instrumentHours, run.wallSeconds, v.readings, v.late, v.latestMinutes);
  if (HasFailure()) m.keep();
}

// A reading as a reader of the file sees it, straight from the bytes of its 311-byte record: the
// marker, the values (load, gauges, the minute value 15 keeps), the time text and the status bytes
// with the byte after them.
struct StoredReading {
  std::string marker;
  std::array<float, 18> values{};
  std::string time;
  std::array<std::uint8_t, 7> status{};
};

std::vector<StoredReading> storedReadings(const fsys::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<StoredReading> out;
  constexpr std::size_t kSize = 311;
  for (std::size_t at = 0; at + kSize <= bytes.size(); at += kSize) {
    const char* r = bytes.data() + at;
    StoredReading x;
    x.marker.assign(r, 5);
    if (x.marker == "11111") break;
    std::memcpy(x.values.data(), r + 5, 72);
    x.time.assign(r + 77, strnlen(r + 77, 5));
    for (std::size_t b = 0; b < 7; ++b) x.status[b] = static_cast<std::uint8_t>(r[291 + b]);
    out.push_back(x);
  }
  return out;
}

// The operator pauses the test by "暂停试验" of the test-control dialog at about minute 20 of the second
// level and goes on 75 minutes later (the slots of 30, 45, 60 and 90 minutes pass meanwhile). The test
// file and its backup, read here record by record, hold one reading taken when the test went on: it
// carries the minute at which it was taken in its time text and value 15 (status byte 5 bit 2, the
// schedule-break mark), it is the pile's settlement at that minute and not at the moment the pause
// began, and the level goes on from it until the standard's own windows over the minutes the readings
// carry pass. No reading carries bit 64 in status byte 0.
TEST(MainAtSpeed, APauseOverSeveralSlotsLeavesOneReadingAtItsMinute) {
  const TestSetup t = speedSetup();
  MainAtSpeed m;
  const double scale = 600.0;
  const double pauseWall = 75.0 * 60.0 / scale;
  int stage = 0;
  auto pausedAt = std::chrono::steady_clock::now();
  const SpeedRun run = m.run(
      t, scale, 120.0,
      [&](const std::vector<Level>& l) {
        if (stage == 0 && l.size() == 2 && l[1].readings.size() >= 3) {
          m.tap("Main 102 1127");  // "试桩控制"
          m.tap("Main 109 1279");  // "暂停试验"
          pausedAt = std::chrono::steady_clock::now();
          stage = 1;
        } else if (stage == 1 && std::chrono::duration<double>(std::chrono::steady_clock::now() - pausedAt).count() >= pauseWall) {
          m.tap("Main 109 1279");  // "恢复试验"
          m.tap("Main 109 1125");  // "退出"
          stage = 2;
        }
        return stage == 2 && l.size() >= 3;
      },
      {});
  ASSERT_EQ(stage, 2);
  ASSERT_GE(run.levels.size(), 3u) << "Main left " << run.levels.size() << " levels in " << run.wallSeconds
                                   << " s; device root " << m.root();
  const Verdict v = checkAgainstThePile(run, 2);
  EXPECT_GE(v.readings, 10);

  // The file and its backup, as a reader of the records sees them.
  const fsys::path file = m.root() / "Storage Card" / (t.serial + "-" + t.pile + ".krv");
  const std::vector<StoredReading> stored = storedReadings(file);
  const std::vector<StoredReading> backup = storedReadings(m.root() / "Storage Card" / "Backup" / file.filename());
  ASSERT_GE(stored.size(), 2u);
  ASSERT_GE(backup.size() + 1, stored.size()) << "the backup lags behind";
  for (std::size_t k = 0; k + 1 < stored.size(); ++k) {
    SCOPED_TRACE(testing::Message() << "record " << k);
    EXPECT_EQ(stored[k].marker, backup[k].marker);
    EXPECT_EQ(stored[k].time, backup[k].time);
    EXPECT_EQ(std::memcmp(stored[k].values.data(), backup[k].values.data(), sizeof stored[k].values), 0);
    EXPECT_EQ(stored[k].status, backup[k].status);
    EXPECT_EQ(stored[k].status[0] & 64, 0);
  }

  // The second level: 0, 5, 15, then one reading taken when the test went on, at its own minute.
  const Level& second = run.levels[1];
  const std::size_t first = static_cast<std::size_t>(second.readings[0].index);
  std::size_t own = 0;
  for (std::size_t k = 1; k < second.readings.size(); ++k) {
    const Reading& r = second.readings[k];
    const StoredReading& x = stored[first + k];
    SCOPED_TRACE(testing::Message() << "reading " << k << " at minute " << x.time);
    // Every reading of the schedule keeps its minute in value 15 as well, with the mark after the
    // status bytes; the one after the pause is marked as taken at its own minute.
    EXPECT_EQ(x.status[6], 'M');
    if (r.minutes - second.readings[k - 1].minutes >= 60) {
      EXPECT_EQ(own, 0u) << "a second reading after the pause";
      own = k;
      EXPECT_EQ(x.status[5], 4);
      EXPECT_EQ(x.status[1] & 32, 32);
      EXPECT_EQ(std::to_string(static_cast<int>(x.values[15])), x.time);
      EXPECT_GE(r.minutes, 30 + 60) << "the pause lasted 75 minutes from about minute 20";
      // Not the pile's settlement from before the pause, which had moved on meanwhile.
      EXPECT_GT(std::fabs(r.gauges[0] - second.readings[k - 1].gauges[0]), 0.015f);
    }
    if (x.status[5] != 2) {
      EXPECT_EQ(static_cast<int>(x.values[15]), r.minutes);
    }
  }
  ASSERT_GT(own, 2u) << "no reading after the pause";

  // Judged by the standard's own windows over the minutes the readings carry: stable at the last
  // reading of the level, and at no reading before it.
  Criteria c;
  {
    Instrument prep;
    prep.start(1, t);
    const Parameter& p = prep.ch(1);
    c = {p.holdMinutes.load(), p.judgeIntervalMinutes.load(), p.judgeCount.load(), p.criterionMode3.load(),
         p.stableSettlement.load()};
  }
  std::vector<Point> pts;
  for (const Reading& r : second.readings)
    pts.push_back({r.minutes, RoundHalfEven((r.gauges[0] + r.gauges[1] + r.gauges[2] + r.gauges[3]) / 4.0f, 2)});
  for (std::size_t k = 0; k < pts.size(); ++k)
    EXPECT_EQ(ownRule(t.code, pts, k, c, false, false, 0, first - 2 + k), k + 1 == pts.size()) << "minute " << pts[k].t;
  std::printf("clock scale %.0f: %.1f instrument hours in %.1f s; %d readings, %d late (up to %d min)\n", scale,
              run.instrumentHours, run.wallSeconds, v.readings, v.late, v.latestMinutes);
  if (HasFailure()) m.keep();
}

// Opt-in (minutes of wall time): the whole test, loading to 800 kN, the maximum-load question
// answered, unloading and the zero-load readings, at MAIN_CLOCK_SCALE (300 unless given). Every
// reading is the pile's settlement at its minutes and, at this scale, none is late.
//   MAIN_CLOCK_SCALE=1000 test_main_at_speed --gtest_also_run_disabled_tests --gtest_filter='*WholeTest*'
TEST(MainAtSpeed, DISABLED_WholeTestOnTimeAtTheScale) {
  const TestSetup t = speedSetup();
  MainAtSpeed m;
  const double scale = envNumber("MAIN_CLOCK_SCALE", 300.0);
  // About eleven instrument hours, twice over, and the start-up.
  const SpeedRun run = m.run(t, scale, 2.0 * 11.0 * 3600.0 / scale + 60.0, [](const std::vector<Level>&) { return false; });
  ASSERT_TRUE(run.ended) << "the test did not end in " << run.wallSeconds << " s; device root " << m.root();
  std::vector<float> loads;
  for (const Level& l : run.levels) loads.push_back(l.load);
  EXPECT_EQ(loads, (std::vector<float>{400.0f, 600.0f, 800.0f, 400.0f, 0.0f}));
  const Verdict v = checkAgainstThePile(run, run.levels.size());
  std::printf("clock scale %.0f: %.1f instrument hours in %.1f s; %d readings, %d late (up to %d min)\n", scale,
              run.instrumentHours, run.wallSeconds, v.readings, v.late, v.latestMinutes);
  EXPECT_EQ(v.late, 0);
  if (HasFailure()) m.keep();
}

// Opt-in: checks again the device root that a failed run kept (its path is in the failure), after a
// change to the check or to see what the run left.
//   MAIN_AT_SPEED_ROOT=/tmp/mainatspeed-XXXXXX test_main_at_speed --gtest_also_run_disabled_tests --gtest_filter='*Recheck*'
TEST(MainAtSpeed, DISABLED_RecheckAKeptRun) {
  const char* kept = std::getenv("MAIN_AT_SPEED_ROOT");
  if (kept == nullptr) GTEST_SKIP() << "MAIN_AT_SPEED_ROOT names no kept device root";
  // The schedule of the set-up the runs use.
  SpeedRun run;
  const TestSetup t = speedSetup();
  {
    Instrument prep;
    prep.start(1, t);
    run.loadIntervals = loadingIntervals(prep.ch(1));
    run.unloadIntervals = unloadingIntervals(prep.ch(1));
  }
  platform::fs::setRoot(kept);
  std::vector<TestRecord> records;
  const std::string path = "\\Storage Card\\" + t.serial + "-" + t.pile + ".krv";
  ASSERT_EQ(JDQFile::LoadTestFile(path, records), 1) << path;
  run.levels = levelsOf(readingsOf(records));
  run.pile = readTrace(fsys::path(kept) / "pile.trace", "000001");
  const Verdict v = checkAgainstThePile(run, run.levels.size());
  std::printf("%zu levels; %d readings, %d late (up to %d min)\n", run.levels.size(), v.readings, v.late, v.latestMinutes);
}
