// The set-up road from the main window's system-settings button on a fresh instrument: front-end 2#
// chosen and its options set, the sensor and jack dialog, the test information and the standard by taps,
// the start from the test-control dialog, and the run to its end by the main loop against a simulated
// controller and pile. The parameter file and the test file carry what the options wrote.
#include <cmath>
#include <cstring>

#include "calib_ui/chuanganqi.h"
#include "app/queren.h"
#include "setup_ui/shiyan_guifan.h"
#include "app/shizhuang_kongzhi.h"
#include "setup_ui/xitong_baohu.h"
#include "setup_dialogs_fixture.h"
#include "tests/app/run_to_end_fixture.h"

using namespace apptest;
using X = XiTongBaoHu;
using O = SystemOption;

namespace {

class SystemSettingsRoad : public AppTest {
 protected:
  void choose(X& d, O o, const std::string& want) {
    const int id = X::kOption[static_cast<std::size_t>(o)];
    for (int k = 0; k < 5 && drv::text(d, id) != want; ++k) ASSERT_TRUE(drv::tap(d, id));
    ASSERT_EQ(drv::text(d, id), want);
  }
};

}  // namespace

TEST_F(SystemSettingsRoad, ATestOnControllerTwoIsSetUpFromTheSystemSettingsAndRunsToItsEnd) {
  fsys::create_directories(root_ / "nandflash");
  fsys::create_directories(root_ / "Storage Card");
  // Every question of the run (the maximum load, the end of the test) is answered yes, every message
  // box closed.
  AnswerEverythingYes answers;
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(2);
  auto* settings = dialog<X>(MonitorSlot::XiTongBaoHu);
  auto* sensors = dialog<ChuanGanQi>(MonitorSlot::ChuanGanQi);
  auto* info = dialog<GongChengXinXi>(MonitorSlot::GongChengXinXi);
  auto* standard = dialog<ShiYanGuiFan>(MonitorSlot::ShiYanGuiFan);

  // 1. The system settings: front-end 2#, its options, OK.
  ASSERT_TRUE(drv::tap(w, 1125));
  ASSERT_TRUE(settings->isWindowVisible());
  ASSERT_TRUE(drv::tap(*settings, X::kController[1]));
  EXPECT_EQ(drv::text(*settings, X::kSettingsGroup), "当前为2#测控器系统设置");
  choose(*settings, O::Remote, "禁止远程传输");
  choose(*settings, O::OilCircuit, "普通双油路");
  choose(*settings, O::LoadingMode, "自动加载");
  choose(*settings, O::ForceSensor, "荷重传感器");
  choose(*settings, O::ZeroLevel, "暂停");
  ASSERT_TRUE(drv::tap(*settings, X::kOk));
  ASSERT_FALSE(settings->isWindowVisible()) << drv::text(*settings, X::kStatus);
  EXPECT_EQ(w.channel(1).selectedChannelText, "2");

  // 2. The sensor dialog of channel 2: a load cell.
  ASSERT_TRUE(sensors->isWindowVisible());
  EXPECT_EQ(sensors->CurrentChannel(), &p);
  typeInto(*sensors, ChuanGanQi::kFullRange, "2000");
  typeInto(*sensors, ChuanGanQi::kSensitivity, "2");
  ASSERT_TRUE(drv::tap(*sensors, ChuanGanQi::kOk));
  ASSERT_FALSE(sensors->isWindowVisible()) << drv::text(*sensors, ChuanGanQi::kStatus);

  // 3. Test information: a compression test on gauges 1-4.
  ASSERT_TRUE(info->isWindowVisible());
  ASSERT_TRUE(drv::tap(*info, 1246));
  typeInto(*info, GongChengXinXi::kSerial, "2026019");
  typeInto(*info, GongChengXinXi::kPile, "P8");
  ASSERT_TRUE(drv::tap(*info, GongChengXinXi::kOk));
  ASSERT_FALSE(info->isWindowVisible()) << drv::text(*info, GongChengXinXi::kStatus);
  EXPECT_EQ(p.testFilePath, "\\Storage Card\\2026019-P8.krv");

  // 4. The standard: quick maintained load (code 4), 300 kN a level up to 1500 kN.
  ASSERT_TRUE(standard->isWindowVisible());
  EXPECT_EQ(standard->CurrentChannel(), &p);
  PickStandard(*standard, 4);
  typeInto(*standard, ShiYanGuiFan::kControlLoad, "300");
  typeInto(*standard, ShiYanGuiFan::kSingleStep, "300");
  typeInto(*standard, ShiYanGuiFan::kRefillLower, "5");
  ASSERT_TRUE(drv::tap(*standard, ShiYanGuiFan::kOk));
  ASSERT_FALSE(standard->isWindowVisible()) << drv::text(*standard, ShiYanGuiFan::kStatus);
  EXPECT_EQ(p.standardCode.load(), 4);

  // The options are in channel 2's saved parameter file.
  {
    Parameter saved;
    saved.boardFlag = 1;
    std::string path = "x";
    ASSERT_EQ(JDQFile::LoadParameterFile(path, "2", saved), 1);
    EXPECT_EQ(saved.ParameterList.item(10), 1.0f);
    EXPECT_EQ(saved.ParameterList.item(11), 0.0f);
    EXPECT_EQ(saved.ParameterList.item(56), 1.0f);
    EXPECT_EQ(saved.ParameterList.item(99), 1.0f);
  }
  // The readings in kN (the simulated controller reports the load cell's force in kN).
  p.sensorCoefficient = 1.0f;
  p.jackSetting = 1;
  p.link.jackK = 1.0f;

  // 5. The start from the test control, which works on channel 2 now.
  ASSERT_TRUE(drv::tap(w, 1127));
  auto* control = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
  ASSERT_TRUE(control->isWindowVisible());
  EXPECT_EQ(control->CurrentChannel(), &p);
  ASSERT_TRUE(drv::tap(*control, ShiZhuangKongZhi::kStartEnd));
  ASSERT_EQ(p.testRunning.load(), 1) << drv::text(*control, ShiZhuangKongZhi::kMessage);
  EXPECT_EQ(w.channel(1).testRunning.load(), 0);

  // 6. The main loop runs the test; the simulated controller 2 answers each tick's command.
  RunTestToItsEnd(p, "000002");
  ASSERT_EQ(p.testRunning.load(), 0) << "the test did not end";

  // 7. The file: the levels of the programme and the options' header records.
  std::vector<TestRecord> file;
  ASSERT_EQ(JDQFile::LoadTestFile("\\Storage Card\\2026019-P8.krv", file), 1);
  const std::vector<float> levels = LevelLoadsOf(file);
  ASSERT_GE(levels.size(), 6u);
  EXPECT_EQ(std::vector<float>(levels.begin(), levels.begin() + 5),
            (std::vector<float>{300.0f, 600.0f, 900.0f, 1200.0f, 1500.0f}));
  EXPECT_EQ(levels.back(), 0.0f);
  EXPECT_EQ(JDQFile::HeaderText(file, 12, 3), "0");
  EXPECT_EQ(JDQFile::HeaderText(file, 30, 2).substr(0, 1), "1");
  EXPECT_EQ(JDQFile::HeaderText(file, 32, 2), "1");
  // Nothing of the set-up goes on behind the finished test, and channel 1 never ran.
  for (MonitorSlot s : {MonitorSlot::XiTongBaoHu, MonitorSlot::ChuanGanQi, MonitorSlot::GongChengXinXi,
                        MonitorSlot::ShiYanGuiFan, MonitorSlot::Key})
    EXPECT_FALSE(dialog(s)->isWindowVisible()) << SlotInfo(s).className;
  EXPECT_TRUE(w.channel(1).testFilePath.empty());
}
