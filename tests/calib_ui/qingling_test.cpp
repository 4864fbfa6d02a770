// The sensor zeroing dialog: what it shows with and without a running test, the live readings, the
// toggles, corrections through the keypad, OK worked out the way the link shows the readings, the
// header records it writes, and the displacement memory road.
#include "calib_ui/shuju_qingling.h"
#include "tests/app/kongzhi_fixture.h"
#include "tests/setup_ui/setup_dialogs_fixture.h"

using namespace apptest;
using Q = ShuJuQingLing;

namespace {

class QingLing : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    dlg = dialog<Q>(MonitorSlot::ShuJuQingLing);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(dlg->create());
    LinkMonitorDialog(MonitorSlot::ShuJuQingLing, ch[0], ch[1], ch[2]);
  }
  std::string text(int id) { return drv::text(*dlg, id); }
  // Gauge k of channel 1 shows `shown` with the tables as given; returns its raw reading.
  float setGauge(std::size_t k, float shown, float zero, float offset, int dir) {
    Parameter& p = ch[0];
    p.sensorTableA[k] = zero;
    p.sensorTableB[k] = offset;
    p.sensorTableC[k] = dir;
    p.link.displacement[k - 1] = shown;
    return shown / static_cast<float>(dir) + zero - offset;
  }
  float shownAt(std::size_t k, float raw) {
    const Parameter& p = ch[0];
    return (raw - p.sensorTableA[k].load() + p.sensorTableB[k].load()) * static_cast<float>(p.sensorTableC[k].load());
  }

  Q* dlg = nullptr;
};

}  // namespace

TEST_F(QingLing, RefreshMarksEveryGaugeInUseOutsideATestAndNoneDuringOne) {
  ch[0].sensorTableC[2] = -1;
  ch[0].link.displacement[0] = 1.5f;
  show(*dlg);
  EXPECT_EQ(text(Q::kTitle), "1# 编号：000001");
  EXPECT_EQ(text(Q::kForceLabel), "荷载(kN)");
  EXPECT_EQ(text(Q::kForceZero), "√");
  for (int k = 1; k <= 8; ++k) {
    SCOPED_TRACE(k);
    const bool on = k <= 4;
    EXPECT_EQ(text(Q::kZero1 + k - 1), on ? "√" : "");
    EXPECT_EQ(drv::enabled(*dlg, Q::kZero1 + k - 1), on);
    EXPECT_EQ(drv::enabled(*dlg, Q::kCorrection1 + k - 1), on);
    EXPECT_EQ(drv::enabled(*dlg, Q::kDirection1 + k - 1), on);
    EXPECT_EQ(text(Q::kDirection1 + k - 1), !on ? "" : k == 2 ? "反向" : "正向");
    if (!on) {
      EXPECT_EQ(text(Q::kReading1 + k - 1), "--");
    }
  }
  EXPECT_EQ(text(Q::kReading1), "1.50");
  EXPECT_EQ(drv::textColor(*dlg, Q::kDirection1 + 1), ui::RGB(200, 0, 0));
  EXPECT_EQ(drv::textColor(*dlg, Q::kDirection1), ui::RGB(0, 0, 255));
  saveShot(*dlg, "zeroing-dialog.png");
  // Live readings on the second timer.
  ch[0].link.displacement[0] = 2.345f;
  drv::run(1000);
  EXPECT_EQ(text(Q::kReading1), "2.35");
  ch[0].standardCode = 3;  // a standard in thousandths
  drv::run(1000);
  EXPECT_EQ(text(Q::kReading1), "2.345");
  ASSERT_TRUE(drv::tap(*dlg, Q::kExit));
  EXPECT_FALSE(dlg->isWindowVisible());

  // During a test: nothing can be zeroed, the plate test shows kPa.
  ch[0].testRunning = 1;
  ch[0].testType = 0;
  show(*dlg);
  EXPECT_EQ(text(Q::kForceLabel), "荷载(kPa)");
  EXPECT_FALSE(drv::enabled(*dlg, Q::kForceZero));
  EXPECT_EQ(text(Q::kForceZero), "");
  for (int k = 1; k <= 4; ++k) {
    EXPECT_FALSE(drv::enabled(*dlg, Q::kZero1 + k - 1));
    EXPECT_EQ(text(Q::kZero1 + k - 1), "");
    EXPECT_TRUE(drv::enabled(*dlg, Q::kDirection1 + k - 1));
  }
  EXPECT_EQ(text(Q::kDirection1 + 1), "反向");
}

TEST_F(QingLing, OkAppliesMarksDirectionsAndKeypadCorrections) {
  const float raw1 = setGauge(1, 3.0f, 1.0f, 0.0f, 1);
  const float raw2 = setGauge(2, 7.0f, 2.0f, 0.5f, 1);
  const float raw3 = setGauge(3, 4.0f, 1.0f, 0.0f, -1);
  ch[0].sensorTableC[6] = -1;  // a switched-off gauge, reversed earlier
  ch[0].link.rawForceValue = 1000.0f;
  ch[0].forceSensorType = 2;
  show(*dlg);
  dialog(MonitorSlot::ShiZhuangKongZhi)->showWindow(ui::SW_HIDE);
  // Gauge 2: reversed and corrected to 12.5 through the keypad; gauge 3 unmarked keeps its reading.
  ASSERT_TRUE(drv::tap(*dlg, Q::kZero1 + 1));
  ASSERT_TRUE(drv::tap(*dlg, Q::kZero1 + 2));
  EXPECT_EQ(text(Q::kZero1 + 2), "");
  ASSERT_TRUE(drv::tap(*dlg, Q::kDirection1 + 1));
  EXPECT_EQ(text(Q::kDirection1 + 1), "反向");
  ASSERT_TRUE(drv::tap(*dlg, Q::kCorrection1 + 1));
  EXPECT_EQ(ch[0].keypad.caption, "位移2(mm)");
  EXPECT_EQ(ch[0].keypad.maxLength, 6);
  EXPECT_EQ(ch[0].keypad.requester, kRequesterZeroing);
  typeOnKeypad("12.5");
  ASSERT_TRUE(dlg->isWindowVisible());
  EXPECT_EQ(text(Q::kCorrection1 + 1), "12.5");
  EXPECT_EQ(text(Q::kZero1), "√") << "the keypad trip keeps the marks";
  ASSERT_TRUE(drv::tap(*dlg, Q::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_TRUE(dialog(MonitorSlot::ShiZhuangKongZhi)->isWindowVisible()) << "no test runs: on to the test control";

  const Parameter& p = ch[0];
  EXPECT_FLOAT_EQ(1000.0f - p.sensorTableA[0].load() - 800.0f, 0.0f) << "a 20S force reads 0 after zeroing";
  EXPECT_FLOAT_EQ(shownAt(1, raw1), 0.0f);
  EXPECT_FLOAT_EQ(p.sensorTableB[2].load(), -12.5f);
  EXPECT_FLOAT_EQ(shownAt(2, raw2), 12.5f);
  EXPECT_FLOAT_EQ(shownAt(3, raw3), 4.0f);
  EXPECT_EQ(p.sensorTableC[7].load(), 1) << "a switched-off gauge counts forward";
  EXPECT_EQ(p.procedure.zeroingMarks, (std::array<byte, 4>{}));
  // Header records 33-67 as the tables stand, in hundredths.
  struct Row {
    int record;
    const char* text;
  } rows[] = {{33, "200.00"}, {34, "4.00"}, {35, "8.50"}, {36, "1.00"}, {46, "0.00"}, {48, "-12.50"},
              {59, "1.00"},   {60, "1.00"}, {61, "-1.00"}, {62, "-1.00"}, {66, "1.00"}};
  for (const Row& r : rows) EXPECT_EQ(JDQFile::HeaderText(p.testRecords, r.record, 2), r.text) << r.record;
}

TEST_F(QingLing, MemoryIsAskedHeldUntilOkAndCarriesTheReadingsOn) {
  Answers answers;
  const float raw1 = setGauge(1, 5.0f, 2.0f, 1.0f, -1);
  show(*dlg);
  // Declined: nothing changes.
  answers.replies = {false};
  ASSERT_TRUE(drv::tap(*dlg, Q::kMemory));
  EXPECT_FALSE(dlg->memoryPending());
  EXPECT_EQ(text(Q::kStatus), "");
  answers.replies = {true};
  ASSERT_TRUE(drv::tap(*dlg, Q::kMemory));
  ASSERT_EQ(answers.asked.size(), 2u);
  EXPECT_EQ(answers.asked[1], "确定进行位移记忆？\r\n该操作将记忆所有位移。");
  EXPECT_TRUE(dlg->memoryPending());
  EXPECT_EQ(text(Q::kStatus), "位移调整完成后按确定键完成操作！");
  EXPECT_EQ(drv::textColor(*dlg, Q::kStatus), ui::RGB(255, 0, 0));
  EXPECT_FALSE(drv::enabled(*dlg, Q::kZero1));
  EXPECT_FALSE(drv::enabled(*dlg, Q::kDirection1));
  EXPECT_FALSE(drv::enabled(*dlg, Q::kCorrection1));
  // Exit is refused while the memory waits.
  ASSERT_TRUE(drv::tap(*dlg, Q::kExit));
  EXPECT_TRUE(dlg->isWindowVisible());
  // The gauge is re-set on the pile: it now shows 0.4 with the old tables.
  const float reset = 0.4f / -1.0f + 2.0f - 1.0f;
  ch[0].link.displacement[0] = 0.4f;
  ASSERT_TRUE(drv::tap(*dlg, Q::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_EQ(ch[0].uploadEventMark.load(), 1);
  EXPECT_NEAR(shownAt(1, reset), 5.0f, 1e-5f) << "the reversed gauge goes on from its remembered reading";
  (void)raw1;
}

TEST_F(QingLing, DuringATestOkChangesNoZeroAndOnlyCorrectionsMarkTheGauges) {
  ch[0].testRunning = 1;
  ch[0].loadingPhase = 2;
  ch[0].link.rawForceValue = 640.0f;
  ch[0].sensorTableA[0] = 10.0f;
  const float raw1 = setGauge(1, 3.0f, 1.0f, 0.0f, 1);
  const float raw2 = setGauge(2, 6.0f, 1.0f, 0.0f, 1);
  show(*dlg);
  dialog(MonitorSlot::ShiZhuangKongZhi)->showWindow(ui::SW_HIDE);
  ASSERT_TRUE(drv::tap(*dlg, Q::kDirection1));  // gauge 1 reversed
  ASSERT_TRUE(drv::tap(*dlg, Q::kCorrection1 + 1));
  typeOnKeypad("8.25");  // gauge 2 corrected
  ASSERT_TRUE(drv::tap(*dlg, Q::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_FALSE(dialog(MonitorSlot::ShiZhuangKongZhi)->isWindowVisible()) << "a running test stays on the main window";
  EXPECT_FLOAT_EQ(ch[0].sensorTableA[0].load(), 10.0f);
  EXPECT_FLOAT_EQ(shownAt(1, raw1), -3.0f);
  EXPECT_FLOAT_EQ(shownAt(2, raw2), 8.25f);
  EXPECT_EQ(ch[0].procedure.zeroingMarks, (std::array<byte, 4>{0, 1, 0, 0}));
  // The dialog stays away while the loop runs on.
  drv::run(5000);
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_EQ(ch[0].keypad.requester, 0);
}

// In the program the main window runs modally and owns the dialogs. While the operator re-sets the
// gauges after a confirmed memory, the dialog goes on showing the live readings, and a tap on it (the
// refused exit) does not stop them.
TEST_F(AppTest, ZeroingDialogShowsLiveReadingsAfterTheMemoryPromptInTheProgram) {
  fsys::create_directories(root_ / "nandflash");
  main_ = std::make_unique<CMonitorDlg>(CMonitorDlg::kTemplateBoard1);
  for (int n = 1; n <= 3; ++n) main_->channel(n).boardFlag = 1;
  std::vector<std::string> shown;
  bool pending = false, busy = false, done = false;
  drv::IdleScript script([&] {
    if (auto* q = dynamic_cast<queren*>(ui::activeWindow())) {
      drv::tap(*q, 1121);  // yes
      return;
    }
    if (busy) return;
    busy = true;
    if (!done) {
      done = true;
      Parameter& p = main_->channel(1);
      p.displacementOn[0] = 1;
      p.link.displacement[0] = 1.0f;
      ASSERT_TRUE(drv::tap(*main_, 1126));
      Q* dlg = dialog<Q>(MonitorSlot::ShuJuQingLing);
      ASSERT_TRUE(dlg->isWindowVisible());
      ASSERT_TRUE(drv::tap(*dlg, Q::kMemory));
      pending = dlg->memoryPending();
      for (float v : {2.5f, 3.75f}) {
        p.link.displacement[0] = v;
        drv::run(2000);
        shown.push_back(drv::text(*dlg, Q::kReading1));
        ASSERT_TRUE(drv::tap(*dlg, Q::kExit));  // refused while the memory waits
        EXPECT_TRUE(dlg->isWindowVisible());
      }
      main_->endDialog(ui::IDOK);
    }
    busy = false;
  });
  main_->doModal(nullptr);
  EXPECT_TRUE(pending);
  EXPECT_EQ(shown, (std::vector<std::string>{"2.50", "3.75"}));
}
