// The command line of Main: device root, display, full screen and clock scale, each also taken from
// the environment; the command line wins.
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

inline constexpr const char* kUsage =
    "usage: Main [--root DIR] [--display auto|headless|sdl] [--fullscreen] [--clock-scale N]";

// Parses the arguments (without the program name). getenv gives an environment variable or null.
// Returns false with a message in `error` for an unknown option or a bad value.
bool ParseProgramOptions(const std::vector<std::string>& args,
                         const std::function<const char*(const char*)>& getenv, ProgramOptions& out,
                         std::string& error);
