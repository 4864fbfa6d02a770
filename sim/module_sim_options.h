// The command lines of GprsModuleSim and BoxModuleSim: where each runs, how fast, what it answers and
// the faults it shows.
#pragma once

#include <string>

#include "sim/command_line.h"
#include "sim/module_sim.h"

namespace sim {

struct ModuleSimSettings {
  std::string root;
  std::string port;  // empty: the board's port of the module
  double clockScale = 1.0;
  int replyDelayMs = 300;
  ModuleFaults faults;
  int requestEverySeconds = 0;  // the external module's own request block; 0 never
};

// Bare --late: answers one upload cycle (5 s) and a second late.
inline constexpr int kBareLateMs = 6000;
// Bare --test-lines: the module test passes one line and fails another.
inline constexpr const char* kBareTestLines = "1GPRS网络正常|0数据平台未响应";
// Bare --csq: a weak signal.
inline constexpr int kBareSignal = 8;

// The options, each writing into `s` or setting up `module` (both must outlive the returned table).
CommandLine gprsModuleSimCommandLine(ModuleSimSettings& s, GprsModuleSimulator& module);
CommandLine boxModuleSimCommandLine(ModuleSimSettings& s, BoxModuleSimulator& module);

}  // namespace sim
