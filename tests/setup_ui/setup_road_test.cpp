// The set-up road on a fresh instrument, by taps on the screen: the operator picks a front-end
// controller and types the controller numbers, enters the test's serial and pile numbers, and starts
// the test from the test-control dialog; the main loop then runs against the simulated controllers.
// The test file carries the identity as the set-up wrote it. The second road sets up a whole test on
// the screen, its standard in the standard selection dialog, and runs it to its end against a simulated
// controller and pile; the file's header holds the standard as the dialog's OK wrote it.
#include <cmath>
#include <cstring>

#include "app/queren.h"
#include "setup_ui/shiyan_guifan.h"
#include "app/shizhuang_kongzhi.h"
#include "platform/text/text.h"
#include "setup/standard_commit.h"
#include "setup/timing.h"
#include "setup_dialogs_fixture.h"
#include "tests/app/run_to_end_fixture.h"
#include "tests/app/sim_loop_fixture.h"

using namespace apptest;

namespace {

class SetupRoad : public SimLoopTest {
 protected:
  void typeInto(ui::Window& d, int edit, const std::string& text) {
    ASSERT_TRUE(drv::tap(d, edit)) << edit;
    typeOnKeypad(text);
  }
};

// The standard's part of the set-up, as the standard dialog leaves it: a maintained load test
// (standard 4) from 300 kN in steps of 300 kN to 1500 kN.
StandardSettings QuickStandard() {
  const StandardDefaults* d = FindStandardDefaults(4);
  const TimingRow row = StandardTimingTable()[static_cast<std::size_t>(d->row)];
  StandardSettings s;
  s.code = 4;
  s.controlLoad = 300.0f;
  s.refillLower = 5.0f;
  s.singleStep = 300.0f;
  s.maxLoad = 1500.0f;
  s.judgeCount = static_cast<float>(row[kJudgeCount]);
  s.stableSettlement = 0.1f;
  s.judgementMode = d->mode;
  s.loadIntervals.fill(5.0f);
  s.unloadIntervals.fill(5.0f);
  s.holdTime = 15.0f;
  s.judgeTime = 5.0f;
  s.unloadSteps = static_cast<float>(row[kUnloadSteps]);
  s.nonZeroTime = 10.0f;
  s.zeroTime = 30.0f;
  return s;
}

// A header text field as the file holds it: the GBK text, zero-terminated, zeros to the end.
std::string Field(const std::string& utf8, std::size_t width) {
  std::string f = platform::text::utf8ToGbk(utf8);
  f.resize(width, '\0');
  return f;
}

// The controller number an upload record of a queue file carries (positions 112-114 of the record
// before its bytes were put in transmission order: the odd positions from 5 on come first, then the
// even ones), as the six digits of its three BCD bytes.
std::string ControllerNumberOf(const std::string& record) {
  auto logical = [&](std::size_t k) {
    const std::size_t at = k < 5 ? k : k % 2 == 1 ? 5 + (k - 5) / 2 : 66 + (k - 6) / 2;
    return static_cast<unsigned char>(record.at(at));
  };
  std::string digits;
  for (std::size_t k = 112; k <= 114; ++k)
    digits += platform::text::format("%02x", static_cast<unsigned>(logical(k)));
  return digits;
}

std::string FieldOf(const TestRecord& r, int field) {
  switch (field) {
    case 1: return std::string(r.text1, sizeof r.text1);
    case 2: return std::string(r.text2, sizeof r.text2);
    default: return std::string(r.text3, sizeof r.text3);
  }
}

}  // namespace

TEST_F(SetupRoad, OperatorPicksAControllerEntersThePlateTestAndStartsIt) {
  fsys::create_directories(root_ / "nandflash");
  fsys::create_directories(root_ / "Storage Card");
  sim::FrontEndSimulator& sim = startSim("COM6");  // a new instrument talks on the radio link
  sim.controller(0).setForceKn(12.5);
  CMonitorDlg& w = startMain(1);
  run(900);
  auto* sel = dialog<CCeKongQi>(MonitorSlot::CCeKongQi);
  auto* info = dialog<GongChengXinXi>(MonitorSlot::GongChengXinXi);

  // 1. Controller selection: the numbers of the three controllers (typed short: the link sends six
  // digits) and front-end 1#.
  PickFrontEnd(w, 1);
  ASSERT_TRUE(info->isWindowVisible());
  Parameter& p = w.channel(1);
  EXPECT_EQ(w.channel(1).selectedChannelText, "1");
  EXPECT_EQ(p.ParameterList.item(83), 1.0f);

  // 2. Test information: a plate test with gauges 1, 2 and 5.
  const clk::DateTime day = p.testClock;
  ASSERT_TRUE(drv::tap(*info, 1247));
  typeInto(*info, GongChengXinXi::kSerial, "2026001");
  typeInto(*info, GongChengXinXi::kPile, "P9");
  typeInto(*info, GongChengXinXi::kArea, "0.5");
  for (int id : {1123, 1124, 1125}) ASSERT_TRUE(drv::tap(*info, id));
  ASSERT_TRUE(drv::tap(*info, GongChengXinXi::kOk));
  ASSERT_FALSE(info->isWindowVisible()) << drv::text(*info, GongChengXinXi::kStatus);
  MonitorDialog* standard = dialog(MonitorSlot::ShiYanGuiFan);
  ASSERT_TRUE(standard->isWindowVisible());
  EXPECT_EQ(p.testFilePath, "\\Storage Card\\2026001-P9.krv");
  EXPECT_EQ(p.channelMask.load(), 0x13);

  // 3. The standard and the sensors (their dialogs' work: a load cell read in kN), then the start from
  // the test control.
  ASSERT_TRUE(CommitStandardSettings(p, QuickStandard()).accepted);
  p.loadingMode = 1;
  p.forceSensorType = 0;
  p.pressureMethod = 1;
  p.sensorCoefficient = 1.0f;
  p.jackSetting = 1;
  p.link.jackK = 1.0f;
  standard->showWindow(ui::SW_HIDE);
  ASSERT_TRUE(drv::tap(w, 1127));
  auto* control = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
  ASSERT_TRUE(control->isWindowVisible());
  EXPECT_EQ(drv::text(*control, ShiZhuangKongZhi::kTitle), "1# 编号：000001 流水号 2026001 桩号 P9");
  ASSERT_TRUE(drv::tap(*control, ShiZhuangKongZhi::kStartEnd));
  ASSERT_EQ(p.testRunning.load(), 1) << drv::text(*control, ShiZhuangKongZhi::kMessage);

  // 4. The main loop runs on against the simulated controller.
  run(6 * 60 * 1000, 100);
  EXPECT_EQ(p.testRunning.load(), 1);
  EXPECT_GT(p.link.goodCount.load(), 3) << "controller 000001 answers the link";
  EXPECT_EQ(drv::text(w, 1307), "1# 锁定");
  EXPECT_NE(drv::text(w, 1010), "— —");

  // 5. The file carries the identity as the set-up wrote it.
  std::vector<TestRecord> file;
  ASSERT_EQ(JDQFile::LoadTestFile(p.testFilePath, file), 1);
  struct Expect {
    int record, field;
    std::string text;
    std::size_t width;
  };
  const std::string date = platform::text::format("%04d-%02d-%02d", day.year, day.month, day.day);
  const Expect fixture[] = {
      {3, 2, "0.50", 20},  {7, 3, "2026001", 60}, {8, 3, "", 60},   {8, 1, "P9", 20}, {9, 1, date, 20},
      {21, 2, "1", 20},    {22, 2, "0", 20},      {23, 2, "0", 20}, {24, 2, "0", 20}, {25, 2, "0", 20},
      {26, 2, "0", 20},    {27, 2, "0", 20},      {28, 2, "0", 20}, {31, 1, "1", 20}, {32, 1, "1", 20},
      {33, 1, "0", 20},    {34, 1, "0", 20},      {36, 1, "0", 20},
  };
  for (const Expect& e : fixture) {
    SCOPED_TRACE(std::to_string(e.record) + "." + std::to_string(e.field));
    ASSERT_LT(static_cast<std::size_t>(e.record), file.size());
    EXPECT_EQ(FieldOf(file[static_cast<std::size_t>(e.record)], e.field), Field(e.text, e.width));
  }
  // The level was reached and readings went into the file (reading k is record k).
  ASSERT_GE(p.readingCount, 2);
  EXPECT_NE(std::string(file[0].marker, 5), "11111");
  EXPECT_NEAR(file[1].valuesA[0], 300.0f, 10.0f) << "the first level's load";
  EXPECT_TRUE(platform::fs::isFile(JDQFile::BackupPathFor(p.testFilePath, 1)));
  // The upload records of the test name the controller the link talks to, as does a restored channel.
  std::string queued;
  ASSERT_TRUE(platform::fs::readFile("\\Storage Card\\2026001-P9.gps", queued));
  ASSERT_GE(queued.size(), 128u);
  EXPECT_EQ(ControllerNumberOf(queued.substr(0, 128)), "000001");
  // Nothing of the set-up goes on behind the running test.
  EXPECT_FALSE(sel->isWindowVisible());
  EXPECT_FALSE(info->isWindowVisible());
  EXPECT_FALSE(dialog(MonitorSlot::Key)->isWindowVisible());
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(w.channel(n).keypad.requester, 0);
  EXPECT_EQ(p.fileLoaded.load(), 0);
  drv::screenshot(fsys::temp_directory_path() / "setup_road_main.png", &w);
}

namespace {

class SetupRoadToTheEnd : public AppTest {};

}  // namespace

TEST_F(SetupRoadToTheEnd, ATestSetUpWhollyOnTheScreenRunsToItsEndWithTheStandardInItsFile) {
  fsys::create_directories(root_ / "nandflash");
  fsys::create_directories(root_ / "Storage Card");
  // Every question of the run (the maximum load, the end of the test) is answered yes, every message
  // box closed.
  AnswerEverythingYes answers;
  std::vector<std::string>& asked = answers.asked;
  CMonitorDlg& w = startMain(1);
  Parameter& p = w.channel(1);
  auto* sel = dialog<CCeKongQi>(MonitorSlot::CCeKongQi);
  auto* info = dialog<GongChengXinXi>(MonitorSlot::GongChengXinXi);
  auto* standard = dialog<ShiYanGuiFan>(MonitorSlot::ShiYanGuiFan);
  ASSERT_TRUE(sel && info && standard);

  // 1. Controller selection (the main window's hidden button 1306): the three numbers and front-end 1#.
  PickFrontEnd(w, 1);
  ASSERT_TRUE(info->isWindowVisible());

  // 2. Test information: a compression test on gauges 1-4.
  ASSERT_TRUE(drv::tap(*info, 1246));
  typeInto(*info, GongChengXinXi::kSerial, "2026009");
  typeInto(*info, GongChengXinXi::kPile, "P4");
  ASSERT_TRUE(drv::tap(*info, GongChengXinXi::kOk));
  ASSERT_FALSE(info->isWindowVisible()) << drv::text(*info, GongChengXinXi::kStatus);
  ASSERT_EQ(p.testType.load(), 1);
  EXPECT_EQ(p.testFilePath, "\\Storage Card\\2026009-P4.krv");

  // 3. The standard: JGJ106-2014快速 (quick maintained load, code 4), 300 kN a level up to 1500 kN.
  ASSERT_TRUE(standard->isWindowVisible());
  EXPECT_EQ(drv::text(*standard, ShiYanGuiFan::kTitle), "1# 编号：000001 流水号 2026009 桩号 P4");
  PickStandard(*standard, 4);
  typeInto(*standard, ShiYanGuiFan::kControlLoad, "300");
  EXPECT_EQ(drv::text(*standard, ShiYanGuiFan::kSingleStep), "150") << "the standard's proposal";
  EXPECT_EQ(drv::text(*standard, ShiYanGuiFan::kMaxLoad), "1500");
  typeInto(*standard, ShiYanGuiFan::kSingleStep, "300");
  typeInto(*standard, ShiYanGuiFan::kRefillLower, "5");
  ASSERT_TRUE(drv::tap(*standard, ShiYanGuiFan::kOk));
  ASSERT_FALSE(standard->isWindowVisible()) << drv::text(*standard, ShiYanGuiFan::kStatus);
  EXPECT_TRUE(w.isWindowVisible());
  EXPECT_EQ(p.standardCode.load(), 4);

  // The sensors (their dialog's work: a load cell read in kN).
  p.loadingMode = 1;
  p.forceSensorType = 0;
  p.pressureMethod = 1;
  p.sensorCoefficient = 1.0f;
  p.jackSetting = 1;
  p.link.jackK = 1.0f;

  // 4. The start from the test control.
  ASSERT_TRUE(drv::tap(w, 1127));
  auto* control = dialog<ShiZhuangKongZhi>(MonitorSlot::ShiZhuangKongZhi);
  ASSERT_TRUE(control->isWindowVisible());
  ASSERT_TRUE(drv::tap(*control, ShiZhuangKongZhi::kStartEnd));
  ASSERT_EQ(p.testRunning.load(), 1) << drv::text(*control, ShiZhuangKongZhi::kMessage);

  // The header as the start wrote it. Quick maintained load (row 4 of the schedules): hold 60, judging
  // 15 minutes once, readings at 5, 10 and 15 minutes (unloading 5, 10, 15, 30), two unloading steps, 15
  // and 60 minutes at the ends; the fast method's criterion 0.1 mm with mode 1 in both sets, crossing;
  // nothing above a characteristic value; the refill lower limit 5 in percent, as a new instrument keeps
  // it.
  struct Expect {
    int record, field;
    std::string text;
    std::size_t width;
  };
  const Expect fixture[] = {
      {4, 2, "300.00", 20}, {5, 2, "5.0", 20},   {6, 2, "300.00", 20}, {7, 2, "1500.00", 20},
      {13, 2, "60", 20},    {14, 2, "15", 20},   {15, 2, "1", 20},     {16, 1, "5", 20},
      {16, 2, "0.10", 20},  {17, 1, "10", 20},   {17, 2, "1", 20},     {18, 1, "15", 20},
      {18, 2, "1", 20},     {19, 1, "15", 20},   {20, 1, "15", 20},    {20, 3, "0.00", 60},
      {21, 1, "15", 20},    {22, 1, "5", 20},    {23, 1, "10", 20},    {24, 1, "15", 20},
      {25, 1, "30", 20},    {26, 1, "30", 20},   {27, 1, "30", 20},    {28, 1, "2", 20},
      {29, 1, "15", 20},    {30, 1, "60", 20},   {57, 1, "15", 20},    {58, 1, "30", 20},
      {63, 1, "0.10", 20},  {64, 1, "1", 20},    {65, 1, "1", 20},     {66, 1, "0", 20},
      {67, 1, "0", 20},     {67, 3, "0", 60},    {68, 1, "0", 20},     {69, 1, "0", 20},
      {69, 3, "4", 60},     {71, 3, "0.00", 60},
  };
  const std::string path = "\\Storage Card\\2026009-P4.krv";
  {
    std::vector<TestRecord> file;
    ASSERT_EQ(JDQFile::LoadTestFile(path, file), 1);
    for (const Expect& e : fixture) {
      SCOPED_TRACE("at the start " + std::to_string(e.record) + "." + std::to_string(e.field));
      ASSERT_LT(static_cast<std::size_t>(e.record), file.size());
      EXPECT_EQ(FieldOf(file[static_cast<std::size_t>(e.record)], e.field), Field(e.text, e.width));
    }
  }

  // 5. The main loop runs the test; the simulated controller answers each tick's command.
  RunTestToItsEnd(p, "000001");
  ASSERT_EQ(p.testRunning.load(), 0) << "the test did not end";
  EXPECT_FALSE(asked.empty());

  // 6. The file: the loading levels of the programme, and the standard's header texts.
  std::vector<TestRecord> file;
  ASSERT_EQ(JDQFile::LoadTestFile(path, file), 1);
  const std::vector<float> levels = LevelLoadsOf(file);
  ASSERT_GE(levels.size(), 6u);
  EXPECT_EQ(std::vector<float>(levels.begin(), levels.begin() + 5),
            (std::vector<float>{300.0f, 600.0f, 900.0f, 1200.0f, 1500.0f}));
  EXPECT_EQ(levels.back(), 0.0f);

  // At the end the same, but for the load of the current level, which came back to 0.
  EXPECT_EQ(FieldOf(file[4], 2), Field("0.00", 20));
  for (const Expect& e : fixture) {
    if (e.record == 4) continue;
    SCOPED_TRACE(std::to_string(e.record) + "." + std::to_string(e.field));
    ASSERT_LT(static_cast<std::size_t>(e.record), file.size());
    EXPECT_EQ(FieldOf(file[static_cast<std::size_t>(e.record)], e.field), Field(e.text, e.width));
  }
  // Nothing of the set-up goes on behind the finished test.
  for (MonitorSlot s : {MonitorSlot::CCeKongQi, MonitorSlot::GongChengXinXi, MonitorSlot::ShiYanGuiFan, MonitorSlot::Key})
    EXPECT_FALSE(dialog(s)->isWindowVisible()) << SlotInfo(s).className;
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(w.channel(n).keypad.requester, 0);
}
