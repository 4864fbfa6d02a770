#include "platform/program/program.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "platform/process/process.h"

namespace {

bool parseScale(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(v) || v <= 0.0) return false;
  out = v;
  return true;
}

bool parseDisplay(const std::string& text, ProgramOptions& out) {
  platform::ui::DisplayKind kind;
  if (!platform::ui::parseDisplayKind(text, kind)) return false;
  out.display = kind;
  out.displayName = text;
  return true;
}

}  // namespace

bool ParseProgramOptions(const std::vector<std::string>& args,
                         const std::function<const char*(const char*)>& getenv, ProgramOptions& out,
                         std::string& error) {
  out = ProgramOptions{};
  // The environment first; the command line then overrides it.
  if (const char* v = getenv(platform::process::kRootVariable); v && *v) out.root = v;
  if (const char* v = getenv(platform::process::kDisplayVariable); v && *v) {
    if (!parseDisplay(v, out)) {
      error = std::string("bad ") + platform::process::kDisplayVariable + " \"" + v + "\"";
      return false;
    }
  }
  if (const char* v = getenv(platform::process::kClockScaleVariable); v && *v) {
    if (!parseScale(v, out.clockScale)) {
      error = std::string("bad ") + platform::process::kClockScaleVariable + " \"" + v + "\"";
      return false;
    }
  }
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    std::string value;
    bool hasValue = false;
    if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a = a.substr(0, eq);
      hasValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    if (a == "--root") {
      if (!takeValue()) return false;
      if (value.empty()) {
        error = "--root needs a folder";
        return false;
      }
      out.root = value;
    } else if (a == "--display") {
      if (!takeValue()) return false;
      if (!parseDisplay(value, out)) {
        error = "bad --display \"" + value + "\"";
        return false;
      }
    } else if (a == "--clock-scale") {
      if (!takeValue()) return false;
      if (!parseScale(value, out.clockScale)) {
        error = "bad --clock-scale \"" + value + "\"";
        return false;
      }
    } else if (a == "--fullscreen" && !hasValue) {
      out.fullscreen = true;
    } else if ((a == "--help" || a == "-h") && !hasValue) {
      out.help = true;
    } else {
      error = "unknown option " + args[i];
      return false;
    }
  }
  return true;
}

std::string ProgramUsage(const char* program) {
  return std::string("usage: ") + program + " [--root DIR] [--display auto|headless|sdl] [--fullscreen] [--clock-scale N]";
}

bool StartProgramEnvironment(const char* program, int argc, char** argv, ProgramOptions& options, int& exitCode,
                             bool keepClockState) {
  std::string error;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const std::string usage = ProgramUsage(program);
  if (!ParseProgramOptions(args, [](const char* name) { return std::getenv(name); }, options, error)) {
    std::fprintf(stderr, "%s: %s\n%s\n", program, error.c_str(), usage.c_str());
    exitCode = 2;
    return false;
  }
  if (options.help) {
    std::printf("%s\n", usage.c_str());
    exitCode = 0;
    return false;
  }
  const std::filesystem::path root = platform::process::chooseRoot(options.root);
  std::error_code ec;
  if (root.empty() || !std::filesystem::is_directory(root, ec)) {
    std::fprintf(stderr, "%s: no device root folder (give --root DIR or set INSTRUMENT_ROOT)\n%s\n", program,
                 usage.c_str());
    exitCode = 2;
    return false;
  }
  const std::filesystem::path absRoot = std::filesystem::absolute(root, ec);
  platform::fs::setRoot(absRoot);

  // Programs started from here inherit the root, the clock and the display.
  ::setenv(platform::process::kRootVariable, absRoot.c_str(), 1);
  ::setenv(platform::process::kClockScaleVariable, std::to_string(options.clockScale).c_str(), 1);
  platform::process::setDisplay(options.displayName);

  if (options.clockScale == 1.0) platform::clock::configure(platform::clock::Mode::Real);
  else platform::clock::configure(platform::clock::Mode::Scaled, options.clockScale);
  if (keepClockState) platform::clock::attachStateFile(absRoot / platform::clock::kStateFileName);
  exitCode = 0;
  return true;
}

bool StartProgramDisplay(const char* program, const ProgramOptions& options) {
  platform::ui::Options ui;
  ui.display = options.display;
  ui.fullscreen = options.fullscreen;
  ui.title = program;
  if (platform::ui::init(ui)) return true;
  std::fprintf(stderr, "%s: the display could not be started\n", program);
  return false;
}
