// The clock's state file "clock.state": whatever it holds, every kind of clock starts on a time in the
// years it can be set to, and the file it leaves is taken back as it was written.
#include "tests/fuzz/fuzz_root.h"

namespace clk = platform::clock;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const std::filesystem::path file = platform::fs::root() / "clock.state";
  for (int kind = 0; kind < 3; ++kind) {
    fuzz::put("\\clock.state", std::string(reinterpret_cast<const char*>(data), size));
    if (kind == 0) clk::configure(clk::Mode::Real);
    if (kind == 1) clk::configure(clk::Mode::Scaled, 60.0);
    if (kind == 2) clk::configure(clk::Mode::Manual);
    clk::attachStateFile(file);
    const clk::DateTime now = clk::localTime();
    fuzz::check(clk::isValid(now), "the clock starts outside its years");
    // What it wrote (or kept) gives the same time to the next program.
    const std::int64_t ms = clk::localMillis();
    clk::attachStateFile(file);
    const std::int64_t again = clk::localMillis();
    fuzz::check(again - ms < 60000 && ms - again < 60000, "the clock jumps when its file is taken again");
  }
  clk::attachStateFile({});
  clk::configure(clk::Mode::Manual);
  return 0;
}
