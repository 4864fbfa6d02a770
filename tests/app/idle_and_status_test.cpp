// What the operator sees and what goes on after an action: a test ended from the test-control dialog
// leaves its channel idle while the loop runs on against the simulated controller; the status line
// keeps a failure long enough to be read and never hides another channel's alarm behind the idle
// prompt; a pause by the supervisor is stored and survives a restart; disabled keys look disabled;
// questions show every line (with screenshots of the main questions); the tab captions fit.
#include <cstdlib>
#include <set>

#include "app/monitor_dlg.h"
#include "app/queren.h"
#include "app/shizhuang_kongzhi.h"
#include "platform/device/device.h"
#include "platform/fs/fs.h"
#include "platform/ui/controls.h"
#include "sim_loop_fixture.h"

using namespace apptest;
using platform::ui::RGB;

namespace {

constexpr const char* kIdlePrompt = "新试验从“系统设置”按钮开始！";
constexpr std::uint64_t kTick = 900;

// Size of a host file, -1 when it is not there.
long long sizeOf(const std::string& instrumentPath) {
  std::error_code ec;
  const fsys::path host = platform::fs::hostPath(instrumentPath);
  const auto n = fsys::file_size(host, ec);
  return ec ? -1 : static_cast<long long>(n);
}

// Times the buzzer was switched on after a moment of the monotonic clock.
int buzzerOnsAfter(std::uint64_t ms) {
  int n = 0;
  for (const auto& change : platform::device::board().buzzerLog) n += change.on && change.atMs > ms ? 1 : 0;
  return n;
}

// Whether every ink pixel inside a control (its edges left out) is a shade of grey.
bool drawnGrey(ui::Window& w, int id) {
  const ui::Rect r = w.getDlgItem(id)->getWindowRect().deflate(6, 6);
  const ui::Bitmap shot = ui::renderScreen();
  int ink = 0, coloured = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const ui::Color c = shot.pixel(x, y);
      if (c == ui::kColorFace) continue;
      ++ink;
      coloured += std::abs(ui::GetRValue(c) - ui::GetBValue(c)) > 12 || std::abs(ui::GetGValue(c) - ui::GetBValue(c)) > 12;
    }
  }
  return ink > 50 && coloured == 0;
}

// Where screenshots go: the folder named by INSTRUMENT_SCREENSHOTS (the documentation's), else the
// test's own device root.
fsys::path shotFolder(const fsys::path& fallback) {
  const char* dir = std::getenv("INSTRUMENT_SCREENSHOTS");
  return dir && *dir ? fsys::path(dir) : fallback;
}

// ---------------------------------------------------------------------------------------------------

struct EndCase {
  const char* name;
  int phase;           // the loading phase at the end
  bool alarmPause;     // paused by the supervisor for a settlement alarm before the end
};

class EndFromDialog : public SimLoopTest, public ::testing::WithParamInterface<EndCase> {};

}  // namespace

TEST_P(EndFromDialog, ChannelStaysIdleWhileTheLoopRunsOn) {
  const EndCase& c = GetParam();
  sim::FrontEndSimulator& s = startSim("COM6");
  s.controller(0).setForceKn(200.0);
  fsys::create_directories(root_ / "nandflash");
  StoredTest t;
  t.route = 0.0f;  // readings are queued for the built-in module, in its queue file
  t.phase = c.phase;
  writeRunningTest("1", 1, t);
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(1);
  ASSERT_EQ(p.testRunning.load(), 1);
  run(6000);
  ASSERT_GT(p.link.goodCount.load(), 3);

  if (c.alarmPause) {
    // The settlement passes its limit: the alarm sounds, asks for a pause, and the supervisor pauses.
    p.protection1 = 0.01f;
    for (int i = 0; i < 40 && p.paused.load() == 0; ++i) run(kTick);
    ASSERT_EQ(p.paused.load(), 1);
    ASSERT_EQ(p.link.pauseRequest[LinkState::Settlement], 1);
  }
  {
    std::lock_guard<std::mutex> lock(p.loadLock);
    p.loadingPhase = c.phase;
  }
  // A reading falls due within the ticks that follow the end.
  p.procedure.nextReadingAt = clk::localSeconds() + 20;

  // The operator ends the test from the test-control dialog.
  ASSERT_TRUE(drv::tap(w, 1127));
  auto* dlg = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
  ASSERT_TRUE(dlg->isWindowVisible());
  const std::string dataFile = p.testFilePath;
  const std::string queueFile = p.moduleQueuePath;
  {
    drv::IdleScript yes([] {
      if (auto* q = dynamic_cast<queren*>(ui::activeWindow())) q->endDialog(ui::IDOK);
    });
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kStartEnd));
  }
  ASSERT_EQ(p.testRunning.load(), 0);
  const std::uint64_t ended = clk::monotonicMs();
  const long long dataSize = sizeOf(dataFile);
  const long long queueSize = sizeOf(queueFile);
  const int readings = p.readingCount;
  ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kExit));

  bool pumpStopped = false;
  std::set<int> phases;
  for (int i = 0; i < 40; ++i) {
    run(kTick, 50);
    pumpStopped = pumpStopped || p.pumpForcedStop.load() == 64;
    phases.insert(p.loadingPhase.load());
  }
  EXPECT_EQ(phases, std::set<int>{0});
  EXPECT_EQ(p.paused.load(), 0);
  EXPECT_EQ(p.nextReadingText, "— : — : —");
  EXPECT_EQ(p.readingCount, readings) << "no reading";
  EXPECT_EQ(sizeOf(dataFile), dataSize) << "nothing written to the finished test";
  EXPECT_EQ(sizeOf(queueFile), queueSize) << "nothing queued";
  EXPECT_EQ(buzzerOnsAfter(ended), 0) << "no buzzer";
  EXPECT_FALSE(pumpStopped) << "no pump stop";
  for (auto r : p.link.pauseRequest) EXPECT_EQ(r, 0);
  EXPECT_EQ(p.link.stopState.load(), 0);
  EXPECT_GT(p.link.goodCount.load(), 3);  // the controller is still polled and read
  EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), kIdlePrompt);
  EXPECT_EQ(drv::textColor(w, CMonitorDlg::kStatusLine), RGB(0, 0, 255));
  EXPECT_FALSE(drv::enabled(w, 1276));
}

INSTANTIATE_TEST_SUITE_P(Phases, EndFromDialog,
                         ::testing::Values(EndCase{"Holding", 2, false}, EndCase{"Reloading", 3, false},
                                           EndCase{"Unloading", 6, false}, EndCase{"AlarmPaused", 2, true}),
                         [](const ::testing::TestParamInfo<EndCase>& i) { return std::string(i.param.name); });

// ---- the status line ---------------------------------------------------------------------------------

namespace {
// With an SD card, so that no card prompt opens while the loop runs.
class StatusLine : public SimLoopTest {
 protected:
  void SetUp() override {
    SimLoopTest::SetUp();
    fsys::create_directories(root_ / "Storage Card");
  }
};
}  // namespace

TEST_F(StatusLine, UpgradeFailureStaysLongEnoughToBeRead) {
  for (bool channelShown : {false, true}) {
    SCOPED_TRACE(channelShown);
    CMonitorDlg& w = startMain(1);
    if (channelShown) {
      ASSERT_TRUE(drv::tap(w, 1307));
      w.channel(1).link.goodCount = 10;  // an idle channel with live readings
    }
    drv::run(kTick * 2, 100);
    ASSERT_EQ(drv::text(w, CMonitorDlg::kStatusLine), kIdlePrompt);
    // No upgrade program anywhere.
    answerPrompts([&] { ASSERT_TRUE(drv::tap(w, 1131)); });
    const std::string failure = "启动升级程序失败，源文件丢失或不存在！";
    EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), failure);
    drv::run(kTick * 3, 100);
    EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), failure);
    EXPECT_EQ(drv::textColor(w, CMonitorDlg::kStatusLine), RGB(255, 0, 0));
    // A few seconds on, the line belongs to the loop again.
    drv::run(kTick * 8, 100);
    EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), kIdlePrompt);
    EXPECT_EQ(drv::textColor(w, CMonitorDlg::kStatusLine), RGB(0, 0, 255));
    main_->destroyWindow();
    main_.reset();
  }
}

TEST_F(StatusLine, AnotherChannelsAlarmShowsWhileAnIdleChannelIsOnScreen) {
  CMonitorDlg& w = startMain(1);
  ASSERT_TRUE(drv::tap(w, 1307));
  w.channel(1).link.goodCount = 10;
  // Channel 2 holds a level while its settlement passes the limit.
  Parameter& p2 = w.channel(2);
  p2.testRunning = 1;
  p2.loadingPhase = 2;
  p2.controlLoad = 200.0f;
  p2.protection1 = 0.5f;
  p2.link.gaugeOn[0] = 1;
  p2.link.displacement[0] = 1.2f;
  p2.link.meanDisplacement = 1.2f;
  std::set<std::string> shown;
  ui::Color alarmColour = 0;
  for (int i = 0; i < 12; ++i) {
    drv::run(kTick, 100);
    const std::string text = drv::text(w, CMonitorDlg::kStatusLine);
    shown.insert(text);
    if (text == "2#试验沉降超过允许值，请及时检查现场！") alarmColour = drv::textColor(w, CMonitorDlg::kStatusLine);
  }
  EXPECT_TRUE(shown.count("2#试验沉降超过允许值，请及时检查现场！")) << "the alarm reaches the line";
  EXPECT_EQ(alarmColour, RGB(255, 0, 0));
  // Once channel 2 has nothing to say, the idle prompt of the shown channel comes back.
  p2.testRunning = 0;
  p2.loadingPhase = 0;
  p2.link.alarmText.fill("");
  p2.link.pauseRequest.fill(0);
  p2.link.commText.clear();
  p2.controllerSilent = 0;
  drv::run(kTick * 6, 100);
  EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), kIdlePrompt);
}

// ---- the supervisor's pause -------------------------------------------------------------------------

TEST_F(StatusLine, SupervisorPauseIsStoredAndTheTestComesBackPaused) {
  CMonitorDlg& w = startMain(1, 1);
  Parameter& p = w.channel(1);
  auto storedItem66 = [] {
    Parameter q;
    q.boardFlag = 1;
    std::string path;
    EXPECT_EQ(JDQFile::LoadParameterFile(path, "1", q), 1);
    return q.ParameterList.item(66);
  };
  // A pause while external power is lost stays unsaved.
  w.postMessage(CMonitorDlg::kPowerLostMessage, 5, 0);
  drv::pump();
  EXPECT_EQ(p.paused.load(), 1);
  EXPECT_EQ(storedItem66(), 0.0f);
  // A fault that asks for a pause: after four ticks the supervisor pauses, and stores it.
  p.link.stopState = 2;
  drv::run(kTick * 4, 100);
  EXPECT_EQ(p.paused.load(), 1);
  EXPECT_EQ(storedItem66(), 1.0f);
  // The board switches itself off; after the restart the faulty test is taken up paused.
  main_->destroyWindow();
  main_.reset();
  CMonitorDlg& again = startMain(1);
  EXPECT_EQ(again.channel(1).testRunning.load(), 1);
  EXPECT_EQ(again.channel(1).paused.load(), 1);
  drv::run(kTick * 3, 100);
  EXPECT_EQ(again.channel(1).pumpCommand.load(), 0);
}

// ---- how keys, questions and tabs look -----------------------------------------------------------------

TEST_F(StatusLine, DisabledKeysAreDrawnGrey) {
  CMonitorDlg& w = startMain(1);
  drv::run(kTick, 100);
  for (int id : {1276, 1277, 1280}) {
    SCOPED_TRACE(id);
    ASSERT_FALSE(drv::enabled(w, id));
    EXPECT_NE(drv::textColor(w, id), RGB(0, 0, 0));  // the window answers with the key's colour ...
    EXPECT_TRUE(drawnGrey(w, id));                   // ... and the disabled key is grey all the same
  }
  w.getDlgItem(1276)->enableWindow(true);
  drv::pump();
  EXPECT_FALSE(drawnGrey(w, 1276));
}

TEST_F(StatusLine, QuestionsShowEveryLineInsideTheirBox) {
  fsys::remove_all(root_ / "Storage Card");
  CMonitorDlg& w = startMain(1);  // board 1 without an SD card
  const fsys::path shots = shotFolder(root_);
  fsys::create_directories(shots);
  struct Seen {
    std::string prompt;
    drv::InkExtent ink;
    ui::Rect box;
  };
  std::vector<Seen> seen;
  auto watch = [&](const std::string& png, bool answer) {
    return std::make_unique<drv::IdleScript>([&, png, answer] {
      auto* q = dynamic_cast<queren*>(ui::activeWindow());
      if (!q) return;
      const ui::Rect box = q->getDlgItem(1009)->windowRect();
      seen.push_back({g_strPrompt, drv::inkExtent(*q, box), box});
      EXPECT_TRUE(drv::screenshot(shots / png));
      q->endDialog(answer ? ui::IDOK : ui::IDCANCEL);
    });
  };
  // The SD-card prompt of a fresh instrument, on the 13th tick.
  {
    auto script = watch("question-sd-card.png", true);
    drv::run(kTick * 13, 100);
  }
  // The upgrade question, declined.
  {
    auto script = watch("question-upgrade.png", false);
    ASSERT_TRUE(drv::tap(w, 1131));
  }
  // The end-test question of a running test, declined.
  {
    Parameter& p = w.channel(1);
    p.testRunning = 1;
    p.testFilePath = "\\Storage Card\\T-P.krv";
    ASSERT_TRUE(drv::tap(w, 1127));
    auto* dlg = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
    dlg->SetCurrentChannel(&p);
    auto script = watch("question-end-test.png", false);
    ASSERT_TRUE(drv::tap(*dlg, ShiZhuangKongZhi::kStartEnd));
    EXPECT_EQ(p.testRunning.load(), 1);
  }
  const std::size_t rows[] = {2, 4, 2};
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].prompt, "未检测到SD卡但不影响本次试验，\r\n请尽快送修检查SD卡！");
  EXPECT_EQ(seen[1].prompt.rfind("当前版本718C-", 0), 0u);
  EXPECT_EQ(seen[2].prompt, "结束试验后则无法恢复本次试验\r\n确定要结束试验吗？");
  for (std::size_t k = 0; k < seen.size(); ++k) {
    SCOPED_TRACE(seen[k].prompt);
    const Seen& s = seen[k];
    // One band of ink per line, and nothing cut at the box's left and right edges.
    EXPECT_EQ(s.ink.rows.size(), rows[k]);
    EXPECT_GT(s.ink.left, s.box.left + 4);
    EXPECT_LT(s.ink.right, s.box.right - 4);
    ASSERT_FALSE(s.ink.rows.empty());
    EXPECT_GT(s.ink.rows.front().first, s.box.top);
    EXPECT_LT(s.ink.rows.back().second, s.box.bottom);
  }
}

TEST_F(StatusLine, TabCaptionsFitAtTheirFontSize) {
  CMonitorDlg& w = startMain(1);
  auto* tab = w.item<ui::TabCtrl>(CMonitorDlg::kTab);
  EXPECT_EQ(tab->getFont().height(), 23);
  ui::MemoryDC measure(10, 10);
  measure.selectFont(tab->getFont());
  // Every set of captions the display gives: the standard's curves decide the last three.
  for (int standard : {62, 77, 13, 1}) {
    SCOPED_TRACE(standard);
    Parameter& p = w.channel(1);
    p.standardCode = standard;
    ASSERT_TRUE(drv::tap(w, 1307));
    for (int i = 0; i < tab->getItemCount(); ++i) {
      const ui::Rect r = tab->getItemRect(i);
      EXPECT_GE(r.width(), measure.getTextExtent(tab->getItemText(i)).cx + 8) << i;
      EXPECT_LE(r.right, tab->getClientRect().right) << i;
      // The pages leave the row of tabs uncovered.
      EXPECT_LE(w.page(0)->windowRect().bottom, r.top) << i;
    }
  }
  EXPECT_TRUE(drv::screenshot(shotFolder(root_) / "main-window-tabs.png"));
}
