// bench-libs: frontend sim_frontend setup upload
// A whole three-channel test on the manual clock: the slow maintained standard, a quick standard and an
// uplift test at once, each from its first level to its end, with the command step, the simulated
// controllers and piles, the control tick, the test data files with their backups and the upload
// queue files; in process, and over the real link (link:1). Reports instrument hours per wall-clock
// second (real time is 1 hour per 3600 s) for each; over the link also how long the harness itself
// waited for the link's threads (it waits on their reported activity, not in sleeps) and how often.
#include <benchmark/benchmark.h>

#include "tests/endtoend/instrument.h"

namespace {

// state.range(0): 0 in-process (each main-loop step hands the command frames to the simulated
// controllers and parses their replies directly), 1 over the real link: the poll and reader threads,
// pseudo-terminals, framing and the controller simulator's own thread, on the same manual clock.
void BM_WholeThreeChannelTest(benchmark::State& state) {
  const bool overLink = state.range(0) == 1;
  double hours = 0.0;
  std::uint64_t ticks = 0;
  double waited = 0.0;
  std::uint64_t settles = 0;
  for (auto _ : state) {
    endtoend::Instrument inst(overLink ? endtoend::Instrument::Drive::Link : endtoend::Instrument::Drive::InProcess);
    endtoend::TestSetup a, b, c;
    a.serial = "1005";
    b.serial = "2004";
    b.code = 4;
    b.firstLoad = 300.0f;
    b.step = 300.0f;
    b.maxLoad = 1500.0f;
    c.serial = "3013";
    c.code = 13;
    c.testType = 5;
    c.firstLoad = 160.0f;
    c.step = 80.0f;
    c.maxLoad = 640.0f;
    inst.start(1, a);
    inst.start(2, b);
    inst.start(3, c);
    if (overLink) inst.openLink();
    const std::uint64_t t0 = platform::clock::monotonicMs();
    const bool done = inst.runUntil(
        [&] {
          return inst.ch(1).testRunning.load() + inst.ch(2).testRunning.load() + inst.ch(3).testRunning.load() == 0;
        },
        60);
    if (!done) state.SkipWithError("the tests did not end");
    hours += static_cast<double>(platform::clock::monotonicMs() - t0) / 3600000.0;
    ticks += inst.steps();
    waited += inst.settleWaitSeconds;
    settles += inst.settles;
  }
  state.counters["instrument_hours"] = benchmark::Counter(hours, benchmark::Counter::kAvgIterations);
  state.counters["instrument_hours_per_s"] = benchmark::Counter(hours, benchmark::Counter::kIsRate);
  state.counters["speedup_vs_real_time"] = benchmark::Counter(hours * 3600.0, benchmark::Counter::kIsRate);
  state.counters["ticks"] = benchmark::Counter(static_cast<double>(ticks), benchmark::Counter::kAvgIterations);
  if (overLink) {
    state.counters["harness_wait_s"] = benchmark::Counter(waited, benchmark::Counter::kAvgIterations);
    state.counters["settles"] = benchmark::Counter(static_cast<double>(settles), benchmark::Counter::kAvgIterations);
  }
}
BENCHMARK(BM_WholeThreeChannelTest)->ArgName("link")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
