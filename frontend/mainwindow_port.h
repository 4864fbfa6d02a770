// What the front-end link shows on the main window. The application implements it; tests record it.
#pragma once

#include <string>

namespace frontend {

class MainWindowPort {
 public:
  virtual ~MainWindowPort() = default;
  // Radio signal icons: level 0..4 shows exactly that icon (strongest first) and hides the no-signal
  // icon; -1 hides every signal icon.
  virtual void showSignalLevel(int level) = 0;
  // Wired link icons: 1 connected, 0 not connected, -1 both hidden.
  virtual void showWiredState(int state) = 0;
  // The label beside the link icons ("信号强度", "有线正常", "有线未连").
  virtual void setLinkLabel(const std::string& text) = 0;
  // A message box with an OK button.
  virtual void messageBox(const std::string& text) = 0;
};

}  // namespace frontend
