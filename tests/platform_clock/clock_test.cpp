#include "platform/clock/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace clk = platform::clock;

namespace {

// Waits (host time) until `n` threads sleep on the manual clock.
void waitForSleepers(int n) {
  for (int i = 0; i < 5000 && clk::sleepers() != n; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(clk::sleepers(), n);
}

std::filesystem::path freshDir(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() /
             ("clock_test_" + name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

class ClockTest : public ::testing::Test {
 protected:
  void TearDown() override { clk::configure(clk::Mode::Real); }
};

}  // namespace

TEST(Calendar, ConvertsDatesBothWays) {
  struct Case {
    clk::DateTime t;
    std::int64_t seconds;
  };
  const Case cases[] = {
      {{1970, 1, 1, 0, 0, 0, 0, 4}, 0},
      {{1900, 1, 1, 0, 0, 0, 0, 1}, -2208988800},
      {{2000, 2, 29, 12, 30, 15, 0, 2}, 951827415},
      {{2026, 1, 1, 8, 0, 0, 0, 4}, 1767254400},
      {{2038, 1, 19, 3, 14, 8, 0, 2}, 2147483648},
      {{9999, 12, 31, 23, 59, 59, 0, 5}, 253402300799},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(clk::toSeconds(c.t), c.seconds) << c.t.year;
    EXPECT_EQ(clk::fromSeconds(c.seconds), c.t) << c.t.year;
  }
  EXPECT_EQ(clk::fromSeconds(0, 789).millisecond, 789);
  EXPECT_EQ(clk::manualStart(), (clk::DateTime{2026, 1, 1, 8, 0, 0, 0, 4}));
}

TEST(Calendar, ValidatesDates) {
  struct Case {
    clk::DateTime t;
    bool valid;
  };
  const Case cases[] = {
      {{1900, 1, 1, 0, 0, 0, 0}, true},     {{1899, 12, 31, 23, 59, 59, 999}, false},
      {{2024, 2, 29, 0, 0, 0, 0}, true},    {{2023, 2, 29, 0, 0, 0, 0}, false},
      {{1900, 2, 29, 0, 0, 0, 0}, false},   {{2000, 2, 29, 0, 0, 0, 0}, true},
      {{2026, 4, 31, 0, 0, 0, 0}, false},   {{2026, 13, 1, 0, 0, 0, 0}, false},
      {{2026, 1, 0, 0, 0, 0, 0}, false},    {{2026, 1, 1, 24, 0, 0, 0}, false},
      {{2026, 1, 1, 0, 60, 0, 0}, false},   {{2026, 1, 1, 0, 0, 60, 0}, false},
      {{2026, 1, 1, 0, 0, 0, 1000}, false}, {{10000, 1, 1, 0, 0, 0, 0}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(clk::isValid(c.t), c.valid) << c.t.year << "-" << c.t.month << "-" << c.t.day << " "
                                           << c.t.hour << ":" << c.t.minute << ":" << c.t.second;
  }
}

TEST_F(ClockTest, ManualTimeStandsUntilAdvanced) {
  clk::configure(clk::Mode::Manual);
  EXPECT_EQ(clk::localTime(), clk::manualStart());
  EXPECT_EQ(clk::tickCount(), 0u);
  clk::advance(1500);
  EXPECT_EQ(clk::tickCount(), 1500u);
  EXPECT_EQ(clk::localTime(), (clk::DateTime{2026, 1, 1, 8, 0, 1, 500, 4}));
  EXPECT_EQ(clk::localMillis(), clk::toSeconds(clk::manualStart()) * 1000 + 1500);

  // The tick count wraps at 2^32; the monotonic count does not.
  clk::advance((1ull << 32) - 1500 + 7);
  EXPECT_EQ(clk::tickCount(), 7u);
  EXPECT_EQ(clk::monotonicMs(), (1ull << 32) + 7);
}

TEST_F(ClockTest, SetLocalTimeRefusesBadDatesAndKeepsMilliseconds) {
  clk::configure(clk::Mode::Manual);
  EXPECT_FALSE(clk::setLocalTime({1899, 12, 31, 23, 0, 0, 0}));
  EXPECT_FALSE(clk::setLocalTime({2026, 2, 30, 0, 0, 0, 0}));
  EXPECT_EQ(clk::localTime(), clk::manualStart());

  ASSERT_TRUE(clk::setLocalTime({2030, 6, 15, 23, 59, 59, 750, 0}));
  clk::advance(250);
  EXPECT_EQ(clk::localTime(), (clk::DateTime{2030, 6, 16, 0, 0, 0, 0, 0}));
  EXPECT_EQ(clk::tickCount(), 250u);  // the tick count does not follow the local time
}

TEST_F(ClockTest, ManualTimersFireInDueOrderAtTheirDueTime) {
  clk::configure(clk::Mode::Manual);
  std::vector<std::pair<std::string, std::uint64_t>> fired;
  auto record = [&](std::string name) {
    return [&fired, name] { fired.emplace_back(name, clk::monotonicMs()); };
  };
  clk::addTimer(300, false, record("once300"));
  const clk::TimerId periodic = clk::addTimer(100, true, record("every100"));
  clk::addTimer(250, false, record("once250"));
  const clk::TimerId removed = clk::addTimer(200, false, record("removed"));
  clk::removeTimer(removed);

  clk::advance(99);
  EXPECT_TRUE(fired.empty());
  clk::advance(301);
  const std::vector<std::pair<std::string, std::uint64_t>> expected = {
      {"every100", 100}, {"every100", 200}, {"once250", 250},
      {"once300", 300},  {"every100", 300}, {"every100", 400}};
  EXPECT_EQ(fired, expected);
  EXPECT_EQ(clk::monotonicMs(), 400u);

  clk::removeTimer(periodic);
  clk::advance(1000);
  EXPECT_EQ(fired.size(), expected.size());
}

TEST_F(ClockTest, TimerCanRemoveItselfAndAddOthers) {
  clk::configure(clk::Mode::Manual);
  int ticks = 0;
  bool chained = false;
  clk::TimerId id = 0;
  id = clk::addTimer(10, true, [&] {
    if (++ticks == 3) {
      clk::removeTimer(id);
      clk::addTimer(5, false, [&] { chained = true; });
    }
  });
  clk::advance(35);
  EXPECT_EQ(ticks, 3);
  EXPECT_TRUE(chained);  // added at 30, due at 35, fired by the same advance
}

TEST_F(ClockTest, AdvanceFromAnotherThreadWaitsForARunningCallback) {
  clk::configure(clk::Mode::Manual);
  std::thread other;
  std::uint64_t seenInCallback = 0;
  clk::addTimer(10, false, [&] {
    other = std::thread([] { clk::advance(5); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    seenInCallback = clk::monotonicMs();  // time must not move under a running callback
  });
  clk::advance(10);
  other.join();
  EXPECT_EQ(seenInCallback, 10u);
  EXPECT_EQ(clk::monotonicMs(), 15u);
}

TEST_F(ClockTest, CallbackThatSleepsMovesManualTimeOnItself) {
  clk::configure(clk::Mode::Manual);
  std::vector<std::pair<std::string, std::uint64_t>> seen;
  clk::addTimer(100, false, [&] {
    seen.emplace_back("beep", clk::monotonicMs());
    clk::sleepMs(50);  // a key click's pause inside a timer
    seen.emplace_back("slept", clk::monotonicMs());
    clk::Event never;
    EXPECT_FALSE(never.wait(20));
    seen.emplace_back("waited", clk::monotonicMs());
  });
  clk::addTimer(120, false, [&] { seen.emplace_back("other", clk::monotonicMs()); });
  clk::advance(200);
  const std::vector<std::pair<std::string, std::uint64_t>> expected = {
      {"beep", 100}, {"other", 120}, {"slept", 150}, {"waited", 170}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(clk::monotonicMs(), 200u);
}

TEST_F(ClockTest, ManualAdvanceWakesSleeperWhenItsTimeComes) {
  clk::configure(clk::Mode::Manual);
  std::atomic<bool> woke{false};
  std::atomic<std::uint64_t> wokeAt{0};
  std::thread worker([&] {
    clk::sleepMs(500);
    wokeAt = clk::monotonicMs();
    woke = true;
  });
  waitForSleepers(1);
  clk::advance(499);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(woke);
  EXPECT_EQ(clk::sleepers(), 1);
  clk::advance(1);
  worker.join();
  EXPECT_TRUE(woke);
  EXPECT_EQ(wokeAt, 500u);
  EXPECT_EQ(clk::sleepers(), 0);
}

TEST_F(ClockTest, EventWaitsOnTheManualClock) {
  clk::configure(clk::Mode::Manual);
  clk::Event ev(false, false);  // auto-reset
  std::atomic<int> result{-1};
  std::thread timedOut([&] { result = ev.wait(1000) ? 1 : 0; });
  waitForSleepers(1);
  clk::advance(1000);
  timedOut.join();
  EXPECT_EQ(result, 0);

  std::thread signalled([&] { result = ev.wait(1000) ? 1 : 0; });
  waitForSleepers(1);
  ev.set();
  signalled.join();
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(ev.isSet());  // the wait that saw it reset it

  std::thread forever([&] { result = ev.wait(clk::Event::kInfinite) ? 1 : 0; });
  clk::advance(1'000'000);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ev.set();
  forever.join();
  EXPECT_EQ(result, 1);

  clk::Event manual(true, true);
  EXPECT_TRUE(manual.wait(0));
  EXPECT_TRUE(manual.wait(0));  // a manual-reset event stays set
  manual.reset();
  EXPECT_FALSE(manual.wait(0));
}

// A test waits on the activity of other threads instead of polling: a sleep begun or ended on the
// manual clock and a reported activity each end the wait at once; with nothing happening it ends at
// its host time-out.
TEST_F(ClockTest, ActivityEndsAWaitAtOnce) {
  clk::configure(clk::Mode::Manual);
  std::uint64_t seen = clk::activity();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(clk::awaitActivity(seen, 30), seen);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));

  std::thread worker([] { clk::sleepMs(100); });
  seen = clk::awaitActivity(seen, 60000);  // the worker went to sleep
  EXPECT_EQ(clk::sleepers(), 1);
  std::thread reporter([] { clk::noteActivity(); });
  const std::uint64_t reported = clk::awaitActivity(seen, 60000);
  EXPECT_NE(reported, seen);
  reporter.join();
  seen = clk::activity();
  clk::advance(100);
  worker.join();
  EXPECT_NE(clk::awaitActivity(seen, 60000), seen);  // its sleep ended
  EXPECT_EQ(clk::sleepers(), 0);
}

TEST_F(ClockTest, ScaledClockRunsFaster) {
  clk::configure(clk::Mode::Scaled, 1000.0);
  EXPECT_EQ(clk::mode(), clk::Mode::Scaled);
  EXPECT_EQ(clk::scale(), 1000.0);
  const auto hostStart = std::chrono::steady_clock::now();
  const std::int64_t localStart = clk::localMillis();

  std::atomic<int> fired{0};
  clk::addTimer(1000, true, [&] { fired++; });
  clk::sleepMs(5000);  // 5 ms of host time
  clk::Event ev;
  EXPECT_FALSE(ev.wait(3000));

  const auto hostMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - hostStart).count();
  EXPECT_LT(hostMs, 2000);
  EXPECT_GE(clk::monotonicMs(), 8000u);
  EXPECT_GE(clk::localMillis() - localStart, 7900);
  for (int i = 0; i < 2000 && fired < 7; ++i) clk::sleepMs(100);
  EXPECT_GE(fired, 7);
}

TEST_F(ClockTest, RemoveTimerWaitsForARunningCallback) {
  clk::configure(clk::Mode::Real);
  std::atomic<bool> inside{false};
  std::atomic<bool> finished{false};
  std::atomic<int> calls{0};
  const clk::TimerId id = clk::addTimer(1, true, [&] {
    calls++;
    inside = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    finished = true;
  });
  while (!inside) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  clk::removeTimer(id);
  EXPECT_TRUE(finished);
  const int after = calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(calls, after);
}

TEST_F(ClockTest, LocalTimePersistsAcrossReattach) {
  const auto dir = freshDir("persist");
  const auto file = dir / "clock.state";
  const clk::DateTime t{2031, 3, 4, 5, 6, 7, 800, 2};

  clk::configure(clk::Mode::Manual);
  clk::attachStateFile(file);
  ASSERT_TRUE(std::filesystem::exists(file));
  ASSERT_TRUE(clk::setLocalTime(t));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);

  clk::configure(clk::Mode::Manual);
  EXPECT_EQ(clk::localTime(), clk::manualStart());
  clk::attachStateFile(file);
  EXPECT_EQ(clk::localTime(), t);

  // A real clock goes on from the time a manual one left.
  clk::configure(clk::Mode::Real);
  clk::attachStateFile(file);
  EXPECT_NEAR(static_cast<double>(clk::localMillis()), static_cast<double>(clk::toSeconds(t) * 1000 + 800), 2000.0);

  // A scaled clock keeps its epoch: re-attaching does not jump back.
  clk::configure(clk::Mode::Scaled, 100.0);
  clk::attachStateFile(file);
  ASSERT_TRUE(clk::setLocalTime(t));
  clk::sleepMs(3000);
  clk::configure(clk::Mode::Scaled, 100.0);
  clk::attachStateFile(file);
  const std::int64_t gone = clk::localMillis() - (clk::toSeconds(t) * 1000 + 800);
  EXPECT_GE(gone, 3000);
  EXPECT_LT(gone, 200000);

  std::filesystem::remove_all(dir);
}

TEST_F(ClockTest, CorruptStateFileIsReplaced) {
  const auto dir = freshDir("corrupt");
  const auto file = dir / "clock.state";
  std::ofstream(file) << "garbage\x01\x02 not a clock";
  clk::configure(clk::Mode::Manual);
  clk::attachStateFile(file);
  EXPECT_EQ(clk::localTime(), clk::manualStart());
  ASSERT_TRUE(clk::setLocalTime({2027, 1, 1, 0, 0, 0, 0}));
  clk::configure(clk::Mode::Manual);
  clk::attachStateFile(file);
  EXPECT_EQ(clk::localTime().year, 2027);

  // Detaching stops persisting.
  clk::attachStateFile({});
  ASSERT_TRUE(clk::setLocalTime({2028, 1, 1, 0, 0, 0, 0}));
  clk::configure(clk::Mode::Manual);
  clk::attachStateFile(file);
  EXPECT_EQ(clk::localTime().year, 2027);
  std::filesystem::remove_all(dir);
}

// A well-formed state file whose times lie outside the years the clock can be set to (or whose line
// runs out of them by now) is ignored: the clock starts as without a file and writes a good one.
TEST_F(ClockTest, StateFileWithExtremeTimesIsIgnored) {
  const auto dir = freshDir("extreme");
  const auto file = dir / "clock.state";
  const std::int64_t good = clk::toSeconds({2030, 1, 1, 0, 0, 0, 0}) * 1000;
  struct Case {
    const char* name;
    std::int64_t host, local;
    const char* rate;
  };
  const Case cases[] = {
      {"local past 9999", good, 9000000000000000000LL, "0"},
      {"local before 1900", good, -9000000000000000000LL, "0"},
      {"host out of range", -9000000000000000000LL, good, "0"},
      {"a fast line from 1900", clk::toSeconds({1900, 1, 1, 0, 0, 0, 0}) * 1000, good, "10000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(file) << "instrument-clock 1\nhost " << c.host << "\nlocal " << c.local << "\nrate " << c.rate << "\n";
    clk::configure(clk::Mode::Manual);
    clk::attachStateFile(file);
    EXPECT_EQ(clk::localTime(), clk::manualStart());
    std::ofstream(file) << "instrument-clock 1\nhost " << c.host << "\nlocal " << c.local << "\nrate " << c.rate << "\n";
    clk::configure(clk::Mode::Real);
    const std::int64_t host = clk::localMillis();  // a real clock without a file runs as the host's
    clk::attachStateFile(file);
    EXPECT_TRUE(clk::isValid(clk::localTime()));
    EXPECT_NEAR(static_cast<double>(clk::localMillis()), static_cast<double>(host), 5000.0);
  }
  clk::configure(clk::Mode::Manual);
  clk::attachStateFile({});
  std::filesystem::remove_all(dir);
}
