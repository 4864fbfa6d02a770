#include "sim/frontend_sim_options.h"

#include "frontend/codec.h"

namespace sim {

namespace {

using Takes = CommandOption::Takes;

// A value from lo to hi; bare, the given default.
CommandOption levelOption(const std::string& name, const std::string& value, int lo, int hi, int bare,
                          const std::string& help, std::function<void(int)> set) {
  return {name, Takes::OptionalValue, value, help, false,
          [=](const char* v) -> std::string {
            int n = bare;
            if (v != nullptr && (!wholeNumber(v, n) || n < lo || n > hi))
              return "needs " + value + " " + std::to_string(lo) + ".." + std::to_string(hi);
            set(n);
            return {};
          }};
}

}  // namespace

CommandLine frontendSimCommandLine(FrontendSimSettings& s) {
  ControllerFaults& f = s.faults;
  CommandLine line;
  line.program = "FrontendSim";
  line.options = {
      rootOption(s.root),
      portOption(s.port, "the port entered in ports.conf (default: the board's wired port, COM2 or COM5; "
                         "COM6 is the radio link)"),
      {"--controllers", Takes::Value, "LIST", "one to three controller numbers, comma-separated (default 1,2,3)",
       false,
       [&s](const char* v) -> std::string {
         std::vector<std::string> numbers;
         const std::string text = v;
         for (std::size_t start = 0;;) {
           const std::size_t comma = text.find(',', start);
           std::string n = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
           if (!frontend::normalizeControllerNumber(n)) return "needs controller numbers of up to six digits";
           numbers.push_back(n);
           if (comma == std::string::npos) break;
           start = comma + 1;
         }
         if (numbers.size() > 3) return "takes one to three controllers";
         s.numbers = numbers;
         return {};
       }},
      clockScaleOption(s.clockScale),
      replyDelayOption(s.replyDelayMs, 40, 400),
      {"--trace", Takes::Value, "FILE",
       "every 200 ms of instrument time, a line per controller: number, local time (ms), force (kN), gauges 1-4 (mm)",
       false,
       [&s](const char* v) -> std::string {
         if (v[0] == '\0') return "needs a file";
         s.trace = v;
         return {};
       }},
      faultRateOption("--no-reply", f.noReply, "no reply"),
      faultRateOption("--bad-checksum", f.badChecksum, "a wrong check byte"),
      faultRateOption("--stray-bytes", f.strayBytes, "noise bytes after the reply"),
      faultRateOption("--short-frame", f.shortFrame, "only the first 20 bytes of the reply"),
      faultRateOption("--wrong-number", f.wrongNumber, "a reply with another controller's number"),
      levelOption("--low-battery", "LEVEL", 0, 15, 1,
                  "runs on battery at LEVEL 0..15 (default 8); bare 1, a low battery (0: too low to work)",
                  [&f](int n) { f.batteryLevel = n; }),
      switchOption("--charging", f.charging, "reports charging instead of running on battery"),
      levelOption("--lost-gauge", "G", 1, 8, 1, "gauge G 1..8 lost (may repeat); bare gauge 1",
                  [&f](int g) { f.lostGauges = static_cast<std::uint8_t>(f.lostGauges | (1u << (g - 1))); }),
      levelOption("--sensor-fault", "CODE", 0, 255, 1,
                  "the sensor status byte CODE (1 or 2: force sensor not connected); bare 1",
                  [&f](int code) { f.sensorStatus = code; }),
      switchOption("--pump-stop", f.pumpStop, "the controller reports its own pump stop and holds"),
  };
  return line;
}

}  // namespace sim
