// The front-end controller selection: captions and colours by channel state, picking, the keypad cycle
// of the number edits, the checks before anything is stored, and OK that stores the numbers, re-points
// the set-up dialogs and goes on to the test information dialog.
#include "setup_dialogs_fixture.h"

using namespace apptest;
using ui::RGB;

namespace {

class CeKongQi : public SetupDialogTest {
 protected:
  std::string caption(int k) { return drv::text(*sel, CCeKongQi::kFrontEnd1 + k - 1); }
  ui::Color colour(int k) { return drv::textColor(*sel, CCeKongQi::kFrontEnd1 + k - 1); }
  std::string number(int k) { return drv::text(*sel, CCeKongQi::kNumber1 + k - 1); }
  void setNumbers(const std::string& a, const std::string& b, const std::string& c) {
    sel->setDlgItemText(CCeKongQi::kNumber1, a);
    sel->setDlgItemText(CCeKongQi::kNumber1 + 1, b);
    sel->setDlgItemText(CCeKongQi::kNumber1 + 2, c);
  }
  bool fileSaved(int n) { return fsys::is_regular_file(root_ / "Storage Card" / ("krv718" + std::to_string(n) + ".ini")); }
};

}  // namespace

TEST_F(CeKongQi, CaptionsAndColoursFollowTheChannelsAndThePick) {
  ch[1].testRunning = 1;
  ch[2].testRunning = 1;
  ch[2].paused = 1;
  show(*sel);  // the first showing refreshes like every later one
  EXPECT_EQ(caption(1), "1#前端");
  EXPECT_EQ(caption(2), "√ 2#前端 试验中");
  EXPECT_EQ(caption(3), "√ 3#前端 暂停");
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(colour(k), RGB(0, 0, 0)) << k;
    EXPECT_EQ(number(k), "00000" + std::to_string(k));
  }
  // A channel whose test runs or is paused keeps its controller: its edit is off, its button does nothing.
  EXPECT_TRUE(drv::enabled(*sel, CCeKongQi::kNumber1));
  EXPECT_FALSE(drv::enabled(*sel, CCeKongQi::kNumber1 + 1));
  EXPECT_FALSE(drv::enabled(*sel, CCeKongQi::kNumber1 + 2));
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kFrontEnd1 + 1));
  EXPECT_EQ(caption(2), "√ 2#前端 试验中");
  EXPECT_EQ(g_nSelectedFrontEnd, 0);
  // Picking and unpicking an idle one.
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kFrontEnd1));
  EXPECT_EQ(caption(1), "√ 1#前端");
  EXPECT_EQ(colour(1), RGB(0, 0, 255));
  EXPECT_EQ(g_nSelectedFrontEnd, 1);
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kFrontEnd1));
  EXPECT_EQ(caption(1), "1#前端");
  EXPECT_EQ(g_nSelectedFrontEnd, 0);
  // The status line is always red.
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kOk));  // the busy channels' numbers stand, so OK goes through
  show(*sel);
  sel->SetStatus("x", false);
  EXPECT_EQ(drv::textColor(*sel, CCeKongQi::kStatus), RGB(255, 0, 0));
}

TEST_F(CeKongQi, OnlyOneFrontEndIsPickedAtATime) {
  show(*sel);
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kFrontEnd1));
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kFrontEnd1 + 2));
  EXPECT_EQ(caption(1), "1#前端");
  EXPECT_EQ(caption(3), "√ 3#前端");
  EXPECT_EQ(g_nSelectedFrontEnd, 3);
  // Leaving and coming back forgets the pick.
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kExit));
  EXPECT_FALSE(sel->isWindowVisible());
  show(*sel);
  EXPECT_EQ(caption(3), "3#前端");
  EXPECT_EQ(g_nSelectedFrontEnd, 0);
}

TEST_F(CeKongQi, NumberEditsGoThroughTheKeypadOfEveryChannel) {
  show(*sel);
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kNumber1 + 1));
  // Request step: the same request in all three channels, the focus on OK, the keypad in front.
  for (const Parameter& p : ch) {
    EXPECT_EQ(p.keypad.caption, "2#前端编号");
    EXPECT_EQ(p.keypad.text, "000002");
    EXPECT_EQ(p.keypad.maxLength, 6);
    EXPECT_EQ(p.keypad.mode, kKeypadInteger);
    EXPECT_EQ(p.keypad.typedCount, 0);
    EXPECT_EQ(p.keypad.requester, 10);
  }
  EXPECT_FALSE(sel->isWindowVisible());
  EXPECT_TRUE(key->isWindowVisible());
  EXPECT_EQ(drv::text(*key, Key::kLabel), "请输入2#前端编号:");
  // The keypad works on channel 3 (the shown channel); the number comes from there.
  key->SetCurrentChannel(&ch[2]);
  typeOnKeypad("1234567");  // the seventh digit does not go in
  EXPECT_TRUE(sel->isWindowVisible());
  EXPECT_EQ(number(2), "123456");
  for (const Parameter& p : ch) EXPECT_EQ(p.keypad.requester, 0);
  EXPECT_EQ(ch[1].controllerNumber.get(), "000002") << "nothing stored before OK";
  EXPECT_EQ(ui::focusWindow(), drv::control(*sel, CCeKongQi::kOk));

  // A keypad cancel brings the dialog back with the number as it was.
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kNumber1));
  ASSERT_TRUE(drv::tap(*key, 1125));
  ASSERT_TRUE(drv::tap(*key, ui::IDCANCEL));
  EXPECT_TRUE(sel->isWindowVisible());
  EXPECT_EQ(number(1), "000001");
  for (const Parameter& p : ch) EXPECT_EQ(p.keypad.requester, 0);

  // Another dialog's request outstanding: coming to the front changes neither the edits nor the request.
  setNumbers("7", "8", "9");
  sel->showWindow(ui::SW_HIDE);
  for (Parameter& p : ch) p.keypad = KeypadRequest{"最大荷载", "55", 8, 0, 0, 3};
  show(*sel);
  EXPECT_EQ(number(1), "7");
  for (const Parameter& p : ch) EXPECT_EQ(p.keypad.requester, 3);
}

TEST_F(CeKongQi, BadNumbersAreRefusedBeforeAnythingIsStored) {
  show(*sel);
  struct Case {
    std::string a, b, c, refusal;
  } cases[] = {
      {"", "2", "3", "1#前端编号不能为空！"},
      {"1", "2", "1234567", "3#前端编号应为1至6位数字！"},
      {"1", "2x", "3", "2#前端编号应为1至6位数字！"},
      {"4", "5", "4", "测控器编号不能相同！"},
      {"012", "12", "3", "测控器编号不能相同！"},
      {"", "", "", "1#前端编号不能为空！"},
  };
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kFrontEnd1 + 1));
  const float item83[] = {ch[0].ParameterList.item(83), ch[1].ParameterList.item(83), ch[2].ParameterList.item(83)};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal + " " + c.a + "," + c.b + "," + c.c);
    setNumbers(c.a, c.b, c.c);
    ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kOk));
    EXPECT_TRUE(sel->isWindowVisible());
    EXPECT_EQ(drv::text(*sel, CCeKongQi::kStatus), c.refusal);
    EXPECT_EQ(drv::textColor(*sel, CCeKongQi::kStatus), RGB(255, 0, 0));
    for (int n = 1; n <= 3; ++n) {
      EXPECT_EQ(ch[n - 1].controllerNumber.get(), "00000" + std::to_string(n));
      EXPECT_EQ(ch[n - 1].ParameterList.item(83), item83[n - 1]);
      EXPECT_FALSE(fileSaved(n));
    }
    EXPECT_EQ(ch[0].selectedChannelText, "");
    EXPECT_EQ(info->CurrentChannel(), &ch[0]);
  }
}

TEST_F(CeKongQi, OkStoresTheNumbersAndGoesOnToTheTestInformationOfTheIdlePick) {
  show(*sel);
  typeInto(*sel, CCeKongQi::kNumber1, "11");
  typeInto(*sel, CCeKongQi::kNumber1 + 1, "22");
  typeInto(*sel, CCeKongQi::kNumber1 + 2, "012");
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kFrontEnd1 + 1));
  saveShot(*sel, "controller-selection.png");
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kOk));
  EXPECT_FALSE(sel->isWindowVisible());
  EXPECT_TRUE(info->isWindowVisible());
  EXPECT_EQ(ch[0].selectedChannelText, "2");
  const std::string numbers[] = {"000011", "000022", "000012"};  // as the link sends them
  const float items[] = {11.0f, 22.0f, 12.0f};
  for (int n = 1; n <= 3; ++n) {
    Parameter& p = ch[n - 1];
    EXPECT_EQ(p.controllerNumber.get(), numbers[n - 1]);
    EXPECT_EQ(p.ParameterList.item(83), items[n - 1]);
    ASSERT_TRUE(fileSaved(n));
    Parameter loaded;
    loaded.boardFlag = 1;
    std::string path = "x";
    ASSERT_EQ(JDQFile::LoadParameterFile(path, std::to_string(n), loaded), 1);
    EXPECT_EQ(loaded.ParameterList.item(83), items[n - 1]) << n;
  }
  // The set-up dialogs, the keypads and the test control work on channel 2 now.
  for (MonitorSlot s : {MonitorSlot::GongChengXinXi, MonitorSlot::ShiYanGuiFan, MonitorSlot::ShiZhuangKongZhi,
                        MonitorSlot::Key, MonitorSlot::KeyABC, MonitorSlot::ChuanGanQi})
    EXPECT_EQ(dialog(s)->CurrentChannel(), &ch[1]) << SlotInfo(s).className;
  EXPECT_EQ(drv::text(*info, GongChengXinXi::kTitle), "2# 编号：000022");
}

TEST_F(CeKongQi, OkWithoutAPickOrForABusyChannelOnlyHides) {
  show(*sel);
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kOk));
  EXPECT_FALSE(sel->isWindowVisible());
  EXPECT_FALSE(info->isWindowVisible());
  for (int n = 1; n <= 3; ++n) EXPECT_TRUE(fileSaved(n));
  EXPECT_EQ(info->CurrentChannel(), &ch[0]);
  // The channel chosen before is idle: OK goes on to its test information.
  ch[0].selectedChannelText = "3";
  show(*sel);
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kOk));
  EXPECT_TRUE(info->isWindowVisible());
  info->showWindow(ui::SW_HIDE);
  // ...but not while its test runs; a running test's number and file stay as they are.
  ch[2].testRunning = 1;
  show(*sel);
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kOk));
  EXPECT_FALSE(info->isWindowVisible());
  EXPECT_EQ(ch[2].controllerNumber.get(), "000003");
}

TEST_F(CeKongQi, AFailedSaveIsReportedAndTheDialogStays) {
  // The parameter file of channel 2 cannot be written: a folder has its name.
  fsys::create_directories(root_ / "Storage Card" / "krv7182.ini");
  show(*sel);
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kFrontEnd1));
  ASSERT_TRUE(drv::tap(*sel, CCeKongQi::kOk));
  EXPECT_TRUE(sel->isWindowVisible());
  EXPECT_EQ(drv::text(*sel, CCeKongQi::kStatus), "保存失败!");
  EXPECT_FALSE(info->isWindowVisible());
}
