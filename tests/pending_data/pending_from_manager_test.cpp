// The way to the pending-data dialog and back on the board without internal flash: the test-file
// manager's button shows it with the queue files of that board's data root, and its exit returns.
#include "pending_fixture.h"
#include "report/file_manager.h"
#include "report/pages.h"

using namespace pendingtest;

namespace {

class PendingFromManager : public PendingTest {
 protected:
  void SetUp() override {
    RegisterReportPagesOnce();
    PendingTest::SetUp();
  }
  static void RegisterReportPagesOnce() {
    static const bool done = (RegisterReportPages(), true);
    (void)done;
  }
};

TEST_F(PendingFromManager, ManagerButtonShowsTheDialogOfTheBoardAndExitReturns) {
  fsys::create_directories(root_ / "Storage_Card");
  fsys::create_directories(root_ / "DISK");
  fsys::remove_all(root_ / "nandflash");
  for (Parameter& p : ch) p.boardFlag = 0;
  std::ofstream(root_ / "Storage_Card" / "2026001-P1.gps", std::ios::binary) << queueFile({"OVER", "GPRS", "GPRS"});
  std::ofstream(root_ / "Storage_Card" / "2026001-P1.gpsw", std::ios::binary) << queueFile({"GPRS"});
  auto* mgr = dialog<ShiZhuangMuLu>(MonitorSlot::ShiZhuangMuLu);
  ASSERT_NE(mgr, nullptr);
  for (MonitorDialog* d : {static_cast<MonitorDialog*>(mgr), static_cast<MonitorDialog*>(dlg)}) d->destroyWindow();
  ASSERT_TRUE(mgr->create(TemplateFor(MonitorSlot::ShiZhuangMuLu, 0), nullptr));
  ASSERT_TRUE(dlg->create(TemplateFor(MonitorSlot::CDaiFaShuJu, 0), nullptr));
  EXPECT_EQ(dlg->templateId(), CDaiFaShuJu::kTemplateBoard0);
  LinkMonitorDialog(MonitorSlot::ShiZhuangMuLu, ch[0], ch[1], ch[2]);
  LinkMonitorDialog(MonitorSlot::CDaiFaShuJu, ch[0], ch[1], ch[2]);
  mgr->showWindow(ui::SW_SHOW);
  drv::pump();
  ASSERT_TRUE(drv::tap(*mgr, ShiZhuangMuLu::kPending));
  EXPECT_FALSE(mgr->isWindowVisible());
  ASSERT_TRUE(dlg->isWindowVisible());
  EXPECT_EQ(dlg->list().columnCount(), 5);
  EXPECT_EQ(column(4), (std::vector<std::string>{"2", "1"}));
  EXPECT_EQ(dlg->selectedRow(), 1);
  saveShot("pending-data-board0.png");
  ASSERT_TRUE(drv::tap(*dlg, CDaiFaShuJu::kExit));
  EXPECT_FALSE(dlg->isWindowVisible());
  EXPECT_TRUE(mgr->isWindowVisible());
}

}  // namespace
