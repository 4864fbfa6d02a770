// Main: the instrument's main program.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_app.h"
#include "app/monitor_dialogs.h"
#include "app/options.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "platform/ui/ui.h"

namespace {
CMainApp theApp;
}

int main(int argc, char** argv) {
  ProgramOptions options;
  std::string error;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!ParseProgramOptions(args, [](const char* name) { return std::getenv(name); }, options, error)) {
    std::fprintf(stderr, "Main: %s\n%s\n", error.c_str(), kUsage);
    return 2;
  }
  if (options.help) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  const std::filesystem::path root = platform::process::chooseRoot(options.root);
  std::error_code ec;
  if (root.empty() || !std::filesystem::is_directory(root, ec)) {
    std::fprintf(stderr, "Main: no device root folder (give --root DIR or set INSTRUMENT_ROOT)\n%s\n", kUsage);
    return 2;
  }
  const std::filesystem::path absRoot = std::filesystem::absolute(root, ec);
  platform::fs::setRoot(absRoot);

  // Programs started from here (the watchdog, the upgrade) inherit the root, the clock and the display.
  ::setenv(platform::process::kRootVariable, absRoot.c_str(), 1);
  ::setenv(platform::process::kClockScaleVariable, std::to_string(options.clockScale).c_str(), 1);
  platform::process::setDisplay(options.displayName);

  if (options.clockScale == 1.0) platform::clock::configure(platform::clock::Mode::Real);
  else platform::clock::configure(platform::clock::Mode::Scaled, options.clockScale);
  platform::clock::attachStateFile(absRoot / platform::clock::kStateFileName);

  platform::ui::Options ui;
  ui.display = options.display;
  ui.fullscreen = options.fullscreen;
  ui.title = "Main";
  if (!platform::ui::init(ui)) {
    std::fprintf(stderr, "Main: the display could not be started\n");
    return 1;
  }
  CreateMonitorDialogs();
  theApp.InitInstance();
  DeleteMonitorDialogs();
  platform::ui::shutdown();
  return 0;
}
