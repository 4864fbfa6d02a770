// The watchdog program: runs unseen for as long as the device runs and, once a minute, starts
// "Main.exe" again when neither the main program nor the upgrade program runs.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/clock/clock.h"
#include "platform/process/process.h"

namespace sentry {

inline constexpr std::uint32_t kWatchPeriodMs = 60000;
inline constexpr const char* kWatchedNames[] = {"Main.exe", "RefitC.exe"};
// The lock that lets one watchdog run per device root.
inline constexpr const char* kLockName = "SentryC";

// What one watch tick did.
enum class TickResult {
  Running,     // the main or the upgrade program runs: nothing to do
  Started,     // "Main.exe" was started
  NoProgram,   // "Main.exe" is missing (or could not be started): nothing shown
  Unreadable,  // the process list could not be read: the tick is skipped
};

class CSentryDlg {
 public:
  static constexpr int kTemplate = 102;
  static constexpr unsigned kWatchTimer = 1;

  // Board flag from the existence of "\nandflash\".
  bool OnInitDialog();
  // The watch tick of timer 1; other timers do nothing.
  TickResult OnTimer(unsigned id);

  // Runs the watch: a tick every minute of the instrument clock until Stop().
  void Run();
  void Stop();

  int BoardFlag() const { return m_nBoardFlag; }
  int Ticks() const { return ticks_.load(); }

 private:
  int m_nBoardFlag = 0;
  std::atomic<int> ticks_{0};
  platform::clock::Event stop_{true, false};
};

class CSentryApp {
 public:
  static constexpr const char* kRegistryKey = "应用程序向导生成的本地应用程序";

  // Takes the device root's watchdog lock; when another watchdog holds it, ends at once. Otherwise
  // watches until the dialog is stopped. Returns false: the program then ends.
  bool InitInstance();
  // Whether the last InitInstance found another watchdog running.
  bool FoundAnother() const { return foundAnother_; }
  CSentryDlg* MainWindow() const { return m_pMainWnd; }

 private:
  std::string m_strRegistryKey;
  bool foundAnother_ = false;
  CSentryDlg* m_pMainWnd = nullptr;
};

}  // namespace sentry
