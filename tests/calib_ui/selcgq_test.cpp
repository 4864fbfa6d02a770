// The sensor and jack selection: the list from a small calibration database (order, colour bands,
// marks, pre-chosen jacks), the refusals of a tap and of OK, the summary lines, and what OK writes into
// the channel and the sensor and jack dialog then shows.
#include <fstream>

#include "calib_ui/chuanganqi.h"
#include "calib_ui/selcgq.h"
#include "tests/setup_ui/setup_dialogs_fixture.h"
#include "tests/calib/jack_sensor_records.h"

using namespace apptest;
using ui::RGB;

namespace {

class Selection : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    ASSERT_TRUE(dialog(MonitorSlot::SelCgq)->create());
    LinkMonitorDialog(MonitorSlot::SelCgq, ch[0], ch[1], ch[2]);
    pick = dialog<SelCgq>(MonitorSlot::SelCgq);
    sensors = dialog<ChuanGanQi>(MonitorSlot::ChuanGanQi);
    ASSERT_TRUE(pick && sensors);
    p().fileLoaded = 1;
    p().jackText = "J2,J1";
    p().pressureMethod = 3;
    p().jackCoefficientC = 0.7f;
    p().jackCoefficientD = 0.9f;
    writeDatabase("qjd.qjd", {Rec(0, "J3", 1, 2000, 50, 0.1f, 0.02f), Rec(1, "S1", 1, 60, 1.9f),
                              Rec(0, "J1", 0, 1000, 64, 0.2f, 0.05f), Rec(0, "J2", 0, 1000, 60, -0.1f, 0.04f),
                              Rec(0, "J4", 0, 1000, 60, 0.3f, 0.0f), Rec(1, "S2", 0, 50, 2.5f),
                              Rec(1, "S3", 1, 50, 2.0f)});
  }
  void writeDatabase(const char* name, const std::vector<JackSensorEntry>& records) {
    std::ofstream f(root_ / "Storage Card" / name, std::ios::binary);
    for (const JackSensorEntry& e : records) f.write(reinterpret_cast<const char*>(&e), sizeof e);
  }
  Parameter& p() { return ch[0]; }
  std::string text(int id) { return drv::text(*pick, id); }
  void open(int mode) {
    p().selectCaller = mode;
    pick->showWindow(ui::SW_HIDE);
    pick->showWindow(ui::SW_SHOW);
    drv::pump();
  }
  bool tapRow(int row) {
    const ui::Rect r = pick->list().getItemRect(row);
    return drv::tapWindow(pick->list(), {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
  std::string cell(int row, int col) { return pick->list().getItemText(row, col); }

  SelCgq* pick = nullptr;
  ChuanGanQi* sensors = nullptr;
};

}  // namespace

TEST_F(Selection, JacksListedChosenAndCombined) {
  // Opened from the sensor and jack dialog: the first showing already lists.
  p().forceSensorType = 2;
  sensors->showWindow(ui::SW_SHOW);
  drv::pump();
  ASSERT_TRUE(drv::tap(*sensors, ChuanGanQi::kSelectJack));
  EXPECT_EQ(p().selectCaller, 0);
  ASSERT_TRUE(pick->isWindowVisible());
  EXPECT_EQ(text(SelCgq::kTitle), "选择千斤顶--回归方程:Y(MPa)=bx(kN)+a");
  ui::ListCtrl& l = pick->list();
  ASSERT_EQ(l.getItemCount(), 4);
  const char* numbers[] = {"J2", "J4", "J1", "J3"};
  const int images[] = {0, 1, 0, 1};
  const ui::Color colours[] = {RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(235, 235, 235)};
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(cell(r, 0), std::to_string(r + 1));
    EXPECT_EQ(cell(r, 1), numbers[r]);
    EXPECT_EQ(l.getItemImage(r), images[r]) << r;
    EXPECT_EQ(*pick->list().itemColor(r), colours[r]) << r;
  }
  EXPECT_EQ(text(SelCgq::kChosenLine), "当前选中2个千斤顶：J2,J1");
  // S' = 1/0.04 + 1/0.05 = 45, A = -0.1/0.04 + 0.2/0.05 = 1.5: b = 1/45, a = 1.5/45.
  EXPECT_EQ(text(SelCgq::kRegressionLine), "拟合后的a值：0.033333,b值：0.022222");
  EXPECT_EQ(drv::textColor(*pick, SelCgq::kRegressionLine), RGB(0, 0, 255));

  // Refusals change nothing.
  ASSERT_TRUE(tapRow(3));  // J3, another rated output
  EXPECT_EQ(text(SelCgq::kStatus), "请选择相同规格的千斤顶！");
  EXPECT_EQ(drv::textColor(*pick, SelCgq::kStatus), RGB(255, 0, 0));
  drv::run(600);
  ASSERT_TRUE(tapRow(1));  // J4, b = 0 in the regression method
  EXPECT_EQ(text(SelCgq::kStatus), "千斤顶回归方程b值不能为0或负数！");
  EXPECT_EQ(l.getItemImage(1), 1);
  // Unchoosing J1; a second tap at once (a double tap) acts as another tap and chooses it again.
  drv::run(600);
  ASSERT_TRUE(tapRow(2));
  EXPECT_EQ(l.getItemImage(2), 1);
  EXPECT_EQ(text(SelCgq::kChosenLine), "当前选中1个千斤顶：J2");
  EXPECT_EQ(text(SelCgq::kRegressionLine), "千斤顶的a值：-0.100000,b值：0.040000");
  EXPECT_EQ(text(SelCgq::kStatus), "参数已改变，按确定输入有效！");
  ASSERT_TRUE(tapRow(2));
  EXPECT_EQ(l.getItemImage(2), 0);
  drv::run(600);
  ASSERT_TRUE(tapRow(2));
  EXPECT_EQ(text(SelCgq::kChosenLine), "当前选中1个千斤顶：J2");

  // OK writes the group and the sensor and jack dialog shows it.
  ASSERT_TRUE(drv::tap(*pick, SelCgq::kOk));
  EXPECT_FALSE(pick->isWindowVisible());
  EXPECT_TRUE(sensors->isWindowVisible());
  EXPECT_EQ(p().jackText, "J2");
  EXPECT_EQ(p().jackSetting.load(), 1);
  EXPECT_FLOAT_EQ(p().jackCoefficientC.load(), -0.1f);
  EXPECT_FLOAT_EQ(p().jackCoefficientD.load(), 0.04f);
  EXPECT_FLOAT_EQ(p().jackCoefficientB.load(), 1000.0f);
  EXPECT_FLOAT_EQ(p().jackCoefficientA.load(), 60.0f);
  EXPECT_EQ(drv::text(*sensors, ChuanGanQi::kJackNumber), "J2");
  EXPECT_EQ(drv::text(*sensors, ChuanGanQi::kB), "0.04");
}

TEST_F(Selection, JackRefusalsAndAnOkThatKeepsTheChannelsEquation) {
  p().pressureMethod = 1;
  open(0);
  EXPECT_EQ(text(SelCgq::kTitle), "选择千斤顶--压力计算方式:计算");
  EXPECT_EQ(text(SelCgq::kRegressionLine), "");
  // The computed method takes a jack whose b is 0, and keeps the channel's a and b.
  ASSERT_TRUE(tapRow(1));
  EXPECT_EQ(pick->list().getItemImage(1), 0);
  for (int r : {0, 1, 2}) {
    drv::run(600);
    ASSERT_TRUE(tapRow(r));
  }
  EXPECT_EQ(text(SelCgq::kChosenLine), "当前选中0个千斤顶：");
  ASSERT_TRUE(drv::tap(*pick, SelCgq::kOk));
  EXPECT_EQ(text(SelCgq::kStatus), "请选择千斤顶！");
  EXPECT_TRUE(pick->isWindowVisible());
  drv::run(600);
  ASSERT_TRUE(tapRow(0));
  ASSERT_TRUE(drv::tap(*pick, SelCgq::kOk));
  EXPECT_EQ(p().jackText, "J2");
  EXPECT_EQ(p().jackCoefficientC.load(), 0.7f);
  EXPECT_EQ(p().jackCoefficientD.load(), 0.9f);

  // Nine at most.
  std::vector<JackSensorEntry> many;
  std::string all;
  for (int i = 0; i < 10; ++i) {
    many.push_back(Rec(0, ("K" + std::to_string(i)).c_str(), 0, 1000, 60, 0, 0.05f));
    if (i < 9) all += (i ? "," : "") + ("K" + std::to_string(i));
  }
  writeDatabase("qjd.qjd", many);
  p().jackText = all;
  open(0);
  ASSERT_TRUE(tapRow(9));
  EXPECT_EQ(text(SelCgq::kStatus), "最多只能选择9个千斤顶！");
  // While the test runs a tap changes nothing, and OK only closes.
  p().testRunning = 1;
  drv::run(600);
  ASSERT_TRUE(tapRow(0));
  EXPECT_EQ(text(SelCgq::kStatus), "测试已经开始，无法改变选择");
  EXPECT_EQ(pick->list().getItemImage(0), 0);
  ASSERT_TRUE(drv::tap(*pick, SelCgq::kOk));
  EXPECT_FALSE(pick->isWindowVisible());
  EXPECT_EQ(p().jackText, all);
}

TEST_F(Selection, SensorsByTypeAndTheDatabaseByOption) {
  p().forceSensorType = 1;
  p().sensorText = "S2";
  open(1);
  EXPECT_EQ(text(SelCgq::kTitle), "选择传感器");
  ASSERT_EQ(pick->list().getItemCount(), 3);
  EXPECT_EQ(cell(1, 1), "S2");
  EXPECT_EQ(cell(1, 2), "荷重传感器");
  EXPECT_EQ(cell(1, 3), "50");
  EXPECT_EQ(cell(1, 4), "2.5");
  EXPECT_EQ(*pick->list().itemColor(1), RGB(235, 235, 235));
  EXPECT_EQ(pick->markedRow(), 1);
  EXPECT_EQ(text(SelCgq::kChosenLine), "当前选中的传感器为:S2");
  ASSERT_TRUE(drv::tap(*pick, SelCgq::kOk));
  EXPECT_EQ(text(SelCgq::kStatus), "请选择类型为“油压传感器”的选项！");
  ASSERT_TRUE(tapRow(2));
  EXPECT_EQ(text(SelCgq::kChosenLine), "当前选择的传感器为:S1");
  ASSERT_TRUE(drv::tap(*pick, SelCgq::kOk));
  EXPECT_EQ(p().sensorText, "S1");
  EXPECT_EQ(p().sensorSetting.load(), 60);
  EXPECT_FLOAT_EQ(p().sensorCoefficient.load(), 1.9f);
  // A load cell refuses an oil-pressure sensor.
  p().forceSensorType = 0;
  open(1);
  ASSERT_TRUE(drv::tap(*pick, SelCgq::kOk));
  EXPECT_EQ(text(SelCgq::kStatus), "请选择类型为“荷重传感器”的选项！");
  // The option chooses "qjd.cgq"; an empty one finds nothing.
  writeDatabase("qjd.cgq", {Rec(0, "J9", 0, 500, 60, 0, 0.1f)});
  p().uploadOption = 1;
  open(1);
  EXPECT_EQ(text(SelCgq::kStatus), "未找到相关设备的参数!");
  EXPECT_EQ(pick->list().getItemCount(), 0);
  EXPECT_EQ(text(SelCgq::kChosenLine), "");
  open(0);
  ASSERT_EQ(pick->list().getItemCount(), 1);
  EXPECT_EQ(cell(0, 1), "J9");
}

TEST_F(Selection, ColumnCaptionsAndTheChosenJacksAreDrawnWhole) {
  // The captions of each mode over the values, drawn in the list's header.
  struct Mode {
    int mode;
    std::vector<std::string> captions;
  } modes[] = {{0, {"序号", "编号", "类型", "出力", "油压", "系数a", "常数b"}},
               {1, {"序号", "编号", "类型", "量程", "灵敏度/系数"}}};
  ui::ListCtrl& l = pick->list();
  for (const Mode& m : modes) {
    SCOPED_TRACE(m.mode);
    p().forceSensorType = 1;
    open(m.mode);
    const int header = l.headerHeight();
    ASSERT_GT(header, 0);
    EXPECT_EQ(l.getItemRect(0).top, header) << "the first row below the captions";
    std::vector<std::string> shown;
    int x = 0;
    for (int c = 0; c < l.columnCount(); ++c) {
      const int width = l.getColumnWidth(c);
      if (width == 0) continue;
      shown.push_back(l.columnHeading(c));
      EXPECT_GT(drv::inkPixels(l, {x + 4, 4, x + width - 4, header - 4}), 20) << l.columnHeading(c);
      x += width;
    }
    EXPECT_EQ(shown, m.captions);
  }

  // Nine jacks of long numbers: the chosen line breaks into lines inside its box.
  std::vector<JackSensorEntry> jacks;
  std::string chosen;
  for (int k = 1; k <= 9; ++k) {
    const std::string number = "JACK-2026-00000000" + std::to_string(k);
    jacks.push_back(Rec(0, number.c_str(), 1, 1000, 63, 0.5f, 0.06f));
    chosen += (k > 1 ? "," : "") + number;
  }
  writeDatabase("qjd.qjd", jacks);
  p().jackText = chosen;
  p().pressureMethod = 1;
  open(0);
  EXPECT_EQ(text(SelCgq::kChosenLine), "当前选中9个千斤顶：" + chosen);
  const ui::Rect line = pick->getDlgItem(SelCgq::kChosenLine)->windowRect();
  const drv::InkExtent ink = drv::inkExtent(*pick, line);
  // The box draws a text broken into lines only when all of them fit; one that does not stays a single
  // line cut at the box's edge.
  ASSERT_GE(ink.rows.size(), 2u) << "broken into lines";
  EXPECT_GT(ink.rows.front().first, line.top);
  EXPECT_LT(ink.rows.back().second, line.bottom);
  saveShot(*pick, "sensor-jack-selection-nine-jacks.png");
}

TEST_F(Selection, Screenshots) {
  open(0);
  saveShot(*pick, "sensor-jack-selection-jacks.png");
  p().forceSensorType = 1;
  open(1);
  saveShot(*pick, "sensor-jack-selection-sensors.png");
}
