// FrontendSim: one to three front-end controllers with their piles on a pseudo-terminal.
//
//   FrontendSim --root DIR [--port NAME] [--controllers 1,2,3] [--clock-scale N] [--reply-delay MS]
//               [--trace FILE] [fault options]
//
// FrontendSim --help names every option. A reply starts --reply-delay ms of instrument time (default
// 40) after its command frame arrived. Each reply fault (--no-reply, --bad-checksum, ...) hits every
// reply when given bare and every N-th reply when given a count N.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "sim/frontend_sim.h"
#include "sim/frontend_sim_options.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  sim::FrontendSimSettings settings;
  if (const char* env = std::getenv("INSTRUMENT_ROOT")) settings.root = env;
  if (const char* env = std::getenv("INSTRUMENT_CLOCK_SCALE"); env && std::atof(env) > 0)
    settings.clockScale = std::atof(env);
  const sim::CommandLine line = sim::frontendSimCommandLine(settings);
  if (const int status = sim::runCommandLine(line, argc, argv); status >= 0) return status;
  if (settings.root.empty()) return sim::refuseCommandLine(line, "--root is required");
  const std::string& root = settings.root;
  const double scale = settings.clockScale;
  const std::string& trace = settings.trace;
  std::string port = settings.port;

  platform::fs::setRoot(root);
  if (scale == 1.0)
    platform::clock::configure(platform::clock::Mode::Real);
  else
    platform::clock::configure(platform::clock::Mode::Scaled, scale);
  if (port.empty()) port = sim::defaultPortName();

  sim::FrontEndSimulator simulator(settings.numbers);
  simulator.setReplyDelayMs(static_cast<std::uint32_t>(settings.replyDelayMs));
  for (std::size_t i = 0; i < simulator.size(); ++i) simulator.controller(i).setFaults(settings.faults);
  std::string error;
  if (!simulator.start(port, &error)) {
    std::fprintf(stderr, "FrontendSim: %s\n", error.c_str());
    return 1;
  }
  std::printf("FrontendSim: %zu controller(s) on %s as %s\n", simulator.size(), simulator.devicePath().c_str(),
              port.c_str());
  std::fflush(stdout);

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> traceFile(nullptr, std::fclose);
  if (!trace.empty()) {
    traceFile.reset(std::fopen(trace.c_str(), "w"));
    if (!traceFile) {
      std::fprintf(stderr, "FrontendSim: cannot write the trace %s\n", trace.c_str());
      return 1;
    }
  }

  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  while (!g_stop) {
    // Keep the piles living between commands.
    std::uint64_t now = platform::clock::monotonicMs();
    const platform::clock::DateTime local = platform::clock::localTime();
    const long long localMs = static_cast<long long>(platform::clock::toSeconds(local)) * 1000 + local.millisecond;
    for (std::size_t i = 0; i < simulator.size(); ++i) {
      sim::Controller& c = simulator.controller(i);
      c.runTo(now);
      if (traceFile)
        std::fprintf(traceFile.get(), "%s %lld %.3f %.4f %.4f %.4f %.4f\n", c.number().c_str(), localMs, c.forceKn(),
                     c.gaugeMm(0), c.gaugeMm(1), c.gaugeMm(2), c.gaugeMm(3));
    }
    if (traceFile) std::fflush(traceFile.get());
    platform::clock::sleepMs(200);
  }
  simulator.stop();
  return 0;
}
