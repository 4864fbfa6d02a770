// Tests recorded as the instrument records them (step records opening each level, then the readings
// of the level), turned into a chart by the curve builder, and a plotting window on the headless
// display to draw it in.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/computations.h"
#include "model/datafiles.h"
#include "model/record_values.h"
#include "platform/ui/ui.h"
#include "report/graph.h"

namespace chart_fixture {

namespace ui = platform::ui;

struct RecordedTest {
  std::unique_ptr<Parameter> p = std::make_unique<Parameter>();
  std::vector<TestRecord> records;
};

// Displacement of gauges 1-4 at the end of a level of this load (unloading: after the maximum).
using GaugeTarget = std::function<std::array<float, 4>(float load, bool unloading)>;

inline TestRecord reading(bool step, float load, const std::array<float, 4>& gauges) {
  TestRecord r = JDQFile::BlankTestRecord();
  std::memcpy(r.marker, step ? "--:--" : "11:00", 5);
  std::memcpy(r.stepMark, r.marker, 5);
  std::memcpy(r.time, "1    ", 5);
  r.valuesA[record_values::kLoad] = load;
  for (int g = 0; g < 4; ++g) r.valuesA[record_values::kFirstGauge + g] = gauges[static_cast<std::size_t>(g)];
  return r;
}

// A slow maintained-load test: every loading level read at 0, 5, 15, 30, 45, 60, 90 and 120 minutes,
// every unloading level at 0, 15, 30, 60 and 90; the gauges creep from the previous level's values
// toward the level's target.
inline RecordedTest staticTest(int testType, int standard, const std::vector<float>& loads, const GaugeTarget& target) {
  RecordedTest t;
  Parameter& p = *t.p;
  p.testRunning = 1;
  p.standardCode = standard;
  p.testType = testType;
  float maxLoad = 0.0f;
  for (float l : loads) maxLoad = std::max(maxLoad, l);
  p.stepLoad3 = maxLoad;
  p.stepLoad2 = loads.empty() ? 0.0f : loads.front();
  const int loadMinutes[7] = {5, 10, 15, 15, 15, 30, 30};
  const int unloadMinutes[7] = {15, 15, 30, 30, 30, 30, 30};
  for (int k = 0; k < 7; ++k) {
    p.levelMinutes[k] = loadMinutes[k];
    p.levelMinutes[7 + k] = unloadMinutes[k];
  }
  for (int k = 0; k < 4; ++k) p.displacementOn[k] = 1;
  std::array<float, 4> previous{};
  bool reached = false;
  for (float load : loads) {
    const bool unloading = reached && load < maxLoad;
    if (load >= maxLoad) reached = true;
    const std::array<float, 4> goal = target(load, unloading);
    t.records.push_back(reading(true, load, previous));
    const int readings = unloading ? 5 : 8;
    std::array<float, 4> now{};
    for (int k = 0; k < readings; ++k) {
      const float share = 1.0f - 0.45f * std::exp(-static_cast<float>(k) / 2.0f);
      for (std::size_t g = 0; g < 4; ++g)
        now[g] = std::round((previous[g] + (goal[g] - previous[g]) * share) * 100.0f) / 100.0f;
      t.records.push_back(reading(false, load, now));
    }
    previous = now;
  }
  p.readingCount = static_cast<int>(t.records.size());
  return t;
}

// A cyclic lateral test: every level loaded and unloaded five times; the gauges 3 and 4 read the
// displacement under load and after each unloading.
inline RecordedTest cyclicTest(int standard, int levels, float step) {
  using namespace record_values;
  RecordedTest t;
  Parameter& p = *t.p;
  p.testRunning = 1;
  p.standardCode = standard;
  p.testType = 4;
  p.stepLoad3 = step * static_cast<float>(levels);
  p.stepLoad2 = step;
  p.displacementOn[2] = p.displacementOn[3] = 1;
  float residual = 0.0f;
  for (int l = 1; l <= levels; ++l) {
    const float load = step * static_cast<float>(l);
    const float under = 0.35f * static_cast<float>(l) + 0.06f * static_cast<float>(l * l);
    t.records.push_back(reading(true, load, {0, 0, residual, residual}));
    for (int c = 1; c <= 5; ++c) {
      const float loaded = under + 0.04f * static_cast<float>(c) * static_cast<float>(l);
      residual = 0.3f * loaded + 0.01f * static_cast<float>(c);
      for (float d : {loaded, residual}) {
        TestRecord r = reading(false, d == loaded ? load : 0.0f, {0, 0, d, d});
        r.valuesA[kLevel] = load;
        r.valuesA[kSecondLoad] = static_cast<float>(c);
        t.records.push_back(r);
      }
    }
  }
  p.readingCount = static_cast<int>(t.records.size());
  return t;
}

// The four realistic tests of the screenshots and the end-to-end chart tests.
inline RecordedTest compressionTest(int testType = 1, int standard = 5) {
  std::vector<float> loads;
  for (int l = 1; l <= 10; ++l) loads.push_back(240.0f * static_cast<float>(l));
  for (float l : {1920.0f, 1440.0f, 960.0f, 480.0f, 0.0f}) loads.push_back(l);
  return staticTest(testType, standard, loads, [](float load, bool unloading) {
    const float q = load / 2400.0f;
    static float peak = 0.0f;
    float s = 9.0f * q + 26.0f * q * q * q * q;
    if (!unloading) peak = s;
    else s = peak * (0.72f + 0.28f * q);
    return std::array<float, 4>{s * 1.02f, s * 0.98f, s * 1.01f, s * 0.99f};
  });
}

inline RecordedTest plateTest() {
  std::vector<float> loads;
  for (int l = 1; l <= 8; ++l) loads.push_back(50.0f * static_cast<float>(l));
  for (float l : {300.0f, 200.0f, 100.0f, 0.0f}) loads.push_back(l);
  return staticTest(0, 2, loads, [](float load, bool unloading) {
    const float q = load / 400.0f;
    static float peak = 0.0f;
    float s = 4.0f * q + 9.0f * q * q * q;
    if (!unloading) peak = s;
    else s = peak * (0.8f + 0.2f * q);
    return std::array<float, 4>{s, s, s, s};
  });
}

inline RecordedTest selfBalancedTest() {
  std::vector<float> loads;
  for (int l = 1; l <= 10; ++l) loads.push_back(600.0f * static_cast<float>(l));
  for (float l : {4800.0f, 3600.0f, 2400.0f, 1200.0f, 0.0f}) loads.push_back(l);
  return staticTest(2, 15, loads, [](float load, bool unloading) {
    const float q = load / 6000.0f;
    static float peakDown = 0.0f, peakUp = 0.0f;
    float down = 7.0f * q + 12.0f * q * q * q, up = 5.0f * q + 7.0f * q * q;
    if (!unloading) peakDown = down, peakUp = up;
    else down = peakDown * (0.75f + 0.25f * q), up = peakUp * (0.7f + 0.3f * q);
    return std::array<float, 4>{down, down, up, up};
  });
}

// Runs the reading rebuild and the curve builder over the test, as the curve pages do.
inline void build(RecordedTest& t, C2DGraph& g) {
  if (t.p->standardCode != 62 && t.p->standardCode != 76 && t.p->standardCode != 144) {
    ASSERT_EQ(JDQFile::RebuildReadings(*t.p, t.records), 1);
  }
  JDQFile::BuildCurvePoints(*t.p, t.records, &g, 1);
}

// The headless display with a plain window holding one plotting window of the given client size.
class ChartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ui::init(ui::Options{ui::DisplayKind::Headless}));
    ASSERT_TRUE(host_.createWindow(nullptr, {0, 0, 1024, 768}, 0, "", ui::WS_POPUP | ui::WS_VISIBLE));
  }
  void TearDown() override {
    graph_.reset();
    host_.destroyWindow();
    ui::shutdown();
  }

  C2DGraph& makeGraph(int width, int height) {
    graph_ = std::make_unique<C2DGraph>();
    EXPECT_EQ(graph_->Create(nullptr, nullptr, 0x50000000u, {0, 0, width, height}, &host_, 0), 1);
    return *graph_;
  }

  // The graph as it shows on the screen after a repaint (saved into CHART_DEBUG_DIR when set).
  ui::Bitmap paint() {
    ui::Bitmap b = ui::renderWindow(*graph_);
    if (const char* dir = std::getenv("CHART_DEBUG_DIR")) {
      const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
      b.savePng(std::filesystem::path(dir) / (std::string(info->name()) + "_" + std::to_string(++painted_) + ".png"));
    }
    return b;
  }

  ui::Window host_;
  std::unique_ptr<C2DGraph> graph_;
  int painted_ = 0;
};

}  // namespace chart_fixture
