// bench-libs: model
// The test data file alone (no procedure, no upload), per call, on a device root on the disk:
//  - BM_WriteReading/k: writing reading k of a test to its data file and the "Backup\" copy as the
//    recording does (JDQFile::WriteReading): the reading over the end record, the new end record after
//    it and the running header texts of the reading, one journalled set of writes per file. The test
//    file is put back to reading k after each call (outside the measurement), so every call is reading
//    k itself, for k = 100 and k = 3000 in the same run. The cost must not grow with k.
//  - BM_RunningHeaderTexts/k: the rewrite of the running header texts alone when one of them changed
//    (the reading count), as the control tick does between readings.
// Each reports the file layer's flushes, file-status calls and folder listings per call.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "model/datafiles.h"
#include "platform/fs/fs.h"

namespace {

namespace fs = platform::fs;

const std::string kPath = "\\Storage Card\\BENCH.krv";

struct Root {
  Root() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "bench-testfile-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    path = tmpl;
    fs::setRoot(path);
    fs::createFolders("\\nandflash\\");
    fs::createFolders("\\Storage Card\\");
  }
  ~Root() {
    fs::setRoot({});
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::filesystem::path path;
};

void reading(std::vector<TestRecord>& list, int k) {
  TestRecord& r = list[static_cast<std::size_t>(k)];
  std::memcpy(r.marker, "08:30", 5);
  std::memcpy(r.stepMark, "08:30", 5);
  std::memcpy(r.time, "15\0\0\0", 5);
  for (int i = 0; i < 18; ++i) r.valuesA[i] = static_cast<float>(k + i);
  if (static_cast<std::size_t>(k + 1) >= list.size()) list.push_back(JDQFile::BlankTestRecord());
  JDQFile::SetEmptyMarks(list[static_cast<std::size_t>(k + 1)]);
}

// A test file holding readings 0..k-1 and its end record at k, with the backup copy.
void prepare(Parameter& p, int k) {
  p.boardFlag = 1;
  JDQFile::BuildHeaderRecords(p);
  JDQFile::CreateTestFile(kPath, p.testRecords, p);
  for (int i = 0; i < k; ++i) reading(p.testRecords, i);
  std::string bytes;
  for (int i = 0; i <= k; ++i) {
    std::string rec(kTestRecordDiskSize, '\0');
    JDQFile::EncodeTestRecord(p.testRecords[static_cast<std::size_t>(i)], reinterpret_cast<byte*>(rec.data()));
    bytes += rec;
  }
  fs::writeFile(kPath, bytes);
  fs::writeFile(JDQFile::BackupPathFor(kPath, 1), bytes);
}

// Puts record k of the file back to the end record and drops what follows.
void rewind(int k, const TestRecord& end) {
  std::string rec(kTestRecordDiskSize, '\0');
  JDQFile::EncodeTestRecord(end, reinterpret_cast<byte*>(rec.data()));
  for (const std::string& path : {kPath, JDQFile::BackupPathFor(kPath, 1)}) {
    fs::File f;
    f.open(path, fs::File::ReadWrite);
    f.setLength(static_cast<long long>(k + 1) * kTestRecordDiskSize);
    f.seek(static_cast<long long>(k) * kTestRecordDiskSize);
    f.write(rec);
  }
}

// Flushes, file-status calls and listings per iteration, counted by the file layer.
struct Counts {
  fs::Counters at = fs::counters();
  long long flushes = 0, stats = 0, listings = 0;
  void pause() {
    const fs::Counters now = fs::counters();
    flushes += now.flushes - at.flushes;
    stats += now.statCalls - at.statCalls;
    listings += now.listings - at.listings;
  }
  void resume() { at = fs::counters(); }
  void report(benchmark::State& state) const {
    const double n = static_cast<double>(state.iterations() > 0 ? state.iterations() : 1);
    state.counters["flushes"] = static_cast<double>(flushes) / n;
    state.counters["stats"] = static_cast<double>(stats) / n;
    state.counters["listings"] = static_cast<double>(listings) / n;
  }
};

void BM_WriteReading(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  Root root;
  Parameter p;
  prepare(p, k);
  const TestRecord end = p.testRecords[static_cast<std::size_t>(k)];
  std::vector<TestRecord> next = p.testRecords;
  reading(next, k);
  Counts counts;
  for (auto _ : state) {
    benchmark::DoNotOptimize(JDQFile::WriteReading(kPath, k, false, next, p));
    counts.pause();
    state.PauseTiming();
    rewind(k, end);
    state.ResumeTiming();
    counts.resume();
  }
  counts.report(state);
}
BENCHMARK(BM_WriteReading)->Arg(100)->Arg(3000)->Unit(benchmark::kMillisecond);

void BM_RunningHeaderTexts(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  Root root;
  Parameter p;
  prepare(p, k);
  Counts counts;
  int count = k;
  for (auto _ : state) {
    JDQFile::SetHeaderText(p.testRecords, 31, 2, std::to_string(++count));
    benchmark::DoNotOptimize(JDQFile::UpdateHeaderTexts(kPath, k, p.testRecords, p));
  }
  counts.pause();
  counts.report(state);
}
BENCHMARK(BM_RunningHeaderTexts)->Arg(100)->Arg(3000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
