// bench-libs: report model platform_ui platform_clock
// Painting a curve page's chart on the headless display: the whole repaint of the plotting window
// (axes, grid, numbers, titles, curves and the copies of the back buffer) for a test of 3000 readings.
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

  explicit Chart(int kind) {
    ui::init(ui::Options{ui::DisplayKind::Headless});
    host.createWindow(nullptr, {0, 0, 1024, 768}, 0, "", ui::WS_POPUP | ui::WS_VISIBLE);
    graph.Create(nullptr, nullptr, 0x50000000u, {0, 0, 524, 460}, &host, 0);
    graph.m_nCurveKind = kind;
    graph.m_nTestType = 1;
    graph.m_nStandard = 5;
    graph.m_nLoadMax = 3000;
    graph.m_nTimeMax = 3000;
    graph.m_dSettleMaxRaw = 4000;
    graph.SetStepLoadCount(3000);
    for (int i = 0; i < 3000; ++i) {
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

void paint(benchmark::State& state, int kind) {
  Chart chart(kind);
  for (auto _ : state) {
    ui::Bitmap shown = ui::renderWindow(chart.graph);
    benchmark::DoNotOptimize(shown.pixel(100, 100));
  }
}

void BM_PaintTimeChart3000(benchmark::State& state) { paint(state, 3); }
void BM_PaintLoadChart3000(benchmark::State& state) { paint(state, 1); }

}  // namespace

BENCHMARK(BM_PaintTimeChart3000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintLoadChart3000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
