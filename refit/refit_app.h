// The application object of the upgrade program: decides the board once, runs the upgrade dialog of
// that board modally, and gives every key press a short click of the buzzer.
#pragma once

#include <string>

#include "platform/ui/ui.h"

namespace refit {

class CRefitDlg;

class CRefitApp {
 public:
  static constexpr const char* kRegistryKey = "应用程序向导生成的本地应用程序";

  // Board test, dialog from the board's template, modal run. Returns false: the program then ends.
  bool InitInstance();
  // The key click on every key-down, then the default handling (nothing swallowed).
  bool PreTranslateMessage(platform::ui::Message& msg);

  int BoardFlag() const { return m_nBoardFlag; }
  const std::string& RegistryKey() const { return m_strRegistryKey; }
  CRefitDlg* MainWindow() const { return m_pMainWnd; }

 private:
  int m_nBoardFlag = 0;
  std::string m_strRegistryKey;
  CRefitDlg* m_pMainWnd = nullptr;
};

}  // namespace refit
