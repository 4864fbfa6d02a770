// RefitC: the upgrade and factory-reset program. It takes the options the three programs share (device
// root, display, full screen, clock scale), from the command line or the environment.
#include "platform/program/program.h"
#include "platform/ui/ui.h"
#include "refit/refit_app.h"

int main(int argc, char** argv) {
  ProgramOptions options;
  int exitCode = 0;
  if (!StartProgramEnvironment("RefitC", argc, argv, options, exitCode)) return exitCode;

  if (!StartProgramDisplay("RefitC", options)) return 1;
  {
    refit::CRefitApp app;
    app.InitInstance();
  }
  platform::ui::shutdown();
  return 0;
}
