// bench-libs: frontend sim_frontend setup upload
// The real programs measured from outside, as the instrument runs them: Main with three running tests
// (standard 5, one on each channel, no upload), polling the three controllers of FrontendSim on the
// wired port, both started in a fresh device root prepared as the test-control dialog leaves it.
//  - BM_MainPollingThree/display:0|1: the share of one core Main takes (utime and stime of
//    /proc/<pid>/stat, all its threads) over 20 s of wall time at --clock-scale 60, after 5 s to settle;
//    display 0 is headless, 1 SDL on its off-screen "dummy" video driver (a picture presented, not shown);
//    display 2 is headless with no test at all (the controllers are not polled).
//  - BM_MainReportPageShown/page:0|1: the share of one core Main takes on the real clock, headless,
//    with three running tests of 3000 readings and the main window's record table (0) or s-lgt curve
//    page (1) shown (tapped on its tab), measured as above.
//  - BM_MainResidentThreeLargeTests: the resident memory (VmRSS of /proc/<pid>/status) of Main once it
//    has loaded three running tests of 20,001 records each (20,000 readings and the end record) and
//    stood for 10 s on the real clock; and the peak (VmHWM).
// Main and FrontendSim are those of this build (beside this program's folder). With BENCH_MAIN_BEFORE
// naming another build's Main, each figure is measured for that program too, in turns with this
// build's (two rounds each), and the ratio of this build's figure to the other's is reported.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "model/computations.h"
#include "tests/endtoend/instrument.h"
#include "tests/endtoend/programs.h"

namespace {

namespace fsys = std::filesystem;
using Clock = std::chrono::steady_clock;

fsys::path buildFolder() { return fsys::read_symlink("/proc/self/exe").parent_path().parent_path(); }

// CPU seconds of a process so far (user and system, all threads).
double cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string f;
  double utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14) utime = std::atof(f.c_str());
    if (i == 15) stime = std::atof(f.c_str());
  }
  return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "Vm..." line of /proc/<pid>/status in megabytes (10^6 bytes).
double statusMb(pid_t pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + ":", 0) == 0) return std::atof(line.c_str() + key.size() + 1) * 1024.0 / 1e6;
  return 0;
}

// A device root with three running tests as the test-control dialog leaves them (none when `readings`
// is negative), each with `readings` readings already recorded (a level every 20, all at the first
// level's load).
fsys::path prepareRoot(int readings) {
  char tmpl[] = "/tmp/bench-main-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return {};
  const fsys::path root = tmpl;
  endtoend::Instrument prep;
  for (int n = 1; n <= 3 && readings >= 0; ++n) {
    endtoend::TestSetup t;
    t.serial = "202600" + std::to_string(n);
    t.route = 1.0f;
    prep.start(n, t);
    Parameter& p = prep.ch(n);
    p.ParameterList.set(83, static_cast<float>(n));
    JDQFile::SaveParameterFile(p.testFilePath, p.channelName, p);
    std::vector<TestRecord>& r = p.testRecords;
    if (readings > 0) {
      while (r.size() < static_cast<std::size_t>(readings + 1)) r.push_back(JDQFile::BlankTestRecord());
      for (int i = 0; i < readings; ++i) {
        TestRecord& x = r[static_cast<std::size_t>(i)];
        const bool start = i % 20 == 0;
        std::memcpy(x.marker, start ? "--:--" : "10:00", 5);
        std::memcpy(x.stepMark, x.marker, 5);
        x.valuesA[0] = t.firstLoad;
        for (int g = 0; g < 4; ++g) x.valuesA[2 + g] = 0.01f * static_cast<float>(i % 300) + 0.01f * static_cast<float>(g);
      }
      JDQFile::SetEmptyMarks(r[static_cast<std::size_t>(readings)]);
      p.readingCount = p.readingCount2 = readings;
      JDQFile::RebuildReadings(p, r);
    }
    UpdateStateRecords(p);
    std::string file;
    std::string rec(kTestRecordDiskSize, '\0');
    for (const TestRecord& x : r) {
      JDQFile::EncodeTestRecord(x, reinterpret_cast<byte*>(rec.data()));
      file += rec;
    }
    platform::fs::writeFile(p.testFilePath, file);
    platform::fs::writeFile(JDQFile::BackupPathFor(p.testFilePath, 1), file);
  }
  for (const auto& e : fsys::directory_iterator(prep.root()))
    fsys::copy(e.path(), root / e.path().filename(), fsys::copy_options::recursive);
  return root;
}

// Main and the simulator on a prepared root, stopped and the root removed when it goes.
struct Run {
  fsys::path root;
  pid_t sim = 0, main = 0;
  // `tap`, when given, is a test tap for Main to perform once its window is up.
  Run(const std::string& mainExe, int readings, double scale, bool sdl, const std::string& tap = {})
      : root(prepareRoot(readings)) {
    const std::string scaleText = std::to_string(scale);
    sim = endtoend::spawnProgram(
        {(buildFolder() / "sim" / "FrontendSim").string(), "--root", root.string(), "--clock-scale", scaleText},
        (root / "sim.log").string());
    endtoend::awaitPort(root);
    // With SDL, its off-screen video driver.
    std::vector<std::pair<std::string, std::string>> environment;
    if (sdl) environment.emplace_back("SDL_VIDEODRIVER", "dummy");
    if (!tap.empty()) {
      fsys::create_directories(root / "taps");
      std::ofstream(root / "taps" / "01.tap") << tap << "\n";
      environment.emplace_back("INSTRUMENT_TEST_TAPS", (root / "taps").string());
    }
    main = endtoend::spawnProgram(
        {mainExe, "--root", root.string(), "--clock-scale", scaleText, "--display", sdl ? "sdl" : "headless"},
        (root / "main.log").string(), environment);
  }
  ~Run() {
    endtoend::stopProgram(main);
    endtoend::stopProgram(sim);
    std::error_code ec;
    fsys::remove_all(root, ec);
  }
  bool alive() const { return main > 0 && waitpid(main, nullptr, WNOHANG) == 0; }
};

std::vector<std::string> programs() {
  std::vector<std::string> p{(buildFolder() / "app" / "Main").string()};
  if (const char* other = std::getenv("BENCH_MAIN_BEFORE"); other != nullptr && *other) p.push_back(other);
  return p;
}

// Reports `name` for this build's Main and, with another, `name_before` and `name_ratio`.
void report(benchmark::State& state, const std::string& name, const std::vector<double>& sums, int rounds) {
  state.counters[name] = sums[0] / rounds;
  if (sums.size() > 1) {
    state.counters[name + "_before"] = sums[1] / rounds;
    state.counters[name + "_ratio"] = sums[1] > 0 ? sums[0] / sums[1] : 0;
  }
}

// One iteration of a benchmark: measure(i) for each program i of `count` in turns, in two rounds when
// there are two programs; the iteration's time is the whole. Returns the number of rounds.
template <class Measure>
int measureInTurns(benchmark::State& state, std::size_t count, Measure&& measure) {
  const int rounds = count > 1 ? 2 : 1;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int round = 0; round < rounds; ++round)
      for (std::size_t i = 0; i < count; ++i) measure(i);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
  }
  return rounds;
}

// The share of one core (percent) that the run's Main takes over the next 20 s of wall time.
double cpuPercentOver20s(const Run& run, benchmark::State& state) {
  const double c0 = cpuSeconds(run.main);
  const auto w0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(20));
  const double c1 = cpuSeconds(run.main);
  const double wall = std::chrono::duration<double>(Clock::now() - w0).count();
  if (!run.alive()) state.SkipWithError("Main ended during the measurement");
  return 100.0 * (c1 - c0) / wall;
}

void BM_MainPollingThree(benchmark::State& state) {
  const bool sdl = state.range(0) == 1;
  const int readings = state.range(0) == 2 ? -1 : 0;
  const std::vector<std::string> mains = programs();
  std::vector<double> cpu(mains.size(), 0.0);
  const int rounds = measureInTurns(state, mains.size(), [&](std::size_t i) {
    Run run(mains[i], readings, 60.0, sdl);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    cpu[i] += cpuPercentOver20s(run, state);
  });
  report(state, "cpu_percent", cpu, rounds);
}
BENCHMARK(BM_MainPollingThree)->ArgName("display")->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_MainReportPageShown(benchmark::State& state) {
  // The tabs lie along the bottom of the main window's tab control (1240 of template 102): the record
  // table first at the left, the s-lgt curve last at the right.
  const std::string tap = state.range(0) == 1 ? "Main 102 1240 535 500" : "Main 102 1240 10 500";
  const std::vector<std::string> mains = programs();
  std::vector<double> cpu(mains.size(), 0.0);
  const int rounds = measureInTurns(state, mains.size(), [&](std::size_t i) {
    Run run(mains[i], 3000, 1.0, false, tap);
    std::this_thread::sleep_for(std::chrono::seconds(8));
    if (!fsys::exists(run.root / "taps" / "01.tap.done")) state.SkipWithError("Main did not tap the tab");
    cpu[i] += cpuPercentOver20s(run, state);
  });
  report(state, "cpu_percent", cpu, rounds);
}
BENCHMARK(BM_MainReportPageShown)->ArgName("page")->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_MainResidentThreeLargeTests(benchmark::State& state) {
  const std::vector<std::string> mains = programs();
  std::vector<double> rss(mains.size(), 0.0), peak(mains.size(), 0.0);
  const int rounds = measureInTurns(state, mains.size(), [&](std::size_t i) {
    Run run(mains[i], 20000, 1.0, false);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    if (!run.alive()) state.SkipWithError("Main ended during the measurement");
    rss[i] += statusMb(run.main, "VmRSS");
    peak[i] += statusMb(run.main, "VmHWM");
  });
  report(state, "rss_mb", rss, rounds);
  report(state, "peak_mb", peak, rounds);
}
BENCHMARK(BM_MainResidentThreeLargeTests)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
