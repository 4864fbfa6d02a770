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

  // What the test procedure shows. The defaults do nothing (and answer a question with no), for
  // windows that show no test.
  //
  // A modal yes/no question (the confirmation dialog). Returns 1 for yes, anything else means no.
  // The caller waits for the answer.
  virtual int confirm(const std::string& question) {
    (void)question;
    return 2;
  }
  // Sets the text of a main-window control (1026 level, 1034 serial number, 1036 pile number, 1012
  // target load, 1038 pump state, 1276 pause button).
  virtual void setControlText(int id, const std::string& text) {
    (void)id;
    (void)text;
  }
  virtual void showControl(int id, bool visible) {
    (void)id;
    (void)visible;
  }
  // Hides the secondary dialogs of the main window.
  virtual void hideSecondaryDialogs() {}
  // The report page on screen: 0 record table, 1 load-settlement table, 2 summary table, 3 Q-s,
  // 4 s-lgQ, 5 s-lgt.
  virtual int shownReportPage() const { return 0; }
};

}  // namespace frontend
