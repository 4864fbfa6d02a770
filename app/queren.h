// The yes/no box of the whole program (queren), the empty dialog QuXian and a message box with one OK
// button.
#pragma once

#include <string>

#include "app/monitor_dialogs.h"
#include "platform/ui/dialog.h"

// The question of the next confirmation. Two-line questions use "\r\n".
extern std::string g_strPrompt;

// The modal yes/no box (template 132). A caller puts the question into g_strPrompt, runs a queren
// modally and takes IDOK as yes. A question that ends with one of the standard codes "62", "76" or
// "144" is shown without the code, offers only yes and confirms itself after five seconds.
class queren : public platform::ui::Dialog {
 public:
  static constexpr int kTemplate = 132;
  queren();
  bool onInitDialog() override;
  void onCancel() override;

  int countdown() const { return countdown_; }
  const std::string& tag() const { return tag_; }
  bool selfConfirming() const { return selfConfirming_; }

 private:
  void OnTimer();
  int countdown_ = 0;
  std::string tag_;
  bool selfConfirming_ = false;
};

// Puts the question into g_strPrompt, asks it with a queren made for this question alone, and returns
// true for yes.
bool AskConfirmation(const std::string& question, platform::ui::Window* owner = nullptr);

// An empty dialog of the registry (template 143).
class QuXian : public MonitorDialog {
 public:
  static constexpr int kTemplate = 143;
  QuXian() : MonitorDialog(kTemplate) {}
  const char* ClassName() const override { return "QuXian"; }
};

// A modal message with an OK button.
class CMessageBox : public platform::ui::Dialog {
 public:
  static constexpr int kTemplate = 900;
  explicit CMessageBox(std::string text);
  bool onInitDialog() override;

 private:
  std::string text_;
};
