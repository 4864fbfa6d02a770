// The link over a pseudo-terminal against the simulated controllers, on the manual clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "frontend/link.h"
#include "helpers.h"
#include "platform/clock/clock.h"
#include "platform/device/device.h"
#include "platform/fs/fs.h"
#include "sim/frontend_sim.h"

using namespace frontend;
using testing_frontend::RecordingWindow;
using testing_frontend::setUpChannel;
namespace clk = platform::clock;

namespace {

struct LinkFixture : ::testing::Test {
  std::filesystem::path root;
  std::array<std::unique_ptr<Parameter>, 3> ch;
  RecordingWindow window;
  std::unique_ptr<sim::FrontEndSimulator> sim;
  std::unique_ptr<FrontEndLink> link;
  std::uint64_t lastStuck = ~std::uint64_t{0};
  int timeouts = 0;

  Parameter& P(int n) { return *ch[static_cast<size_t>(n - 1)]; }

  void SetUp() override {
    char tmpl[] = "/tmp/frontend-link-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root = tmpl;
    platform::fs::setRoot(root);
    clk::configure(clk::Mode::Manual);
    platform::device::resetBoard();
    for (auto& p : ch) p = std::make_unique<Parameter>();
    setUpChannel(P(1), "1", "1");
    setUpChannel(P(2), "2", "2");
    setUpChannel(P(3), "3", "3");
    for (Parameter* p : {&P(1), &P(2), &P(3)}) {
      p->link.goodCount = 3;  // replies carry readings from the first one on
      p->link.replyAlive = 0;
    }
    P(1).ParameterList.set(57, 1.0f);
    P(1).ParameterList.set(56, 1.0f);
  }
  void TearDown() override {
    link.reset();
    sim.reset();
    if (!root.empty()) std::filesystem::remove_all(root);
    root.clear();
  }
  // A fresh link, simulator, channels and device root (for tables of cases in one test).
  void restart() {
    TearDown();
    SetUp();
  }

  // Starts the simulator on the wired port of the board (or the radio port) and opens the link.
  // `prepare` runs on the simulator before the link opens (faults that must hit the first reply).
  void open(bool board1 = true, bool radio = false, std::vector<std::string> numbers = {"1", "2", "3"},
            const std::function<void(sim::FrontEndSimulator&)>& prepare = {}) {
    if (board1) std::filesystem::create_directories(root / "nandflash");
    P(1).boardFlag = board1 ? 1 : 0;
    P(1).ParameterList.set(57, radio ? 0.0f : 1.0f);
    sim = std::make_unique<sim::FrontEndSimulator>(numbers);
    if (prepare) prepare(*sim);
    std::string err;
    ASSERT_TRUE(sim->start(radio ? "COM6" : sim::defaultPortName(), &err)) << err;
    link = std::make_unique<FrontEndLink>(P(1), P(2), P(3), window);
    link->RefreshFromUi();
    ASSERT_EQ(link->Reopen(), 1);
  }

  // Waits (in real time, bounded generously for a loaded machine) until both threads are idle on the clock: every frame written was
  // taken by the simulator, and every reply sent was handled, or the reader sleeps before reading it.
  void settle() {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3000);
    int quiet = 0;
    while (std::chrono::steady_clock::now() < until) {
      bool taken = sim->bytesTaken() == link->bytesWritten();
      std::uint64_t handled = link->bytesHandled(), sent = sim->bytesSent();
      int sleeping = clk::sleepers();
      bool idle = taken && ((handled == sent && sleeping == 1) || (handled < sent && sleeping == 2) ||
                            (handled < sent && handled == lastStuck && sleeping == 1));
      if (idle && ++quiet >= 3) return;
      if (!idle) quiet = 0;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    lastStuck = link->bytesHandled();  // bytes purged before they were read are never handled
    ++timeouts;
    if (getenv("SETTLE_DEBUG"))
      fprintf(stderr, "settle timeout: taken %llu written %llu handled %llu sent %llu sleepers %d\n",
              (unsigned long long)sim->bytesTaken(), (unsigned long long)link->bytesWritten(),
              (unsigned long long)link->bytesHandled(), (unsigned long long)sim->bytesSent(), clk::sleepers());
  }
  void run(std::uint64_t ms) {
    settle();
    for (std::uint64_t t = 0; t < ms; t += 10) {
      clk::advance(10);
      settle();
    }
  }
  std::vector<std::string> order(std::size_t from = 0) {
    std::vector<std::string> v;
    auto log = sim->received();
    for (std::size_t i = from; i < log.size(); ++i) v.push_back(log[i].number);
    return v;
  }
  std::vector<std::uint64_t> intervals() {
    std::vector<std::uint64_t> v;
    auto log = sim->received();
    for (std::size_t i = 1; i < log.size(); ++i) v.push_back(log[i].atMs - log[i - 1].atMs);
    return v;
  }
};

}  // namespace

TEST_F(LinkFixture, PollOrderAndPeriod) {
  struct Case {
    std::array<int, 3> running;
    int selected;
    int period;
    bool radio;
    std::vector<std::string> expect;
    std::uint64_t interval;
  } cases[] = {
      {{0, 1, 0}, 0, 1000, false, {"000002", "000002", "000002", "000002"}, 1030},
      {{1, 0, 1}, 0, 550, false, {"000001", "000003", "000001", "000003"}, 580},
      {{1, 1, 1}, 0, 450, false, {"000001", "000002", "000003", "000001", "000002", "000003"}, 480},
      {{0, 1, 0}, 1, 1000, false, {"000001", "000002", "000001", "000002"}, 1030},
      {{1, 1, 1}, 0, 450, true, {"000001", "000002", "000003", "000001", "000002", "000003"}, 450},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "period " << c.period << (c.radio ? " radio" : " wired"));
    restart();
    Parameter* chans[3] = {&P(1), &P(2), &P(3)};
    for (int i = 0; i < 3; ++i) chans[i]->testRunning = static_cast<byte>(c.running[static_cast<size_t>(i)]);
    P(1).selectedChannelText = c.selected ? std::to_string(c.selected) : "";
    P(1).pollPeriodMs = c.period;
    open(true, c.radio);
    run(static_cast<std::uint64_t>(c.interval) * (c.expect.size() - 1) + 5);
    EXPECT_EQ(order(), c.expect);
    for (auto iv : intervals()) EXPECT_EQ(iv, c.interval);
  }
}

TEST_F(LinkFixture, NothingSentUntilAChannelIsEligibleThenTheLastOneKeepsBeingPolled) {
  open();
  run(3000);
  EXPECT_TRUE(sim->received().empty());
  P(1).pollWhenIdle = 1;
  run(1100);
  P(1).pollWhenIdle = 0;
  run(3100);
  auto o = order();
  ASSERT_GE(o.size(), 4u);
  for (const auto& n : o) EXPECT_EQ(n, "000001");
}

TEST_F(LinkFixture, RepliesRoutedToTheFirstMatchingChannelThatAwaitsOne) {
  // Channels 1 and 2 both carry number 000002; only channel 2 is polled, so channel 1 never awaits
  // a reply and every reply goes to channel 2.
  P(1).controllerNumber = "2";
  P(2).testRunning = 1;
  open();
  sim->controller(1).setForceKn(400.0);
  run(3100);
  EXPECT_GE(P(2).link.goodReplies1.load(), 3);
  EXPECT_EQ(P(1).link.goodReplies1.load(), 0);
  EXPECT_NEAR(P(2).link.measuredLoad.load(), 400.0f, 5.0f);
  EXPECT_EQ(P(1).badFrame.load(), 0);
}

TEST_F(LinkFixture, FirstThreeGoodRepliesCarryNoReadings) {
  P(1).link.goodCount = 0;
  P(1).testRunning = 1;
  open();
  sim->controller(0).setForceKn(300.0);
  run(2000);  // three replies (the first back-off after a reply without readings may add up to 600 ms)
  ASSERT_GE(P(1).link.goodCount.load(), 1);
  for (int i = 0; i < 50 && P(1).link.goodCount.load() < 3; ++i) run(100);
  ASSERT_EQ(P(1).link.goodCount.load(), 3);
  EXPECT_FLOAT_EQ(P(1).link.measuredLoad.load(), 0.0f);
  EXPECT_EQ(P(1).badFrame.load(), 1);
  for (int i = 0; i < 50 && P(1).link.goodCount.load() < 4; ++i) run(100);
  EXPECT_NEAR(P(1).link.measuredLoad.load(), 300.0f, 5.0f);
  EXPECT_EQ(P(1).badFrame.load(), 0);
}

TEST_F(LinkFixture, InjectedFaultsAreRejectedAndTheLinkRecovers) {
  struct Case {
    const char* name;
    std::function<void(sim::ControllerFaults&)> inject;
    bool repliesGood;   // the replies themselves still arrive whole
    bool reachesParser; // a bad reply parsed (and counted) for the channel
    bool flagsChannel1; // sets channel 1's bad-frame flag
  } cases[] = {
      {"no reply", [](sim::ControllerFaults& f) { f.noReply = 2; }, false, false, false},
      {"bad checksum", [](sim::ControllerFaults& f) { f.badChecksum = 2; }, false, true, true},
      {"stray bytes", [](sim::ControllerFaults& f) { f.strayBytes = 2; }, true, false, false},
      {"short frame", [](sim::ControllerFaults& f) { f.shortFrame = 2; }, false, false, true},
      {"other number", [](sim::ControllerFaults& f) { f.wrongNumber = 2; }, false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    P(1).testRunning = 1;
    open();
    sim->controller(0).setForceKn(200.0);
    run(2100);
    const int good = P(1).link.goodReplies1.load();
    const int errors = P(1).link.errorCount.load();
    ASSERT_GE(good, 2);
    sim->controller(0).editFaults(c.inject);
    run(2100);  // at most two polls, both hit by the fault
    if (c.repliesGood) {
      EXPECT_GE(P(1).link.goodReplies1.load(), good + 1);
    } else {
      EXPECT_EQ(P(1).link.goodReplies1.load(), good);
    }
    if (c.reachesParser) {
      EXPECT_GE(P(1).link.errorCount.load(), errors + 1);
    } else {
      EXPECT_EQ(P(1).link.errorCount.load(), errors);
    }
    if (c.flagsChannel1) {
      EXPECT_EQ(P(1).badFrame.load(), 1);
    }
    // The fault is over: readings come again and a good reply clears the flag.
    const int before = P(1).link.goodReplies1.load();
    run(5000);
    EXPECT_GE(P(1).link.goodReplies1.load(), before + 2);
    EXPECT_EQ(P(1).badFrame.load(), 0);
    EXPECT_NEAR(P(1).link.measuredLoad.load(), 200.0f, 5.0f);
  }
}

TEST_F(LinkFixture, ControllerFaultsBecomeAlarmTextsAndTheBuzzerSounds) {
  P(1).testRunning = 1;
  P(1).tickLimit = 5;
  open();
  run(2100);
  ASSERT_GE(P(1).link.goodReplies1.load(), 2);

  sim->controller(0).editFaults([](sim::ControllerFaults& f) {
    f.lostGauges = 0x02;
    f.sensorStatus = 1;
    f.batteryLevel = 1;
  });
  run(1100);
  for (int i = 0; i < 4; ++i) link->ComposeAlarmText(1);
  EXPECT_EQ(P(1).link.gaugeText, "1#试验位移2未连接，请及时检查现场！");
  EXPECT_EQ(P(1).link.alarmText[LinkState::ForceSensor], "1#试验荷重传感器未连接，请及时检查现场！");
  EXPECT_EQ(P(1).link.batteryText, "前端电量低,请充电！");
  EXPECT_TRUE(platform::device::board().buzzerOn);
  link->BuzzerOff();
  P(1).alarmOn = 0;

  // The controller falls silent: the link-quality check times out and the silence flag (set by the
  // main loop when the reply counter stands still) gives the communication alarm.
  sim->controller(0).editFaults([](sim::ControllerFaults& f) { f = sim::ControllerFaults{}; f.noReply = -1; });
  run(1100);
  const int count = P(1).link.goodReplies2.load();
  for (int i = 0; i < 10; ++i) {  // two periods of the check: the first still saw replies
    run(900);
    link->UpdateLinkQuality(1);
  }
  EXPECT_EQ(P(1).link.goodReplies2.load(), count);
  EXPECT_EQ(window.label, "有线未连");
  EXPECT_EQ(P(1).link.linkLost.load(), 1);
  EXPECT_EQ(P(1).link.replyAlive.load(), 0);
  P(1).controllerSilent = 1;
  link->ComposeAlarmText(1);
  EXPECT_EQ(P(1).link.commText, "1#试验通信故障，请及时检查现场！");
  EXPECT_TRUE(platform::device::board().buzzerOn);
  // With no reply the command stops the pump.
  run(1100);
  EXPECT_EQ(P(1).pumpCommand.load(), 0);

  sim->controller(0).editFaults([](sim::ControllerFaults& f) { f.noReply = 0; });
  for (int i = 0; i < 10; ++i) {
    run(900);
    link->UpdateLinkQuality(1);
  }
  EXPECT_EQ(window.label, "有线正常");
  EXPECT_EQ(P(1).link.linkLost.load(), 0);
}

TEST_F(LinkFixture, ThePumpLoadsThePileToTheTargetAndThePhaseFollows) {
  P(1).testRunning = 1;
  P(1).loadingMode = 0;
  P(1).loadingPhase = 1;
  P(1).stepLoad1 = 20.0f;   // re-load limit
  P(1).stepLoad2 = 100.0f;  // step load
  P(1).stepLoad3 = 1000.0f;
  P(1).controlLoad = 100.0f;
  P(1).previousLoad = 100.0f;
  P(1).link.levelNumber = 1;
  open();
  run(20000);  // 100 kN at 8 kN/s
  EXPECT_GE(P(1).loadingPhase.load(), 2);
  EXPECT_NEAR(P(1).link.measuredLoad.load(), 100.0f, 20.0f);
  EXPECT_GT(P(1).link.displacement[0].load(), 0.1f);
  EXPECT_EQ(P(1).link.reached.load(), 1);
}

TEST_F(LinkFixture, ReopenStopsAndRestartsTheThreadsAndTheDirectionDeviceStaysOpen) {
  P(1).testRunning = 1;
  open(false);  // the board without "\nandflash\": COM5 with the transmit direction on MSC1:
  run(2100);
  ASSERT_GE(P(1).link.goodReplies1.load(), 2);
  auto dirs = platform::device::board().directionLog;
  ASSERT_GE(dirs.size(), 4u);
  EXPECT_EQ(dirs[0].direction, 1);
  EXPECT_EQ(dirs[1].direction, 3);
  EXPECT_EQ(dirs[2].direction, 1);  // transmit around each frame...
  EXPECT_EQ(dirs[3].direction, 0);  // ...then receive
  int handles = platform::device::board().openHandles;
  const std::size_t logged = platform::device::board().directionLog.size();
  ASSERT_EQ(link->Reopen(), 1);
  EXPECT_EQ(platform::device::board().openHandles, handles);
  dirs = platform::device::board().directionLog;
  ASSERT_GT(dirs.size(), logged);
  EXPECT_EQ(dirs[logged].direction, 3);  // the kept device gets the opening code again
  const int good = P(1).link.goodReplies1.load();
  run(2100);
  EXPECT_GE(P(1).link.goodReplies1.load(), good + 2);
  link->Close();
  EXPECT_FALSE(link->portOpen());
}

TEST_F(LinkFixture, UnroutableRepliesLengthenThePollPauseInStepsOf60ms) {
  P(1).testRunning = 1;
  open(true, false, {"1", "2", "3"},
       [](sim::FrontEndSimulator& s) { s.controller(0).editFaults([](sim::ControllerFaults& f) { f.wrongNumber = -1; }); });
  run(15000);
  auto iv = intervals();
  ASSERT_GE(iv.size(), 8u);
  bool longer = false;
  for (std::size_t i = 1; i < iv.size(); ++i) {  // from the second pause on, channel 1's flag is set
    EXPECT_GE(iv[i], 1030u);
    EXPECT_LE(iv[i], 1030u + 600u);
    EXPECT_EQ((iv[i] - 1030) % 60, 0u) << iv[i];
    longer = longer || iv[i] > 1030;
  }
  EXPECT_TRUE(longer);
  EXPECT_EQ(P(1).badFrame.load(), 1);
  EXPECT_EQ(P(1).link.goodReplies1.load(), 0);
}
