// FrontendSim: one to three front-end controllers with their piles on a pseudo-terminal.
//
//   FrontendSim --root DIR [--port NAME] [--controllers 1,2,3] [--clock-scale N] [--reply-delay MS]
//               [--trace FILE] [fault options]
//
// A reply starts --reply-delay ms of instrument time (default 40) after its command frame arrived.
// --trace FILE: every 200 ms of instrument time, a line per controller with its number, the local
// time in ms since 1970, the jack's force (kN) and gauges 1-4 (mm), so that tests can tell what the
// pile did at any moment.
//
// Fault options (COUNT: the next COUNT replies, -1 every reply):
//   --no-reply COUNT  --bad-checksum COUNT  --stray-bytes COUNT  --short-frame COUNT
//   --wrong-number COUNT  --low-battery LEVEL  --charging  --lost-gauge N (1-8, may repeat)
//   --sensor-fault CODE  --pump-stop
#include <csignal>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <string>
#include <vector>

#include "frontend/codec.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "sim/frontend_sim.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

int usage(const char* why) {
  std::fprintf(stderr, "FrontendSim: %s\n", why);
  std::fprintf(stderr,
               "usage: FrontendSim --root DIR [--port NAME] [--controllers 1,2,3] [--clock-scale N] [--reply-delay MS]\n"
               "       [--trace FILE]\n"
               "       [--no-reply N] [--bad-checksum N] [--stray-bytes N] [--short-frame N] [--wrong-number N]\n"
               "       [--low-battery LEVEL] [--charging] [--lost-gauge N] [--sensor-fault CODE] [--pump-stop]\n");
  return 2;
}

bool toInt(const char* s, int& out) {
  char* end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (!s[0] || *end) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  if (const char* env = std::getenv("INSTRUMENT_ROOT")) root = env;
  std::string port;
  std::vector<std::string> numbers{"1", "2", "3"};
  double scale = 1.0;
  if (const char* env = std::getenv("INSTRUMENT_CLOCK_SCALE")) scale = std::atof(env);
  sim::ControllerFaults faults;
  int replyDelay = 40;
  std::string trace;

  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    auto count = [&](int& field) {
      const char* v = value();
      return v && toInt(v, field);
    };
    if (a == "--root") {
      const char* v = value();
      if (!v) return usage("--root needs a folder");
      root = v;
    } else if (a == "--port") {
      const char* v = value();
      if (!v) return usage("--port needs a name");
      port = v;
    } else if (a == "--controllers") {
      const char* v = value();
      if (!v) return usage("--controllers needs numbers");
      numbers.clear();
      std::string s = v;
      std::size_t start = 0;
      while (start <= s.size()) {
        std::size_t comma = s.find(',', start);
        std::string n = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!frontend::normalizeControllerNumber(n)) return usage("a controller number has up to six digits");
        numbers.push_back(n);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      if (numbers.empty() || numbers.size() > 3) return usage("one to three controllers");
    } else if (a == "--clock-scale") {
      const char* v = value();
      if (!v || std::atof(v) <= 0) return usage("--clock-scale needs a positive number");
      scale = std::atof(v);
    } else if (a == "--trace") {
      const char* v = value();
      if (!v) return usage("--trace needs a file");
      trace = v;
    } else if (a == "--reply-delay") {
      if (!count(replyDelay) || replyDelay < 0 || replyDelay > 400) return usage("--reply-delay needs 0..400 ms");
    } else if (a == "--no-reply") {
      if (!count(faults.noReply)) return usage("--no-reply needs a count");
    } else if (a == "--bad-checksum") {
      if (!count(faults.badChecksum)) return usage("--bad-checksum needs a count");
    } else if (a == "--stray-bytes") {
      if (!count(faults.strayBytes)) return usage("--stray-bytes needs a count");
    } else if (a == "--short-frame") {
      if (!count(faults.shortFrame)) return usage("--short-frame needs a count");
    } else if (a == "--wrong-number") {
      if (!count(faults.wrongNumber)) return usage("--wrong-number needs a count");
    } else if (a == "--low-battery") {
      if (!count(faults.batteryLevel) || faults.batteryLevel < 0 || faults.batteryLevel > 15)
        return usage("--low-battery needs a level 0..15");
    } else if (a == "--charging") {
      faults.charging = true;
    } else if (a == "--lost-gauge") {
      int g = 0;
      if (!count(g) || g < 1 || g > 8) return usage("--lost-gauge needs a gauge 1..8");
      faults.lostGauges = static_cast<std::uint8_t>(faults.lostGauges | (1u << (g - 1)));
    } else if (a == "--sensor-fault") {
      if (!count(faults.sensorStatus)) return usage("--sensor-fault needs a status code");
    } else if (a == "--pump-stop") {
      faults.pumpStop = true;
    } else {
      return usage(("unknown option " + a).c_str());
    }
  }
  if (root.empty()) return usage("--root is required");

  platform::fs::setRoot(root);
  if (scale == 1.0)
    platform::clock::configure(platform::clock::Mode::Real);
  else
    platform::clock::configure(platform::clock::Mode::Scaled, scale);
  if (port.empty()) port = sim::defaultPortName();

  sim::FrontEndSimulator simulator(numbers);
  simulator.setReplyDelayMs(static_cast<std::uint32_t>(replyDelay));
  for (std::size_t i = 0; i < simulator.size(); ++i) simulator.controller(i).setFaults(faults);
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
