// SentryC: the watchdog program. It shows no window. It takes the options the three programs share
// (device root, display, clock scale), from the command line or the environment; a program it starts
// gets the same root, clock scale and display.
#include "platform/program/program.h"
#include "sentry/sentry.h"

int main(int argc, char** argv) {
  ProgramOptions options;
  int exitCode = 0;
  // The watchdog only waits: it leaves the instrument's time to the programs that keep it.
  if (!StartProgramEnvironment("SentryC", argc, argv, options, exitCode, false)) return exitCode;
  sentry::CSentryApp app;
  app.InitInstance();
  return 0;
}
