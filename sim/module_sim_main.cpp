// GprsModuleSim / BoxModuleSim: the built-in GPRS module or the external upload module on a
// pseudo-terminal, entered in the device root's ports.conf under the board's port.
//
//   GprsModuleSim --root DIR [--port NAME] [--clock-scale N] [--reply-delay MS] [fault options]
//                 [--text MESSAGE] [--test-lines "1line|0line"] [--position LAT,LON] [--no-fix]
//                 [--imei DIGITS] [--csq N]
//   BoxModuleSim  --root DIR [--port NAME] [--clock-scale N] [--reply-delay MS] [fault options]
//                 [--answer CODE] [--request-every SECONDS]
//
// Fault options (COUNT: the next COUNT answers, -1 every one):
//   --silent COUNT  --refuse CODE (3, 4 or 7) [--refuse-count COUNT]  --late MS [--late-count COUNT]
//   --merged COUNT  --over-long COUNT
// Every command received is printed, one line each.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "sim/module_sim.h"

#ifdef MODULE_SIM_BOX
#define PROGRAM "BoxModuleSim"
#else
#define PROGRAM "GprsModuleSim"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

int usage(const std::string& why) {
  std::fprintf(stderr, PROGRAM ": %s\n", why.c_str());
  std::fprintf(stderr,
               "usage: " PROGRAM " --root DIR [--port NAME] [--clock-scale N] [--reply-delay MS]\n"
               "       [--silent N] [--refuse CODE] [--refuse-count N] [--late MS] [--late-count N] [--merged N]\n"
               "       [--over-long N]"
#ifdef MODULE_SIM_BOX
               " [--answer CODE] [--request-every SECONDS]\n"
#else
               " [--text MESSAGE] [--test-lines TEXT] [--position LAT,LON] [--no-fix] [--imei DIGITS] [--csq N]\n"
#endif
  );
  return 2;
}

bool toInt(const char* s, int& out) {
  if (!s || !s[0]) return false;
  char* end = nullptr;
  const long v = std::strtol(s, &end, 0);
  if (*end) return false;
  out = static_cast<int>(v);
  return true;
}

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
  std::string root;
  if (const char* env = std::getenv("INSTRUMENT_ROOT")) root = env;
  std::string port;
  double scale = 1.0;
  if (const char* env = std::getenv("INSTRUMENT_CLOCK_SCALE")) scale = std::atof(env);
  int replyDelay = 300;
  sim::ModuleFaults faults;
  bool refuseCount = false, lateCount = false;
#ifdef MODULE_SIM_BOX
  auto module = std::make_unique<sim::BoxModuleSimulator>();
  int requestEvery = 0;
#else
  auto module = std::make_unique<sim::GprsModuleSimulator>();
#endif

  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    auto number = [&](int& field) { return toInt(value(), field); };
    int v = 0;
    if (a == "--root") {
      const char* s = value();
      if (!s) return usage("--root needs a folder");
      root = s;
    } else if (a == "--port") {
      const char* s = value();
      if (!s) return usage("--port needs a name");
      port = s;
    } else if (a == "--clock-scale") {
      const char* s = value();
      if (!s || std::atof(s) <= 0) return usage("--clock-scale needs a positive number");
      scale = std::atof(s);
    } else if (a == "--reply-delay") {
      if (!number(replyDelay) || replyDelay < 0) return usage("--reply-delay needs milliseconds");
    } else if (a == "--silent") {
      if (!number(faults.silent)) return usage("--silent needs a count");
    } else if (a == "--refuse") {
      if (!number(v) || (v != 3 && v != 4 && v != 7)) return usage("--refuse needs the code 3, 4 or 7");
      faults.refuseCode = static_cast<std::uint8_t>(v);
      if (!refuseCount) faults.refuse = -1;
    } else if (a == "--refuse-count") {
      if (!number(faults.refuse)) return usage("--refuse-count needs a count");
      refuseCount = true;
    } else if (a == "--late") {
      if (!number(v) || v < 0) return usage("--late needs milliseconds");
      faults.lateMs = static_cast<std::uint32_t>(v);
      if (!lateCount) faults.late = -1;
    } else if (a == "--late-count") {
      if (!number(faults.late)) return usage("--late-count needs a count");
      lateCount = true;
    } else if (a == "--merged") {
      if (!number(faults.merged)) return usage("--merged needs a count");
    } else if (a == "--over-long") {
      if (!number(faults.overLong)) return usage("--over-long needs a count");
#ifdef MODULE_SIM_BOX
    } else if (a == "--answer") {
      if (!number(v) || v < 0 || v > 255) return usage("--answer needs a byte");
      module->setAnswerCode(static_cast<std::uint8_t>(v));
    } else if (a == "--request-every") {
      if (!number(requestEvery) || requestEvery <= 0) return usage("--request-every needs seconds");
#else
    } else if (a == "--text") {
      const char* s = value();
      if (!s) return usage("--text needs a message");
      module->setTextReplies(true, s);
    } else if (a == "--test-lines") {
      const char* s = value();
      if (!s) return usage("--test-lines needs lines");
      std::vector<std::string> lines;
      std::string t = s;
      for (std::size_t start = 0;;) {
        const std::size_t bar = t.find('|', start);
        lines.push_back(t.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
      }
      module->setModuleTestLines(lines);
    } else if (a == "--position") {
      const char* s = value();
      double lat = 0, lon = 0;
      if (!s || std::sscanf(s, "%lf,%lf", &lat, &lon) != 2) return usage("--position needs LAT,LON");
      module->setPosition(lat, lon, true);
    } else if (a == "--no-fix") {
      module->setPosition(0, 0, false);
    } else if (a == "--imei") {
      const char* s = value();
      if (!s) return usage("--imei needs digits");
      module->setImei(s);
    } else if (a == "--csq") {
      if (!number(v) || v < 0 || v > 99) return usage("--csq needs 0..99");
      module->setSignal(v);
#endif
    } else {
      return usage("unknown option " + a);
    }
  }
  if (root.empty()) return usage("--root is required");

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
  module->setReplyDelayMs(static_cast<std::uint32_t>(replyDelay));
  module->setFaults(faults);
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
    if (requestEvery > 0 && now - lastRequest >= static_cast<std::uint64_t>(requestEvery) * 1000u) {
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
