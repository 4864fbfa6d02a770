// The application object of Main: decides once which board the program runs on, runs the main
// monitoring window for that board modally, and gives every key press a short click of the buzzer.
#pragma once

#include <string>

#include "model/parameter.h"
#include "platform/ui/ui.h"

class CMonitorDlg;

class CMainApp {
 public:
  static constexpr const char* kRegistryKey = "应用程序向导生成的本地应用程序";

  CMainApp() = default;
  CMainApp(const CMainApp&) = delete;
  CMainApp& operator=(const CMainApp&) = delete;
  ~CMainApp();

  // The start-up: board test, main window from the board's template, board flag into the three
  // channel records, modal run. Returns false in every case, so the program ends after it.
  bool InitInstance();
  // Key-click beep for every key-down message, then the default handling (nothing swallowed).
  bool PreTranslateMessage(platform::ui::Message& msg);

  // The three channel records of the running main window (null outside the run).
  Parameter* channel1 = nullptr;
  Parameter* channel2 = nullptr;
  Parameter* channel3 = nullptr;
  CMonitorDlg* mainWindow() const { return mainWindow_; }
  const std::string& registryKey() const { return registryKey_; }
  int boardFlag() const { return boardFlag_; }
  int mainTemplate() const { return mainTemplate_; }

 private:
  CMonitorDlg* mainWindow_ = nullptr;
  std::string registryKey_;
  int boardFlag_ = 0;
  int mainTemplate_ = 0;
};

// The board flag of the device root: 1 when "\nandflash\" exists, else 0.
int DetectBoardFlag();
