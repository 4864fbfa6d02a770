#include "sim/module_sim_options.h"

#include <cstdio>
#include <vector>

namespace sim {

namespace {

using Takes = CommandOption::Takes;

// The options of both modules: where, how fast, and the faults.
std::vector<CommandOption> commonOptions(ModuleSimSettings& s, const std::string& portHelp) {
  ModuleFaults& f = s.faults;
  return {
      rootOption(s.root),
      portOption(s.port, portHelp),
      clockScaleOption(s.clockScale),
      replyDelayOption(s.replyDelayMs, 300, 60000),
      faultRateOption("--silent", f.silent, "a command gets no answer"),
      {"--refuse", Takes::OptionalValue, "CODE",
       "records refused with CODE 3 (not registered), 4 (dropped) or 7 (not filed); bare 4; every record unless "
       "--refuse-every",
       false,
       [&f](const char* v) -> std::string {
         int code = 4;
         if (v != nullptr && (!wholeNumber(v, code) || (code != 3 && code != 4 && code != 7)))
           return "needs the code 3, 4 or 7";
         f.refuseCode = static_cast<std::uint8_t>(code);
         if (!f.refuse.active()) f.refuse = FaultRate::always();
         return {};
       }},
      {"--refuse-every", Takes::Value, "N", "refuses every N-th record (with --refuse's code, else 4)", false,
       [&f](const char* v) -> std::string {
         int n = 0;
         if (!wholeNumber(v, n) || n < 1) return "needs a count N of 1 or more";
         f.refuse = FaultRate::everyNth(n);
         return {};
       }},
      {"--late", Takes::OptionalValue, "MS",
       "answers MS instrument ms later than the reply delay; bare " + std::to_string(kBareLateMs) +
           "; every answer unless --late-every",
       false,
       [&f](const char* v) -> std::string {
         int ms = kBareLateMs;
         if (v != nullptr && (!wholeNumber(v, ms) || ms < 0)) return "needs milliseconds";
         f.lateMs = static_cast<std::uint32_t>(ms);
         if (!f.late.active()) f.late = FaultRate::always();
         return {};
       }},
      {"--late-every", Takes::Value, "N",
       "every N-th answer late (by --late's MS, else " + std::to_string(kBareLateMs) + ")", false,
       [&f](const char* v) -> std::string {
         int n = 0;
         if (!wholeNumber(v, n) || n < 1) return "needs a count N of 1 or more";
         f.late = FaultRate::everyNth(n);
         if (f.lateMs == 0) f.lateMs = kBareLateMs;
         return {};
       }},
      faultRateOption("--merged", f.merged, "an answer sent twice in one block"),
      faultRateOption("--over-long", f.overLong, "an answer that runs on past the instrument's read block"),
  };
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t bar = text.find('|', start);
    lines.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return lines;
    start = bar + 1;
  }
}

}  // namespace

CommandLine gprsModuleSimCommandLine(ModuleSimSettings& s, GprsModuleSimulator& module) {
  CommandLine line;
  line.program = "GprsModuleSim";
  line.options = commonOptions(s, "the port entered in ports.conf (default COM4 on the board with nandflash, else COM3)");
  const std::vector<CommandOption> own = {
      {"--text", Takes::OptionalValue, "MESSAGE",
       "records answered with the text MESSAGE (\"GPRS\" MESSAGE \"OVER\") instead of 0x02; bare OK", false,
       [&module](const char* v) -> std::string {
         module.setTextReplies(true, v != nullptr ? v : "OK");
         return {};
       }},
      {"--test-lines", Takes::OptionalValue, "LINES",
       "the module test answered with LINES joined by '|', each 1 (passed) or 0 (failed) and its text; bare \"" +
           std::string(kBareTestLines) + "\"",
       false,
       [&module](const char* v) -> std::string {
         const std::string text = v != nullptr ? v : kBareTestLines;
         if (text.empty()) return "needs lines";
         module.setModuleTestLines(splitLines(text));
         return {};
       }},
      {"--position", Takes::Value, "LAT,LON", "the GPS position in degrees (default 31.846333,117.198833)", false,
       [&module](const char* v) -> std::string {
         double lat = 0, lon = 0;
         char rest = 0;
         if (std::sscanf(v, "%lf,%lf%c", &lat, &lon, &rest) != 2 || lat < -90 || lat > 90 || lon < -180 || lon > 180)
           return "needs LAT,LON in degrees";
         module.setPosition(lat, lon, true);
         return {};
       }},
      {"--no-fix", Takes::Nothing, "", "the GPS answer has no fix", false,
       [&module](const char*) -> std::string {
         module.setPosition(0, 0, false);
         return {};
       }},
      {"--imei", Takes::OptionalValue, "DIGITS",
       "the module's IMEI (default 861234567890123); bare, the module does not know the IMEI command (an old "
       "firmware) and answers ERROR",
       false,
       [&module](const char* v) -> std::string {
         if (v == nullptr) {
           module.setImeiCommand(false);
           return {};
         }
         const std::string digits = v;
         if (digits.empty() || digits.size() > 15 || digits.find_first_not_of("0123456789") != std::string::npos)
           return "needs 1 to 15 digits";
         module.setImei(digits);
         return {};
       }},
      {"--csq", Takes::OptionalValue, "N",
       "the signal strength 0..31, 99 unknown (default 23); bare " + std::to_string(kBareSignal) + ", a weak signal",
       false,
       [&module](const char* v) -> std::string {
         int n = kBareSignal;
         if (v != nullptr && (!wholeNumber(v, n) || n < 0 || (n > 31 && n != 99))) return "needs 0..31 or 99";
         module.setSignal(n);
         return {};
       }},
  };
  line.options.insert(line.options.end(), own.begin(), own.end());
  return line;
}

CommandLine boxModuleSimCommandLine(ModuleSimSettings& s, BoxModuleSimulator& module) {
  CommandLine line;
  line.program = "BoxModuleSim";
  line.options = commonOptions(s, "the port entered in ports.conf (default COM3 on the board with nandflash, else COM4)");
  const std::vector<CommandOption> own = {
      {"--answer", Takes::Value, "CODE", "the byte that accepts a frame (default 2)", false,
       [&module](const char* v) -> std::string {
         int code = 0;
         if (!wholeNumber(v, code) || code < 0 || code > 255) return "needs a byte 0..255";
         module.setAnswerCode(static_cast<std::uint8_t>(code));
         return {};
       }},
      {"--request-every", Takes::Value, "SECONDS", "sends the module's own request block every SECONDS", false,
       [&s](const char* v) -> std::string {
         int n = 0;
         if (!wholeNumber(v, n) || n < 1) return "needs seconds, 1 or more";
         s.requestEverySeconds = n;
         return {};
       }},
  };
  line.options.insert(line.options.end(), own.begin(), own.end());
  return line;
}

}  // namespace sim
