// bench-libs: model
// Writing reading k of a test to its data file and the "Backup\" copy: the reading over the end record
// (journalled) and the new end record after it (appended and flushed). The cost must not grow with k.
// Also the rewrite of the running header texts that follows each reading.
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

void BM_WriteReading(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  Root root;
  Parameter p;
  prepare(p, k);
  const TestRecord end = p.testRecords[static_cast<std::size_t>(k)];
  std::vector<TestRecord> next = p.testRecords;
  reading(next, k);
  for (auto _ : state) {
    benchmark::DoNotOptimize(JDQFile::WriteRecord(kPath, k, next, p));
    benchmark::DoNotOptimize(JDQFile::WriteRecord(kPath, k + 1, next, p));
    state.PauseTiming();
    rewind(k, end);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WriteReading)->Arg(100)->Arg(3000)->Unit(benchmark::kMillisecond);

void BM_RunningHeaderTexts(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  Root root;
  Parameter p;
  prepare(p, k);
  for (auto _ : state) benchmark::DoNotOptimize(JDQFile::UpdateHeaderTexts(kPath, k, p.testRecords, p));
}
BENCHMARK(BM_RunningHeaderTexts)->Arg(100)->Arg(3000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
