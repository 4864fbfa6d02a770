// The command line of a simulator program: a table of options, each with its value and its help line,
// parsed in one place so that the usage, --help and the checks of the values never disagree.
//
// An option's value follows it as the next argument or after '=' (--csq 5, --csq=5). An option whose
// value may be left out (a fault: bare it hits always) takes the next argument only when that does
// not begin with "--".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/fault_rate.h"

namespace sim {

struct CommandOption {
  enum class Takes { Nothing, Value, OptionalValue };
  std::string name;             // "--no-reply"
  Takes takes = Takes::Nothing;
  std::string value;            // the value's name in the usage: "N", "MS", "CODE"
  std::string help;             // one line for --help
  bool required = false;        // shown unbracketed in the usage
  // Takes the option; value is null for the bare form. Returns an empty text, or why the value is
  // refused ("needs 0..99").
  std::function<std::string(const char* value)> take;
};

struct CommandLine {
  std::string program;
  std::vector<CommandOption> options;
};

// "usage: PROGRAM --root DIR [--port NAME] ...", wrapped.
std::string usageText(const CommandLine& line);
// The usage and one line for each option.
std::string helpText(const CommandLine& line);

struct ParseOutcome {
  bool ok = false;
  bool help = false;   // -h or --help: the program prints helpText and ends
  std::string error;   // why the command line is refused ("unknown option --x", "--csq needs 0..99")
};
ParseOutcome parseCommandLine(const CommandLine& line, const std::vector<std::string>& args);

// Parses argv; prints the help (exit 0) or the refusal and the usage (exit 2). Returns -1 when the
// program goes on, else its exit status.
int runCommandLine(const CommandLine& line, int argc, char** argv);

// Prints the refusal and the usage; returns 2, the exit status of a refused command line.
int refuseCommandLine(const CommandLine& line, const std::string& why);

// ---- options and values -----------------------------------------------------------------------------------------

// A whole number in decimal (or 0x hex), nothing else.
bool wholeNumber(const char* text, int& out);

// The options every simulator takes.
CommandOption rootOption(std::string& root);
CommandOption portOption(std::string& port, const std::string& help);
CommandOption clockScaleOption(double& scale);
CommandOption replyDelayOption(int& ms, int defaultMs, int maxMs);

// A switch that takes no value and sets `flag`.
CommandOption switchOption(const std::string& name, bool& flag, const std::string& help);

// A fault that hits every reply when bare, every N-th reply with a value N >= 1.
CommandOption faultRateOption(const std::string& name, FaultRate& rate, const std::string& what);

}  // namespace sim
