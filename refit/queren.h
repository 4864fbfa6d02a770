// The confirmation dialog of the upgrade program: a message with "确定" (result 1) and "取消"
// (result 2), run modally.
#pragma once

#include <string>

#include "platform/ui/dialog.h"

namespace refit {

class queren : public platform::ui::Dialog {
 public:
  static constexpr int kTemplate = 129;
  static constexpr int kGroup = 1020;
  static constexpr int kMessage = 1010;
  static constexpr int kYes = 1017;
  static constexpr int kNo = 1018;
  static constexpr int kFocusSink = 1011;

  queren();
  bool onInitDialog() override;

  std::string m_strMessage;  // set by the caller before the dialog is shown
};

// Asks the question and returns true when the operator confirmed (result 1).
bool Confirm(const std::string& message, platform::ui::Window* owner);

// A modal message with one OK button (the platform's message box).
class CMessageBox : public platform::ui::Dialog {
 public:
  static constexpr int kTemplate = 900;
  static constexpr int kText = 1009;
  explicit CMessageBox(std::string text);
  bool onInitDialog() override;

 private:
  std::string text_;
};

}  // namespace refit
