// The preload dialog ShiZhuangYuYa: the small dialog in which the operator types the preload value of
// the current channel before a test. The test-control dialog opens it; confirming a value above 0
// stores it as the channel's preload value and raises the preload request that the front-end control
// step acts on. It also answers the hardware keys 'S' (back to the test-control dialog), 'V' (confirm),
// 'B' (pump forced stop) and 'Z' (delete), and filters typed digits.
#pragma once

#include "app/settings_dialog.h"
#include "setup/preload.h"

class ShiZhuangYuYa : public SettingsDialog {
 public:
  static constexpr int kTemplate = 146;
  static constexpr int kTitle = 1008;
  static constexpr int kLabel = 1009;
  static constexpr int kValue = 1081;
  static constexpr int kUnit = 1010;
  static constexpr int kHintLabel = 1011;
  static constexpr int kHint = 1013;
  static constexpr int kUsage = 1012;
  static constexpr int kStatus = 1014;
  static constexpr int kOk = 1257;
  static constexpr int kCancel = 1138;
  static constexpr int kFrame = 1255;  // the frame inside the window's border

  ShiZhuangYuYa();
  const char* ClassName() const override { return "ShiZhuangYuYa"; }
  bool onInitDialog() override;
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }
  bool preTranslateMessage(platform::ui::Message& msg) override;

  void OnSetFocusValue();
  void OnBnClickedOk();
  // Takes a hardware key for the value edit: true lets it through, false swallows it.
  bool FilterDigitKey(unsigned virtualKey);
  // Drops the last character of the value and takes the filter state from what is left.
  void DeleteLastChar();

  const PreloadDigitFilter& filter() const { return filter_; }

 protected:
  int RequesterCode() const override { return kRequesterPreload; }
  void OnRefresh() override;
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnCtlColor(platform::ui::CtlColor& c) override;
  void OnOtherActivation(int state) override;

 private:
  // Stores the typed value (false, with the refusal on the status line, when it is not a number above
  // 0); an empty value stores nothing.
  bool StoreValue();
  void ShowTestControl(bool show);

  PreloadDigitFilter filter_;
};
