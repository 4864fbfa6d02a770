// bench-libs: frontend sim_frontend setup upload
// The real road of one reading: the procedure's RecordReading on a channel with a running test, on a
// device root on the disk (not a memory file system), with the test data file, its "Backup\" copy,
// the running-state header texts and, with an upload route, the queue files. Channel 1 stands at
// reading 100 and channel 2 at reading 3000 of the same kind of test; the two are recorded in turns
// in the same run (interleaved, so the disk's mood affects both alike), each put back to where it
// stood before the next turn, outside the measurement (and outside the counts), by the bytes the reading
// changed.
//
// Reported per reading, for each of the two: wall time and the thread's CPU time (microseconds), and
// the file layer's own counts of flushes, file-status calls, folder listings and opens, and the thread's
// page faults; and the ratio of reading 3000 to reading 100 in wall and CPU time. The channel's state
// put back before each turn includes where the rebuild of reading k left off, as it stands in a running
// test after reading k.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bench/thread_time.h"
#include "model/computations.h"
#include "tests/endtoend/instrument.h"

namespace {

using bench::threadCpuUs;
using bench::threadUserUs;

namespace fs = platform::fs;

constexpr int kPerLevel = 20;

// The thread's page faults so far (each a trip through the kernel that a copy into fresh memory costs).
long long threadFaults() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return static_cast<long long>(u.ru_minflt) + static_cast<long long>(u.ru_majflt);
}

// Reading i of a test: a level start every 20 readings, loads rising, settlement creeping.
void fillReading(TestRecord& r, int i) {
  const bool start = i % kPerLevel == 0;
  std::memcpy(r.marker, start ? "--:--" : "10:00", 5);
  std::memcpy(r.stepMark, r.marker, 5);
  std::memset(r.time, 0, sizeof r.time);
  std::snprintf(r.time, sizeof r.time, "%d", start ? 0 : (i % kPerLevel) * 5);
  r.valuesA[0] = 100.0f * static_cast<float>(i / kPerLevel + 1);
  const float s = 0.02f * static_cast<float>(i / kPerLevel) + 0.3f / static_cast<float>(i % kPerLevel + 1);
  for (int g = 0; g < 4; ++g) r.valuesA[2 + g] = s + 0.01f * static_cast<float>(g);
  for (int v = 0; v < 10; ++v) r.valuesB[v] = r.valuesA[v];
}

// A channel standing at reading k of a running test, and what it takes to put it back there.
struct Standing {
  int n = 0;
  int k = 0;
  std::vector<TestRecord> records;
  ProcedureState procedure;
  RebuildResume resume;                // where the rebuild of reading k left off
  std::vector<std::string> files;      // the test file, its backup, the queue files
  std::vector<std::string> bytes;      // their content at reading k

  void take(endtoend::Instrument& inst, int channel, int readings) {
    n = channel;
    k = readings;
    Parameter& p = inst.ch(n);
    std::vector<TestRecord>& r = p.testRecords;
    while (r.size() < static_cast<std::size_t>(k + 1)) r.push_back(JDQFile::BlankTestRecord());
    for (int i = 0; i < k; ++i) fillReading(r[static_cast<std::size_t>(i)], i);
    JDQFile::SetEmptyMarks(r[static_cast<std::size_t>(k)]);
    p.readingCount = p.readingCount2 = k;
    {
      std::lock_guard<std::mutex> lk(p.loadLock);
      p.loadingPhase = 1;
    }
    // The list as the recorder leaves it after reading k: its derived values rebuilt.
    JDQFile::RebuildReadings(p, r);
    UpdateStateRecords(p);
    std::string file;
    for (int i = 0; i <= k; ++i) {
      std::string rec(kTestRecordDiskSize, '\0');
      JDQFile::EncodeTestRecord(r[static_cast<std::size_t>(i)], reinterpret_cast<byte*>(rec.data()));
      file += rec;
    }
    files = {p.testFilePath, JDQFile::BackupPathFor(p.testFilePath, 1), p.moduleQueuePath, p.boxQueuePath};
    fs::writeFile(files[0], file);
    fs::writeFile(files[1], file);
    // The queue files hold one slot per reading already sent.
    std::string queue;
    for (int i = 0; i < k; ++i) queue += "OVER" + std::string(kQueueRecordSize - 4, 'x');
    fs::writeFile(files[2], queue);
    fs::writeFile(files[3], queue);
    p.procedure.levelStart = 0;
    p.procedure.levelReadings = k % kPerLevel;
    records = r;
    procedure = p.procedure;
    resume = p.rebuildResume;
    bytes.clear();
    for (const std::string& f : files) {
      bytes.emplace_back();
      fs::readFile(f, bytes.back());
    }
  }

  void restore(endtoend::Instrument& inst) {
    Parameter& p = inst.ch(n);
    p.testRecords = records;
    p.procedure = procedure;
    p.rebuildResume = resume;
    p.readingCount = p.readingCount2 = k;
    {
      std::lock_guard<std::mutex> lk(p.loadLock);
      p.loadingPhase = 1;
    }
    {
      std::lock_guard<std::mutex> lk(p.queueLock);
      p.moduleQueue.clear();
      p.boxQueue.clear();
    }
    for (std::size_t i = 0; i < files.size(); ++i) putBack(files[i], bytes[i]);
  }

  // Whether every file holds its bytes at reading k (read whole: a check now and then, outside the
  // measurement).
  bool intact() const {
    std::string now;
    for (std::size_t i = 0; i < files.size(); ++i)
      if (!fs::readFile(files[i], now) || now != bytes[i]) return false;
    return true;
  }

  // Puts a file back by the bytes a reading changes: its header records and its end (the reading over
  // the end record, the records after it), read and compared there only, and its length; flushed. Reading
  // or rewriting the whole file would leave the next reading caches the harness emptied in proportion
  // to the file's length, and a file the disk has just reallocated, which is not the road of a running
  // test (its file only grows by a record at a time).
  static void putBack(const std::string& path, const std::string& was) {
    constexpr std::size_t kHead = kHeaderRecordCount * kTestRecordDiskSize;
    constexpr std::size_t kTail = 2 * kTestRecordDiskSize;
    fs::File f;
    bool ok = f.open(path, fs::File::ReadWrite);
    const long long length = ok ? f.length() : -1;
    ok = ok && length >= 0 && f.setLength(static_cast<long long>(was.size()));
    const std::size_t head = std::min(was.size(), kHead);
    const std::size_t tail = was.size() > kTail ? was.size() - kTail : 0;
    std::string held;
    for (const auto& [from, to] : {std::pair{std::size_t{0}, head}, std::pair{std::max(tail, head), was.size()}}) {
      if (!ok || to <= from) continue;
      held.assign(to - from, '\0');
      const bool read = f.seek(static_cast<long long>(from)) == static_cast<long long>(from) &&
                        f.readExact(held.data(), held.size());
      if (read && held.compare(0, held.size(), was, from, to - from) == 0) continue;
      ok = f.seek(static_cast<long long>(from)) == static_cast<long long>(from) &&
           f.write(std::string_view(was).substr(from, to - from));
    }
    if (!ok || !f.flush()) fs::writeFile(path, was);
  }
};

struct Tally {
  double wallUs = 0, cpuUs = 0, userUs = 0;
  long long flushes = 0, stats = 0, listings = 0, opens = 0, faults = 0, readings = 0;
  void add(const fs::Counters& a, const fs::Counters& b, double wall, double cpu, double user, long long faultCount) {
    wallUs += wall;
    cpuUs += cpu;
    userUs += user;
    flushes += b.flushes - a.flushes;
    stats += b.statCalls - a.statCalls;
    listings += b.listings - a.listings;
    opens += b.opens - a.opens;
    faults += faultCount;
    ++readings;
  }
  void report(benchmark::State& state, const std::string& at) const {
    const double n = readings > 0 ? static_cast<double>(readings) : 1.0;
    state.counters[at + "_wall_us"] = wallUs / n;
    state.counters[at + "_cpu_us"] = cpuUs / n;
    state.counters[at + "_user_us"] = userUs / n;
    state.counters[at + "_flushes"] = static_cast<double>(flushes) / n;
    state.counters[at + "_stats"] = static_cast<double>(stats) / n;
    state.counters[at + "_listings"] = static_cast<double>(listings) / n;
    state.counters[at + "_opens"] = static_cast<double>(opens) / n;
    state.counters[at + "_faults"] = static_cast<double>(faults) / n;
  }
};

// route: parameter item 56 (1: no upload, only the test file and its backup; 3: both queue files too).
void BM_RecordReading(benchmark::State& state) {
  const float route = static_cast<float>(state.range(0));
  endtoend::Instrument inst;
  endtoend::TestSetup a, b;
  a.serial = "1005";
  b.serial = "2004";
  a.route = b.route = route;
  inst.start(1, a);
  inst.start(2, b);
  Standing at100, at3000;
  at100.take(inst, 1, 100);
  at3000.take(inst, 2, 3000);
  Tally t100, t3000;
  bool turn = false;
  for (auto _ : state) {
    Standing& s = turn ? at3000 : at100;
    Tally& t = turn ? t3000 : t100;
    turn = !turn;
    state.PauseTiming();
    s.restore(inst);
    if (t.readings % 64 == 0 && !s.intact()) state.SkipWithError("a file was not put back");
    Parameter& p = inst.ch(s.n);
    p.localTime = platform::clock::localTime();
    state.ResumeTiming();
    const fs::Counters c0 = fs::counters();
    const double cpu0 = threadCpuUs();
    const double user0 = threadUserUs();
    const long long faults0 = threadFaults();
    const auto w0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(inst.procedure->RecordReading(p, endtoend::channelName(s.n)));
    const auto w1 = std::chrono::steady_clock::now();
    const double cpu1 = threadCpuUs();
    const double user1 = threadUserUs();
    const long long faults1 = threadFaults();
    t.add(c0, fs::counters(), std::chrono::duration<double, std::micro>(w1 - w0).count(), cpu1 - cpu0,
          user1 - user0, faults1 - faults0);
    if (p.readingCount != s.k + 1) state.SkipWithError("the reading was not recorded");
  }
  t100.report(state, "r100");
  t3000.report(state, "r3000");
  if (t100.readings > 0 && t3000.readings > 0) {
    state.counters["ratio_wall"] = (t3000.wallUs / static_cast<double>(t3000.readings)) /
                                   (t100.wallUs / static_cast<double>(t100.readings));
    state.counters["ratio_cpu"] = (t3000.cpuUs / static_cast<double>(t3000.readings)) /
                                  (t100.cpuUs / static_cast<double>(t100.readings));
  }
}
BENCHMARK(BM_RecordReading)->ArgName("route")->Arg(1)->Arg(3)->Iterations(400)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
