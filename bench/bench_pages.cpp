// bench-libs: report app platform_ui platform_clock platform_fs
// The report pages on the headless display for a running test of 3000 readings, per redraw:
//  - BM_RecordTablePage: the record table refreshed from the test (the last page of 1100 rows) and the
//    page painted;
//  - BM_LoadSettlementCurvePage: the Q-s page rebuilt from the test (step summary and curve points) and
//    painted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "model/datafiles.h"
#include "platform/clock/clock.h"
#include "platform/ui/ui.h"
#include "report/pages.h"

namespace ui = platform::ui;

namespace {

// 300 levels of 100 kN, each opened by its step record and read nine times, gauges creeping.
void FillTest(Parameter& p) {
  p.testRunning = 1;
  p.testType = 1;
  p.standardCode = 5;
  p.boardFlag = 1;
  p.forceSensorType = 1;
  for (int k = 0; k < 4; ++k) p.displacementOn[static_cast<std::size_t>(k)] = 1;
  const int minutes[7] = {5, 10, 15, 15, 15, 30, 30};
  for (int k = 0; k < 7; ++k) p.levelMinutes[static_cast<std::size_t>(k)] = minutes[k];
  p.stepLoad2 = 100.0f;
  p.stepLoad3 = 30000.0f;
  float s = 0.0f;
  for (int level = 1; level <= 300; ++level) {
    for (int k = 0; k < 10; ++k) {
      TestRecord r = JDQFile::BlankTestRecord();
      char marker[8];
      std::snprintf(marker, sizeof marker, "%02d:%02d", (level + k) % 24, (k * 7) % 60);
      std::memcpy(r.marker, k == 0 ? "--:--" : marker, 5);
      std::memcpy(r.stepMark, r.marker, 5);
      r.valuesA[0] = 100.0f * static_cast<float>(level);
      r.valuesA[1] = r.valuesA[0] / 80.0f;
      if (k > 0) s += 0.01f;
      for (int g = 0; g < 4; ++g) r.valuesA[2 + g] = s * (1.0f + 0.01f * static_cast<float>(g));
      p.testRecords.push_back(r);
    }
  }
  p.readingCount = static_cast<int>(p.testRecords.size());
  p.testRecords.push_back(JDQFile::BlankTestRecord());
}

struct Screen {
  Screen() {
    platform::clock::configure(platform::clock::Mode::Manual);
    ui::init(ui::Options{ui::DisplayKind::Headless});
    host.createWindow(nullptr, {0, 0, 1024, 768}, 0, "", ui::WS_POPUP | ui::WS_VISIBLE);
    FillTest(p);
  }
  ~Screen() {
    host.destroyWindow();
    ui::shutdown();
  }
  template <class T>
  std::unique_ptr<T> Page() {
    auto page = std::make_unique<T>();
    page->SetChannels(&p, nullptr, nullptr);
    page->create(page->templateId(), &host);
    page->moveWindow(0, 0, 546, 470, true);
    page->showWindow(ui::SW_SHOWNA);
    return page;
  }
  ui::Window host;
  Parameter p;
};

void BM_RecordTablePage(benchmark::State& state) {
  Screen screen;
  auto page = screen.Page<CPageJiLuBiao>();
  for (auto _ : state) {
    page->RefreshTable(screen.p);
    ui::Bitmap shot = ui::renderWindow(*page);
    benchmark::DoNotOptimize(shot);
  }
  state.counters["rows"] = page->List(0).getItemCount();
  page->destroyWindow();
}
BENCHMARK(BM_RecordTablePage)->Unit(benchmark::kMillisecond);

void BM_LoadSettlementCurvePage(benchmark::State& state) {
  Screen screen;
  auto page = screen.Page<CPageQ_s>();
  for (auto _ : state) {
    screen.p.pageRedraw = 3;
    page->DrawCurve(screen.p);
    ui::Bitmap shot = ui::renderWindow(*page);
    benchmark::DoNotOptimize(shot);
  }
  state.counters["levels"] = static_cast<double>(screen.p.curvePoints1.size());
  page->destroyWindow();
}
BENCHMARK(BM_LoadSettlementCurvePage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
