// Start-up of the application and the main window: board flag and templates, the registry of secondary
// dialogs and pages (made once, linked, shown and hidden), the first screen, the watchdog program, the
// key-click beep, the power-loss notices, the link icons and a screenshot with Chinese captions.
#include <chrono>
#include <thread>

#include "app/keypads.h"
#include "app/main_app.h"
#include "app/queren.h"
#include "setup_ui/shiyan_guifan.h"
#include "setup_ui/xitong_baohu.h"
#include "calib_ui/xitong_biaoding.h"
#include "setup_ui/xitong_shijian.h"
#include "fixture.h"
#include "platform/process/process.h"
#include "platform/ui/controls.h"

using namespace apptest;
using platform::ui::RGB;

namespace {

// Waits (real time, a few seconds at most) until cond holds, running the loop meanwhile.
bool eventually(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < end) {
    drv::pump();
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return cond();
}

}  // namespace

// ---- start-up through the application object -------------------------------------------------------

TEST_F(AppTest, StartUpChoosesTemplatesAndBoardFlagByTheNandflashFolder) {
  struct Case {
    bool nandflash;
    int board;
    int mainTemplate;
  } cases[] = {{true, 1, 102}, {false, 0, 181}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.board);
    if (c.nandflash) fsys::create_directories(root_ / "nandflash");
    else fsys::remove_all(root_ / "nandflash");
    if (!g_pMonitorDialogs.created()) {
      ASSERT_TRUE(CreateMonitorDialogs());
    }
    const int constructed = MonitorDialog::ConstructedCount();
    std::array<MonitorDialog*, kMonitorSlotCount> before{};
    for (int i = 0; i < kMonitorSlotCount; ++i) before[i] = g_pMonitorDialogs.at(static_cast<MonitorSlot>(i));

    CMainApp app;
    bool checked = false;
    drv::IdleScript script([&] {
      if (checked || !app.mainWindow()) return;
      checked = true;
      CMonitorDlg& w = *app.mainWindow();
      EXPECT_EQ(app.mainTemplate(), c.mainTemplate);
      EXPECT_EQ(w.templateId(), c.mainTemplate);
      EXPECT_EQ(app.registryKey(), "应用程序向导生成的本地应用程序");
      for (Parameter* p : {app.channel1, app.channel2, app.channel3}) EXPECT_EQ(p->boardFlag.load(), c.board);
      EXPECT_TRUE(w.isWindowVisible());
      EXPECT_EQ(w.getWindowRect(), (ui::Rect{0, 0, 1024, 768}));
      // Every registry object is the one made before start-up, now a window of its class and template.
      auto* tab = w.item<ui::TabCtrl>(CMonitorDlg::kTab);
      for (int i = 0; i < kMonitorSlotCount; ++i) {
        const auto slot = static_cast<MonitorSlot>(i);
        MonitorDialog* d = g_pMonitorDialogs.at(slot);
        SCOPED_TRACE(SlotInfo(slot).className);
        EXPECT_EQ(d, before[i]);
        EXPECT_STREQ(d->ClassName(), SlotInfo(slot).className);
        EXPECT_TRUE(d->exists());
        EXPECT_EQ(d->templateId(), TemplateFor(slot, c.board));
        EXPECT_EQ(d->parent(), SlotInfo(slot).page ? static_cast<ui::Window*>(tab) : &w);
      }
      EXPECT_EQ(MonitorDialog::ConstructedCount(), constructed);
      w.postMessage(ui::WM_CLOSE);
    });
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(checked);
    EXPECT_EQ(app.mainWindow(), nullptr);
    // The channels keep their settings in the board's program folder, made when a bare root lacks it.
    const char* programs = c.nandflash ? "nandflash" : "DISK";
    for (const char* name : {"krv7181.ini", "krv7182.ini", "krv7183.ini"})
      EXPECT_EQ(fsys::file_size(root_ / programs / name), 820u) << programs << "/" << name;
    // The objects outlive the main window; only the program's exit deletes them.
    EXPECT_EQ(g_pMonitorDialogs.at(MonitorSlot::Key), before[static_cast<int>(MonitorSlot::Key)]);
    DeleteMonitorDialogs();
  }
  ASSERT_TRUE(CreateMonitorDialogs());
}

TEST_F(AppTest, RegistryIsMadeOnceAndBoardZeroSharesSomeTemplates) {
  EXPECT_FALSE(CreateMonitorDialogs());  // already made by the fixture
  for (MonitorSlot s : {MonitorSlot::QianJinDingLvDing, MonitorSlot::ShiZhuangShuJu, MonitorSlot::ShiZhuangBuFa,
                        MonitorSlot::XiTongshijian, MonitorSlot::QuXian, MonitorSlot::ShiZhuangYuYa,
                        MonitorSlot::CCeKongQi, MonitorSlot::CPageJiLuBiao, MonitorSlot::CPages_lgt})
    EXPECT_EQ(TemplateFor(s, 0), TemplateFor(s, 1)) << SlotInfo(s).className;
  EXPECT_EQ(TemplateFor(MonitorSlot::Key, 0), 208);
  EXPECT_EQ(TemplateFor(MonitorSlot::ShiZhuangMuLu, 0), 204);
  // A later subsystem puts its own dialog in a place before the objects are made.
  struct Own : MonitorDialog {
    Own() : MonitorDialog(0) {}
    const char* ClassName() const override { return "GongChengXinXi"; }
  };
  DeleteMonitorDialogs();
  SetMonitorDialogFactory(MonitorSlot::GongChengXinXi, [] { return std::make_unique<Own>(); });
  ASSERT_TRUE(CreateMonitorDialogs());
  EXPECT_NE(dynamic_cast<Own*>(g_pMonitorDialogs.at(MonitorSlot::GongChengXinXi)), nullptr);
  EXPECT_EQ(g_pMonitorDialogs.at(MonitorSlot::GongChengXinXi)->templateId(), 101);
  // A place whose dialog nobody registered holds an empty screen of its class, a window on either board.
  DeleteMonitorDialogs();
  SetMonitorDialogFactory(MonitorSlot::GongChengXinXi, nullptr);
  ASSERT_TRUE(CreateMonitorDialogs());
  MonitorDialog* empty = g_pMonitorDialogs.at(MonitorSlot::GongChengXinXi);
  EXPECT_STREQ(empty->ClassName(), "GongChengXinXi");
  for (int board : {1, 0}) {
    ASSERT_TRUE(empty->create(TemplateFor(MonitorSlot::GongChengXinXi, board), nullptr)) << board;
    EXPECT_TRUE(empty->exists());
    empty->destroyWindow();
  }
}

// The test-data frame, never shown, carries its template's captions.
TEST_F(AppTest, TestDataFrameCarriesItsCaptions) {
  startMain(1);
  MonitorDialog* frame = dialog(MonitorSlot::ShiZhuangShuJu);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(frame->exists());
  EXPECT_FALSE(frame->isWindowVisible());
  std::vector<std::string> captions;
  for (const ui::Window* c : frame->children()) captions.push_back(c->getWindowText());
  EXPECT_EQ(captions, (std::vector<std::string>{"试桩数据", "试桩目录", "ID", "荷 载", "油 压", "时 间", "位移1", "位移2",
                                                "位移3", "位移4", "平均", "汇总表", "待发数据", "导入参数", "删除文件2"}));
}

TEST_F(AppTest, MainButtonsShowTheirDialogsWhichHideThemselves) {
  CMonitorDlg& w = startMain(1);
  const std::pair<int, MonitorSlot> shows[] = {
      {1122, MonitorSlot::GongChengXinXi}, {1123, MonitorSlot::ChuanGanQi},       {1124, MonitorSlot::ShiYanGuiFan},
      {1125, MonitorSlot::XiTongBaoHu},    {1126, MonitorSlot::ShuJuQingLing},    {1127, MonitorSlot::ShiZhuangKongZhi},
      {1128, MonitorSlot::ShiZhuangMuLu},  {1130, MonitorSlot::XiTongBiaoDing},   {1041, MonitorSlot::XiTongshijian},
      {1032, MonitorSlot::XiTongshijian}};
  for (auto [id, slot] : shows) {
    SCOPED_TRACE(id);
    MonitorDialog* d = dialog(slot);
    ASSERT_FALSE(d->isWindowVisible());
    ASSERT_TRUE(drv::tap(w, id));
    EXPECT_TRUE(d->isWindowVisible());
    EXPECT_EQ(ui::activeWindow(), d);
    const int exitId = slot == MonitorSlot::ShiZhuangKongZhi ? 1125
                       : slot == MonitorSlot::GongChengXinXi  ? 1244
                       : slot == MonitorSlot::ShiYanGuiFan    ? ShiYanGuiFan::kExit
                       : slot == MonitorSlot::ChuanGanQi      ? 1138
                       : slot == MonitorSlot::ShuJuQingLing   ? 1258
                       : slot == MonitorSlot::XiTongBaoHu     ? XiTongBaoHu::kExit
                       : slot == MonitorSlot::XiTongshijian   ? XiTongshijian::kCancel
                       : slot == MonitorSlot::XiTongBiaoDing  ? XiTongBiaoDing::kExit
                                                              : ui::IDCANCEL;
    ASSERT_TRUE(drv::tap(*d, exitId));  // its exit button
    EXPECT_FALSE(d->isWindowVisible());
    EXPECT_EQ(ui::activeWindow(), &w);
  }
  // Hidden buttons take no tap; nothing shows the standards check-list from here.
  EXPECT_FALSE(drv::tap(w, 1129));
  EXPECT_FALSE(drv::tap(w, 1306));
  EXPECT_FALSE(dialog(MonitorSlot::GuiFanSheZhi)->isWindowVisible());
}

TEST_F(AppTest, RegistryDialogsGetTheChannelsAndDialogsOfTheirRow) {
  CMonitorDlg& w = startMain(0);
  Parameter* ch[3] = {&w.channel(1), &w.channel(2), &w.channel(3)};
  struct Case {
    MonitorSlot slot;
    bool allChannels;
    std::vector<MonitorSlot> linked;
    std::vector<MonitorSlot> notLinked;
  } cases[] = {
      {MonitorSlot::ShiZhuangShuJu, false, {MonitorSlot::GongChengXinXi, MonitorSlot::QianJinDingLvDing}, {MonitorSlot::Key}},
      {MonitorSlot::XiTongBaoHu, true, {MonitorSlot::KeyABC, MonitorSlot::CPages_lgt, MonitorSlot::SelCgq}, {MonitorSlot::XiTongshijian}},
      {MonitorSlot::XiTongshijian, true, {MonitorSlot::Key}, {MonitorSlot::KeyABC}},
      {MonitorSlot::Key, false, {MonitorSlot::KeyABC, MonitorSlot::XiTongshijian, MonitorSlot::CCeKongQi}, {}},
      {MonitorSlot::KeyABC, false, {MonitorSlot::Key, MonitorSlot::XiTongBiaoDing}, {MonitorSlot::XiTongshijian, MonitorSlot::CCeKongQi}},
      {MonitorSlot::CPageQ_s, false, {}, {MonitorSlot::Key}},
  };
  for (const Case& c : cases) {
    MonitorDialog* d = dialog(c.slot);
    SCOPED_TRACE(d->ClassName());
    EXPECT_EQ(d->Channel(1), ch[0]);
    EXPECT_EQ(d->Channel(2), c.allChannels ? ch[1] : nullptr);
    EXPECT_EQ(d->Channel(3), c.allChannels ? ch[2] : nullptr);
    for (MonitorSlot s : c.linked) EXPECT_EQ(d->Linked(s), dialog(s));
    for (MonitorSlot s : c.notLinked) EXPECT_EQ(d->Linked(s), nullptr);
  }
}

TEST_F(AppTest, FirstScreenShowsDashesDisabledTestButtonsAndTheRecordTablePage) {
  CMonitorDlg& w = startMain(1);
  for (int id : {1010, 1024, 1038, 1046, 1049, 1051, 1053, 1056, 1058}) EXPECT_EQ(drv::text(w, id), "— —") << id;
  EXPECT_EQ(drv::text(w, 1012), "0");  // the control load of the last channel initialised
  EXPECT_EQ(drv::text(w, 1030), "— : — : —");
  EXPECT_EQ(drv::text(w, 1032), "— : — : —");
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(w.channel(n).timeText, "— : — : —");
    EXPECT_EQ(w.channel(n).channelName, std::to_string(n));
    EXPECT_EQ(drv::text(w, 1306 + n), std::to_string(n) + "#");
  }
  for (int id : {1277, 1280, 1276}) EXPECT_FALSE(drv::enabled(w, id)) << id;
  EXPECT_TRUE(drv::enabled(w, 1122));
  auto* tab = w.item<ui::TabCtrl>(CMonitorDlg::kTab);
  ASSERT_EQ(tab->getItemCount(), 6);
  EXPECT_EQ(tab->getItemText(0), "数据记录表");
  EXPECT_EQ(tab->getItemText(5), "s-lgt曲线");
  EXPECT_EQ(w.page(0), dialog(MonitorSlot::CPageJiLuBiao));
  EXPECT_EQ(w.page(2), dialog(MonitorSlot::CPageHuiZongBiao));
  for (int i = 0; i < 6; ++i) EXPECT_EQ(w.page(i)->isWindowVisible(), i == 0) << i;
  EXPECT_EQ(w.channel(1).pageRedraw.load(), 0);
  // Board devices: the start-up code, the backlight at its brightest.
  const auto board = platform::device::board();
  EXPECT_EQ(board.startupCodes, 1);
  EXPECT_EQ(board.backlight, 10);
  // Position query every 6 s.
  w.channel(1).gpsQueryRequest = 0;
  drv::run(6000, 100);
  EXPECT_EQ(w.channel(1).gpsQueryRequest.load(), 1);
  EXPECT_NE(platform::process::openEvent("EVENT_FOR_DEMO_SYNC"), nullptr);
}

TEST_F(AppTest, AfterARestartTheFirstRunningChannelIsSelected) {
  CMonitorDlg& w = startMain(1, 2);
  EXPECT_EQ(w.channel(1).selectedChannelText, "2");
  EXPECT_EQ(drv::text(w, 1307), "1#");
  EXPECT_EQ(drv::text(w, 1308), "2# 锁定");
  EXPECT_EQ(drv::text(w, 1309), "3#");
}

TEST_F(AppTest, WatchdogProgramStartsOnlyWhenItsFileIsThere) {
  // Board 0: the program folder is "\DISK\", where there is no watchdog.
  {
    CMonitorDlg& w = startMain(0);
    EXPECT_FALSE(w.sentryStarted());
    main_->destroyWindow();
    main_.reset();
  }
  fsys::create_directories(root_ / "nandflash");
  {
    std::ofstream s(root_ / "nandflash" / "SentryC.exe");
    s << "#!/bin/sh\necho ran > sentry.ran\n";
  }
  CMonitorDlg& w = startMain(1);
  EXPECT_TRUE(w.sentryStarted());
  EXPECT_TRUE(eventually([&] { return fsys::exists(root_ / "nandflash" / "sentry.ran"); }));
}

// ---- key-click beep --------------------------------------------------------------------------------

TEST_F(AppTest, EveryKeyDownThroughTheApplicationClicksTheBuzzer) {
  struct Case {
    bool nandflash;
    const char* device;
  } cases[] = {{true, "UDC1:"}, {false, "MSC1:"}};
  // The 50 ms click sleeps on the instrument clock: the keys are handled inside a clock timer's
  // callback, where a sleep moves the manual clock on by itself.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    if (c.nandflash) fsys::create_directories(root_ / "nandflash");
    else fsys::remove_all(root_ / "nandflash");
    platform::device::resetBoard();
    CMainApp app;
    int clicksAfter = -1;
    bool done = false;
    drv::IdleScript script([&] {
      if (done || !app.mainWindow()) return;
      done = true;
      clk::addTimer(1, false, [&] {
        ui::injectKey(ui::WM_KEYDOWN, ui::VK_F1);
        ui::injectKey(ui::WM_KEYDOWN, ui::VK_F1, true);  // auto-repeat of a held key
        ui::injectKey(ui::WM_KEYDOWN, ui::VK_F1, true);
        ui::injectKey(ui::WM_KEYUP, ui::VK_F1);
        ui::injectKey(ui::WM_KEYDOWN, '5');
        ui::injectKey(ui::WM_KEYUP, '5');
        drv::pump();
        clicksAfter = platform::device::board().keyClicks;
      });
      clk::advance(1);
      app.mainWindow()->postMessage(ui::WM_CLOSE);
    });
    app.InitInstance();
    EXPECT_EQ(clicksAfter, 4);
    EXPECT_FALSE(platform::device::board().buzzerOn);
  }
}

// ---- power loss ------------------------------------------------------------------------------------

TEST_F(AppTest, PowerLossCountsDownPausesRunningTestsAndSwitchesOffAfterThreeSeconds) {
  CMonitorDlg& w = startMain(1, 1);
  w.channel(2).testRunning = 1;
  w.channel(2).paused = 1;  // the operator paused channel 2 before
  struct Case {
    long ms;
    const char* text;
    bool off;
  } cases[] = {{0, "外接电源断开，3秒后自动关机", false},    {1000, "外接电源断开，2秒后自动关机", false},
               {2000, "外接电源断开，1秒后自动关机", false}, {3000, "外接电源断开，0秒后自动关机", false},
               {3500, "外接电源断开，0秒后自动关机", true},  {7000, "外接电源断开，0秒后自动关机", true}};
  // Another event code changes nothing.
  w.postMessage(CMonitorDlg::kPowerLostMessage, 4, 0);
  drv::pump();
  EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), "");
  EXPECT_EQ(w.channel(1).paused.load(), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    w.postMessage(CMonitorDlg::kPowerLostMessage, 5, c.ms);
    drv::pump();
    EXPECT_EQ(drv::text(w, CMonitorDlg::kStatusLine), c.text);
    EXPECT_EQ(platform::device::board().powerOffRequested, c.off);
    EXPECT_EQ(drv::textColor(w, CMonitorDlg::kStatusLine), RGB(255, 0, 0));
    EXPECT_EQ(w.channel(1).paused.load(), 1);
    EXPECT_TRUE(w.statusHold(1) && w.statusHold(3));
    drv::run(900, 100);  // notices keep the resume timer from acting
  }
  // Four quiet seconds: the pause the power loss made is taken back, the operator's stays.
  drv::run(4000, 100);
  EXPECT_EQ(w.channel(1).paused.load(), 0);
  EXPECT_EQ(w.channel(2).paused.load(), 1);
  EXPECT_FALSE(w.statusHold(1));
  EXPECT_FALSE(w.powerPaused(1));
}

TEST_F(AppTest, PowerFileSaysLostAndTheMainWindowHearsOfIt) {
  CMonitorDlg& w = startMain(1);
  {
    std::ofstream f(root_ / "power");
    f << "lost";
  }
  EXPECT_TRUE(eventually([&] {
    clk::advance(100);
    return drv::text(w, CMonitorDlg::kStatusLine).find("外接电源断开") == 0;
  }));
}

// ---- link icons and messages -----------------------------------------------------------------------

TEST_F(AppTest, LinkIconsShowOneSignalLevelOrTheWiredState) {
  CMonitorDlg& w = startMain(1);
  const int signal[5] = {1224, 1226, 1228, 1229, 1230};
  for (int level = -1; level <= 4; ++level) {
    w.showSignalLevel(level);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(drv::visible(w, signal[i]), i == level) << level;
    EXPECT_FALSE(drv::visible(w, 1225));
  }
  struct Case {
    int state;
    bool on, off;
  } cases[] = {{1, true, false}, {0, false, true}, {-1, false, false}};
  for (const Case& c : cases) {
    w.showWiredState(c.state);
    EXPECT_EQ(drv::visible(w, 1241), c.on);
    EXPECT_EQ(drv::visible(w, 1242), c.off);
  }
  w.setLinkLabel("有线正常");
  EXPECT_EQ(drv::text(w, 1346), "有线正常");
}

TEST_F(AppTest, MessageFromAWorkerThreadIsShownOnTheUserInterfaceThread) {
  CMonitorDlg& w = startMain(1);
  std::thread worker([&] { w.messageBox("Open MSC1 device failed"); });
  worker.join();
  std::string shown;
  drv::IdleScript script([&] {
    if (auto* box = dynamic_cast<CMessageBox*>(ui::activeWindow()); box && shown.empty()) {
      shown = box->getDlgItemText(1009);
      drv::tap(*box, ui::IDOK);
    }
  });
  drv::pump();
  EXPECT_EQ(shown, "Open MSC1 device failed");
  EXPECT_EQ(ui::activeWindow(), &w);
}

// ---- repaints and screenshot ---------------------------------------------------------------------------

// An idle tick of the main window repaints what it changed: the clock, once a second.
TEST_F(AppTest, AnIdleTickRepaintsTheClockOnly) {
  fsys::create_directories(root_ / "Storage Card");
  CMonitorDlg& w = startMain(1);
  drv::run(3000, 100);
  drv::RepaintLog log;
  drv::run(9000, 100);
  EXPECT_GE(log.rects().size(), 9u);
  for (const ui::Rect& r : log.rects()) EXPECT_EQ(r, w.getDlgItem(1032)->getWindowRect());
}

TEST_F(AppTest, MainWindowScreenshotCarriesTheChineseCaptions) {
  CMonitorDlg& w = startMain(1);
  w.setDlgItemText(CMonitorDlg::kStatusLine, "新试验从“系统设置”按钮开始！");
  w.channelButton(1).state = 2;
  w.channelButton(1).invalidate();  // as the main loop does when a lamp changes
  drv::run(300, 100);
  auto inkOf = [&](int id) {
    ui::Window* c = w.getDlgItem(id);
    return drv::inkPixels(w, c->windowRect());
  };
  for (int id : {1122, 1127, 1131, 1009, 1011, 1029, CMonitorDlg::kStatusLine, 1307})
    EXPECT_GT(inkOf(id), 40) << id;
  // The tabs along the bottom of the tab control carry their captions.
  ui::Rect tab = w.getDlgItem(CMonitorDlg::kTab)->windowRect();
  EXPECT_GT(drv::inkPixels(w, {tab.left, tab.bottom - 32, tab.right, tab.bottom}), 100);
  EXPECT_EQ(drv::dominantColor(w, 1307), RGB(0, 255, 0));
  const fsys::path png = root_ / "main.png";
  ASSERT_TRUE(drv::screenshot(png));
  EXPECT_GT(fsys::file_size(png), 10000u);
  if (const char* out = std::getenv("APP_SCREENSHOT")) fsys::copy_file(png, out, fsys::copy_options::overwrite_existing);
}
