// The preload dialog: the unit by test type, the keypad cycle of the value, confirming (empty, refused,
// stored), the hardware keys 'S', 'V', 'B' and 'Z' and the digit filter, and a preload typed here that
// the front-end carries to the simulated controller.
#include "app/shizhuang_kongzhi.h"
#include "setup_ui/shizhuang_yuya.h"
#include "setup_dialogs_fixture.h"
#include "tests/app/sim_loop_fixture.h"

using namespace apptest;
using Y = ShiZhuangYuYa;

namespace {

class YuYa : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    dlg = dialog<Y>(MonitorSlot::ShiZhuangYuYa);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(dlg->create());
    LinkMonitorDialog(MonitorSlot::ShiZhuangYuYa, ch[0], ch[1], ch[2]);
    control = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
    ASSERT_NE(control, nullptr);
  }
  // The test-control dialog behind, the preload dialog in front.
  void open() {
    show(*control);
    show(*dlg);
    ASSERT_TRUE(dlg->isWindowVisible());
  }
  std::string value() { return drv::text(*dlg, Y::kValue); }

  Y* dlg = nullptr;
  ShiZhuangKongZhi* control = nullptr;
};

}  // namespace

TEST_F(YuYa, UnitFollowsTheTestTypeOnEveryShowing) {
  ch[0].testType = 0;
  open();
  EXPECT_EQ(drv::text(*dlg, Y::kUnit), "kPa");
  EXPECT_EQ(drv::textColor(*dlg, Y::kHint), ui::RGB(0, 0, 255));
  EXPECT_EQ(drv::textColor(*dlg, Y::kHintLabel), ui::RGB(0, 0, 255));
  EXPECT_FALSE(drv::visible(*dlg, Y::kUsage));
  ASSERT_TRUE(drv::tap(*dlg, Y::kCancel));
  EXPECT_FALSE(dlg->isWindowVisible());
  ch[0].testType = 1;
  open();
  EXPECT_EQ(drv::text(*dlg, Y::kUnit), "kN");
  dlg->setDlgItemText(Y::kValue, "350.5");
  saveShot(*dlg, "preload-dialog.png");
  if (std::getenv("SAVE_DOCS_SCREENSHOTS")) {
    ASSERT_TRUE(drv::screenshot(fsys::path(INSTRUMENT_SOURCE_DIR) / "docs" / "preload-dialog-over-test-control.png"));
  }
}

TEST_F(YuYa, ItIsDrawnFramedOverTheTestControl) {
  open();
  // Along its left edge the dialog draws its frame: without one, the strip is bare face beside the
  // test control's half-covered buttons.
  const ui::Rect client = dlg->getClientRect();
  EXPECT_GT(drv::inkPixels(*dlg, {0, 20, 14, client.bottom - 20}), 300);
  EXPECT_GT(drv::inkPixels(*dlg, {20, client.bottom - 14, client.right - 20, client.bottom}), 300);
}

TEST_F(YuYa, ValueGoesThroughTheKeypadUnderItsOwnCaption) {
  open();
  ASSERT_TRUE(drv::tap(*dlg, Y::kValue));
  const KeypadRequest& r = ch[0].keypad;
  EXPECT_EQ(r.caption, "预压值");
  EXPECT_EQ(r.text, "");
  EXPECT_EQ(r.maxLength, 7);
  EXPECT_EQ(r.mode, 0);
  EXPECT_EQ(r.requester, 6);
  EXPECT_EQ(ch[1].keypad.requester, 0) << "the request is the current channel's only";
  EXPECT_FALSE(dlg->isWindowVisible());
  typeOnKeypad("12.34");
  ASSERT_TRUE(dlg->isWindowVisible());
  EXPECT_EQ(value(), "12.34");
  EXPECT_EQ(ch[0].keypad.requester, 0);
  // The filter takes its state from the value as it now stands: no third decimal.
  EXPECT_FALSE(dlg->FilterDigitKey('5'));
  EXPECT_EQ(dlg->filter().chars(), 5);

  // A result under another caption is dropped, and the code cleared all the same.
  dlg->showWindow(ui::SW_HIDE);
  ch[0].keypad = {"桩号", "99", 7, 0, 0, kRequesterPreload};
  show(*dlg);
  EXPECT_EQ(value(), "12.34");
  EXPECT_EQ(ch[0].keypad.requester, 0);
  // Another dialog's request is left alone.
  dlg->showWindow(ui::SW_HIDE);
  ch[0].keypad = {"预压值", "77", 7, 0, 0, kRequesterZeroing};
  show(*dlg);
  EXPECT_EQ(value(), "12.34");
  EXPECT_EQ(ch[0].keypad.requester, kRequesterZeroing);
}

TEST_F(YuYa, ConfirmStoresOnlyANumberAboveZero) {
  // Empty: only this dialog hides, nothing is requested.
  open();
  ASSERT_TRUE(drv::tap(*dlg, Y::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_TRUE(control->isWindowVisible());
  EXPECT_EQ(ch[0].preloadRunning.load(), 0);
  // Refused values keep the dialog open with the reason, and store nothing.
  for (const char* bad : {"0", "0.00", "abc", "-3"}) {
    open();
    dlg->setDlgItemText(Y::kValue, bad);
    ASSERT_TRUE(drv::tap(*dlg, Y::kOk));
    EXPECT_TRUE(dlg->isWindowVisible()) << bad;
    EXPECT_EQ(dlg->StatusText(), kPreloadValueRefused) << bad;
    EXPECT_EQ(drv::textColor(*dlg, Y::kStatus), ui::RGB(255, 0, 0));
    EXPECT_EQ(ch[0].preloadRunning.load(), 0) << bad;
    EXPECT_EQ(ch[0].preloadValue.load(), 0.0f) << bad;
  }
  saveShot(*dlg, "preload-dialog-refused.png");
  // A good value: stored, requested, both dialogs hidden.
  dlg->setDlgItemText(Y::kValue, "350.5");
  ASSERT_TRUE(drv::tap(*dlg, Y::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_FALSE(control->isWindowVisible());
  EXPECT_EQ(ch[0].preloadRunning.load(), 1);
  EXPECT_FLOAT_EQ(ch[0].preloadValue.load(), 350.5f);
  EXPECT_EQ(ch[1].preloadRunning.load(), 0);
  // The next showing starts with a clear status line.
  open();
  EXPECT_EQ(dlg->StatusText(), "");
}

TEST_F(YuYa, HardwareKeys) {
  // 'S' and 'V' with an empty value go back to the test control.
  for (unsigned vk : {unsigned('S'), unsigned('V')}) {
    open();
    control->showWindow(ui::SW_HIDE);
    drv::pump();
    ASSERT_TRUE(dlg->isWindowVisible());
    drv::press(vk);
    EXPECT_FALSE(dlg->isWindowVisible()) << vk;
    EXPECT_TRUE(control->isWindowVisible()) << vk;
    EXPECT_EQ(ch[0].preloadRunning.load(), 0);
  }
  // 'S' with a value stores nothing.
  open();
  dlg->setDlgItemText(Y::kValue, "80");
  drv::press('S');
  EXPECT_EQ(ch[0].preloadRunning.load(), 0);
  // 'V' with a refused value keeps the dialog; with a good one it confirms.
  open();
  dlg->setDlgItemText(Y::kValue, "0");
  drv::press('V');
  EXPECT_TRUE(dlg->isWindowVisible());
  EXPECT_EQ(dlg->StatusText(), kPreloadValueRefused);
  dlg->setDlgItemText(Y::kValue, "80");
  drv::press('V');
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_FALSE(control->isWindowVisible());
  EXPECT_EQ(ch[0].preloadRunning.load(), 1);
  EXPECT_FLOAT_EQ(ch[0].preloadValue.load(), 80.0f);

  // 'B' forces the pump stop and releases it, as the test control's button does.
  open();
  ch[0].pumpCommand = 1;
  drv::press('B');
  EXPECT_EQ(ch[0].pumpForcedStop.load(), 64);
  EXPECT_EQ(ch[0].procedure.pumpStopMark, 1);
  EXPECT_TRUE(dlg->isWindowVisible());
  drv::press('B');
  EXPECT_EQ(ch[0].pumpForcedStop.load(), 0);
  EXPECT_EQ(ch[0].procedure.pumpStopMark, 0);
  EXPECT_EQ(ch[0].pumpCommand.load(), 0) << "the pump control is cleared";

  // Away from the value edit, digits and the point go on, every other key is swallowed.
  ui::Message digit{dlg->handle(), ui::WM_KEYDOWN, '7', 0};
  ui::Message letter{dlg->handle(), ui::WM_KEYDOWN, 'Q', 0};
  EXPECT_FALSE(dlg->preTranslateMessage(digit));
  EXPECT_TRUE(dlg->preTranslateMessage(letter));
}

TEST_F(YuYa, FilterStateIsTakenFromTheValueOnActivation) {
  open();
  // A value from an earlier opening does not block typing: the state is taken on activation.
  dlg->showWindow(ui::SW_HIDE);
  dlg->setDlgItemText(Y::kValue, "1234567");
  show(*dlg);
  EXPECT_FALSE(dlg->FilterDigitKey('8'));
  dlg->showWindow(ui::SW_HIDE);
  dlg->setDlgItemText(Y::kValue, "12");
  show(*dlg);
  EXPECT_TRUE(dlg->FilterDigitKey(0xBE));
  EXPECT_TRUE(dlg->FilterDigitKey('5'));
}

namespace {
class YuYaRoad : public SimLoopTest {};
}  // namespace

TEST_F(YuYaRoad, TypedPreloadIsCarriedToTheControllerAndEndsAtItsValue) {
  fsys::create_directories(root_ / "nandflash");
  fsys::create_directories(root_ / "Storage Card");
  sim::FrontEndSimulator& sim = startSim("COM6");
  CMonitorDlg& w = startMain(1);
  run(900);
  Parameter& p = w.channel(1);
  p.selectedChannelText = "1";  // front-end 1# picked, as the controller selection leaves it
  // A load cell read in kN, as the sensor dialog leaves it.
  p.loadingMode = 1;
  p.forceSensorType = 0;
  p.pressureMethod = 1;
  p.sensorCoefficient = 1.0f;
  p.jackSetting = 1;
  p.link.jackK = 1.0f;
  ASSERT_TRUE(drv::tap(w, 1127));
  auto* control = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
  auto* dlg = dialog<Y>(MonitorSlot::ShiZhuangYuYa);
  ASSERT_TRUE(control->isWindowVisible());
  ASSERT_TRUE(drv::tap(*control, ShiZhuangKongZhi::kPreload));
  ASSERT_TRUE(dlg->isWindowVisible());
  EXPECT_EQ(drv::text(*dlg, Y::kUnit), "kN");
  ASSERT_TRUE(drv::tap(*dlg, Y::kValue));
  typeOnKeypad("200");
  ASSERT_TRUE(dlg->isWindowVisible());
  ASSERT_TRUE(drv::tap(*dlg, Y::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_FALSE(control->isWindowVisible());
  ASSERT_EQ(p.preloadRunning.load(), 1);
  EXPECT_FLOAT_EQ(p.preloadValue.load(), 200.0f);

  // The front-end drives the jack up until the load reaches the typed value, then ends the preload.
  for (int s = 0; s < 600 && p.preloadRunning.load() != 0; ++s) run(1000, 100);
  EXPECT_EQ(p.preloadRunning.load(), 0);
  EXPECT_EQ(p.preloadEnded.load(), 1);
  EXPECT_GE(sim.controller(0).forceKn(), 195.0);
  EXPECT_LT(sim.controller(0).forceKn(), 260.0);
  // The preload stays ended: nothing goes on loading behind it.
  const double ended = sim.controller(0).forceKn();
  run(60 * 1000, 100);
  EXPECT_EQ(p.preloadRunning.load(), 0);
  EXPECT_EQ(p.testRunning.load(), 0);
  EXPECT_LT(sim.controller(0).forceKn(), ended + 20.0);
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_EQ(p.keypad.requester, 0);
}
