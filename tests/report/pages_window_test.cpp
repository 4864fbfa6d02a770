// The report pages inside the main window on the manual clock: the redraw request (nothing pending, a
// tab change, a reading of the shown channel and of another one, a channel change), the running test
// and the test file opened for viewing after its end.
#include <cstdio>

#include "app/test_control.h"
#include "report/pages.h"
#include "tests/app/fixture.h"

using namespace apptest;
using namespace testcontrol;

namespace {

class PagesInWindow : public AppTest {
 protected:
  void SetUp() override {
    RegisterReportPages();
    AppTest::SetUp();
  }
  template <class T>
  T& Page(MonitorSlot slot) {
    T* page = dialog<T>(slot);
    EXPECT_NE(page, nullptr);
    return *page;
  }
  void SelectTab(CMonitorDlg& w, int tab) {
    w.item<ui::TabCtrl>(CMonitorDlg::kTab)->setCurSel(tab);
    w.OnTcnSelchangeTab();
  }
  // A reading of the controller's values through the recorder of the test procedure.
  void Record(CMonitorDlg& w, int n, float load, float gauge) {
    Parameter& p = w.channel(n);
    p.link.measuredLoad = load;
    for (std::size_t g = 0; g < 8; ++g) p.link.displacement[g] = gauge;
    frontend::ChannelProcedure recorder(w.channel(1), w.channel(2), w.channel(3), w, nullptr);
    ASSERT_EQ(recorder.RecordReading(p, std::to_string(n)), 1);
  }
};

std::string LoadCell(float load) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(load));
  return buf;
}

}  // namespace

TEST_F(PagesInWindow, RedrawRequestTabsReadingsAndChannels) {
  CMonitorDlg& w = startMain(1, 1);
  ASSERT_EQ(w.page(0), dialog(MonitorSlot::CPageJiLuBiao));
  auto& table = Page<CPageJiLuBiao>(MonitorSlot::CPageJiLuBiao);
  auto& lgQ = Page<CPages_lgQ>(MonitorSlot::CPages_lgQ);
  Parameter& c1 = w.channel(1);
  ASSERT_EQ(c1.testRunning.load(), 1);
  w.OnBnClickedChannel(1);

  // The start-up request shows the running test's three readings at the first tick.
  drv::run(1000);
  EXPECT_EQ(c1.pageRedraw.load(), 1000);
  ASSERT_EQ(table.List(0).getItemCount(), 3);
  EXPECT_EQ(table.List(0).getItemText(2, 1), LoadCell(200.0f));

  // Nothing pending: a record the list gains without a request is not shown.
  c1.testRecords[3] = c1.testRecords[2];
  c1.readingCount = 4;
  drv::run(3000);
  EXPECT_EQ(table.List(0).getItemCount(), 3);
  c1.readingCount = 3;

  // A tab change redraws that page once.
  SelectTab(w, 4);
  EXPECT_EQ(c1.pageRedraw.load(), 4);
  EXPECT_TRUE(lgQ.isWindowVisible());
  EXPECT_FALSE(table.isWindowVisible());
  drv::run(1000);
  EXPECT_EQ(c1.pageRedraw.load(), 1000);
  EXPECT_EQ(lgQ.Graph().m_nCurveKind, 2);
  ASSERT_FALSE(lgQ.Graph().m_ptList1.empty());
  lgQ.Graph().ClearPointList(1);
  drv::run(3000);
  EXPECT_TRUE(lgQ.Graph().m_ptList1.empty());
  EXPECT_EQ(c1.pageRedraw.load(), 1000);

  // A reading of the shown channel's test redraws the page on screen at its next tick.
  SelectTab(w, 0);
  drv::run(1000);
  Record(w, 1, 312.5f, 1.75f);
  EXPECT_EQ(c1.pageRedraw.load(), 0);
  EXPECT_EQ(table.List(0).getItemCount(), 3);
  drv::run(1000);
  ASSERT_EQ(table.List(0).getItemCount(), 4);
  EXPECT_EQ(table.List(0).getItemText(3, 1), LoadCell(312.5f));
  EXPECT_EQ(table.List(0).getItemText(3, 4), "1.75");
  EXPECT_EQ(table.List(0).getItemText(3, 8), "1.75");

  // A reading of another channel sets that channel's request: the shown page stays as it is.
  c1.testRecords[4] = c1.testRecords[3];
  c1.readingCount = 5;
  w.channel(2).pageRedraw = 0;
  drv::run(3000);
  EXPECT_EQ(table.List(0).getItemCount(), 4);
  c1.readingCount = 4;

  // A channel change points the pages at channel 2 and redraws: its finished test opened for viewing.
  Parameter& c2 = w.channel(2);
  c2.procedure.lastTestFileName = "C2.krv";
  c2.openedTestRecords = c1.testRecords;
  c2.readingCount = 2;
  c2.procedure.openedGaugeOn = {1, 0, 0, 0, 0, 0, 0, 0};
  c2.procedure.openedStandardCode = 1;
  w.OnBnClickedChannel(2);
  EXPECT_EQ(table.CurrentChannel(), &c2);
  drv::run(1000);
  EXPECT_EQ(c2.pageRedraw.load(), 1000);
  ASSERT_EQ(table.List(0).getItemCount(), 2);
  EXPECT_EQ(table.List(0).getItemText(1, 5), "--");  // gauge 2 is off in that file

  // Back to channel 1, whose test stays on screen through later ticks.
  w.OnBnClickedChannel(1);
  drv::run(5000);
  EXPECT_EQ(table.List(0).getItemCount(), 4);
}

TEST_F(PagesInWindow, AChannelShownByTheControllerSelectionShowsItsOwnStateAndTable) {
  CMonitorDlg& w = startMain(1, 1);
  auto& table = Page<CPageJiLuBiao>(MonitorSlot::CPageJiLuBiao);
  Parameter& c1 = w.channel(1);
  Parameter& c2 = w.channel(2);
  c1.link.goodCount = 10;  // both controllers answer
  c2.link.goodCount = 10;
  w.OnBnClickedChannel(1);
  drv::run(1000);
  ASSERT_EQ(table.List(0).getItemCount(), 3);
  const std::string holding = drv::text(w, 1028);
  ASSERT_EQ(holding, "维  荷");

  // Front-end 2#, on which no test has run, picked in the controller selection (which sets the shown
  // channel and leaves the rest to the main loop).
  c1.selectedChannelText = "2";
  drv::run(1000);
  EXPECT_EQ(table.CurrentChannel(), &c2);
  EXPECT_EQ(table.List(0).getItemCount(), 0);
  EXPECT_EQ(drv::text(w, 1028), "— —");
  // And back: channel 1's own word and test.
  c1.selectedChannelText = "1";
  drv::run(1000);
  EXPECT_EQ(table.List(0).getItemCount(), 3);
  EXPECT_EQ(drv::text(w, 1028), holding);
}

TEST_F(PagesInWindow, FinishedTestShownFromItsFile) {
  CMonitorDlg& w = startMain(1, 1);
  w.OnBnClickedChannel(1);
  drv::run(1000);
  Record(w, 1, 250.0f, 2.0f);
  Parameter& c1 = w.channel(1);
  ASSERT_TRUE(FinishTestFromDialog(c1, 1.0f));
  ASSERT_EQ(c1.testRunning.load(), 0);
  ASSERT_FALSE(c1.openedTestRecords.empty());
  ASSERT_EQ(c1.procedure.lastTestFileName, "ABC.krv");

  auto& table = Page<CPageJiLuBiao>(MonitorSlot::CPageJiLuBiao);
  auto& settlement = Page<CPageChenJiangBiao>(MonitorSlot::CPageChenJiangBiao);
  auto& qs = Page<CPageQ_s>(MonitorSlot::CPageQ_s);
  // Each tab in turn shows the file: four records, the reading of 250 kN last.
  table.List(0).deleteAllItems();
  SelectTab(w, 0);
  drv::run(1000);
  ASSERT_EQ(table.List(0).getItemCount(), 4);
  EXPECT_EQ(table.List(0).getItemText(3, 1), LoadCell(250.0f));
  EXPECT_EQ(table.List(0).getItemText(3, 4), "2.00");
  SelectTab(w, 1);
  drv::run(1000);
  EXPECT_GT(settlement.List(0).getItemCount(), 0);
  SelectTab(w, 3);
  drv::run(1000);
  EXPECT_EQ(qs.Standard(), 1);
  EXPECT_FALSE(qs.Graph().m_ptList1.empty());
  // The idle channel keeps its view through later ticks.
  drv::run(5000);
  EXPECT_EQ(c1.pageRedraw.load(), 1000);
  EXPECT_EQ(table.List(0).getItemCount(), 4);
}
