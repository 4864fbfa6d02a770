// The report pages on the headless display: a page of its own in a plain window with a channel record
// (for the contents), and test records built as the recorder leaves them.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "model/datafiles.h"
#include "platform/clock/clock.h"
#include "platform/ui/driver.h"
#include "platform/ui/ui.h"
#include "report/pages.h"

namespace pages_fixture {

namespace ui = platform::ui;
namespace clk = platform::clock;

// A record of the list: marker "--:--" opens a load step, other markers are clock times; gauges 1-8.
inline TestRecord Reading(const char* marker, float load, const std::array<float, 8>& gauges, float oil = 0.0f) {
  TestRecord r = JDQFile::BlankTestRecord();
  std::memcpy(r.marker, marker, 5);
  std::memcpy(r.stepMark, marker, 5);
  std::memset(r.time, 0, sizeof r.time);
  r.time[0] = '1';
  r.valuesA[0] = load;
  r.valuesA[1] = oil;
  for (std::size_t g = 0; g < 8; ++g) r.valuesA[2 + g] = gauges[g];
  return r;
}

// The list as a test file holds it: the readings, then blank records up to the 74 header records.
inline std::vector<TestRecord> WithHeader(std::vector<TestRecord> readings) {
  while (readings.size() < static_cast<std::size_t>(kHeaderRecordCount)) readings.push_back(JDQFile::BlankTestRecord());
  return readings;
}

// A page of its own, child of a plain window, working on one channel.
class PageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clk::configure(clk::Mode::Manual);
    ASSERT_TRUE(ui::init(ui::Options{ui::DisplayKind::Headless}));
    ASSERT_TRUE(host_.createWindow(nullptr, {0, 0, 1024, 768}, 0, "", ui::WS_POPUP | ui::WS_VISIBLE));
    RegisterReportPages();
    p_.boardFlag = 1;
    p_.testRunning = 1;
    p_.testType = 1;
    for (int k = 0; k < 4; ++k) p_.displacementOn[k] = 1;
  }
  void TearDown() override {
    for (auto& pg : pages_)
      if (pg->exists()) pg->destroyWindow();
    pages_.clear();
    host_.destroyWindow();
    ui::shutdown();
  }

  template <class T>
  T& make() {
    auto page = std::make_unique<T>();
    T& ref = *page;
    ref.SetChannels(&p_, nullptr, nullptr);
    EXPECT_TRUE(ref.create(ref.templateId(), &host_));
    ref.moveWindow(0, 0, 546, 470, true);
    ref.showWindow(ui::SW_SHOWNA);
    pages_.push_back(std::move(page));
    return ref;
  }

  // Row texts of a list, cell by cell.
  static std::vector<std::string> Row(const ui::ListCtrl& list, int row) {
    std::vector<std::string> out;
    for (int c = 0; c < list.columnCount(); ++c) out.push_back(list.getItemText(row, c));
    return out;
  }

  ui::Window host_;
  Parameter p_;
  std::vector<std::unique_ptr<ReportPage>> pages_;
};

}  // namespace pages_fixture
