// bench-libs: report model platform_fs
// Exporting all test files of a data root to the U-disk, as the file manager's export does
// (file_ops::ExportFiles), on device roots on the disk: one root whose card holds 200 test files, one
// whose card holds 2000, exported in turns in the same run (ten exports of 200 files, then one of 2000,
// so both count as many files and the disk's mood affects both alike) into an empty export folder each
// time (emptied outside the measurement).
//
// Reported per file, for each of the two: wall time, the thread's CPU time and the part of it spent in
// the program itself (user time; the rest is the host file system's), in microseconds; per export: the
// file layer's folder listings, and per file its file-status calls, opens and flushes; and the ratio of
// the per-file cost of 2000 files to that of 200, in wall, CPU and user time (the cost of a file must
// not grow with the number of files).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/thread_time.h"
#include "platform/fs/fs.h"
#include "report/file_operations.h"

namespace {

using bench::threadCpuUs;
using bench::threadUserUs;

namespace fs = platform::fs;
namespace fsys = std::filesystem;

const std::string kExportFolder = "\\Hard Disk\\718C测试数据文件\\";

// A device root whose card holds `n` test files of 74 records each, and a U-disk.
struct Root {
  explicit Root(int n) {
    std::string tmpl = (fsys::temp_directory_path() / "bench-fileops-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    path = tmpl;
    fsys::create_directories(path / "nandflash");
    fsys::create_directories(path / "Storage Card");
    const std::string bytes(74 * 311, 'r');
    for (int i = 0; i < n; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "T%04d-P%d.krv", i, i % 7);
      std::ofstream(path / "Storage Card" / name, std::ios::binary) << bytes;
      files.push_back({name, std::string("\\Storage Card\\") + name});
    }
  }
  ~Root() {
    std::error_code ec;
    fsys::remove_all(path, ec);
  }
  // An empty export folder, as the operation finds it the first time.
  void emptyTarget() const {
    const fsys::path target = path / "Hard Disk" / fsys::u8path("718C测试数据文件");
    fsys::remove_all(target);
    fsys::create_directories(target);
  }
  fsys::path path;
  std::vector<file_ops::MarkedFile> files;
};

struct Tally {
  double wallUs = 0, cpuUs = 0, userUs = 0;
  long long listings = 0, stats = 0, opens = 0, flushes = 0;
  long long files = 0, exports = 0;
  void report(benchmark::State& state, const std::string& at) const {
    const double n = files > 0 ? static_cast<double>(files) : 1.0;
    const double e = exports > 0 ? static_cast<double>(exports) : 1.0;
    state.counters[at + "_wall_us_per_file"] = wallUs / n;
    state.counters[at + "_cpu_us_per_file"] = cpuUs / n;
    state.counters[at + "_user_us_per_file"] = userUs / n;
    state.counters[at + "_listings"] = static_cast<double>(listings) / e;
    state.counters[at + "_stats_per_file"] = static_cast<double>(stats) / n;
    state.counters[at + "_opens_per_file"] = static_cast<double>(opens) / n;
    state.counters[at + "_flushes_per_file"] = static_cast<double>(flushes) / n;
  }
};

void BM_ExportAllFiles(benchmark::State& state) {
  Root small(200), large(2000);
  Tally t200, t2000;
  int turn = 0;
  for (auto _ : state) {
    const bool many = turn++ % 11 == 10;
    Root& root = many ? large : small;
    Tally& t = many ? t2000 : t200;
    state.PauseTiming();
    fs::setRoot(root.path);
    root.emptyTarget();
    state.ResumeTiming();
    const fs::Counters c0 = fs::counters();
    const double cpu0 = threadCpuUs();
    const double user0 = threadUserUs();
    const auto w0 = std::chrono::steady_clock::now();
    const file_ops::Outcome o = file_ops::ExportFiles(root.files, kExportFolder);
    const auto w1 = std::chrono::steady_clock::now();
    const double cpu1 = threadCpuUs();
    const double user1 = threadUserUs();
    const fs::Counters c1 = fs::counters();
    if (o.done != static_cast<int>(root.files.size())) state.SkipWithError("a file was not exported");
    t.wallUs += std::chrono::duration<double, std::micro>(w1 - w0).count();
    t.cpuUs += cpu1 - cpu0;
    t.userUs += user1 - user0;
    t.listings += c1.listings - c0.listings;
    t.stats += c1.statCalls - c0.statCalls;
    t.opens += c1.opens - c0.opens;
    t.flushes += c1.flushes - c0.flushes;
    t.files += static_cast<long long>(root.files.size());
    ++t.exports;
  }
  fs::setRoot({});
  t200.report(state, "n200");
  t2000.report(state, "n2000");
  if (t200.files > 0 && t2000.files > 0) {
    state.counters["ratio_wall"] = (t2000.wallUs / static_cast<double>(t2000.files)) /
                                   (t200.wallUs / static_cast<double>(t200.files));
    state.counters["ratio_cpu"] = (t2000.cpuUs / static_cast<double>(t2000.files)) /
                                  (t200.cpuUs / static_cast<double>(t200.files));
    state.counters["ratio_user"] = (t2000.userUs / static_cast<double>(t2000.files)) /
                                   (t200.userUs / static_cast<double>(t200.files));
  }
}
BENCHMARK(BM_ExportAllFiles)->Iterations(33)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
