// The standards check-list: rows from channel 1's catalogue with checks from its offered flags, one
// change per tap on the box or the row, the refusal to take off a standard in use, OK that checks every
// row before it sets a flag and saves channel 1's parameter file, and exit that stores nothing.
#include "setup_ui/guifan_shezhi.h"
#include "platform/fs/fs.h"
#include "setup/catalogue.h"
#include "setup/offered_standards.h"
#include "setup/standards.h"
#include "setup_dialogs_fixture.h"

using namespace apptest;
using ui::RGB;

namespace {

class CheckList : public SetupDialogTest {
 protected:
  void SetUp() override {
    SetupDialogTest::SetUp();
    for (MonitorSlot s : {MonitorSlot::GuiFanSheZhi, MonitorSlot::XiTongBaoHu}) {
      ASSERT_TRUE(dialog(s)->create());
      LinkMonitorDialog(s, ch[0], ch[1], ch[2]);
    }
    for (Parameter& p : ch) BuildStandardCatalogue(p);
    dlg = dialog<GuiFanSheZhi>(MonitorSlot::GuiFanSheZhi);
    ASSERT_TRUE(dlg);
    list = dlg->list();
    ASSERT_TRUE(list);
  }
  // A tap on a row's label, or on its check box.
  void tapRow(int row, bool onBox) {
    list->ensureVisible(row);
    drv::pump();
    const ui::Rect r = list->getItemRect(row);
    const ui::Point p = onBox ? ui::Point{r.left + 8, (r.top + r.bottom) / 2} : ui::Point{r.left + 300, (r.top + r.bottom) / 2};
    ASSERT_TRUE(drv::tapWindow(*list, p));
    clk::advance(600);  // no double tap
  }
  std::string status() { return drv::text(*dlg, GuiFanSheZhi::kStatus); }
  int position(int code) {
    for (std::size_t i = 0; i < ch[0].standards.size(); ++i)
      if (ch[0].standards[i].standardCode == code) return static_cast<int>(i);
    return -1;
  }
  fsys::path parameterFile() { return root_ / "Storage Card" / "krv7181.ini"; }

  GuiFanSheZhi* dlg = nullptr;
  ui::ListCtrl* list = nullptr;
};

}  // namespace

TEST_F(CheckList, RowsComeFromChannelOnesCatalogueAndFlags) {
  ch[0].ParameterList.set(kOfferedFlagItem + 3, 0.0f);
  ch[0].ParameterList.set(kOfferedFlagItem + 82, 0.5f);  // anything but 1.0 is off
  ch[0].standards[1].testType = 3;
  ch[0].standards[2].testType = 7;
  ch[1].ParameterList.set(kOfferedFlagItem + 5, 0.0f);  // another channel's flags do not count
  show(*dlg);
  ASSERT_EQ(list->getItemCount(), 83);
  ASSERT_EQ(list->columnCount(), 4);
  EXPECT_EQ(list->columnHeading(0), "规范名称");
  EXPECT_EQ(list->getColumnWidth(3), 0);
  for (int i = 0; i < 83; ++i) {
    const StandardEntry& e = ch[0].standards[static_cast<std::size_t>(i)];
    EXPECT_EQ(list->getItemText(i, 0), e.name);
    EXPECT_EQ(list->getItemText(i, 1), e.region);
    EXPECT_EQ(list->getItemText(i, 2), StandardTypeText(e.testType));
    EXPECT_EQ(list->getCheck(i), i != 3 && i != 82) << i;
  }
  EXPECT_EQ(list->getItemText(0, 2), "桩基");
  EXPECT_EQ(list->getItemText(1, 2), "锚杆");
  EXPECT_EQ(list->getItemText(2, 2), "") << "a type outside 0-4";
  EXPECT_EQ(list->getSelectionMark(), 82);
  EXPECT_EQ(status(), "");
}

TEST_F(CheckList, EachTapChangesTheCheckOnceAndAStandardInUseStays) {
  const int five = position(5);
  ASSERT_GE(five, 0);
  ch[1].standardCode = 5;
  ch[1].testRunning = 1;
  show(*dlg);
  for (bool onBox : {false, true}) {
    SCOPED_TRACE(onBox ? "box" : "row");
    // A standard not in use goes off and on again, one change a tap.
    tapRow(0, onBox);
    EXPECT_FALSE(list->getCheck(0));
    EXPECT_EQ(status(), onBox ? "" : "规范选择已改变，按确定键选择有效！");
    EXPECT_TRUE(dlg->warning());
    EXPECT_EQ(drv::textColor(*dlg, GuiFanSheZhi::kStatus), RGB(255, 0, 0));
    tapRow(0, onBox);
    EXPECT_TRUE(list->getCheck(0));
    // Code 5 runs on channel 2: it stays checked.
    tapRow(five, onBox);
    EXPECT_TRUE(list->getCheck(five));
    EXPECT_EQ(status(), "该规范正在使用，无法取消！");
    EXPECT_EQ(list->getSelectionMark(), five);
  }
  // After that test has ended the same taps take it off.
  ch[1].testRunning = 0;
  tapRow(five, false);
  EXPECT_FALSE(list->getCheck(five));
  tapRow(five, true);
  EXPECT_TRUE(list->getCheck(five));
  tapRow(five, true);
  EXPECT_FALSE(list->getCheck(five));
  // Nothing was stored by the taps.
  EXPECT_TRUE(IsStandardOffered(ch[0], five));
  EXPECT_FALSE(fsys::exists(parameterFile()));
}

TEST_F(CheckList, OkSavesChannelOnesFlagsAndGoesBackToTheSettings) {
  ch[1].channelName = "2";
  show(*dlg);
  tapRow(0, false);
  tapRow(7, true);
  ASSERT_TRUE(drv::tap(*dlg, GuiFanSheZhi::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_TRUE(visible(MonitorSlot::XiTongBaoHu));
  EXPECT_EQ(status(), "保存成功!");
  EXPECT_FALSE(dlg->warning());
  for (int i = 0; i < 83; ++i) EXPECT_EQ(IsStandardOffered(ch[0], i), i != 0 && i != 7) << i;
  // Read back from the file.
  Parameter back;
  back.boardFlag = 1;
  std::string path;
  ASSERT_EQ(JDQFile::LoadParameterFile(path, "1", back), 1);
  for (int i = 0; i < 83; ++i) EXPECT_EQ(back.ParameterList.item(kOfferedFlagItem + i) == 1.0f, i != 0 && i != 7) << i;
  EXPECT_EQ(path, "") << "no test running on channel 1";

  // All rows off with no test running is taken too; the next showing empties the status line.
  show(*dlg);
  EXPECT_EQ(status(), "");
  for (int i = 0; i < 83; ++i) list->setCheck(i, false);
  ASSERT_TRUE(drv::tap(*dlg, GuiFanSheZhi::kOk));
  EXPECT_FALSE(dlg->isWindowVisible());
  for (int i = 0; i < 83; ++i) EXPECT_FALSE(IsStandardOffered(ch[0], i)) << i;
}

TEST_F(CheckList, OkWithAStandardInUseUncheckedSetsNoFlag) {
  const int five = position(5);
  ch[2].standardCode = 5;
  ch[2].testRunning = 1;
  show(*dlg);
  tapRow(0, false);
  list->setCheck(five, false);  // taken off by other means than a tap
  ASSERT_TRUE(drv::tap(*dlg, GuiFanSheZhi::kOk));
  EXPECT_TRUE(dlg->isWindowVisible());
  EXPECT_EQ(status(), "有正在使用的规范未选中，保存失败!");
  for (int i = 0; i < 83; ++i) EXPECT_TRUE(IsStandardOffered(ch[0], i)) << "row " << i << " set before the refusal";
  EXPECT_FALSE(fsys::exists(parameterFile()));
}

TEST_F(CheckList, AFailedSaveIsReportedAndTheDialogStays) {
  show(*dlg);
  tapRow(2, false);
  platform::fs::FaultBackend fault;
  platform::fs::ScopedBackend scoped(fault);
  fault.failCall(platform::fs::FaultBackend::Call::Open, 0);
  ASSERT_TRUE(drv::tap(*dlg, GuiFanSheZhi::kOk));
  EXPECT_TRUE(dlg->isWindowVisible());
  EXPECT_FALSE(visible(MonitorSlot::XiTongBaoHu));
  EXPECT_EQ(status(), "保存失败!");
  EXPECT_TRUE(dlg->warning());
  EXPECT_FALSE(IsStandardOffered(ch[0], 2)) << "the new flags stay in memory";
}

TEST_F(CheckList, ExitStoresNothingAndTheNextShowingStartsAgain) {
  show(*dlg);
  tapRow(4, false);
  ASSERT_TRUE(drv::tap(*dlg, GuiFanSheZhi::kExit));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_TRUE(visible(MonitorSlot::XiTongBaoHu));
  EXPECT_TRUE(IsStandardOffered(ch[0], 4));
  EXPECT_FALSE(fsys::exists(parameterFile()));
  dialog(MonitorSlot::XiTongBaoHu)->showWindow(ui::SW_HIDE);
  show(*dlg);
  EXPECT_TRUE(list->getCheck(4));
  saveShot(*dlg, "guifan_shezhi.png");
}
