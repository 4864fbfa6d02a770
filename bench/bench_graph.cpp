// bench-libs: report model platform_ui platform_clock
// Painting a curve page's chart on the headless display, for tests of 3000 readings and of the 20,001
// records a file can hold: a paint that draws the whole chart (axes, grid, numbers, titles, curves, then
// the copy of the back buffer), as at the first showing or after a new reading, and a repaint of a chart
// that did not change, which only copies the back buffer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "platform/ui/ui.h"
#include "report/graph.h"

namespace ui = platform::ui;

namespace {

// A host window and a plotting window of a curve page's size; kind 3 walks the time points, kind 1
// the load points.
struct Chart {
  ui::Window host;
  C2DGraph graph;

  Chart(int kind, int readings) {
    ui::init(ui::Options{ui::DisplayKind::Headless});
    host.createWindow(nullptr, {0, 0, 1024, 768}, 0, "", ui::WS_POPUP | ui::WS_VISIBLE);
    graph.Create(nullptr, nullptr, 0x50000000u, {0, 0, 524, 460}, &host, 0);
    graph.m_nCurveKind = kind;
    graph.m_nTestType = 1;
    graph.m_nStandard = 5;
    graph.m_nLoadMax = 3000;
    graph.m_nTimeMax = 3000;
    graph.m_dSettleMaxRaw = 4000;
    graph.SetStepLoadCount(readings);
    for (int i = 0; i < readings; ++i) {
      const int level = i / 20 + 1;  // twenty readings a level
      graph.AddPoint2(1 + (i % 20) * 6, static_cast<int>(level * 25 + 10 * std::log(1.0 + i % 20)));
      graph.SetStepLoad(i, level * 20);
      graph.AddPoint1(i, static_cast<int>(i * 1.2 + 0.0002 * i * i));
    }
  }
  ~Chart() {
    host.destroyWindow();
    ui::shutdown();
  }
};

// Each paint draws the whole chart: one reading moves a little each time, as a new reading changes it.
void draw(benchmark::State& state, int kind, int readings) {
  Chart chart(kind, readings);
  int k = 0;
  for (auto _ : state) {
    chart.graph.m_ptList1.back().y += (++k % 2) ? 1 : -1;
    chart.graph.m_ptList2.back().y += (k % 2) ? 1 : -1;
    ui::Bitmap shown = ui::renderWindow(chart.graph);
    benchmark::DoNotOptimize(shown.pixel(100, 100));
  }
}

// Repaints of a chart that did not change.
void repaint(benchmark::State& state, int kind, int readings) {
  Chart chart(kind, readings);
  ui::renderWindow(chart.graph);
  for (auto _ : state) {
    ui::Bitmap shown = ui::renderWindow(chart.graph);
    benchmark::DoNotOptimize(shown.pixel(100, 100));
  }
}

void BM_PaintTimeChart3000(benchmark::State& state) { draw(state, 3, 3000); }
void BM_PaintLoadChart3000(benchmark::State& state) { draw(state, 1, 3000); }
void BM_PaintTimeChart20001(benchmark::State& state) { draw(state, 3, 20001); }
void BM_RepaintUnchangedTimeChart3000(benchmark::State& state) { repaint(state, 3, 3000); }
void BM_RepaintUnchangedTimeChart20001(benchmark::State& state) { repaint(state, 3, 20001); }

}  // namespace

BENCHMARK(BM_PaintTimeChart3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintLoadChart3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintTimeChart20001)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintUnchangedTimeChart3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintUnchangedTimeChart20001)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
