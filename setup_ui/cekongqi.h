// The front-end controller selection CCeKongQi: the first step of setting up a test. The operator picks
// one of the three front-end controllers and types the controller numbers of all three; OK stores the
// numbers, makes the picked front-end the channel every set-up dialog works on and, when that channel
// is idle, goes on to the test information dialog.
#pragma once

#include <string>

#include "app/settings_dialog.h"

// The front-end picked in the dialog while it is on screen: 0 none, 1-3.
extern int g_nSelectedFrontEnd;

// Points the set-up dialogs, the keypads, the test control, the system settings and the report pages
// that `from` is linked to at a channel: the front-end picked in the controller selection or the system
// settings.
void RepointSetupWindows(const MonitorDialog& from, Parameter* channel);

class CCeKongQi : public SettingsDialog {
 public:
  static constexpr int kTemplate = 173;
  static constexpr int kFrontEnd1 = 1121;  // buttons 1121-1123
  static constexpr int kLabel1 = 1293;     // labels 1293-1295
  static constexpr int kNumber1 = 1301;    // edits 1301-1303
  static constexpr int kExit = 1304;
  static constexpr int kOk = 1257;
  static constexpr int kStatus = 1311;

  CCeKongQi();
  const char* ClassName() const override { return "CCeKongQi"; }
  bool onInitDialog() override;
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }

  // Captions of front-end k (1-3).
  static std::string PlainCaption(int k);
  static std::string PickedCaption(int k);
  static std::string RunningCaption(int k);
  static std::string PausedCaption(int k);
  static std::string KeypadCaption(int k);

  void RefreshView();
  void OnSetFocusNumber(int k);
  void OnBnClickedFrontEnd(int k);
  void OnBnClickedOk();
  void ApplySelection();

 protected:
  int RequesterCode() const override { return kRequesterControllers; }
  void OnRefresh() override;
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnCtlColor(platform::ui::CtlColor& c) override;

 private:
  bool channelBusy(int k) const;  // the channel's test runs or is paused
};
