// GprsModuleSim / BoxModuleSim: the built-in GPRS module or the external upload module on a
// pseudo-terminal, entered in the device root's ports.conf under the board's port.
//
//   GprsModuleSim --root DIR [--port NAME] [--clock-scale N] [--reply-delay MS] [fault options]
//                 [--text [MESSAGE]] [--test-lines [LINES]] [--position LAT,LON] [--no-fix]
//                 [--imei [DIGITS]] [--csq [N]]
//   BoxModuleSim  --root DIR [--port NAME] [--clock-scale N] [--reply-delay MS] [fault options]
//                 [--answer CODE] [--request-every SECONDS]
//
// --help names every option. A fault given bare hits every answer, with a count N every N-th.
// Every command received is printed, one line each.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "sim/module_sim.h"
#include "sim/module_sim_options.h"

#ifdef MODULE_SIM_BOX
#define PROGRAM "BoxModuleSim"
#else
#define PROGRAM "GprsModuleSim"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

const char* kindName(sim::ModuleCommand k) {
  switch (k) {
    case sim::ModuleCommand::Record: return "record";
    case sim::ModuleCommand::ModuleTest: return "module test";
    case sim::ModuleCommand::Gps: return "AT+GPS?";
    case sim::ModuleCommand::Imei: return "AT+IMEI";
    case sim::ModuleCommand::Signal: return "AT+CSQ?";
    case sim::ModuleCommand::Frame: return "frame";
    case sim::ModuleCommand::AnswerFrame: return "answer frame";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  sim::ModuleSimSettings settings;
  if (const char* env = std::getenv("INSTRUMENT_ROOT")) settings.root = env;
  if (const char* env = std::getenv("INSTRUMENT_CLOCK_SCALE"); env && std::atof(env) > 0)
    settings.clockScale = std::atof(env);
#ifdef MODULE_SIM_BOX
  auto module = std::make_unique<sim::BoxModuleSimulator>();
  const sim::CommandLine line = sim::boxModuleSimCommandLine(settings, *module);
#else
  auto module = std::make_unique<sim::GprsModuleSimulator>();
  const sim::CommandLine line = sim::gprsModuleSimCommandLine(settings, *module);
#endif
  if (const int status = sim::runCommandLine(line, argc, argv); status >= 0) return status;
  if (settings.root.empty()) return sim::refuseCommandLine(line, "--root is required");
  const std::string& root = settings.root;
  const double scale = settings.clockScale;
  std::string port = settings.port;

  platform::fs::setRoot(root);
  if (scale == 1.0)
    platform::clock::configure(platform::clock::Mode::Real);
  else
    platform::clock::configure(platform::clock::Mode::Scaled, scale);
#ifdef MODULE_SIM_BOX
  if (port.empty()) port = sim::defaultBoxPortName();
#else
  if (port.empty()) port = sim::defaultGprsPortName();
#endif
  module->setReplyDelayMs(static_cast<std::uint32_t>(settings.replyDelayMs));
  module->setFaults(settings.faults);
  std::string error;
  if (!module->start(port, &error)) {
    std::fprintf(stderr, PROGRAM ": %s\n", error.c_str());
    return 1;
  }
  std::printf(PROGRAM ": on %s as %s\n", module->devicePath().c_str(), port.c_str());
  std::fflush(stdout);

  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::size_t shown = 0;
  std::uint64_t lastRequest = platform::clock::monotonicMs();
  while (!g_stop) {
    const auto log = module->received();
    for (; shown < log.size(); ++shown) {
      const sim::ModuleReceived& r = log[shown];
      std::printf("%s (%zu bytes)%s\n", kindName(r.kind), r.bytes.size(), r.answered ? "" : ", no answer");
    }
    std::fflush(stdout);
#ifdef MODULE_SIM_BOX
    const std::uint64_t now = platform::clock::monotonicMs();
    if (settings.requestEverySeconds > 0 &&
        now - lastRequest >= static_cast<std::uint64_t>(settings.requestEverySeconds) * 1000u) {
      module->sendRequest();
      lastRequest = now;
    }
#else
    (void)lastRequest;
#endif
    platform::clock::sleepMs(200);
  }
  module->stop();
  return 0;
}
