// The sensor and jack parameter dialog: the layout by sensor type and method, the keypad cycle with the
// coefficient preview, the method buttons, the refusals of OK with the channel unchanged, OK that stores
// and goes on to the test information dialog, and the dialog during a running test.
#include "calib_ui/chuanganqi.h"
#include "tests/setup_ui/setup_dialogs_fixture.h"

using namespace apptest;
using ui::RGB;
using C = ChuanGanQi;

namespace {

class Sensors : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    dlg = dialog<ChuanGanQi>(MonitorSlot::ChuanGanQi);
    ASSERT_NE(dlg, nullptr);
    Parameter& c = p();
    c.fileLoaded = 1;
    c.sensorText = "S-9";
    c.sensorSetting = 80;
    c.sensorCoefficient = 1.882f;
    c.jackText = "J-1";
    c.jackSetting = 2;
    c.jackCoefficientB = 1000.0f;  // rated output
    c.jackCoefficientA = 64.0f;    // rated pressure
    c.jackCoefficientC = -0.5f;    // a
    c.jackCoefficientD = 0.05f;    // b
    c.protectionSetting = 90;
    c.protection1 = 40.0f;
    c.protection2 = 10.0f;
    c.protection3 = 40.0f;
    c.protection4 = 40.0f;
  }
  Parameter& p() { return ch[0]; }
  std::string text(int id) { return drv::text(*dlg, id); }
  bool on(int id) { return drv::enabled(*dlg, id); }
  bool seen(int id) { return drv::visible(*dlg, id); }
  std::string status() { return text(C::kStatus); }

  C* dlg = nullptr;
};

struct LayoutCase {
  const char* name;
  int type, method;
  bool rangeOn;
  const char* range;
  const char* rangeLabel;
  bool abOn, ratedOn, sensitivityShown;
  const char* sensitivityLabel;
  const char* computedCaption;
  const char* regressionCaption;
  bool regressionButtonOn;
  const char* preview;
};

std::ostream& operator<<(std::ostream& os, const LayoutCase& c) { return os << c.name; }

class Layout : public Sensors, public ::testing::WithParamInterface<LayoutCase> {};

}  // namespace

TEST_P(Layout, RefreshByTypeAndMethod) {
  const LayoutCase& c = GetParam();
  p().forceSensorType = c.type;
  p().pressureMethod = c.method;
  p().sensorSetting = 500;
  show(*dlg);
  EXPECT_EQ(text(C::kTitle), "1# 编号：000001");
  EXPECT_EQ(text(C::kSensorNumber), "S-9");
  EXPECT_EQ(on(C::kFullRange), c.rangeOn);
  EXPECT_EQ(text(C::kFullRange), c.range);
  EXPECT_EQ(text(C::kFullRangeLabel), c.rangeLabel);
  EXPECT_EQ(on(C::kA), c.abOn);
  EXPECT_EQ(text(C::kA), c.abOn ? "-0.5" : "");
  EXPECT_EQ(text(C::kB), c.abOn ? "0.05" : "");
  EXPECT_EQ(on(C::kRatedOutput), c.ratedOn);
  EXPECT_EQ(text(C::kRatedOutput), c.ratedOn ? "1000" : "");
  EXPECT_EQ(text(C::kRatedPressure), c.ratedOn ? "64.00" : "");
  EXPECT_EQ(seen(C::kSensitivity), c.sensitivityShown);
  EXPECT_EQ(on(C::kSensitivity), c.sensitivityShown);
  EXPECT_EQ(text(C::kSensitivity), c.sensitivityShown ? "1.882" : "");
  EXPECT_EQ(text(C::kSensitivityLabel), c.sensitivityLabel);
  EXPECT_EQ(text(C::kJackNumber), "J-1");
  EXPECT_EQ(text(C::kJackCount), "2");
  EXPECT_EQ(text(C::kComputed), c.computedCaption);
  EXPECT_EQ(text(C::kRegression), c.regressionCaption);
  EXPECT_EQ(on(C::kRegression), c.regressionButtonOn);
  EXPECT_EQ(text(C::kCoefficient), c.preview);
  EXPECT_EQ(drv::textColor(*dlg, C::kCoefficient), RGB(0, 0, 255));
  const bool regression = std::string(c.regressionCaption) == "√回归方程";
  EXPECT_EQ(drv::textColor(*dlg, C::kComputed), regression ? RGB(0, 0, 0) : RGB(0, 0, 255));
  EXPECT_EQ(drv::textColor(*dlg, C::kRegression), regression ? RGB(0, 0, 255) : RGB(0, 0, 0));
  EXPECT_EQ(text(C::kTime), "90");
  EXPECT_EQ(text(C::kSettlement), "40");
  EXPECT_EQ(text(C::kUneven), "10");
}

// Previews: load cell 1.882 / 2 jacks; 10S computed 64*1.882*1200/(80*1000)/2; 20S computed
// 64*3200/(80*1000)/2; 10S regression 0.05*1.882*15/2; 20S regression 0.05*40/2.
INSTANTIATE_TEST_SUITE_P(
    ChuanGanQi, Layout,
    ::testing::Values(
        LayoutCase{"loadCell", 0, 3, true, "500", "满量程kN", false, false, true, "标定系数", "√计算", "回归方程",
                   false, "0.941"},
        LayoutCase{"oil10Computed", 1, 1, false, "80", "满量程MPa", false, true, true, "灵敏度mv/V", "√计算",
                   "回归方程", true, "0.903"},
        LayoutCase{"oil20Computed", 2, 1, false, "80", "满量程MPa", false, true, false, "灵敏度mv/V", "√计算",
                   "回归方程", true, "1.280"},
        LayoutCase{"oil10Regression", 1, 3, false, "80", "满量程MPa", true, false, true, "灵敏度mv/V", "计算",
                   "√回归方程", true, "0.706"},
        LayoutCase{"oil20Regression", 2, 3, false, "80", "满量程MPa", true, false, false, "灵敏度mv/V", "计算",
                   "√回归方程", true, "1.000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Sensors, JackListShowsAsChosenAndOkKeepsIt) {
  p().forceSensorType = 2;
  p().pressureMethod = 3;
  p().jackText = "J-1,J-2";
  show(*dlg);
  EXPECT_EQ(text(C::kJackNumber), "已选择");
  EXPECT_EQ(text(C::kCoefficient), "2.000") << "a group's equation is not divided by the count";
  ASSERT_TRUE(drv::tap(*dlg, C::kOk));
  EXPECT_EQ(p().jackText, "J-1,J-2");
  EXPECT_FLOAT_EQ(p().headerFloat0, 2.0f);
  EXPECT_EQ(JDQFile::HeaderText(p().testRecords, 12, 1), "J-1,J-2");
}

TEST_F(Sensors, KeypadEditsAskAndReturnWithThePreview) {
  p().forceSensorType = 2;
  show(*dlg);
  struct Case {
    int edit;
    const char* caption;
    int maxLength, mode;
  } cases[] = {{C::kSensorNumber, "传感器编号", 10, kKeypadText},  {C::kJackNumber, "千斤顶编号", 10, kKeypadText},
               {C::kRatedOutput, "额定出力kN", 6, kKeypadDecimal}, {C::kRatedPressure, "额定油压MPa", 6, kKeypadDecimal},
               {C::kJackCount, "千斤顶并联台数", 2, kKeypadInteger}, {C::kTime, "加载保护时间s", 5, kKeypadInteger},
               {C::kSettlement, "最大沉降允许值mm", 6, kKeypadDecimal}, {C::kUneven, "不均匀沉降允许值mm", 6, kKeypadDecimal},
               {C::kRange, "位移量程报警值mm", 6, kKeypadDecimal},     {C::kUplift, "锚桩上拔报警值mm", 6, kKeypadDecimal}};
  for (const Case& c : cases) {
    ASSERT_TRUE(drv::tap(*dlg, c.edit)) << c.caption;
    const KeypadRequest& r = p().keypad;
    EXPECT_EQ(r.caption, c.caption);
    EXPECT_EQ(r.maxLength, c.maxLength);
    EXPECT_EQ(r.mode, c.mode);
    EXPECT_EQ(r.requester, kRequesterSensors);
    EXPECT_FALSE(dlg->isWindowVisible());
    ASSERT_TRUE(drv::tap(*key, ui::IDCANCEL));
  }
  // A result: the edit, the preview, the message.
  typeInto(*dlg, C::kRatedOutput, "500");
  EXPECT_EQ(text(C::kRatedOutput), "500");
  EXPECT_EQ(text(C::kCoefficient), "2.560");  // 64*3200/(80*500)/2
  EXPECT_EQ(status(), "参数已改变，按确定键输入有效！");
  EXPECT_EQ(drv::textColor(*dlg, C::kStatus), RGB(255, 0, 0));
  EXPECT_EQ(p().keypad.requester, 0);
  EXPECT_EQ(p().jackCoefficientB.load(), 1000.0f) << "nothing stored before OK";
  // A missing entry.
  ASSERT_TRUE(drv::tap(*dlg, C::kJackCount));
  typeOnKeypad("");
  EXPECT_EQ(text(C::kCoefficient), "参数不全！");
  // Switching methods keeps what was typed.
  ASSERT_TRUE(drv::tap(*dlg, C::kRegression));
  ASSERT_TRUE(drv::tap(*dlg, C::kComputed));
  EXPECT_EQ(text(C::kRatedOutput), "500");
}

TEST_F(Sensors, MethodButtonsWriteTheChannelUnlessATestRuns) {
  p().forceSensorType = 1;
  p().pressureMethod = 1;
  show(*dlg);
  ASSERT_TRUE(drv::tap(*dlg, C::kRegression));
  EXPECT_EQ(p().pressureMethod.load(), 3);
  EXPECT_EQ(text(C::kRegression), "√回归方程");
  EXPECT_TRUE(on(C::kA));
  EXPECT_FALSE(on(C::kRatedOutput));
  EXPECT_EQ(text(C::kCoefficient), "0.706");
  ASSERT_TRUE(drv::tap(*dlg, C::kComputed));
  EXPECT_EQ(p().pressureMethod.load(), 1);
  EXPECT_EQ(text(C::kComputed), "√计算");
  EXPECT_EQ(text(C::kCoefficient), "0.903");

  p().fileLoaded = 0;
  p().testRunning = 1;
  show(*dlg);
  ASSERT_TRUE(drv::tap(*dlg, C::kRegression));
  EXPECT_EQ(status(), "测试已经开始，无法改变计算方式！");
  EXPECT_EQ(p().pressureMethod.load(), 1);
  EXPECT_EQ(text(C::kComputed), "√计算");
}

TEST_F(Sensors, RefusalsOfOkChangeNothing) {
  p().forceSensorType = 2;
  p().pressureMethod = 3;
  p().headerFloat0 = 7.0f;
  show(*dlg);
  const std::vector<TestRecord> before = p().testRecords;
  struct Case {
    int edit;
    const char* typed;
    const char* message;
  } cases[] = {{C::kB, "0.000001", "千斤顶回归方程系数b不能为零！"},
               {C::kB, "", "千斤顶回归方程系数b要求为数字！"},
               {C::kA, "", "千斤顶回归方程常数a要求为数字！"},
               {C::kSettlement, "", "最大沉降允许值要求为不小于零的数字！"}};
  for (const Case& c : cases) {
    dlg->showWindow(ui::SW_HIDE);
    show(*dlg);  // a fresh dialog from the channel
    typeInto(*dlg, c.edit, c.typed);
    ASSERT_TRUE(drv::tap(*dlg, C::kOk));
    EXPECT_EQ(status(), c.message);
    EXPECT_TRUE(dlg->isWindowVisible());
    EXPECT_EQ(p().headerFloat0, 7.0f);
    EXPECT_EQ(p().jackCoefficientD.load(), 0.05f);
    EXPECT_EQ(p().protection1.load(), 40.0f);
    EXPECT_EQ(std::memcmp(before.data(), p().testRecords.data(), before.size() * sizeof(TestRecord)), 0);
  }
  EXPECT_FALSE(visible(MonitorSlot::GongChengXinXi));
}

TEST_F(Sensors, OkStoresAndGoesOnToTheTestInformation) {
  p().forceSensorType = 1;
  p().pressureMethod = 1;
  show(*dlg);
  typeInto(*dlg, C::kJackCount, "0");
  typeInto(*dlg, C::kUneven, "12.5");
  ASSERT_TRUE(drv::tap(*dlg, C::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_TRUE(visible(MonitorSlot::GongChengXinXi));
  // 10S computed, FR 80, S 1.882, F 1000, P 64, a jack count of 0 taken as one jack.
  EXPECT_NEAR(p().headerFloat0, 64.0 * 1.882 * 1200 / (80 * 1000), 1e-4);
  EXPECT_EQ(p().jackSetting.load(), 1);
  EXPECT_EQ(JDQFile::HeaderText(p().testRecords, 6, 1), "0");
  EXPECT_EQ(JDQFile::HeaderText(p().testRecords, 9, 3), "S-9");
  EXPECT_EQ(p().protection2.load(), 12.5f);
  EXPECT_EQ(p().ParameterList.item(29), 12.5f);
  EXPECT_EQ(JDQFile::HeaderText(p().testRecords, 9, 2), "12.50");
  EXPECT_EQ(JDQFile::HeaderText(p().testRecords, 10, 2), "90");
}

TEST_F(Sensors, DuringATestOnlyTheProtectionChanges) {
  p().forceSensorType = 2;
  p().pressureMethod = 1;
  p().fileLoaded = 0;
  p().testRunning = 1;
  show(*dlg);
  for (int id : {C::kSensorNumber, C::kFullRange, C::kA, C::kB, C::kJackNumber, C::kJackCount, C::kRatedOutput,
                 C::kRatedPressure, C::kSensitivity})
    EXPECT_FALSE(on(id)) << id;
  typeInto(*dlg, C::kTime, "150");
  ASSERT_TRUE(drv::tap(*dlg, C::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_FALSE(visible(MonitorSlot::GongChengXinXi)) << "no test information while the test runs";
  EXPECT_EQ(p().protectionSetting.load(), 150);
  EXPECT_EQ(JDQFile::HeaderText(p().testRecords, 10, 2), "150");
  EXPECT_EQ(p().jackText, "J-1");
  EXPECT_FLOAT_EQ(p().headerFloat0, 64.0f * 3200.0f / (80.0f * 1000.0f) / 2.0f);
}

TEST_F(Sensors, AnOkWithoutAChangeKeepsEveryDecimalTyped) {
  p().forceSensorType = 1;
  p().pressureMethod = 1;
  p().sensorCoefficient = 1.8825f;
  p().jackCoefficientB = 1000.5f;  // rated output
  p().jackCoefficientA = 63.125f;  // rated pressure
  show(*dlg);
  EXPECT_EQ(text(C::kSensitivity), "1.8825");
  EXPECT_EQ(text(C::kRatedOutput), "1000.5");
  EXPECT_EQ(text(C::kRatedPressure), "63.125");
  ASSERT_TRUE(drv::tap(*dlg, C::kOk));
  ASSERT_FALSE(dlg->isWindowVisible()) << status();
  EXPECT_EQ(p().sensorCoefficient.load(), 1.8825f);
  EXPECT_EQ(p().jackCoefficientB.load(), 1000.5f);
  EXPECT_EQ(p().jackCoefficientA.load(), 63.125f);
}

TEST_F(Sensors, TheRegressionValuesAreDrawnWhole) {
  // The longest texts the refresh makes of a database's equation ("%f" trimmed).
  p().forceSensorType = 1;
  p().pressureMethod = 3;
  p().jackCoefficientC = -1.234567f;
  p().jackCoefficientD = 0.006667f;
  show(*dlg);
  for (auto [id, shown] : {std::pair<int, const char*>{C::kB, "0.006667"}, {C::kA, "-1.234567"}}) {
    SCOPED_TRACE(shown);
    EXPECT_EQ(text(id), shown);
    // The text ends short of the edit's frame (a longer one runs into the frame and is cut there).
    const ui::Rect box = dlg->getDlgItem(id)->windowRect();
    const drv::InkExtent ink = drv::inkExtent(*dlg, box.deflate(3, 3));
    EXPECT_LT(ink.right, box.right - 10);
  }
  saveShot(*dlg, "chuanganqi.png");
}
