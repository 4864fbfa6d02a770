// The command line of the instrument's programs (Main, RefitC, SentryC): device root, display, full
// screen and clock scale, each also taken from the environment; the command line wins.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ui.h"

struct ProgramOptions {
  std::optional<std::string> root;
  platform::ui::DisplayKind display = platform::ui::DisplayKind::Auto;
  std::string displayName = "auto";
  bool fullscreen = false;
  double clockScale = 1.0;
  bool help = false;
};

// The usage line of one of the instrument's programs ("Main", "RefitC", "SentryC"): they share the options.
std::string ProgramUsage(const char* program);

// The start of each of the instrument's programs: the options from the command line and the
// environment, the device root (passed on, with the clock scale and the display, to the programs this
// one starts) and the clock, which keeps the instrument's time in the root's state file when
// `keepClockState` is set. Returns false when the program is to end at once (help shown, a bad option,
// no device root), with the code to end with in `exitCode`.
bool StartProgramEnvironment(const char* program, int argc, char** argv, ProgramOptions& options, int& exitCode,
                             bool keepClockState = true);

// Starts the display of a program with a window, as its options say; false (with a message) when the
// display cannot be started.
bool StartProgramDisplay(const char* program, const ProgramOptions& options);

// Parses the arguments (without the program name). getenv gives an environment variable or null.
// Returns false with a message in `error` for an unknown option or a bad value.
bool ParseProgramOptions(const std::vector<std::string>& args,
                         const std::function<const char*(const char*)>& getenv, ProgramOptions& out,
                         std::string& error);
