// The main window at each of its six tabs for realistic tests: a running compression test and a finished
// self-balanced test opened for viewing, and the pages that differ for a multi-cycle lateral and an
// uplift test. The pictures go to the folder named by REPORT_SCREENSHOT_DIR (the README shows them
// from docs/), else to the temporary folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "chart_fixture.h"
#include "pages_fixture.h"
#include "report/pages.h"
#include "tests/app/fixture.h"

using namespace apptest;

namespace {

fsys::path ShotDir() {
  const char* dir = std::getenv("REPORT_SCREENSHOT_DIR");
  fsys::path p = dir && *dir ? fsys::path(dir) : fsys::temp_directory_path() / "report-pages";
  fsys::create_directories(p);
  return p;
}

// Clock times of the readings as the schedule took them from 08:00 (level minutes of the loading and
// unloading levels), and an oil pressure that follows the load.
void ClockAndOil(std::vector<TestRecord>& records, const std::array<int, 17>& minutes) {
  int now = 8 * 60, k = 0;
  float level = 0.0f, peak = 0.0f;
  bool unloading = false;
  for (TestRecord& r : records) {
    r.valuesA[1] = r.valuesA[0] / 80.0f;
    if (std::memcmp(r.marker, "--:--", 5) == 0) {
      unloading = r.valuesA[0] < peak;
      level = r.valuesA[0];
      peak = std::max(peak, level);
      k = -1;
      continue;
    }
    // A schedule without minutes (the multi-cycle standards) reads every four minutes.
    const int step = k >= 0 ? minutes[static_cast<std::size_t>((unloading ? 7 : 0) + std::min(k, 6))] : 0;
    now += k >= 0 ? (step > 0 ? step : 4) : 0;
    ++k;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", now / 60 % 24, now % 60);
    std::memcpy(r.marker, text, 5);
    std::memcpy(r.stepMark, text, 5);
  }
}

class PageScreens : public AppTest {
 protected:
  void SetUp() override {
    RegisterReportPages();
    AppTest::SetUp();
  }

  // The recorded test becomes channel 1's running test (which the window resumed from its files).
  void Running(CMonitorDlg& w, chart_fixture::RecordedTest& t) {
    Parameter& c = w.channel(1);
    const Parameter& s = *t.p;
    c.testRecords = pages_fixture::WithHeader(t.records);
    ClockAndOil(c.testRecords, s.levelMinutes);
    c.readingCount = s.readingCount;
    c.forceSensorType = 1;
    c.standardCode = s.standardCode.load();
    c.testType = s.testType.load();
    c.stepLoad2 = s.stepLoad2.load();
    c.stepLoad3 = s.stepLoad3.load();
    c.levelMinutes = s.levelMinutes;
    for (std::size_t k = 0; k < 8; ++k) c.displacementOn[k] = s.displacementOn[k].load();
    w.OnBnClickedChannel(1);
  }

  // The recorded test, finished, is channel 2's file opened for viewing, with the header texts its file
  // keeps.
  void Viewed(CMonitorDlg& w, chart_fixture::RecordedTest& t) {
    Parameter& c = w.channel(2);
    const Parameter& s = *t.p;
    std::vector<TestRecord> r = pages_fixture::WithHeader(t.records);
    ClockAndOil(r, s.levelMinutes);
    r.push_back(JDQFile::BlankTestRecord());
    const std::string type(1, static_cast<char>('0' + s.testType.load()));
    JDQFile::SetHeaderText(r, 36, 1, type);
    JDQFile::SetHeaderText(r, 69, 3, std::to_string(s.standardCode.load()));
    JDQFile::SetHeaderText(r, 7, 2, std::to_string(s.stepLoad3.load()));
    JDQFile::SetHeaderText(r, 6, 2, std::to_string(s.stepLoad2.load()));
    for (int k = 0; k < 6; ++k) {
      JDQFile::SetHeaderText(r, 16 + k, 1, std::to_string(s.levelMinutes[static_cast<std::size_t>(k)]));
      JDQFile::SetHeaderText(r, 22 + k, 1, std::to_string(s.levelMinutes[static_cast<std::size_t>(7 + k)]));
    }
    JDQFile::SetHeaderText(r, 57, 1, std::to_string(s.levelMinutes[6]));
    JDQFile::SetHeaderText(r, 58, 1, std::to_string(s.levelMinutes[13]));
    for (int k = 0; k < 4; ++k) {
      JDQFile::SetHeaderText(r, 31 + k, 1, s.displacementOn[static_cast<std::size_t>(k)].load() ? "1" : "0");
      JDQFile::SetHeaderText(r, 21 + k, 2, "0");
    }
    c.testRunning = 0;
    c.openedTestRecords = std::move(r);
    c.procedure.lastTestFileName = "SB-2024-07.krv";
    c.readingCount = s.readingCount;
    c.procedure.openedStandardCode = s.standardCode.load();
    c.procedure.openedHeader12 = 1;
    for (std::size_t k = 0; k < 8; ++k) c.procedure.openedGaugeOn[k] = s.displacementOn[k].load() ? 1 : 0;
    w.OnBnClickedChannel(2);
  }

  void Shoot(CMonitorDlg& w, int tab, const std::string& file) {
    w.item<ui::TabCtrl>(CMonitorDlg::kTab)->setCurSel(tab);
    w.OnTcnSelchangeTab();
    drv::run(1000);
    const fsys::path png = ShotDir() / file;
    ASSERT_TRUE(drv::screenshot(png, &w)) << file;
    // The page shows something: a table with rows or a chart with its curve.
    MonitorDialog* page = w.page(tab);
    if (auto* t = dynamic_cast<ReportTablePage*>(page)) {
      int rows = 0;
      for (int k = 0; k < (tab == 0 ? 4 : 2); ++k)
        if (t->List(k).isWindowVisible()) rows += t->List(k).getItemCount();
      EXPECT_GT(rows, 0) << file;
    } else if (auto* c = dynamic_cast<ReportCurvePage*>(page)) {
      const ui::Bitmap b = ui::renderWindow(c->Graph());
      int ink = 0;
      for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) ink += b.pixel(x, y) == c->Graph().m_crCurve;
      EXPECT_GT(ink, 50) << file;
    }
  }
};

const char* kTabNames[6] = {"record", "settlement", "summary", "q-s", "s-lgq", "s-lgt"};

TEST_F(PageScreens, RunningCompressionTestAtEachTab) {
  CMonitorDlg& w = startMain(1, 1);
  chart_fixture::RecordedTest t = chart_fixture::compressionTest();
  Running(w, t);
  for (int tab = 0; tab < 6; ++tab) Shoot(w, tab, std::string("page-running-compression-") + kTabNames[tab] + ".png");
}

TEST_F(PageScreens, FinishedSelfBalancedTestViewedAtEachTab) {
  CMonitorDlg& w = startMain(1);
  chart_fixture::RecordedTest t = chart_fixture::selfBalancedTest();
  Viewed(w, t);
  for (int tab = 0; tab < 6; ++tab) Shoot(w, tab, std::string("page-viewed-self-balanced-") + kTabNames[tab] + ".png");
}

TEST_F(PageScreens, MultiCycleLateralAndUpliftPages) {
  CMonitorDlg& w = startMain(1, 1);
  chart_fixture::RecordedTest lateral = chart_fixture::cyclicTest(62, 6, 40.0f);
  Running(w, lateral);
  Shoot(w, 0, "page-running-lateral-62-record.png");
  Shoot(w, 3, "page-running-lateral-62-q-s.png");
  chart_fixture::RecordedTest uplift = chart_fixture::compressionTest(5, 115);
  Running(w, uplift);
  Shoot(w, 5, "page-running-uplift-115-s-lgt.png");
}

}  // namespace
