// The test information dialog: the keypad cycle of its edits, the test-type and gauge buttons, labels,
// notices and rows by test type, standard and upload route, the refusals of OK, and OK during a test.
#include "setup/test_identity.h"
#include "setup_dialogs_fixture.h"

using namespace apptest;
using ui::RGB;
using G = GongChengXinXi;

namespace {

class XinXi : public SetupDialogTest {
 protected:
  Parameter& p() { return ch[0]; }
  std::string text(int id) { return drv::text(*info, id); }
  std::string status() { return text(G::kStatus); }
  ui::Rect rectOf(int id) { return drv::control(*info, id)->windowRect(); }
  // The information typed on screen.
  void enter(const std::string& serial, const std::string& pile) {
    typeInto(*info, G::kSerial, serial);
    typeInto(*info, G::kPile, pile);
  }
  bool hasCopy(const std::vector<TestRecord>& a, const std::vector<TestRecord>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(TestRecord)) == 0;
  }
};

}  // namespace

TEST_F(XinXi, KeypadEditsAskWithTheirLabelAndTakeTheResultBack) {
  show(*info);
  ASSERT_TRUE(drv::tap(*info, G::kSerial));
  const KeypadRequest& r = p().keypad;
  EXPECT_EQ(r.caption, "检测流水号");
  EXPECT_EQ(r.maxLength, 20);
  EXPECT_EQ(r.mode, kKeypadText);
  EXPECT_EQ(r.requester, 1);
  EXPECT_EQ(r.typedCount, 0);
  EXPECT_FALSE(info->isWindowVisible());
  EXPECT_TRUE(key->isWindowVisible());
  EXPECT_EQ(ch[1].keypad.requester, 0) << "only the current channel is asked";
  typeOnKeypad("AB12");
  EXPECT_TRUE(info->isWindowVisible());
  EXPECT_EQ(text(G::kSerial), "AB12");
  EXPECT_EQ(r.requester, 0);
  EXPECT_EQ(ui::focusWindow(), &info->gaugeButton(1));
  EXPECT_EQ(status(), "") << "no message after a keypad result";
  // The other edits: caption, length and mode.
  struct Case {
    int edit;
    std::string caption;
    int maxLength, mode;
  } cases[] = {{G::kPile, "桩   号", 10, kKeypadText}};
  for (const Case& c : cases) {
    ASSERT_TRUE(drv::tap(*info, c.edit));
    EXPECT_EQ(r.caption, c.caption);
    EXPECT_EQ(r.maxLength, c.maxLength);
    EXPECT_EQ(r.mode, c.mode);
    ASSERT_TRUE(drv::tap(*key, ui::IDCANCEL));  // a cancel leaves the edit as it was
    EXPECT_EQ(text(c.edit), "");
    EXPECT_EQ(r.requester, 0);
  }
  // The plate area of a plate test is a decimal of six characters.
  ASSERT_TRUE(drv::tap(*info, 1247));
  ASSERT_TRUE(drv::tap(*info, G::kArea));
  EXPECT_EQ(r.caption, "压板面积㎡");
  EXPECT_EQ(r.maxLength, 6);
  EXPECT_EQ(r.mode, kKeypadDecimal);
  typeOnKeypad("1.25");
  EXPECT_EQ(text(G::kArea), "1.25");
  // The serial typed before the type change is still there: the keypad trip kept the dialog's edits.
  EXPECT_EQ(text(G::kSerial), "AB12");
  // A result whose caption matches no label is dropped, and the request is still cleared.
  info->showWindow(ui::SW_HIDE);
  p().keypad = KeypadRequest{"别的标签", "zz", 20, 2, 0, 1};
  show(*info);
  EXPECT_EQ(text(G::kSerial), "AB12");
  EXPECT_EQ(p().keypad.requester, 0);
}

TEST_F(XinXi, HardwareKeysOtherThanDigitsAndThePeriodAreSwallowed) {
  show(*info);
  for (unsigned vk : {unsigned('A'), unsigned(ui::VK_RETURN), unsigned(ui::VK_BACK), unsigned(ui::VK_OEM_MINUS)}) {
    ui::Message m{info->handle(), ui::WM_KEYDOWN, vk, 0};
    EXPECT_TRUE(info->preTranslateMessage(m)) << vk;
  }
  for (unsigned vk : {unsigned('0'), unsigned('9'), unsigned(ui::VK_OEM_PERIOD)}) {
    ui::Message m{info->handle(), ui::WM_KEYDOWN, vk, 0};
    EXPECT_FALSE(info->preTranslateMessage(m)) << vk;
  }
  ui::Message up{info->handle(), ui::WM_KEYUP, 'A', 0};
  EXPECT_FALSE(info->preTranslateMessage(up));
  // A key press on the screen reaches nothing: the dialog and the channel stay as they were.
  drv::press('A');
  EXPECT_TRUE(info->isWindowVisible());
  EXPECT_EQ(p().keypad.requester, 0);
}

TEST_F(XinXi, LabelsNoticesAndRowsByTypeStandardAndRoute) {
  struct Case {
    int type, standard;
    std::string gauge1, gauge3, gauge5;
    bool area;
  } cases[] = {
      {1, 1, "位移1", "位移3", "位移5", false},  {5, 1, "位移1", "位移3", "位移5", false},
      {0, 1, "位移1", "位移3", "位移5", true},   {2, 1, "位移1↓", "位移3↑", "位移5", false},
      {2, 61, "位移1↓", "位移3↓", "位移5↑", false}, {4, 93, "位移1", "位移3", "位移5", false},
      {4, 62, "上位移1", "下位移1", "位移5", false},
  };
  const int types[] = {1, 5, 0, 2, 4};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.standard));
    p().testType = c.type;
    p().standardCode = c.standard;
    show(*info);
    EXPECT_EQ(text(1019), c.gauge1);
    EXPECT_EQ(text(1021), c.gauge3);
    EXPECT_EQ(text(1024), c.gauge5);
    EXPECT_EQ(drv::visible(*info, G::kArea), c.area);
    EXPECT_EQ(drv::enabled(*info, G::kArea), c.area);
    for (std::size_t i = 0; i < 5; ++i) {
      const bool current = types[i] == c.type;
      EXPECT_EQ(text(G::kTypeButtons[i]), (current ? "√" : "") + std::string(kTestTypeCaption[i]));
      EXPECT_EQ(drv::textColor(*info, G::kTypeButtons[i]), current ? RGB(0, 0, 255) : RGB(0, 0, 0));
    }
    // The pile edit is wider when no plate area stands beside it.
    EXPECT_EQ(rectOf(G::kPile).width(), c.area ? 390 : 689);
    info->showWindow(ui::SW_HIDE);
  }

  // Upload route 3: the external serial row is there and the rows stand where they were laid out.
  p().testType = 1;
  show(*info);
  const ui::Rect serial0 = rectOf(G::kSerial), pile0 = rectOf(G::kPile), type0 = rectOf(1246);
  EXPECT_FALSE(drv::visible(*info, G::kExternal));
  EXPECT_EQ(text(G::kSerialLabel), "检测流水号");
  info->showWindow(ui::SW_HIDE);
  ch[0].ParameterList.set(56, 3.0f);
  show(*info);
  EXPECT_TRUE(drv::visible(*info, G::kExternal));
  EXPECT_TRUE(drv::visible(*info, G::kExternalLabel));
  EXPECT_EQ(text(G::kSerialLabel), "内置流水号");
  EXPECT_EQ(rectOf(G::kSerial).top, serial0.top - 25);
  EXPECT_EQ(rectOf(G::kPile).top, pile0.top + 20);
  EXPECT_EQ(rectOf(1246).top, type0.top + 15);
  // Refreshing again moves nothing further.
  info->showWindow(ui::SW_HIDE);
  ch[0].ParameterList.set(56, 0.0f);
  show(*info);
  info->showWindow(ui::SW_HIDE);
  show(*info);
  EXPECT_EQ(rectOf(G::kSerial), serial0);
  EXPECT_EQ(rectOf(G::kPile), pile0);
  EXPECT_EQ(rectOf(1246), type0);

  // Stability on gauges 5-8: both notices, in red.
  EXPECT_FALSE(drv::visible(*info, G::kNotice1));
  info->showWindow(ui::SW_HIDE);
  p().ParameterList.set(98, 1.0f);
  show(*info);
  EXPECT_TRUE(drv::visible(*info, G::kNotice1));
  EXPECT_TRUE(drv::visible(*info, G::kNotice2));
  EXPECT_EQ(drv::textColor(*info, G::kNotice1), RGB(255, 0, 0));
}

TEST_F(XinXi, TestTypeChangesAtOnceAndGoesBackWhenTheDialogIsLeftWithoutOk) {
  show(*info);
  ASSERT_TRUE(drv::tap(*info, 1248));  // self-balanced
  EXPECT_EQ(p().testType.load(), 2);
  EXPECT_EQ(status(), "参数已改变，按确定键输入有效！");
  EXPECT_EQ(drv::textColor(*info, G::kStatus), RGB(255, 0, 0));
  EXPECT_EQ(text(1248), "√自平衡");
  EXPECT_EQ(text(1021), "位移3↑");
  // A trip to the keypad is not leaving.
  ASSERT_TRUE(drv::tap(*info, G::kSerial));
  typeOnKeypad("12");
  EXPECT_EQ(p().testType.load(), 2);
  // Exit puts the type back.
  ASSERT_TRUE(drv::tap(*info, G::kExit));
  EXPECT_FALSE(info->isWindowVisible());
  EXPECT_EQ(p().testType.load(), 1);
  // So does another window hiding the dialog.
  show(*info);
  ASSERT_TRUE(drv::tap(*info, 1249));
  info->showWindow(ui::SW_HIDE);
  EXPECT_EQ(p().testType.load(), 1);
  // A successful OK keeps it.
  show(*info);
  ASSERT_TRUE(drv::tap(*info, 1250));
  enter("U1", "9");
  ASSERT_TRUE(drv::tap(*info, G::kOk));
  EXPECT_FALSE(info->isWindowVisible());
  EXPECT_EQ(p().testType.load(), 5);
  EXPECT_EQ(JDQFile::HeaderText(p().testRecords, 36, 1), "5");
}

TEST_F(XinXi, GaugeButtonsToggleAndShowTheirState) {
  show(*info);
  EXPECT_EQ(text(1121), "开");
  EXPECT_EQ(text(1125), "关");
  EXPECT_EQ(info->gaugeState(1), 1);
  EXPECT_EQ(drv::textColor(*info, 1121), RGB(0, 0, 255));
  EXPECT_EQ(drv::textColor(*info, 1125), RGB(255, 0, 0));
  ASSERT_TRUE(drv::tap(*info, 1121));
  EXPECT_EQ(text(1121), "关");
  EXPECT_EQ(info->gaugeState(1), 0);
  EXPECT_EQ(g_strChannelState[0], "关");
  EXPECT_EQ(status(), "参数已改变，按确定键输入有效！");
  ASSERT_TRUE(drv::tap(*info, 1125));
  EXPECT_EQ(text(1125), "开");
  EXPECT_EQ(p().displacementOn[0].load(), 1) << "the channel changes only on OK";
}

TEST_F(XinXi, RefusalsOnScreenLeaveTheChannelAndItsRecordsAlone) {
  std::ofstream(root_ / "Storage Card" / "EX1-P2.krv") << "x";  // an earlier test of that name
  struct Case {
    int type;
    std::string serial, pile, area;
    std::vector<int> gaugeTaps;
    const char* refusal;
  } cases[] = {
      {1, "1", "P1", "", {}, kSerialLengthRefused},
      {1, "", "P1", "", {}, kSerialLengthRefused},
      {1, "S1", "", "", {}, kPileLengthRefused},
      {1, "S1", "P1", "", {1121, 1122, 1123, 1124, 1125}, kNoGaugeRefused},
      {0, "S1", "P1", "", {}, kPlateAreaRefused},
      {0, "S1", "P1", "0.", {}, kPlateAreaRefused},
      {2, "S1", "P1", "", {1123, 1124}, kSelfBalancedGaugesRefused},
      {4, "S1", "P1", "", {1121, 1122}, kLateralGaugesRefused},
      {1, "EX1", "P2", "", {}, kTestFileExists},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal);
    p().testType = c.type;
    show(*info);
    if (!c.serial.empty()) typeInto(*info, G::kSerial, c.serial);
    if (!c.pile.empty()) typeInto(*info, G::kPile, c.pile);
    if (!c.area.empty()) info->setDlgItemText(G::kArea, c.area);
    else if (c.type == 0) info->setDlgItemText(G::kArea, "");
    for (int id : c.gaugeTaps) ASSERT_TRUE(drv::tap(*info, id));
    const std::vector<TestRecord> before = p().testRecords;
    ASSERT_TRUE(drv::tap(*info, G::kOk));
    EXPECT_TRUE(info->isWindowVisible());
    EXPECT_EQ(status(), c.refusal);
    EXPECT_EQ(drv::textColor(*info, G::kStatus), RGB(255, 0, 0));
    EXPECT_TRUE(hasCopy(before, p().testRecords));
    EXPECT_EQ(p().serialNumber, "");
    EXPECT_EQ(p().testFilePath, "");
    EXPECT_EQ(p().channelMask.load(), 15);
    ASSERT_TRUE(drv::tap(*info, G::kExit));
  }
  // A name with a character no file name may hold is refused too (typed by a hardware keyboard's
  // driver, which the keypad does not limit).
  show(*info);
  info->setDlgItemText(G::kSerial, "S*1");
  typeInto(*info, G::kPile, "P1");
  ASSERT_TRUE(drv::tap(*info, G::kOk));
  EXPECT_EQ(status(), kNameCharacterRefused);
}

TEST_F(XinXi, OkDuringARunningTestTakesOnlyTheGaugesAndRewritesTheFile) {
  // A test of channel 1 runs with gauges 1-4.
  show(*info);
  enter("RUN7", "P3");
  ASSERT_TRUE(drv::tap(*info, G::kOk));
  ASSERT_EQ(p().testFilePath, "\\Storage Card\\RUN7-P3.krv");
  EXPECT_TRUE(dialog(MonitorSlot::ShiYanGuiFan)->isWindowVisible()) << "the standard is the next step";
  dialog(MonitorSlot::ShiYanGuiFan)->showWindow(ui::SW_HIDE);
  ASSERT_EQ(JDQFile::CreateTestFile(p().testFilePath, p().testRecords, p()), 1);
  p().testRunning = 1;
  p().fileLoaded = 0;
  show(*info);
  EXPECT_FALSE(drv::enabled(*info, G::kSerial));
  EXPECT_FALSE(drv::enabled(*info, G::kPile));
  EXPECT_EQ(text(G::kTitle), "1# 编号：000001 流水号 RUN7 桩号 P3");
  // The type cannot change now.
  ASSERT_TRUE(drv::tap(*info, 1247));
  EXPECT_EQ(status(), "测试已经开始，无法改变检测类型！");
  EXPECT_EQ(text(1246), "√单桩抗压");
  EXPECT_EQ(p().testType.load(), 1);
  // Gauge 2 off, gauge 6 on.
  ASSERT_TRUE(drv::tap(*info, 1122));
  ASSERT_TRUE(drv::tap(*info, 1126));
  info->setDlgItemText(G::kSerial, "X");  // not looked at while the test runs
  ASSERT_TRUE(drv::tap(*info, G::kOk));
  EXPECT_FALSE(info->isWindowVisible());
  EXPECT_FALSE(dialog(MonitorSlot::ShiYanGuiFan)->isWindowVisible());
  EXPECT_EQ(p().serialNumber, "RUN7");
  EXPECT_EQ(p().channelMask.load(), 0x2D);
  for (const std::string& path : {p().testFilePath, JDQFile::BackupPathFor(p().testFilePath, 1)}) {
    SCOPED_TRACE(path);
    std::vector<TestRecord> file;
    ASSERT_EQ(JDQFile::LoadTestFile(path, file), 1);
    EXPECT_EQ(JDQFile::HeaderText(file, 32, 1), "0");
    EXPECT_EQ(JDQFile::HeaderText(file, 22, 2), "1");
    EXPECT_EQ(JDQFile::HeaderText(file, 7, 3), "RUN7");
  }
}

TEST_F(XinXi, ScreenshotsOfBothLayouts) {
  p().testType = 0;
  p().ParameterList.set(56, 3.0f);
  p().ParameterList.set(98, 1.0f);
  show(*info);
  enter("2026121001", "P12");
  typeInto(*info, G::kExternal, "W2026001");
  ASSERT_TRUE(drv::tap(*info, 1125));
  saveShot(*info, "test-information-plate.png");
  info->showWindow(ui::SW_HIDE);
  p().testType = 4;
  p().standardCode = 62;
  p().ParameterList.set(56, 0.0f);
  p().ParameterList.set(98, 0.0f);
  show(*info);
  ASSERT_TRUE(drv::tap(*info, 1121));
  saveShot(*info, "test-information-lateral.png");
}
