// The command line of FrontendSim: where it runs, how fast, and the faults its controllers show.
#pragma once

#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/controller.h"

namespace sim {

struct FrontendSimSettings {
  std::string root;
  std::string port;  // empty: the board's wired port
  std::vector<std::string> numbers{"1", "2", "3"};
  double clockScale = 1.0;
  int replyDelayMs = 40;
  std::string trace;
  ControllerFaults faults;  // of every controller
};

// The options, each writing into `s` (which must outlive the returned table).
CommandLine frontendSimCommandLine(FrontendSimSettings& s);

}  // namespace sim
