// The date and time dialog XiTongshijian: shows the current channel's test clock and takes a new date
// and time through the keypad. While no channel is in use OK sets the instrument's clock; while one is,
// it leaves the clock alone and gives the current channel a shift, so that a running test's times follow
// the entered time.
#pragma once

#include <array>

#include "app/settings_dialog.h"

class XiTongshijian : public SettingsDialog {
 public:
  static constexpr int kTemplate = 142;
  static constexpr int kHour = 1081;
  static constexpr int kMinute = 1082;
  static constexpr int kSecond = 1083;
  static constexpr int kYear = 1084;
  static constexpr int kMonth = 1085;
  static constexpr int kDay = 1086;
  static constexpr int kTimeGroup = 1087;
  static constexpr int kDateGroup = 1088;
  static constexpr int kOk = 1257;
  static constexpr int kCancel = 1289;
  static constexpr int kStatus = 1290;
  static constexpr int kTimer = 1;

  XiTongshijian();
  const char* ClassName() const override { return "XiTongshijian"; }
  bool onInitDialog() override;
  bool preTranslateMessage(platform::ui::Message& msg) override { return DigitOnlyPreTranslateMessage(msg); }
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }

  void OnSetFocusTime();
  void OnSetFocusDate();
  void OnBnClickedOk();
  void OnTimer();

 protected:
  int RequesterCode() const override { return kRequesterDateTime; }
  void OnRefresh() override;
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnOtherActivation(int state) override;

 private:
  std::array<std::string, 6> fields() const;
  void selectAll(int id);
};
