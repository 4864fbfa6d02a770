// The main window's main loop on the manual clock, against the simulated controllers: the link opened
// and reopened by the loop, poll period and silence-check interval by the number of active channels,
// the clock guard, the start-up prompts, a running test taken up again and shown with live readings, a
// controller that falls silent, the supervisor on the status line, power loss and timer 3, the
// channel display and its colours, the manual keys and the upgrade.
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "app/main_loop.h"
#include "app/queren.h"
#include "fixture.h"
#include "loop_fixture.h"
#include "sim_loop_fixture.h"
#include "platform/clock/clock.h"
#include "platform/ui/controls.h"
#include "sim/frontend_sim.h"

using namespace apptest;
using platform::ui::RGB;

namespace {

class MainLoop : public SimLoopTest {};

}  // namespace

TEST_F(MainLoop, PollPeriodAndSilenceIntervalFollowTheActiveChannels) {
  CMonitorDlg& w = startMain(1);
  struct Case {
    std::array<int, 3> pollIdle;
    int selected;
    int period, limit;
  } cases[] = {{{0, 0, 0}, 0, 1000, 5}, {{0, 1, 0}, 0, 1000, 5}, {{1, 0, 1}, 0, 550, 6},
               {{1, 0, 0}, 2, 550, 6},  {{1, 1, 1}, 0, 450, 7},  {{0, 1, 0}, 2, 1000, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.period);
    for (int n = 1; n <= 3; ++n) w.channel(n).pollWhenIdle = static_cast<byte>(c.pollIdle[n - 1]);
    w.channel(1).selectedChannelText = c.selected ? std::to_string(c.selected) : "0";
    drv::run(900, 100);
    EXPECT_EQ(w.channel(1).pollPeriodMs.load(), c.period);
    EXPECT_EQ(w.channel(1).tickLimit, c.limit);
    for (int n = 1; n <= 3; ++n) {
      const bool active = c.pollIdle[n - 1] || c.selected == n;
      EXPECT_EQ(drv::enabled(w, 1306 + n), active) << n;
      EXPECT_EQ(w.channelButton(n).state == -1, !active) << n;
    }
  }
}

TEST_F(MainLoop, LinkOpensOnTheFirstTickAndReopensOnTheOtherPort) {
  // Item 57 is 0 by default: the radio link.
  sim::FrontEndSimulator& radio = startSim("COM6");
  sim::FrontEndSimulator& wired = startSim("COM2");
  CMonitorDlg& w = startMain(1);
  w.channel(1).pollWhenIdle = 1;
  EXPECT_EQ(w.channel(1).linkReopenRequest.load(), 1);
  run(3000);
  EXPECT_EQ(w.channel(1).linkReopenRequest.load(), 0);
  EXPECT_TRUE(w.link().portOpen());
  EXPECT_GE(radio.received().size(), 2u);
  EXPECT_TRUE(wired.received().empty());
  // The system settings change the link type and ask for a reopen.
  w.channel(1).ParameterList.set(57, 1.0f);
  w.channel(1).linkReopenRequest = 1;
  const std::size_t before = radio.received().size();
  run(3000);
  EXPECT_GE(wired.received().size(), 2u);
  EXPECT_LE(radio.received().size(), before + 1);
  // Replies come back: the idle channel shows live readings.
  EXPECT_GT(w.channel(1).link.goodReplies2.load(), 0);
}

TEST_F(MainLoop, ClockJumpIsUndoneAndTheDateDialogsSettingStands) {
  CMonitorDlg& w = startMain(1);
  drv::run(2700, 100);
  const std::int64_t before = clk::localSeconds();
  clk::setLocalTime(clk::fromSeconds(before + 3600));
  drv::run(2700, 100);
  EXPECT_NEAR(static_cast<double>(clk::localSeconds()), static_cast<double>(before + 2), 2.0);
  // The date dialog sets the time and says so.
  clk::setLocalTime(clk::fromSeconds(before + 3600));
  w.ClockWasSet();
  drv::run(2700, 100);
  EXPECT_NEAR(static_cast<double>(clk::localSeconds()), static_cast<double>(before + 3600 + 2), 2.0);
  // The idle screen shows the local time.
  const clk::DateTime now = clk::localTime();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", now.year, now.month, now.day);
  EXPECT_EQ(drv::text(w, 1041), text);
  EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), "新试验从“系统设置”按钮开始！");
  EXPECT_EQ(drv::textColor(w, CMonitorDlg::kStatusLine), RGB(0, 0, 255));
}

TEST_F(MainLoop, StartUpPromptsForAMissingCardAndADamagedParameterFile) {
  // Board 1 without a card; channel 2's parameter file is damaged.
  fsys::create_directories(root_ / "nandflash");
  {
    Parameter src;
    defaultChannel(src, "2", 1);
    ASSERT_EQ(JDQFile::SaveParameterFile("", "2", src), 1);
    std::string bytes;
    ASSERT_TRUE(platform::fs::readFile("\\nandflash\\krv7182.ini", bytes));
    bytes[400] ^= 0x11;
    ASSERT_TRUE(platform::fs::writeFile("\\nandflash\\krv7182.ini", bytes));
  }
  CMonitorDlg& w = startMain(1);
  // The operator leaves the first prompt open for a minute: timer 1 does not run again inside it,
  // and the time spent is no clock jump.
  std::vector<std::string> asked;
  int ticksDuringPrompt = -1;
  {
    drv::IdleScript script([&] {
      auto* q = dynamic_cast<queren*>(ui::activeWindow());
      if (!q) return;
      asked.push_back(g_strPrompt);
      const int before = w.channel(1).silenceTicks;
      const std::int64_t local = clk::localSeconds();
      clk::advance(60000);
      drv::pump();
      ticksDuringPrompt = w.channel(1).silenceTicks - before;
      EXPECT_EQ(clk::localSeconds(), local + 60);
      q->endDialog(ui::IDOK);
    });
    drv::run(900, 100);
  }
  EXPECT_EQ(ticksDuringPrompt, 0);
  EXPECT_EQ(asked, std::vector<std::string>{"仪器存储出现故障，\r\n请将试验数据导出，及时送修！"});
  EXPECT_EQ(w.channel(2).configCheck.load(), 0);
  asked = answerPrompts([&] { drv::run(900 * 11, 100); });
  EXPECT_TRUE(asked.empty());
  asked = answerPrompts([&] { drv::run(900 * 2, 100); });  // the 13th tick
  EXPECT_EQ(asked, std::vector<std::string>{"未检测到SD卡但不影响本次试验，\r\n请尽快送修检查SD卡！"});
  asked = answerPrompts([&] { drv::run(900 * 20, 100); });
  EXPECT_TRUE(asked.empty());
}

// A card that is there but takes no writes is reported with the storage check of start-up.
TEST_F(MainLoop, StartUpPromptsForStorageThatTakesNoWrites) {
  fsys::create_directories(root_ / "nandflash");
  fsys::create_directories(root_ / "Storage Card");
  CMonitorDlg& w = startMain(1);
  (void)w;
  platform::fs::FaultBackend full;
  full.failCall(platform::fs::FaultBackend::Call::Write, 0);
  platform::fs::ScopedBackend use(full);
  const std::vector<std::string> asked = answerPrompts([&] { drv::run(900 * 14, 100); });
  EXPECT_EQ(asked, std::vector<std::string>{"仪器存储出现故障，\r\n请将试验数据导出，及时送修！"});
  EXPECT_FALSE(fsys::exists(root_ / "Storage Card" / "~storage-check.tmp"));
}

// A running test whose file is damaged and has no copy: the storage prompt at start-up, and the status
// line names the file (red) instead of any idle or running text.
TEST_F(MainLoop, StartUpNamesARunningTestsFileThatCannotBeRead) {
  fsys::create_directories(root_ / "nandflash");
  writeRunningTest("1", 1, StoredTest{});
  fsys::resize_file(root_ / "Storage Card" / "ABC.krv", 10 * 311);
  fsys::remove(root_ / "Storage Card" / "Backup" / "ABC.krv");
  std::vector<std::string> asked;
  CMonitorDlg* main = nullptr;
  asked = answerPrompts([&] {
    main = &startMain(1);
    drv::run(900 * 3, 100);
  });
  CMonitorDlg& w = *main;
  EXPECT_EQ(asked, std::vector<std::string>{"仪器存储出现故障，\r\n请将试验数据导出，及时送修！"});
  const std::string named = "1#试验数据文件ABC.krv无法读取，请将试验数据导出，及时送修！";
  bool shown = false;
  for (int tick = 0; tick < 10 && !shown; ++tick) {
    drv::run(900, 100);
    shown = drv::text(w, CMonitorDlg::kStatusLine) == named;
  }
  ASSERT_TRUE(shown);
  EXPECT_EQ(drv::textColor(w, CMonitorDlg::kStatusLine), RGB(255, 0, 0));
  EXPECT_EQ(fsys::file_size(root_ / "Storage Card" / "ABC.krv"), 10u * 311u);
  const char* shots = std::getenv("INSTRUMENT_SCREENSHOTS");
  EXPECT_TRUE(drv::screenshot((shots && *shots ? fsys::path(shots) : root_) / "main-window-storage-fault.png", &w));
}

TEST_F(MainLoop, RunningTestResumesAgainstTheSimulatorAndShowsLiveReadings) {
  sim::FrontEndSimulator& s = startSim("COM6");
  s.controller(0).setForceKn(200.0);
  CMonitorDlg& w = startMain(1, 1);
  Parameter& p = w.channel(1);
  EXPECT_EQ(p.testRunning.load(), 1);
  EXPECT_EQ(p.readingCount, 3);
  EXPECT_EQ(p.channelName, "1");
  EXPECT_EQ(drv::text(w, 1307), "1# 锁定");
  run(6000);
  EXPECT_GT(p.link.goodCount.load(), 3);
  // Values of the selected channel.
  EXPECT_EQ(drv::text(w, 1034), "SN-1");
  EXPECT_EQ(drv::text(w, 1036), "P7");
  EXPECT_EQ(drv::text(w, 1012), "200");
  EXPECT_NE(drv::text(w, 1010), "— —");
  EXPECT_NE(drv::text(w, 1016), "— —");   // gauge 1 is on
  EXPECT_EQ(drv::text(w, 1046), "— —");   // gauge 5 is off
  EXPECT_TRUE(drv::text(w, 1026).find("级") != std::string::npos);
  EXPECT_EQ(drv::text(w, 1276), "暂停\r\n试验");
  EXPECT_TRUE(drv::enabled(w, 1276));
  EXPECT_TRUE(drv::enabled(w, 1277));
  EXPECT_EQ(drv::textColor(w, 1010), RGB(57, 0, 57));
  EXPECT_EQ(drv::textColor(w, 1016), RGB(0, 0, 160));
  // The lamp of the answering controller blinks white and green.
  std::set<int> lamp;
  for (int i = 0; i < 4; ++i) {
    run(900);
    lamp.insert(w.channelButton(1).state);
  }
  EXPECT_EQ(lamp, (std::set<int>{1, 2}));
  ui::Color face;
  ASSERT_TRUE(CColorButton::FaceColor(w.channelButton(1).state, face));
  drv::pump();
  EXPECT_EQ(drv::dominantColor(w, 1307), face);
  EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), "1#试验运行正常！");
  EXPECT_EQ(drv::textColor(w, CMonitorDlg::kStatusLine), RGB(0, 0, 255));
  // The operator pauses from the main window: the state word and the button turn red.
  ASSERT_TRUE(drv::tap(w, 1276));
  run(900);
  EXPECT_EQ(p.paused.load(), 1);
  EXPECT_EQ(drv::text(w, 1028), "暂 停");
  EXPECT_EQ(drv::textColor(w, 1028), RGB(255, 0, 0));
  EXPECT_EQ(drv::textColor(w, 1276), RGB(255, 0, 0));
}

TEST_F(MainLoop, SilentControllerBlinksRedShowsTheLinkAndTheSupervisorReportsIt) {
  sim::FrontEndSimulator& s = startSim("COM2");
  fsys::create_directories(root_ / "nandflash");
  writeRunningTest("1", 1, StoredTest{});
  {
    // The stored channel 1 uses the wired link.
    Parameter p;
    p.boardFlag = 1;
    std::string path;
    ASSERT_EQ(JDQFile::LoadParameterFile(path, "1", p), 1);
    p.ParameterList.set(57, 1.0f);
    ASSERT_EQ(JDQFile::SaveParameterFile(path, "1", p), 1);
  }
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(1);
  run(5000);
  ASSERT_GT(p.link.goodCount.load(), 3);
  EXPECT_EQ(p.controllerSilent.load(), 0);
  EXPECT_EQ(drv::text(w, 1346), "有线正常");

  s.controller(0).editFaults([](sim::ControllerFaults& f) { f.noReply = -1; });
  std::set<int> lamp;
  std::set<std::string> status;
  for (int i = 0; i < 16; ++i) {
    run(900);
    if (p.controllerSilent.load()) lamp.insert(w.channelButton(1).state);
    status.insert(drv::text(w, CMonitorDlg::kStatusLine));
  }
  EXPECT_EQ(p.controllerSilent.load(), 1);
  EXPECT_TRUE(lamp.count(3)) << "red blink";
  EXPECT_EQ(drv::text(w, 1346), "有线未连");
  EXPECT_TRUE(status.count("1#试验通信故障，请及时检查现场！"));
  EXPECT_EQ(drv::textColor(w, CMonitorDlg::kStatusLine), RGB(255, 0, 0));

  // It answers again: the next check clears it.
  s.controller(0).editFaults([](sim::ControllerFaults& f) { f.noReply = 0; });
  run(900 * 8);
  EXPECT_EQ(p.controllerSilent.load(), 0);
  EXPECT_EQ(drv::text(w, 1346), "有线正常");
}

TEST_F(MainLoop, SupervisorPausesAFaultyChannelAndTimerThreeLeavesThatPause) {
  CMonitorDlg& w = startMain(1, 1);
  Parameter& p = w.channel(1);
  // Power goes: the running test is paused by the power loss.
  w.postMessage(CMonitorDlg::kPowerLostMessage, 5, 0);
  drv::pump();
  EXPECT_EQ(p.paused.load(), 1);
  EXPECT_TRUE(w.powerPaused(1));
  // Meanwhile the controller reports a fault that asks for a pause: after four ticks the supervisor
  // stops the pump and keeps the test paused for its own reason.
  p.link.stopState = 2;
  drv::run(900 * 4, 100);
  EXPECT_EQ(p.pumpForcedStop.load(), 64);
  EXPECT_FALSE(w.powerPaused(1));
  const auto log = platform::device::board().buzzerLog;
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(log.front().on);
  // The countdown owns the status line while power is lost.
  EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), "外接电源断开，3秒后自动关机");
  // Power is back: timer 3 leaves the alarm pause alone.
  drv::run(5000, 100);
  EXPECT_FALSE(w.statusHold(1));
  EXPECT_EQ(p.paused.load(), 1);
}

TEST_F(MainLoop, HoldingWordIsKeptBackInTheAutomaticLoadingModes) {
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(1);
  ASSERT_TRUE(drv::tap(w, 1307));
  p.standardCode = 1;  // no test runs: the control tick leaves the phase alone
  struct Case {
    int mode;
    const char* holding;  // the word while holding, after "加载中" was shown
  } cases[] = {{0, "维  荷"}, {1, "维  荷"}, {2, "加载中"}, {3, "加载中"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    p.loadingMode = c.mode;
    p.loadingPhase = 1;
    p.link.goodCount = 10;
    drv::run(900, 100);
    ASSERT_EQ(drv::text(w, 1028), "加载中");
    p.loadingPhase = 2;
    p.link.goodCount = 10;
    drv::run(900, 100);
    EXPECT_EQ(drv::text(w, 1028), c.holding);
  }
  // Once the flag is cleared the automatic modes show the holding word too.
  p.holdWordHold = 0;
  p.link.goodCount = 10;
  drv::run(900, 100);
  EXPECT_EQ(drv::text(w, 1028), "维  荷");
}

TEST_F(MainLoop, DisplayOfTheSelectedChannelFollowsItsTypeStandardAndReplies) {
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(2);
  ASSERT_TRUE(drv::tap(w, 1308));
  EXPECT_EQ(w.channel(1).selectedChannelText, "2");
  EXPECT_EQ(drv::text(w, 1308), "2# 锁定");
  EXPECT_EQ(drv::text(w, 1307), "1#");
  // No replies yet: dashes and no manual keys.
  EXPECT_EQ(drv::text(w, 1010), "— —");
  EXPECT_EQ(drv::text(w, 1028), "— —");
  EXPECT_FALSE(drv::enabled(w, 1277));
  EXPECT_FALSE(drv::enabled(w, 1280));

  // Replies with a load cell; a running test of standard 62 in phase 2.
  p.link.goodCount = 10;
  p.testRunning = 1;
  p.loadingPhase = 2;
  p.standardCode = 62;
  p.testType = 4;
  p.procedure.reloadCounter = 3;
  p.forceSensorType = 0;
  struct Load {
    float v;
    const char* text;
  } loads[] = {{999.99f, "999.99"}, {1000.0f, "1000.0"}, {9999.9f, "9999.9"}, {10000.0f, "10000"}};
  for (const Load& l : loads) {
    p.link.measuredLoad = l.v;
    drv::run(900, 100);
    EXPECT_EQ(drv::text(w, 1010), l.text);
  }
  EXPECT_EQ(drv::text(w, 1028), "维  荷");
  EXPECT_EQ(drv::text(w, 1024), "3");  // the cycle count in place of the average
  EXPECT_EQ(drv::text(w, 1023), "循环次数");
  EXPECT_EQ(drv::text(w, 1015), "上位移1mm");
  EXPECT_EQ(drv::text(w, 1014), "— —");  // no oil-pressure sensor
  auto* tab = w.item<ui::TabCtrl>(CMonitorDlg::kTab);
  EXPECT_EQ(tab->getItemText(3), "H0-t-Y0");
  EXPECT_EQ(tab->getItemText(5), "----");
  EXPECT_TRUE(drv::enabled(w, 1277));
  EXPECT_FALSE(drv::enabled(w, 1280));  // not an automatic loading mode
  EXPECT_EQ(drv::text(w, 1277), "手动\r\n控载");
  EXPECT_EQ(drv::textColor(w, 1277), RGB(0, 100, 0));
  EXPECT_EQ(drv::textColor(w, 1280), RGB(200, 100, 0));

  // Self-balanced with standard 61: its own gauge labels, sink and uplift shown.
  p.standardCode = 61;
  p.testType = 2;
  drv::run(900, 100);
  EXPECT_EQ(drv::text(w, 1015), "位移1↓");
  EXPECT_EQ(drv::text(w, 1042), "位移5↑");
  EXPECT_TRUE(drv::visible(w, 1056));
  EXPECT_FALSE(drv::visible(w, 1024));
  EXPECT_EQ(tab->getItemText(3), "Q-s曲线");

  // The gauge-8 marker: a point on its label, toggled by a tap, never growing.
  p.testType = 1;
  ASSERT_TRUE(drv::tap(w, 1049));
  EXPECT_EQ(p.gauge8Marker.load(), 1);
  drv::run(2700, 100);
  EXPECT_EQ(drv::text(w, 1045), "位移8(mm).");
  ASSERT_TRUE(drv::tap(w, 1049));
  drv::run(900, 100);
  EXPECT_EQ(drv::text(w, 1045), "位移8(mm)");

  // The tab: the page shown and the selected channel's redraw request follow it.
  tab->setCurSel(4);
  w.sendMessage(ui::WM_NOTIFY, CMonitorDlg::kTab, [&] {
    static ui::Notify n;
    n.idFrom = CMonitorDlg::kTab;
    n.code = ui::TCN_SELCHANGE;
    n.hwndFrom = tab->handle();
    return reinterpret_cast<ui::LPARAM>(&n);
  }());
  EXPECT_EQ(w.currentPage(), 4);
  EXPECT_TRUE(w.page(4)->isWindowVisible());
  EXPECT_FALSE(w.page(0)->isWindowVisible());
  EXPECT_EQ(p.pageRedraw.load(), 4);
}

TEST_F(MainLoop, ManualKeysDriveThePumpOnlyWhileHeld) {
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(1);
  ASSERT_TRUE(drv::tap(w, 1307));
  p.link.goodCount = 10;
  p.ParameterList.set(10, 2.0f);
  p.loadingMode = 2;
  drv::run(900, 100);
  ASSERT_TRUE(drv::enabled(w, 1277));

  ASSERT_TRUE(drv::touchDown(w, 1277));
  EXPECT_EQ(p.link.manualOverride.load(), 1);
  EXPECT_EQ(p.pumpCommand.load(), 255);
  EXPECT_EQ(drv::text(w, 1277), "正在\r\n加载");
  EXPECT_EQ(drv::textColor(w, 1277), RGB(0, 0, 255));
  drv::run(900, 100);  // the refresh leaves the held key's caption
  EXPECT_EQ(drv::text(w, 1277), "正在\r\n加载");
  drv::touchUp(w, 1277);
  EXPECT_EQ(p.link.manualOverride.load(), 0);
  EXPECT_EQ(p.pumpCommand.load(), 0);
  EXPECT_EQ(drv::text(w, 1277), "手动\r\n加载");

  ASSERT_TRUE(drv::touchDown(w, 1280));
  EXPECT_EQ(p.link.autoLoading.load(), 1);
  EXPECT_EQ(drv::text(w, 1280), "正在\r\n卸载");
  EXPECT_EQ(drv::textColor(w, 1280), RGB(255, 0, 0));
  // A prompt takes the input while the key is held: the pump stops before it opens.
  bool stoppedBeforePrompt = false;
  drv::IdleScript script([&] {
    if (auto* q = dynamic_cast<queren*>(ui::activeWindow())) {
      stoppedBeforePrompt = p.link.autoLoading.load() == 0 && p.pumpCommand.load() == 0;
      q->endDialog(ui::IDCANCEL);
    }
  });
  EXPECT_EQ(w.confirm("1#试验已达最大荷载"), 2);
  EXPECT_TRUE(stoppedBeforePrompt);
  EXPECT_EQ(drv::text(w, 1280), "手动\r\n卸载");
  drv::touchUp(w, 1280);

  // Another window takes the screen while the load key is held: the pump stops.
  ASSERT_TRUE(drv::touchDown(w, 1277));
  EXPECT_EQ(p.pumpCommand.load(), 255);
  dialog(MonitorSlot::GongChengXinXi)->showWindow(ui::SW_SHOW);
  drv::pump();
  EXPECT_EQ(p.link.manualOverride.load(), 0);
  EXPECT_EQ(p.pumpCommand.load(), 0);
  EXPECT_EQ(drv::text(w, 1277), "手动\r\n加载");
}

TEST_F(MainLoop, UpgradeCopiesTheCompanionProgramsStartsRefitAndEnds) {
  fsys::create_directories(root_ / "Hard Disk");
  fsys::create_directories(root_ / "Storage Card");
  CMonitorDlg& w = startMain(1);
  w.channel(1).forceSensorType = 2;
  int exits = 0;
  w.loop().exitProgram = [&] { ++exits; };

  // Nothing to start anywhere: the failure stays on the status line and Main goes on.
  std::vector<std::string> asked = answerPrompts([&] { ASSERT_TRUE(drv::tap(w, 1131)); });
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].rfind("当前版本718C-C2A3.3.8 S9\r\n确定要进行软件更新吗？", 0), 0u) << asked[0];
  EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), "启动升级程序失败，源文件丢失或不存在！");
  EXPECT_EQ(drv::textColor(w, CMonitorDlg::kStatusLine), RGB(255, 0, 0));
  EXPECT_EQ(exits, 0);

  // New programs on the U-disk replace the old ones, which stay in place until then.
  {
    std::ofstream(root_ / "nandflash" / "SentryC.exe") << "old";
    std::ofstream(root_ / "Hard Disk" / "SentryC.exe") << "#!/bin/sh\n";
    std::ofstream(root_ / "Hard Disk" / "RefitC.exe") << "#!/bin/sh\necho ran > refit.ran\n";
  }
  // A cancelled question changes nothing.
  {
    drv::IdleScript no([&] {
      if (auto* q = dynamic_cast<queren*>(ui::activeWindow())) q->endDialog(ui::IDCANCEL);
    });
    ASSERT_TRUE(drv::tap(w, 1131));
  }
  EXPECT_FALSE(fsys::exists(root_ / "nandflash" / "RefitC.exe"));
  asked = answerPrompts([&] { ASSERT_TRUE(drv::tap(w, 1131)); });
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(exits, 1);
  std::ifstream sentry(root_ / "nandflash" / "SentryC.exe");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(sentry), {}), "#!/bin/sh\n");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!fsys::exists(root_ / "nandflash" / "refit.ran") && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fsys::exists(root_ / "nandflash" / "refit.ran"));
}

TEST_F(MainLoop, UpgradeAsksBeforeItStopsARunningTest) {
  CMonitorDlg& w = startMain(1, 2);
  fsys::create_directories(root_ / "nandflash");
  std::ofstream(root_ / "nandflash" / "RefitC.exe") << "#!/bin/sh\n";
  int exits = 0;
  w.loop().exitProgram = [&] { ++exits; };
  std::vector<std::string> asked;
  {
    drv::IdleScript script([&] {
      auto* q = dynamic_cast<queren*>(ui::activeWindow());
      if (!q) return;
      asked.push_back(g_strPrompt);
      q->endDialog(asked.size() == 1 ? ui::IDOK : ui::IDCANCEL);  // yes to the upgrade, no to the stop
    });
    ASSERT_TRUE(drv::tap(w, 1131));
  }
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1], "有试验正在进行，软件更新将中止试验，\r\n确定要继续吗？");
  EXPECT_EQ(exits, 0);
  EXPECT_EQ(w.channel(2).testRunning.load(), 1);
}

TEST_F(MainLoop, FreshInstrumentShowsLiveReadingsOfTheSelectedController) {
  // A new instrument talks to its controllers on the radio link. The controller selection of the
  // system settings has controller 1 polled; its lamp comes on and the operator picks it.
  fsys::create_directories(root_ / "nandflash");
  sim::FrontEndSimulator& s = startSim("COM6");
  s.controller(0).setForceKn(123.4);
  CMonitorDlg& w = startMain(1);
  run(900);
  EXPECT_FALSE(drv::enabled(w, 1307));
  w.channel(1).pollWhenIdle = 1;
  run(900);
  ASSERT_TRUE(drv::tap(w, 1307));
  run(6000);
  EXPECT_EQ(drv::text(w, 1307), "1# 锁定");
  EXPECT_GT(w.channel(1).link.goodCount.load(), 3);
  EXPECT_NE(drv::text(w, 1010), "— —");
  EXPECT_NE(drv::text(w, 1016), "— —");
  EXPECT_EQ(drv::text(w, 1028), "— —") << "no test: no state word";
  EXPECT_EQ(drv::text(w, 1346), "信号强度");
  EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), "新试验从“系统设置”按钮开始！");
  drv::screenshot(fsys::temp_directory_path() / "main_window_live.png", &w);
}

TEST_F(MainLoop, HourSettlementComparesWithTheReadingAnHourBeforeTheNextOne) {
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(1);
  // Level 200 kN from minute 0, readings every 30 minutes; the next reading is due 30 minutes on.
  auto reading = [](int minutes, float level, float settlement) {
    TestRecord r = JDQFile::BlankTestRecord();
    std::memcpy(r.marker, "08:00", 5);
    std::memcpy(r.stepMark, r.marker, 5);
    const std::string t = std::to_string(minutes);
    std::memset(r.time, 0, sizeof r.time);
    std::memcpy(r.time, t.data(), t.size());
    r.valuesA[17] = level;
    r.valuesA[16] = settlement;
    return r;
  };
  p.testRecords = {reading(0, 100, 0.2f), reading(0, 200, 0.5f), reading(30, 200, 0.8f), reading(60, 200, 1.0f),
                   reading(90, 200, 1.1f)};
  p.readingCount = 5;
  p.levelMinutes[2] = 30;
  p.procedure.readingIndex = 2;
  p.timeText = "10 : 00 : 00";
  p.link.meanDisplacement = 1.234f;
  ASSERT_EQ(w.ComputeHourSettlement(p), 1);
  // The next reading at minute 120; the reading at minute 60 is the first an hour before it.
  EXPECT_NEAR(w.loop().hourSettlement[0].settlement, 1.23f - 1.0f, 1e-5);
  // No reading of the level an hour back (the one before is of another level), or no reading
  // scheduled: nothing to compare.
  p.readingCount = 2;
  EXPECT_EQ(w.ComputeHourSettlement(p), 0);
  p.readingCount = 5;
  p.timeText = "— : — : —";
  EXPECT_EQ(w.ComputeHourSettlement(p), 0);
}

TEST_F(MainLoop, ResumedTestTakesItsNextReadingOnSchedule) {
  sim::FrontEndSimulator& s = startSim("COM6");
  s.controller(0).setForceKn(200.0);
  fsys::create_directories(root_ / "nandflash");
  StoredTest t;
  t.level = 4;
  t.nextReadingAt = clk::localSeconds() + 120;  // due two minutes after the restart
  writeRunningTest("1", 1, t);
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(1);
  EXPECT_EQ(p.link.levelNumber.load(), 4);
  EXPECT_EQ(p.procedure.nextReadingAt, t.nextReadingAt);
  run(60000, 50);
  EXPECT_EQ(drv::text(w, 1026), "4级");
  EXPECT_EQ(p.readingCount, 3);
  run(90000, 50);
  EXPECT_EQ(p.readingCount, 4);
  // The reading is in the test file, after the three taken before the restart.
  std::vector<TestRecord> stored;
  ASSERT_EQ(JDQFile::LoadTestFile(t.path, stored), 1);
  ASSERT_GE(stored.size(), 5u);
  EXPECT_NE(std::string(stored[3].marker, 5), "11111");
  EXPECT_EQ(std::string(stored[4].marker, 5), "11111");
}

// The position icon of the shown channel: no fix, a position line without a fix, then the built-in
// module's position line with a fix.
TEST_F(MainLoop, PositionIconShowsTheModulesFixAndTheControllers) {
  CMonitorDlg& w = startMain(1);
  ASSERT_TRUE(drv::tap(w, 1308));
  drv::run(900, 100);
  EXPECT_FALSE(drv::visible(w, 1233));
  EXPECT_TRUE(drv::visible(w, 1232));

  const std::string noFix = "$GPRMC,083559.00,V,,,,,,,091226,,,N*00";
  w.uploadLink().ParseGprsReply(reinterpret_cast<const std::uint8_t*>(noFix.c_str()), noFix.size() + 1);
  drv::run(900, 100);
  EXPECT_FALSE(drv::visible(w, 1233));

  const std::string fix = "$GPRMC,083559.00,A,3114.1234,N,12128.5678,E,0.0,0.0,091226,,,A*00";
  w.uploadLink().ParseGprsReply(reinterpret_cast<const std::uint8_t*>(fix.c_str()), fix.size() + 1);
  drv::run(900, 100);
  EXPECT_TRUE(drv::visible(w, 1233));
  EXPECT_FALSE(drv::visible(w, 1232));
  EXPECT_NEAR(w.channel(2).latitude.load(), 31.0 + 14.1234 / 60.0, 1e-4);
}
