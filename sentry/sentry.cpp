#include "sentry/sentry.h"

#include "model/helpers.h"
#include "platform/text/text.h"

namespace sentry {

bool CSentryDlg::OnInitDialog() {
  m_nBoardFlag = FileExists("\\nandflash\\") ? 1 : 0;
  return true;
}

TickResult CSentryDlg::OnTimer(unsigned id) {
  if (id != kWatchTimer) return TickResult::Running;
  ++ticks_;
  const auto processes = platform::process::readProcessList();
  // Without a process list there is no telling whether the main program runs: starting it could
  // make a second one, so the tick is skipped.
  if (!processes) return TickResult::Unreadable;
  for (const platform::process::ProcessEntry& e : *processes) {
    for (const char* name : kWatchedNames) {
      if (platform::text::equalsIgnoreCase(e.name, name)) return TickResult::Running;
    }
  }
  const std::string path = GetProgramRoot(m_nBoardFlag) + "Main.exe";
  if (!FileExists(path)) return TickResult::NoProgram;
  return platform::process::startProgram(path) ? TickResult::Started : TickResult::NoProgram;
}

void CSentryDlg::Run() {
  while (!stop_.wait(kWatchPeriodMs)) OnTimer(kWatchTimer);
}

void CSentryDlg::Stop() { stop_.set(); }

bool CSentryApp::InitInstance() {
  m_strRegistryKey = kRegistryKey;
  // One watchdog per device root: the main program starts one at every start of its own.
  const auto lock = platform::process::InstanceLock::acquire(kLockName);
  foundAnother_ = lock == nullptr;
  if (foundAnother_) return false;
  CSentryDlg dlg;
  m_pMainWnd = &dlg;
  dlg.OnInitDialog();
  dlg.Run();
  m_pMainWnd = nullptr;
  return false;
}

}  // namespace sentry
