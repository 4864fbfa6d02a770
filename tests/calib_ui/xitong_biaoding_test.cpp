// The system calibration dialog by taps, with raw force readings fed into the channel: the first showing
// without "xtbd.ini", the start's checks in their order, the channel a start writes, zero, records to
// the end with a beep each, leaving and re-opening mid-calibration, the check of a stored calibration,
// the estimate and the end; "xtbd.ini" after each step against the bytes its layout gives.
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "calib_ui/xitong_biaoding.h"
#include "platform/text/text.h"
#include "tests/setup_ui/setup_dialogs_fixture.h"

using namespace apptest;
using X = XiTongBiaoDing;

namespace {

// "xtbd.ini" as its layout gives it: 77 little-endian 4-byte fields, the defaults of an instrument
// without the file unless set.
struct CalibrationImage {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(308, 0);

  CalibrationImage() {
    i(0, 2).f(4, 80.0f).i(8, 10).f(12, 80.0f).f(16, 1000.0f).f(20, 1000.0f).f(24, 64.0f).f(304, 2.13f);
  }
  CalibrationImage& i(std::size_t at, std::int32_t v) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    for (std::size_t k = 0; k < 4; ++k) bytes[at + k] = static_cast<std::uint8_t>(u >> (8 * k));
    return *this;
  }
  CalibrationImage& f(std::size_t at, float v) {
    std::int32_t u;
    std::memcpy(&u, &v, 4);
    return i(at, u);
  }
  // Row k: standard, force, pressure, check force, check pressure at 64 + 20k.
  CalibrationImage& row(std::size_t k, float standard, float force = 0, float pressure = 0, float checkForce = 0,
                        float checkPressure = 0) {
    const std::size_t at = 64 + 20 * k;
    return f(at, standard).f(at + 4, force).f(at + 8, pressure).f(at + 12, checkForce).f(at + 16, checkPressure);
  }
};

class XiTongBiaoDingTest : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    dlg = dialog<X>(MonitorSlot::XiTongBiaoDing);
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(dlg->create());
    LinkMonitorDialog(MonitorSlot::XiTongBiaoDing, ch[0], ch[1], ch[2]);
    ch[0].forceSensorType = 1;
  }
  std::string text(int id) { return drv::text(*dlg, id); }
  fsys::path file() { return root_ / "Storage Card" / "xtbd.ini"; }
  std::vector<std::uint8_t> fileBytes() {
    std::ifstream in(file(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void writeFile(const CalibrationImage& image) {
    std::ofstream out(file(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
  }
  // The row's standard, force and pressure cells.
  std::string row(int k) {
    return text(X::StandardCell(k)) + "|" + text(X::kForceCell0 + k) + "|" + text(X::kPressureCell0 + k);
  }
  // Feeds a raw force reading and lets the live values catch up.
  void feed(float raw) {
    ch[0].link.rawForceValue = raw;
    drv::run(1000);
  }
  // Taps a button and returns whether it beeped for 100 ms on the board.
  bool tapBeeps(int id) {
    const std::size_t before = platform::device::board().buzzerLog.size();
    EXPECT_TRUE(drv::tap(*dlg, id)) << id;
    const bool on = platform::device::board().buzzerOn;
    drv::run(90);
    const bool stillOn = platform::device::board().buzzerOn;
    drv::run(30);
    const auto log = platform::device::board().buzzerLog;
    return on && stillOn && !log.back().on && log.size() == before + 2;
  }
  void fillSystem(const std::string& maximum, const std::string& points, const std::string& range,
                  const std::string& sensitivity, const std::string& output, const std::string& pressure) {
    ASSERT_TRUE(drv::tap(*dlg, X::kSystem));
    for (auto [id, value] : {std::pair<int, std::string>{X::kMaximum, maximum},
                             {X::kPoints, points},
                             {X::kRange, range},
                             {X::kRatedOutput, output},
                             {X::kRatedPressure, pressure}})
      typeInto(*dlg, id, value);
    if (!sensitivity.empty()) typeInto(*dlg, X::kSensitivity, sensitivity);
  }

  X* dlg = nullptr;
};

}  // namespace

TEST_F(XiTongBiaoDingTest, ASystemCalibrationFromStartToEndAndItsFileAfterEachStep) {
  ch[0].sensorTableA[0] = 55.0f;
  show(*dlg);
  // Without "xtbd.ini": the defaults, an oil-pressure sensor; the channel keeps its zero.
  EXPECT_EQ(text(X::kOilSensor), "√油压传感器");
  EXPECT_EQ(text(X::kMaximumLabel), "标定最大油压(MPa)");
  EXPECT_EQ(text(X::kMaximum), "80");
  EXPECT_EQ(text(X::kPoints), "10");
  EXPECT_EQ(text(X::kRange), "80");
  EXPECT_EQ(text(X::kSensitivity), "2.130");
  EXPECT_EQ(text(X::kRatedOutput), "");
  EXPECT_FALSE(drv::enabled(*dlg, X::kRatedOutput));
  EXPECT_EQ(text(X::kEstimate), "灵敏度计算");
  EXPECT_EQ(text(X::kStatus), "请按“开始标定”键进行标定！");
  EXPECT_EQ(text(X::kLiveForce), "--");
  EXPECT_FLOAT_EQ(ch[0].sensorTableA[0].load(), 55.0f);
  EXPECT_FALSE(fsys::exists(file()));
  EXPECT_EQ(drv::textColor(*dlg, X::kOilSensor), ui::RGB(0, 0, 255));
  EXPECT_EQ(drv::textColor(*dlg, X::kSystem), ui::RGB(0, 0, 0));
  // Zero and record do nothing while idle.
  EXPECT_FALSE(tapBeeps(X::kZero));
  EXPECT_FALSE(tapBeeps(X::kRecord));
  EXPECT_FLOAT_EQ(ch[0].sensorTableA[0].load(), 55.0f);

  // The system: P 60 MPa, sensitivity 2, F 1000 kN, range 60 MPa, 1000 kN in 3 steps.
  fillSystem("1000", "3", "60", "2", "1000", "60");
  EXPECT_EQ(text(X::kSystem), "√系统");
  EXPECT_EQ(text(X::kRangeLabel), "油压传感器量程(MPa)");
  EXPECT_EQ(text(X::kEstimate), "系数计算");
  EXPECT_FALSE(fsys::exists(file())) << "the type buttons save nothing";
  EXPECT_TRUE(tapBeeps(X::kStart));
  EXPECT_EQ(text(X::kStatus), "参数输入正确，已自动生成各标定点标准荷载值！按“清零”键清零");
  EXPECT_EQ(drv::textColor(*dlg, X::kStatus), ui::RGB(0, 0, 255));
  EXPECT_EQ(text(X::kStart), "结束标定");
  EXPECT_EQ(ch[0].forceSensorType.load(), 1);
  EXPECT_FLOAT_EQ(ch[0].headerFloat0, 2.4f);
  EXPECT_FLOAT_EQ(ch[0].sensorCoefficient.load(), 2.0f);
  EXPECT_EQ(ch[0].sensorSetting.load(), 60);
  EXPECT_FLOAT_EQ(ch[0].jackCoefficientB.load(), 1000.0f);
  EXPECT_FLOAT_EQ(ch[0].jackCoefficientA.load(), 60.0f);
  EXPECT_EQ(row(0), "0||");
  EXPECT_EQ(row(1), "333||");
  EXPECT_EQ(row(2), "667||");
  EXPECT_EQ(row(3), "1000||");
  for (int k = 4; k <= 10; ++k) EXPECT_EQ(row(k), "--|--|--") << k;
  EXPECT_EQ(text(X::kNextStandard), "0");
  for (int id : {X::kMaximum, X::kPoints, X::kRange, X::kSensitivity}) EXPECT_FALSE(drv::enabled(*dlg, id)) << id;
  CalibrationImage image;
  image.i(0, 1).f(4, 1000.0f).i(8, 3).f(12, 60.0f).f(24, 60.0f).i(28, 1).f(304, 2.0f);
  const float step = 1000.0f * (1.0f / 3.0f);
  for (std::size_t k = 0; k <= 3; ++k) image.row(k, static_cast<float>(k) * step);
  EXPECT_EQ(fileBytes(), image.bytes) << "after start";

  // Live values every second: 500 counts are 12.5 MPa and 1000 / 60 x 12.5 kN.
  feed(500.0f);
  EXPECT_EQ(text(X::kLivePressure), "12.50");
  EXPECT_EQ(text(X::kLiveForce), "208.3");
  EXPECT_TRUE(tapBeeps(X::kZero));
  EXPECT_EQ(text(X::kStatus), "已清零！");
  EXPECT_FLOAT_EQ(ch[0].sensorTableA[0].load(), 500.0f) << "the main window's force reads 0 too";
  image.i(48, 1).f(52, 500.0f);
  EXPECT_EQ(fileBytes(), image.bytes) << "after zero";
  feed(500.0f);
  EXPECT_EQ(text(X::kLiveForce), "0.0");

  // Rows 0 and 1.
  EXPECT_TRUE(tapBeeps(X::kRecord));
  EXPECT_EQ(row(0), "0|0.0|0.00");
  EXPECT_EQ(text(X::kNextStandard), "333");
  image.i(32, 1);
  EXPECT_EQ(fileBytes(), image.bytes) << "after row 0";
  feed(1300.0f);  // 800 counts: 20 MPa, 333.3 kN
  EXPECT_TRUE(tapBeeps(X::kRecord));
  EXPECT_EQ(row(1), "333|333.3|20.00");
  image.i(32, 2).row(1, step, 333.3f, 20.0f);
  EXPECT_EQ(fileBytes(), image.bytes) << "after row 1";

  // Leaving stops the live values; re-opening rebuilds the table from the file.
  ASSERT_TRUE(drv::tap(*dlg, X::kExit));
  EXPECT_FALSE(dlg->isWindowVisible());
  ch[0].link.rawForceValue = 2100.0f;
  drv::run(3000);
  EXPECT_EQ(text(X::kLiveForce), "333.3");
  show(*dlg);
  EXPECT_EQ(text(X::kStart), "结束标定");
  EXPECT_EQ(text(X::kSystem), "√系统");
  EXPECT_EQ(row(0), "0|0.0|0.00");
  EXPECT_EQ(row(1), "333|333.3|20.00");
  EXPECT_EQ(row(2), "667||");
  EXPECT_EQ(row(4), "--|--|--");
  EXPECT_EQ(text(X::kNextStandard), "667");
  EXPECT_EQ(dlg->cursorRow(), 2);
  EXPECT_FALSE(drv::enabled(*dlg, X::kMaximum));
  EXPECT_TRUE(drv::enabled(*dlg, X::kRatedOutput)) << "the system's jack edits stay open";
  EXPECT_EQ(text(X::kStatus), "");
  EXPECT_EQ(fileBytes(), image.bytes) << "re-opening writes nothing";
  feed(2100.0f);  // 1600 counts: 40 MPa, 666.7 kN
  EXPECT_EQ(text(X::kLiveForce), "666.7");

  // Rows 2 and 3 finish the calibration; a further record only repeats it, with a beep.
  EXPECT_TRUE(tapBeeps(X::kRecord));
  feed(2900.0f);  // 2400 counts: 60 MPa, 1000 kN
  EXPECT_TRUE(tapBeeps(X::kRecord));
  EXPECT_EQ(text(X::kStatus), "本次标定已经完成，请您及时记录下标定的数据！");
  EXPECT_EQ(row(3), "1000|1000.0|60.00");
  EXPECT_EQ(text(X::kNextStandard), "--");
  EXPECT_EQ(dlg->cursorRow(), 0);
  image.i(32, 4).i(36, 1).i(40, 1).row(2, 2 * step, 666.7f, 40.0f).row(3, 3 * step, 1000.0f, 60.0f);
  EXPECT_EQ(fileBytes(), image.bytes) << "after the last row";
  EXPECT_TRUE(tapBeeps(X::kRecord));
  EXPECT_EQ(text(X::kStatus), "标定已完成，若想重新标定，请选择“新标定”键！");
  EXPECT_EQ(fileBytes(), image.bytes);

  // The estimate: the mean of measured / standard x sensitivity over the three steps.
  double sum = 0;
  for (int k = 1; k <= 3; ++k)
    sum += std::stod(text(X::kForceCell0 + k)) / std::stod(text(X::StandardCell(k))) * 2.0;
  ASSERT_TRUE(drv::tap(*dlg, X::kEstimate));
  EXPECT_EQ(text(X::kStatus), "估算灵敏度为：" + platform::text::format("%.3f", sum / 3));

  // End: the table goes, the inputs stay, the channel's zero is 0; nothing runs on.
  EXPECT_TRUE(tapBeeps(X::kStart));
  EXPECT_EQ(text(X::kStart), "开始标定");
  EXPECT_EQ(text(X::kStatus), "请按“开始标定”键开始标定！");
  for (int k = 0; k <= 10; ++k) EXPECT_EQ(row(k), "||") << k;
  EXPECT_EQ(text(X::kNextStandard), "0");
  EXPECT_EQ(text(X::kLiveForce), "--");
  EXPECT_FLOAT_EQ(ch[0].sensorTableA[0].load(), 0.0f);
  EXPECT_TRUE(drv::enabled(*dlg, X::kMaximum));
  EXPECT_TRUE(drv::enabled(*dlg, X::kRatedPressure));
  CalibrationImage ended;
  ended.i(0, 1).f(4, 1000.0f).i(8, 3).f(12, 60.0f).f(24, 60.0f).f(304, 2.0f);
  EXPECT_EQ(fileBytes(), ended.bytes) << "after end";
  const auto beeps = platform::device::board().buzzerLog.size();
  feed(3000.0f);
  drv::run(5000);
  EXPECT_EQ(text(X::kLiveForce), "--");
  EXPECT_EQ(platform::device::board().buzzerLog.size(), beeps);
  EXPECT_FALSE(platform::device::board().buzzerOn);
  // Re-opened idle: the inputs of the last calibration.
  ASSERT_TRUE(drv::tap(*dlg, X::kExit));
  show(*dlg);
  EXPECT_EQ(text(X::kSystem), "√系统");
  EXPECT_EQ(text(X::kMaximum), "1000");
  EXPECT_EQ(text(X::kRatedPressure), "60.0");
  EXPECT_EQ(text(X::kSensitivity), "2.000");
}

TEST_F(XiTongBiaoDingTest, TheStartsChecksInTheirOrderRefuseWithoutWritingAnything) {
  ch[0].headerFloat0 = 7.0f;
  show(*dlg);
  ASSERT_TRUE(drv::tap(*dlg, X::kSystem));
  for (int id : {X::kMaximum, X::kPoints, X::kRange, X::kRatedOutput, X::kRatedPressure, X::kSensitivity})
    typeInto(*dlg, id, "");
  struct Step {
    int fill;
    const char* value;
    const char* message;  // the refusal while this edit is the first empty one
  } steps[] = {{X::kMaximum, "1000.5", "标定最大力值要求为数字！"},
               {X::kPoints, "10", "标定点数要求数字！"},
               {X::kRange, "60", "传感器量程要求为数字！"},
               {X::kRatedOutput, "1000", "千斤顶额定出力要求为数字！"},
               {X::kRatedPressure, "60", "千斤顶额定油压要求为数字！"},
               {X::kSensitivity, "2", "传感器灵敏度要求为数字！"}};
  for (const Step& s : steps) {
    ASSERT_TRUE(drv::tap(*dlg, X::kStart));
    EXPECT_EQ(text(X::kStatus), s.message);
    EXPECT_EQ(drv::textColor(*dlg, X::kStatus), ui::RGB(255, 0, 0));
    typeInto(*dlg, s.fill, s.value);
  }
  // The ranges: the maximum within the jack, above 0, the points 1 to 10.
  struct Range {
    int edit;
    const char* value;
    const char* message;
  } ranges[] = {{X::kMaximum, "1000.5", "标定最大力值不允许超过千斤顶的额定出力！"},
                {X::kMaximum, "0", "标定最大力值不能为零！"},
                {X::kPoints, "0", kPointsOutOfRange},
                {X::kPoints, "11", kPointsOutOfRange}};
  for (const Range& r : ranges) {
    typeInto(*dlg, X::kMaximum, "1000");
    typeInto(*dlg, X::kPoints, "10");
    typeInto(*dlg, r.edit, r.value);
    ASSERT_TRUE(drv::tap(*dlg, X::kStart));
    EXPECT_EQ(text(X::kStatus), r.message);
    EXPECT_EQ(drv::textColor(*dlg, X::kStatus), ui::RGB(255, 0, 0));
  }
  // A load sensor within its own range; an oil-pressure sensor asks for its sensitivity.
  ASSERT_TRUE(drv::tap(*dlg, X::kLoadSensor));
  EXPECT_EQ(text(X::kRangeLabel), "荷载传感器量程(kN)");
  EXPECT_EQ(text(X::kSensitivityLabel), "传感器标定系数");
  typeInto(*dlg, X::kMaximum, "1000.5");
  ASSERT_TRUE(drv::tap(*dlg, X::kStart));
  EXPECT_EQ(text(X::kStatus), "标定最大力值不允许超过荷载传感器量程！");
  typeInto(*dlg, X::kSensitivity, "");
  ASSERT_TRUE(drv::tap(*dlg, X::kStart));
  EXPECT_EQ(text(X::kStatus), "传感器标定系数要求为数字！");
  ASSERT_TRUE(drv::tap(*dlg, X::kOilSensor));
  typeInto(*dlg, X::kSensitivity, "");
  ASSERT_TRUE(drv::tap(*dlg, X::kStart));
  EXPECT_EQ(text(X::kStatus), "传感器灵敏度要求为数字！");
  EXPECT_FALSE(fsys::exists(file()));
  EXPECT_FLOAT_EQ(ch[0].headerFloat0, 7.0f);
  EXPECT_EQ(text(X::kStart), "开始标定");
  EXPECT_TRUE(drv::enabled(*dlg, X::kMaximum));
  // The estimate over no rows.
  typeInto(*dlg, X::kPoints, "0");
  ASSERT_TRUE(drv::tap(*dlg, X::kEstimate));
  EXPECT_EQ(text(X::kStatus), "估算标定系数为：0.000");

  // 80 MPa in 7 steps, in hundredths; the channel takes the sensitivity and becomes a 10S sensor.
  typeInto(*dlg, X::kPoints, "7");
  typeInto(*dlg, X::kSensitivity, "1.8");
  EXPECT_TRUE(tapBeeps(X::kStart));
  const char* standards[] = {"0.00", "11.43", "22.86", "34.29", "45.71", "57.14", "68.57", "80.00"};
  for (int k = 0; k <= 7; ++k) EXPECT_EQ(row(k), standards[k] + std::string("||")) << k;
  EXPECT_EQ(row(8), "--|--|--");
  EXPECT_EQ(text(X::kNextStandardLabel), "标准油压(MPa)");
  EXPECT_EQ(text(X::kStandardHead), "标准油压MPa");
  EXPECT_FLOAT_EQ(ch[0].sensorCoefficient.load(), 1.8f);
  EXPECT_EQ(ch[0].forceSensorType.load(), 1);
  EXPECT_FLOAT_EQ(ch[0].headerFloat0, 7.0f) << "an oil-pressure sensor leaves the load coefficient";
  // The estimate reads the standards as the start wrote them: 11.43, not 11.
  ASSERT_TRUE(drv::tap(*dlg, X::kExit));
  show(*dlg);
  EXPECT_EQ(row(1), "11.43||");
}

TEST_F(XiTongBiaoDingTest, A20SChannelKeepsItsTypeAndItsSensitivity) {
  ch[0].forceSensorType = 2;
  ch[0].sensorCoefficient = 1.5f;
  show(*dlg);
  EXPECT_EQ(text(X::kSensitivityLabel), "");
  EXPECT_EQ(text(X::kSensitivity), "");
  EXPECT_FALSE(drv::enabled(*dlg, X::kSensitivity));
  fillSystem("500", "5", "60", "", "1000", "60");
  EXPECT_FALSE(drv::enabled(*dlg, X::kSensitivity));
  EXPECT_TRUE(tapBeeps(X::kStart));
  EXPECT_EQ(ch[0].forceSensorType.load(), 2);
  EXPECT_FLOAT_EQ(ch[0].sensorCoefficient.load(), 1.5f);
  EXPECT_FLOAT_EQ(ch[0].headerFloat0, 3.2f) << "60 x 3200 / (1000 x 60)";
  EXPECT_EQ(ch[0].sensorSetting.load(), 60);
  // A 20S sensor reads 800 counts at no pressure and its full range 3200 counts above.
  feed(1000.0f);
  EXPECT_TRUE(tapBeeps(X::kZero));
  EXPECT_FLOAT_EQ(ch[0].sensorTableA[0].load(), 200.0f);
  feed(2600.0f);
  EXPECT_EQ(text(X::kLivePressure), "30.00");
  EXPECT_EQ(text(X::kLiveForce), "500.0");
  CalibrationImage image;
  image.i(0, 1).f(4, 500.0f).i(8, 5).f(12, 60.0f).f(24, 60.0f).i(28, 1).i(48, 1).f(52, 200.0f);
  for (std::size_t k = 0; k <= 5; ++k) image.row(k, static_cast<float>(k) * (500.0f * (1.0f / 5.0f)));
  EXPECT_EQ(fileBytes(), image.bytes) << "the sensitivity field keeps the default it never read";
}

TEST_F(XiTongBiaoDingTest, ACheckCorrectsTheLiveForceThroughTheStoredCalibration) {
  // A load-sensor calibration of 200 kN in two steps, finished, with check mode set in the file.
  CalibrationImage stored;
  stored.i(0, 0).f(4, 200.0f).i(8, 2).f(304, 1.0f).i(28, 1).i(32, 3).i(36, 1).i(40, 1).i(44, 1);
  stored.row(0, 0.0f, 0.0f).row(1, 100.0f, 90.0f).row(2, 200.0f, 210.0f);
  writeFile(stored);
  ch[0].forceSensorType = 0;
  show(*dlg);
  EXPECT_EQ(text(X::kForceHead), "标定力值kN");
  EXPECT_EQ(text(X::kForceHeadRight), "标定力值kN");
  EXPECT_EQ(text(X::kLoadSensor), "√荷载传感器");
  EXPECT_EQ(row(0), "0||");
  EXPECT_EQ(row(2), "200||");
  EXPECT_EQ(row(3), "--|--|--");
  feed(150.0f);
  EXPECT_EQ(text(X::kLiveForce), "150.0") << "100 + 60 x 100 / 120";
  EXPECT_EQ(text(X::kLivePressure), "--");
  feed(250.0f);
  EXPECT_EQ(text(X::kLiveForce), "233.3") << "200 + 40 x 100 / 120";
  EXPECT_TRUE(tapBeeps(X::kRecord));
  EXPECT_EQ(row(0), "0|233.3|--");
  stored.i(56, 1).row(0, 0.0f, 0.0f, 0.0f, 233.3f);
  EXPECT_EQ(fileBytes(), stored.bytes) << "a check row";
  feed(45.0f);
  EXPECT_TRUE(tapBeeps(X::kRecord));
  feed(210.0f);
  EXPECT_TRUE(tapBeeps(X::kRecord));
  EXPECT_EQ(text(X::kStatus), "标定检测已经完成！");
  EXPECT_EQ(row(1), "100|50.0|--");
  EXPECT_EQ(row(2), "200|200.0|--");
  stored.i(56, 3).i(60, 1).row(1, 100.0f, 90.0f, 0.0f, 50.0f).row(2, 200.0f, 210.0f, 0.0f, 200.0f);
  EXPECT_EQ(fileBytes(), stored.bytes) << "the check finished";
  EXPECT_TRUE(tapBeeps(X::kRecord));
  EXPECT_EQ(text(X::kStatus), "标定检测已完成，若想重新标定，请选择“新标定”键！");
  // Re-opened: the check rows come back from the file.
  ASSERT_TRUE(drv::tap(*dlg, X::kExit));
  show(*dlg);
  EXPECT_EQ(row(1), "100|50.0|--");
  EXPECT_EQ(text(X::kForceHead), "标定力值kN");

  // A table with equal forces at both ends leaves the force beyond them alone.
  CalibrationImage flat;
  flat.i(0, 0).f(4, 300.0f).i(8, 3).f(304, 1.0f).i(28, 1).i(32, 4).i(36, 1).i(40, 1).i(44, 1);
  flat.row(0, 0.0f, 0.0f).row(1, 100.0f, 0.0f).row(2, 200.0f, 190.0f).row(3, 300.0f, 190.0f);
  writeFile(flat);
  ASSERT_TRUE(drv::tap(*dlg, X::kExit));
  show(*dlg);
  feed(250.0f);
  EXPECT_EQ(text(X::kLiveForce), "250.0");
  feed(-5.0f);
  EXPECT_EQ(text(X::kLiveForce), "-5.0");
  feed(95.0f);
  EXPECT_EQ(text(X::kLiveForce), "150.0");
}

TEST_F(XiTongBiaoDingTest, ARunningTestBlocksStartZeroAndEndAndABadFileIsBounded) {
  // A file that asks for 40 points with 99 rows recorded.
  CalibrationImage bad;
  bad.i(0, 9).f(4, 100.0f).i(8, 40).f(304, 1.0f).i(28, 1).i(32, 99).i(44, 0);
  writeFile(bad);
  ch[0].forceSensorType = 0;
  ch[0].sensorTableA[0] = 42.0f;
  ch[0].testRunning = 1;
  show(*dlg);
  EXPECT_EQ(text(X::kPoints), "10");
  EXPECT_EQ(text(X::kLoadSensor), "√荷载传感器") << "an unknown type is the load sensor";
  EXPECT_EQ(row(10), "0|0.0|--") << "ten rows, all of them recorded";
  EXPECT_EQ(dlg->cursorRow(), 0);
  for (int id : {X::kZero, X::kStart}) {
    EXPECT_FALSE(tapBeeps(id)) << id;
    EXPECT_EQ(text(X::kStatus), "已开始试验，请结束试验后进行标定！");
    EXPECT_EQ(drv::textColor(*dlg, X::kStatus), ui::RGB(255, 0, 0));
  }
  EXPECT_FLOAT_EQ(ch[0].sensorTableA[0].load(), 42.0f) << "the test keeps its zero";
  EXPECT_EQ(text(X::kStart), "结束标定");
  EXPECT_EQ(fileBytes(), bad.bytes);
  EXPECT_TRUE(tapBeeps(X::kRecord));
  EXPECT_EQ(text(X::kStatus), "标定已完成，若想重新标定，请选择“新标定”键！");
  // Once the test is over, the end clears it.
  ch[0].testRunning = 0;
  EXPECT_TRUE(tapBeeps(X::kStart));
  EXPECT_EQ(text(X::kStart), "开始标定");
  EXPECT_FLOAT_EQ(ch[0].sensorTableA[0].load(), 0.0f);
}

TEST_F(XiTongBiaoDingTest, Screenshots) {
  show(*dlg);
  fillSystem("1000", "10", "60", "2", "1000", "60");
  ASSERT_TRUE(drv::tap(*dlg, X::kStart));
  feed(500.0f);
  ASSERT_TRUE(drv::tap(*dlg, X::kZero));
  for (float raw : {500.0f, 740.0f, 980.0f, 1220.0f, 1460.0f, 1700.0f, 1940.0f, 2180.0f}) {
    feed(raw);
    ASSERT_TRUE(drv::tap(*dlg, X::kRecord));
  }
  feed(2420.0f);
  ASSERT_TRUE(drv::tap(*dlg, X::kEstimate));
  saveShot(*dlg, "system-calibration.png");
  for (int k = 1; k <= 7; ++k) EXPECT_NE(text(X::kForceCell0 + k), "") << k;

  CalibrationImage check;
  check.i(0, 2).f(4, 80.0f).i(8, 7).f(12, 80.0f).i(28, 1).i(32, 8).i(36, 1).i(40, 1).i(44, 1).i(56, 2);
  for (std::size_t k = 0; k <= 7; ++k) {
    const float s = static_cast<float>(k) * (80.0f * (1.0f / 7.0f));
    check.row(k, s, 0.0f, s * 1.01f, k < 2 ? s * 1.01f : 0.0f);
  }
  writeFile(check);
  ASSERT_TRUE(drv::tap(*dlg, X::kExit));
  show(*dlg);
  feed(1200.0f);
  EXPECT_EQ(row(1), "11.43|11.5|--");
  saveShot(*dlg, "system-calibration-check.png");
}
