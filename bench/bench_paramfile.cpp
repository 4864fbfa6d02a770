// bench-libs: model
// Loading and saving a channel's parameter file (820 bytes with its checksum; the save is a durable
// replace of both copies with their flushes).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "model/parameter.h"
#include "platform/fs/fs.h"

namespace {

struct Root {
  explicit Root(bool card) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "bench-param-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    path = tmpl;
    platform::fs::setRoot(path);
    platform::fs::createFolders("\\nandflash\\");
    if (card) platform::fs::createFolders("\\Storage Card\\");
  }
  ~Root() {
    platform::fs::setRoot({});
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::filesystem::path path;
};

void fill(Parameter& p) {
  p.boardFlag = 1;
  p.ParameterList.setChannelNumber(1);
  p.ParameterList.extendWithDefaults();
  p.serialNumber = "2026-0001";
  p.externalSerialNumber = "EXT-0001";
  p.pileLabel = "桩7";
}

void BM_LoadParameterFile(benchmark::State& state) {
  Root root(state.range(0) != 0);
  Parameter p;
  fill(p);
  if (JDQFile::SaveParameterFile("\\nandflash\\T1.krv", "1", p) != 1) std::abort();
  Parameter q;
  q.boardFlag = 1;
  std::string path;
  for (auto _ : state) {
    benchmark::DoNotOptimize(JDQFile::LoadParameterFile(path, "1", q));
  }
}
BENCHMARK(BM_LoadParameterFile)->Arg(0)->Arg(1)->ArgName("card")->Unit(benchmark::kMicrosecond);

void BM_SaveParameterFile(benchmark::State& state) {
  Root root(state.range(0) != 0);
  Parameter p;
  fill(p);
  for (auto _ : state) {
    benchmark::DoNotOptimize(JDQFile::SaveParameterFile("\\nandflash\\T1.krv", "1", p));
  }
}
BENCHMARK(BM_SaveParameterFile)->Arg(0)->Arg(1)->ArgName("card")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
