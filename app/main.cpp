// Main: the instrument's main program.
#include "app/main_app.h"
#include "app/monitor_dialogs.h"
#include "calib_ui/calib_dialogs.h"
#include "platform/program/program.h"
#include "platform/ui/ui.h"
#include "report/pages.h"
#include "setup_ui/setup_dialogs.h"
#include "upload_ui/daifa_shuju.h"

namespace {
CMainApp theApp;
}

int main(int argc, char** argv) {
  ProgramOptions options;
  int exitCode = 0;
  if (!StartProgramEnvironment("Main", argc, argv, options, exitCode)) return exitCode;

  if (!StartProgramDisplay("Main", options)) return 1;
  RegisterReportPages();
  RegisterUploadDialogs();
  RegisterSetupDialogs();
  RegisterCalibrationDialogs();
  CreateMonitorDialogs();
  theApp.InitInstance();
  DeleteMonitorDialogs();
  platform::ui::shutdown();
  return 0;
}
