// What the operator types into the set-up dialogs is kept: a set-up typed through the sensor, test
// information and standard dialogs is there again after the program restarts before the start, a plate
// test restarted mid-test goes on with the area typed, a gauge switched off during a test stays off
// after its end, and a test is dated by the day it starts.
#include <algorithm>
#include <functional>
#include <map>

#include "calib_ui/chuanganqi.h"
#include "setup_ui/shiyan_guifan.h"
#include "app/shizhuang_kongzhi.h"
#include "setup_ui/xitong_baohu.h"
#include "setup_ui/xitong_shijian.h"
#include "model/helpers.h"
#include "platform/text/text.h"
#include "tests/app/run_to_end_fixture.h"
#include "upload/queue_record.h"
#include "setup_dialogs_fixture.h"

using namespace apptest;

namespace {

class SetupKept : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    fsys::create_directories(root_ / "nandflash");
    fsys::create_directories(root_ / "Storage Card");
  }

  // The program ends and starts again on the same device root, its dialogs made anew.
  CMonitorDlg& restart() {
    main_->destroyWindow();
    main_.reset();
    DeleteMonitorDialogs();
    EXPECT_TRUE(CreateMonitorDialogs());
    return startMain(1);
  }

  // The test information of the shown test information dialog, OK included.
  void enterTest(int typeButton, const std::string& serial, const std::string& pile, const std::string& area,
                 std::initializer_list<int> gaugeTaps) {
    auto* info = dialog<GongChengXinXi>(MonitorSlot::GongChengXinXi);
    ASSERT_TRUE(info->isWindowVisible());
    ASSERT_TRUE(drv::tap(*info, typeButton));
    typeInto(*info, GongChengXinXi::kSerial, serial);
    typeInto(*info, GongChengXinXi::kPile, pile);
    if (!area.empty()) typeInto(*info, GongChengXinXi::kArea, area);
    for (int id : gaugeTaps) ASSERT_TRUE(drv::tap(*info, id));
    ASSERT_TRUE(drv::tap(*info, GongChengXinXi::kOk));
    ASSERT_FALSE(info->isWindowVisible()) << drv::text(*info, GongChengXinXi::kStatus);
  }

  // The standard of the shown standard dialog, 300 a level, OK.
  void enterStandard(int code) {
    auto* standard = dialog<ShiYanGuiFan>(MonitorSlot::ShiYanGuiFan);
    ASSERT_TRUE(standard->isWindowVisible());
    PickStandard(*standard, code);
    typeInto(*standard, ShiYanGuiFan::kControlLoad, "300");
    typeInto(*standard, ShiYanGuiFan::kSingleStep, "300");
    typeInto(*standard, ShiYanGuiFan::kRefillLower, "5");
    ASSERT_TRUE(drv::tap(*standard, ShiYanGuiFan::kOk));
    ASSERT_FALSE(standard->isWindowVisible()) << drv::text(*standard, ShiYanGuiFan::kStatus);
  }

  // Opens a dialog by its main-window button and reads what every control of it shows, then leaves
  // it by its exit button.
  std::map<int, std::string> shown(CMonitorDlg& w, int button, MonitorSlot slot, int exitId) {
    std::map<int, std::string> texts;
    EXPECT_TRUE(drv::tap(w, button)) << button;
    MonitorDialog* d = dialog(slot);
    EXPECT_TRUE(d->isWindowVisible()) << button;
    for (int id = 1000; id < 1400; ++id)
      if (d->getDlgItem(id) != nullptr && drv::visible(*d, id)) texts[id] = drv::text(*d, id);
    EXPECT_TRUE(drv::tap(*d, exitId));
    return texts;
  }
  std::map<int, std::string> sensorsShown(CMonitorDlg& w) {
    return shown(w, 1123, MonitorSlot::ChuanGanQi, ChuanGanQi::kExit);
  }
  std::map<int, std::string> informationShown(CMonitorDlg& w) {
    return shown(w, 1122, MonitorSlot::GongChengXinXi, GongChengXinXi::kExit);
  }
  std::map<int, std::string> standardShown(CMonitorDlg& w) {
    return shown(w, 1124, MonitorSlot::ShiYanGuiFan, ShiYanGuiFan::kExit);
  }

  // Starts the shown channel's test from the test-control dialog.
  void startTest(CMonitorDlg& w, Parameter& p) {
    ASSERT_TRUE(drv::tap(w, 1127));
    auto* control = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
    ASSERT_TRUE(control->isWindowVisible());
    ASSERT_TRUE(drv::tap(*control, ShiZhuangKongZhi::kStartEnd));
    ASSERT_EQ(p.testRunning.load(), 1) << drv::text(*control, ShiZhuangKongZhi::kMessage);
    drv::run(3500, 100);  // the dialog goes after 3 s
  }
};

}  // namespace

TEST_F(SetupKept, ASetUpTypedThroughTheDialogsSurvivesARestartBeforeTheStart) {
  CMonitorDlg& w = startMain(1);
  // The system settings: front-end 1# with a 10S oil-pressure sensor.
  auto* settings = dialog<XiTongBaoHu>(MonitorSlot::XiTongBaoHu);
  ASSERT_TRUE(drv::tap(w, 1125));
  ASSERT_TRUE(drv::tap(*settings, XiTongBaoHu::kController[0]));
  const int sensorOption = XiTongBaoHu::kOption[static_cast<std::size_t>(SystemOption::ForceSensor)];
  ASSERT_EQ(drv::text(*settings, sensorOption), "10S油压传感器");
  ASSERT_TRUE(drv::tap(*settings, XiTongBaoHu::kOk));
  // The sensor and its sensitivity, the test information (gauges 1, 2 and 5) and the standard.
  auto* sensors = dialog<ChuanGanQi>(MonitorSlot::ChuanGanQi);
  ASSERT_TRUE(sensors->isWindowVisible()) << drv::text(*settings, XiTongBaoHu::kStatus);
  typeInto(*sensors, ChuanGanQi::kSensorNumber, "1209");
  typeInto(*sensors, ChuanGanQi::kSensitivity, "1.5");
  typeInto(*sensors, ChuanGanQi::kRatedOutput, "2000");
  typeInto(*sensors, ChuanGanQi::kTime, "120");
  ASSERT_TRUE(drv::tap(*sensors, ChuanGanQi::kOk));
  ASSERT_FALSE(sensors->isWindowVisible()) << drv::text(*sensors, ChuanGanQi::kStatus);
  enterTest(1246, "2026021", "P3", "", {1123, 1124, 1125});
  enterStandard(4);
  const Parameter& typed = w.channel(1);
  ASSERT_EQ(typed.sensorCoefficient.load(), 1.5f);
  const std::map<int, std::string> sensorsBefore = sensorsShown(w);
  const std::map<int, std::string> informationBefore = informationShown(w);
  const std::map<int, std::string> standardBefore = standardShown(w);
  const std::string path = typed.testFilePath;
  ASSERT_EQ(path, "\\Storage Card\\2026021-P3.krv");

  // The program starts again: every dialog shows what was typed, and the test starts as set up.
  CMonitorDlg& again = restart();
  Parameter& p = again.channel(1);
  EXPECT_EQ(p.sensorCoefficient.load(), 1.5f);
  EXPECT_EQ(p.controlLoad.load(), 300.0f);
  EXPECT_EQ(p.testFilePath, path);
  EXPECT_EQ(sensorsShown(again), sensorsBefore);
  EXPECT_EQ(informationShown(again), informationBefore);
  // The standard dialog's test coefficient is the one the sensor dialog's OK computed; the parameter
  // file has no place for it, and the link works out its own from the sensor and jacks.
  std::map<int, std::string> standardAfter = standardShown(again);
  for (int id : {ShiYanGuiFan::kCoefficient, ShiYanGuiFan::kStatus}) standardAfter[id] = standardBefore.at(id);
  EXPECT_EQ(standardAfter, standardBefore);
  startTest(again, p);
  std::vector<TestRecord> file;
  ASSERT_EQ(JDQFile::LoadTestFile(path, file), 1);
  EXPECT_EQ(JDQFile::HeaderText(file, 7, 3), "2026021");
  EXPECT_EQ(JDQFile::HeaderText(file, 8, 1), "P3");
  EXPECT_EQ(JDQFile::HeaderText(file, 11, 3), "1.500");
  EXPECT_EQ(StrToFloat(JDQFile::HeaderText(file, 10, 2)), 120.0f);
  EXPECT_EQ(JDQFile::HeaderText(file, 69, 3), "4");
  EXPECT_EQ(JDQFile::HeaderText(file, 4, 2), "300.00");
  EXPECT_EQ(p.channelMask.load(), 0x13);
}

TEST_F(SetupKept, APlateTestRestartedMidTestHoldsTheForceOfTheAreaTyped) {
  CMonitorDlg& w = startMain(1);
  PickFrontEnd(w, 1);
  enterTest(1247, "2026022", "P4", "0.785", {});
  enterStandard(2);
  Parameter& p = w.channel(1);
  startTest(w, p);
  // The target force of a level is the control load (kPa) times the plate area (m²).
  const float force = p.controlLoad.load() * p.setupValue;
  EXPECT_EQ(force, 300.0f * 0.785f);

  CMonitorDlg& again = restart();
  Parameter& q = again.channel(1);
  ASSERT_EQ(q.testRunning.load(), 1);
  EXPECT_EQ(q.setupValue, 0.785f);
  EXPECT_EQ(q.controlLoad.load() * q.setupValue, force);
  // The information dialog shows the area as typed.
  ASSERT_TRUE(drv::tap(again, 1122));
  EXPECT_EQ(drv::text(*dialog(MonitorSlot::GongChengXinXi), GongChengXinXi::kArea), "0.785");
}

TEST_F(SetupKept, AGaugeSwitchedOffDuringATestStaysOffAfterItsEnd) {
  AnswerEverythingYes answers;
  CMonitorDlg& w = startMain(1);
  PickFrontEnd(w, 1);
  enterTest(1246, "2026023", "P5", "", {});  // gauges 1-4, as a new instrument has them
  enterStandard(4);
  Parameter& p = w.channel(1);
  startTest(w, p);
  ASSERT_EQ(p.channelMask.load(), 0x0F);

  // Gauge 4 off during the test; all four off is refused with the set-up's own text.
  auto* info = dialog<GongChengXinXi>(MonitorSlot::GongChengXinXi);
  ASSERT_TRUE(drv::tap(w, 1122));
  for (int id : {1121, 1122, 1123, 1124}) ASSERT_TRUE(drv::tap(*info, id));
  ASSERT_TRUE(drv::tap(*info, GongChengXinXi::kOk));
  EXPECT_TRUE(info->isWindowVisible());
  EXPECT_EQ(drv::text(*info, GongChengXinXi::kStatus), "位移必须有一个为开！");
  EXPECT_EQ(p.channelMask.load(), 0x0F);
  for (int id : {1121, 1122, 1123}) ASSERT_TRUE(drv::tap(*info, id));
  ASSERT_TRUE(drv::tap(*info, GongChengXinXi::kOk));
  ASSERT_FALSE(info->isWindowVisible()) << drv::text(*info, GongChengXinXi::kStatus);
  EXPECT_EQ(p.channelMask.load(), 0x07);

  // The test ends from the test control: the gauge stays off in the channel, in the dialog and in
  // the parameter file, and after a restart.
  ASSERT_TRUE(drv::tap(w, 1127));
  MonitorDialog* control = dialog(MonitorSlot::ShiZhuangKongZhi);
  ASSERT_TRUE(drv::tap(*control, ShiZhuangKongZhi::kStartEnd));
  ASSERT_EQ(p.testRunning.load(), 0);
  drv::run(2000, 100);
  ASSERT_TRUE(drv::tap(*control, ShiZhuangKongZhi::kExit));
  EXPECT_EQ(p.displacementOn[3].load(), 0);
  EXPECT_EQ(p.channelMask.load(), 0x07);
  EXPECT_EQ(informationShown(w).at(1124), "关");
  CMonitorDlg& again = restart();
  EXPECT_EQ(again.channel(1).channelMask.load(), 0x07);
  EXPECT_EQ(informationShown(again).at(1124), "关");
}

TEST_F(SetupKept, ATestIsDatedByTheDayItStarts) {
  CMonitorDlg& w = startMain(1);
  drv::run(900);
  // The date is set to a later day than the one the program started on.
  w.sendMessage(ui::WM_COMMAND, ui::MAKEWPARAM(1032, ui::STN_CLICKED), 0);
  drv::pump();
  auto* clock = dialog<XiTongshijian>(MonitorSlot::XiTongshijian);
  ASSERT_TRUE(clock->isWindowVisible());
  typeInto(*clock, XiTongshijian::kYear, "20270115");
  ASSERT_TRUE(drv::tap(*clock, XiTongshijian::kOk));
  ASSERT_EQ(clk::localTime().day, 15);
  drv::run(900);
  PickFrontEnd(w, 1);
  enterTest(1246, "2026024", "P6", "", {});
  enterStandard(4);
  Parameter& p = w.channel(1);
  startTest(w, p);
  std::vector<TestRecord> file;
  ASSERT_EQ(JDQFile::LoadTestFile(p.testFilePath, file), 1);
  EXPECT_EQ(JDQFile::HeaderText(file, 9, 1), "2027-01-15");
  EXPECT_EQ(JDQFile::HeaderText(file, 47, 1), "2027-01-15");
  UploadRecordInput in = UploadInputFromChannel(p);
  EXPECT_EQ((std::array<int, 3>{in.year, in.month, in.day}), (std::array<int, 3>{2027, 1, 15}));

  // Two days on the program starts again: the test keeps its date.
  ASSERT_TRUE(clk::setLocalTime({2027, 1, 17, 8, 0, 0, 0, 0}));
  CMonitorDlg& again = restart();
  Parameter& q = again.channel(1);
  ASSERT_EQ(q.testRunning.load(), 1);
  in = UploadInputFromChannel(q);
  EXPECT_EQ((std::array<int, 3>{in.year, in.month, in.day}), (std::array<int, 3>{2027, 1, 15}));
  UpdateStateRecords(q);
  EXPECT_EQ(JDQFile::HeaderText(q.testRecords, 47, 1), "2027-01-15");
}

TEST_F(SetupKept, AFailedSaveIsReportedAndTheDialogStays) {
  CMonitorDlg& w = startMain(1);
  PickFrontEnd(w, 1);
  // From now on channel 1's parameter file cannot be written: a folder takes its name.
  fsys::remove(root_ / "Storage Card" / "krv7181.ini");
  fsys::create_directories(root_ / "Storage Card" / "krv7181.ini");
  Parameter& p = w.channel(1);
  p.forceSensorType = 1;  // a 10S oil-pressure sensor, as the system settings leave it
  auto* info = dialog<GongChengXinXi>(MonitorSlot::GongChengXinXi);
  ASSERT_TRUE(info->isWindowVisible());
  typeInto(*info, GongChengXinXi::kSerial, "2026025");
  typeInto(*info, GongChengXinXi::kPile, "P7");
  struct Step {
    int button;  // on the main window; 0: the dialog is on screen already
    MonitorSlot slot;
    int ok, status;
    std::function<void(MonitorDialog&)> enter;
  } steps[] = {
      {0, MonitorSlot::GongChengXinXi, GongChengXinXi::kOk, GongChengXinXi::kStatus, [](MonitorDialog&) {}},
      {1123, MonitorSlot::ChuanGanQi, ChuanGanQi::kOk, ChuanGanQi::kStatus,
       [](MonitorDialog& d) { typeInto(d, ChuanGanQi::kSensitivity, "1.5"); }},
      {1124, MonitorSlot::ShiYanGuiFan, ShiYanGuiFan::kOk, ShiYanGuiFan::kStatus,
       [](MonitorDialog& d) {
         PickStandard(static_cast<ShiYanGuiFan&>(d), 4);
         typeInto(d, ShiYanGuiFan::kControlLoad, "300");
         typeInto(d, ShiYanGuiFan::kRefillLower, "5");
       }},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(SlotInfo(s.slot).className);
    MonitorDialog& d = *dialog(s.slot);
    if (s.button != 0) {
      ASSERT_TRUE(drv::tap(w, s.button));
    }
    ASSERT_TRUE(d.isWindowVisible());
    s.enter(d);
    ASSERT_TRUE(drv::tap(d, s.ok));
    EXPECT_TRUE(d.isWindowVisible());
    EXPECT_EQ(drv::text(d, s.status), "保存失败!");
    EXPECT_EQ(drv::textColor(d, s.status), ui::RGB(255, 0, 0));
    d.showWindow(ui::SW_HIDE);
  }
  // What was typed is in the channel all the same.
  EXPECT_EQ(p.testFilePath, "\\Storage Card\\2026025-P7.krv");
  EXPECT_EQ(p.sensorCoefficient.load(), 1.5f);
  EXPECT_EQ(p.controlLoad.load(), 300.0f);
}
