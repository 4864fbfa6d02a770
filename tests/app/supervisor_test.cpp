// The pieces of the main loop that stand alone: the clock-jump guard on the manual clock, the lamp
// blink, the poll settings, the silence check, and the test supervisor with its status-line rotation.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/main_loop.h"
#include "platform/clock/clock.h"

namespace clk = platform::clock;

namespace {

struct ManualClock : ::testing::Test {
  void SetUp() override { clk::configure(clk::Mode::Manual); }
  // Ticks of the guard, 900 ms apart.
  void ticks(ClockGuard& g, int n) {
    for (int i = 0; i < n; ++i) {
      clk::advance(900);
      g.Tick();
    }
  }
};

}  // namespace

TEST_F(ManualClock, ClockJumpIsUndoneAndADeliberateSettingStands) {
  ClockGuard g;
  ticks(g, 4);
  const std::int64_t before = clk::localSeconds();
  clk::setLocalTime(clk::fromSeconds(before + 120));  // someone moves the clock two minutes on
  ticks(g, 3);
  // Back to where it was, plus the 2.7 s that really passed.
  EXPECT_NEAR(static_cast<double>(clk::localSeconds()), static_cast<double>(before + 2), 1.0);
  ticks(g, 6);
  EXPECT_NEAR(static_cast<double>(clk::localSeconds()), static_cast<double>(before + 8), 1.0);

  // A jump backwards as well; a change of a minute or less stays.
  const std::int64_t now = clk::localSeconds();
  clk::setLocalTime(clk::fromSeconds(now - 600));
  ticks(g, 3);
  EXPECT_NEAR(static_cast<double>(clk::localSeconds()), static_cast<double>(now + 2), 1.0);
  clk::setLocalTime(clk::fromSeconds(clk::localSeconds() + 50));
  const std::int64_t small = clk::localSeconds();
  ticks(g, 3);
  EXPECT_NEAR(static_cast<double>(clk::localSeconds()), static_cast<double>(small + 2), 1.0);

  // The operator sets the date: the guard is told and keeps it.
  clk::setLocalTime(clk::fromSeconds(clk::localSeconds() + 86400));
  ClockGuard::NotifyClockSet();
  const std::int64_t set = clk::localSeconds();
  ticks(g, 6);
  EXPECT_NEAR(static_cast<double>(clk::localSeconds()), static_cast<double>(set + 5), 1.0);
}

TEST_F(ManualClock, PromptOpenForMinutesDoesNotSetTheClockBack) {
  ClockGuard g;
  ticks(g, 2);
  const std::int64_t before = clk::localSeconds();
  clk::advance(5 * 60 * 1000);  // a prompt stays open for five minutes, no tick runs meanwhile
  ticks(g, 3);
  EXPECT_NEAR(static_cast<double>(clk::localSeconds()), static_cast<double>(before + 300 + 2), 1.0);
}

TEST(MainLoopPieces, LampsBlinkPollSettingsAndSilenceCheck) {
  struct Lamp {
    int state;
    bool active, silent;
    int next;
  } lamps[] = {{1, true, false, 2}, {2, true, false, 1}, {-1, true, false, 2}, {3, true, false, 1},
               {1, true, true, 3},  {3, true, true, 1},  {-1, true, true, 3},  {2, true, true, 1},
               {2, false, false, -1}, {3, false, true, -1}};
  for (const Lamp& l : lamps) EXPECT_EQ(NextLampState(l.state, l.active, l.silent), l.next) << l.state;

  const int periods[4] = {1000, 1000, 550, 450}, limits[4] = {5, 5, 6, 7};
  for (int n = 0; n <= 3; ++n) {
    EXPECT_EQ(PollSettingsFor(n).periodMs, periods[n]) << n;
    EXPECT_EQ(PollSettingsFor(n).tickLimit, limits[n]) << n;
  }

  Parameter p;
  for (int tick = 1; tick <= 5; ++tick) {
    p.link.goodReplies2 = tick;  // replies keep coming
    SilenceCheck(p, 5);
  }
  EXPECT_EQ(p.controllerSilent.load(), 0);
  for (int tick = 1; tick <= 4; ++tick) SilenceCheck(p, 5);
  EXPECT_EQ(p.controllerSilent.load(), 0);  // judged only at the fifth tick
  SilenceCheck(p, 5);
  EXPECT_EQ(p.controllerSilent.load(), 1);
  p.link.goodReplies2 = 6;
  for (int tick = 1; tick <= 5; ++tick) SilenceCheck(p, 5);
  EXPECT_EQ(p.controllerSilent.load(), 0);
}

// ---- supervisor ------------------------------------------------------------------------------------

namespace {

struct Supervisor : ::testing::Test {
  Parameter ch[3];
  std::array<Parameter*, 3> all{&ch[0], &ch[1], &ch[2]};
  TestSupervisor sup;
  int alarms = 0;

  void SetUp() override {
    for (Parameter& p : ch) {
      p.ParameterList.extendWithDefaults();
      p.ParameterList.set(99, 1.0f);
    }
  }
  void run(Parameter& p, int phase, float load = 100.0f) {
    p.testRunning = 1;
    p.loadingPhase = phase;
    p.controlLoad = load;
  }
  TestSupervisor::Result tick() {
    return sup.Supervise(all, [this] {
      ++alarms;
      for (Parameter& p : ch) p.alarmOn = 1;
    });
  }
};

}  // namespace

TEST_F(Supervisor, FourthFaultyTickSoundsTheAlarmStopsThePumpAndPausesAgainAndAgain) {
  run(ch[1], 2);
  ch[1].link.stopState = 2;
  for (int i = 0; i < 3; ++i) {
    const auto r = tick();
    EXPECT_TRUE(r.faultSeen);
    EXPECT_FALSE(r.alarmPaused[1]);
  }
  EXPECT_EQ(ch[1].paused.load(), 0);
  EXPECT_EQ(ch[1].pumpForcedStop.load(), 0);
  EXPECT_EQ(alarms, 0);
  EXPECT_TRUE(tick().alarmPaused[1]);
  EXPECT_EQ(ch[1].paused.load(), 1);
  EXPECT_EQ(ch[1].pumpForcedStop.load(), 64);
  EXPECT_EQ(alarms, 1);
  EXPECT_EQ(sup.faultTicks(2), 0);
  // The fault stays: four ticks on the test is paused again, never resumed; the buzzer still
  // sounding (alarm flag set) is not switched on again.
  for (int i = 0; i < 4; ++i) tick();
  EXPECT_EQ(ch[1].paused.load(), 1);
  EXPECT_EQ(alarms, 1);
  // The fault clears: the counter starts over at once.
  ch[1].link.stopState = 0;
  tick();
  EXPECT_EQ(sup.faultTicks(2), 0);
  EXPECT_EQ(ch[0].paused.load(), 0);
}

TEST_F(Supervisor, WhichFaultsPause) {
  struct Case {
    const char* what;
    int phase, stop;
    bool deviation, preload;
    float load, item99;
    int pumpStopMark;
    bool faulty, pauses;
  } cases[] = {
      {"stop state 4", 1, 4, false, false, 100, 1, 0, true, true},
      {"stop state 5", 3, 5, false, false, 100, 1, 0, true, true},
      {"stop state 3 is no fault", 2, 3, false, false, 100, 1, 0, false, false},
      {"pressure deviation", 2, 0, true, false, 100, 1, 0, true, true},
      {"waiting phase is not watched", 0, 2, false, false, 100, 1, 0, false, false},
      {"preload: pump stop, no pause", 0, 4, false, true, 100, 1, 0, true, false},
      {"no load, item 99 off, pump stopped", 2, 5, false, false, 0, 0, 1, true, false},
      {"no load, item 99 on", 2, 5, false, false, 0, 1, 1, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (Parameter& p : ch) {
      p.paused = 0;
      p.pumpForcedStop = 0;
      p.alarmOn = 0;
      p.preloadRunning = 0;
    }
    sup = TestSupervisor{};
    Parameter& p = ch[0];
    run(p, c.phase, c.load);
    p.link.stopState = c.stop;
    p.link.pressureDeviation = c.deviation ? 1 : 0;
    p.preloadRunning = c.preload ? 1 : 0;
    p.ParameterList.set(99, c.item99);
    p.procedure.pumpStopMark = static_cast<std::uint8_t>(c.pumpStopMark);
    for (int i = 0; i < 4; ++i) tick();
    EXPECT_EQ(p.pumpForcedStop.load(), c.faulty ? 64 : 0);
    EXPECT_EQ(p.paused.load(), c.pauses ? 1 : 0);
  }
}

TEST_F(Supervisor, StatusLineRotatesItsTextsTwoTicksEach) {
  run(ch[0], 2);
  run(ch[1], 2);
  std::vector<std::string> shown;
  std::vector<bool> alerts;
  for (int i = 0; i < 12; ++i) {
    const auto r = tick();
    if (r.textShown) {
      shown.push_back(r.text);
      alerts.push_back(r.alert);
    }
  }
  // The status texts come with the fifth tick; then the two channels alternate, blue.
  ASSERT_EQ(shown.size(), 8u);
  const std::string one = "1#试验运行正常！", two = "2#试验运行正常！";
  EXPECT_EQ(shown, (std::vector<std::string>{one, one, one, two, two, one, one, two}));
  for (bool a : alerts) EXPECT_FALSE(a);

  // A paused channel and an alarm text are drawn red; the alarm text silences the status text of its
  // channel at the next status refresh.
  ch[1].paused = 1;
  ch[0].link.commText = "1#试验通信故障，请及时检查现场！";
  std::vector<std::string> seen;
  for (int i = 0; i < 12; ++i) {
    const auto r = tick();
    ASSERT_TRUE(r.textShown);
    EXPECT_EQ(r.alert, r.text != one && r.text != two) << r.text;
    seen.push_back(r.text);
  }
  EXPECT_NE(std::find(seen.begin(), seen.end(), "2#试验暂停！"), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), ch[0].link.commText), seen.end());
  EXPECT_EQ(sup.statusText(1), "");
  EXPECT_EQ(sup.CollectTexts(all), (std::vector<std::string>{ch[0].link.commText, "2#试验暂停！"}));
}
