// The system settings XiTongBaoHu: the front-end controller the set-up dialogs work on and the numbers
// of all three controllers, the system options (link, upload route, send interval, oil circuit, loading
// mode, sensors, stability channels, zero-level protection, prompt tone), each controller's battery, the
// screen's backlight, the touch calibration and the way to the standards check-list. Nothing is stored
// before OK; OK writes the options into the channels, saves the three parameter files and, for an idle
// chosen controller, goes on to the sensor and jack parameters.
#pragma once

#include <array>
#include <string>

#include "app/settings_dialog.h"
#include "platform/device/device.h"
#include "setup/system_options.h"

class XiTongBaoHu : public SettingsDialog {
 public:
  static constexpr int kTemplateBoard1 = 107;
  static constexpr int kTemplateBoard0 = 201;
  static constexpr int kTitle = 1310;
  static constexpr int kStatus = 1205;
  static constexpr int kControllerGroup = 1343;
  static constexpr std::array<int, 3> kController = {1339, 1340, 1341};
  static constexpr std::array<int, 3> kNumberLabel = {1344, 1345, 1346};
  static constexpr std::array<int, 3> kNumber = {1301, 1302, 1303};
  static constexpr std::array<int, 3> kBattery = {1327, 1297, 1298};
  static constexpr int kSettingsGroup = 1342;
  static constexpr int kExit = 1257;
  static constexpr int kOk = 1258;
  static constexpr int kTouchCalibrate = 1259;
  static constexpr int kStandards = 1260;
  static constexpr int kStandardsGroup = 1361;
  static constexpr int kBacklightGroup = 1321;
  static constexpr int kBacklightDown = 1320;
  static constexpr int kBacklightUp = 1319;
  // Option buttons in SystemOption order, and the group box around each.
  static constexpr std::array<int, kSystemOptionCount> kOption = {1123, 1125, 1128, 1131, 1133,
                                                                  1136, 1122, 1135, 1124, 1130};
  static constexpr std::array<int, kSystemOptionCount> kOptionGroup = {1350, 1351, 1352, 1353, 1354,
                                                                       1355, 1356, 1357, 1358, 1359};
  static constexpr int kBatteryTimer = 1;
  static constexpr unsigned kBatteryPeriodMs = 200;

  XiTongBaoHu();
  ~XiTongBaoHu() override;
  const char* ClassName() const override { return "XiTongBaoHu"; }
  bool onInitDialog() override;
  bool preTranslateMessage(platform::ui::Message& msg) override { return DigitOnlyPreTranslateMessage(msg); }
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }

  // Captions of controller n (1-3).
  static std::string PlainCaption(int n);
  static std::string TickedCaption(int n);
  static std::string RunningCaption(int n);
  static std::string PausedCaption(int n);
  static std::string KeypadCaption(int n);

  void RefreshAll();
  void FillSettings(Parameter& p);
  void OnBnClickedOption(SystemOption option);
  void OnBnClickedController(int n);
  void OnSetFocusControllerNumber(int n);
  void OnBnClickedOk();
  void ApplySettings();
  void OnBnClickedBacklightDown();
  void OnBnClickedBacklightUp();
  void OnBnClickedTouchCalibrate();
  void OnBnClickedStandards();
  void OnTimer();

  int selectedController() const { return selected_; }
  int backlightLevel() const { return backlightLevel_; }
  const SystemOptionCaptions& captions() const { return captions_; }

 protected:
  int RequesterCode() const override { return kRequesterSystemSettings; }
  void OnRefresh() override;
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnCtlColor(platform::ui::CtlColor& c) override;

 private:
  std::array<Parameter*, 3> channels() const { return {Channel(1), Channel(2), Channel(3)}; }
  bool haveChannels() const { return Channel(1) && Channel(2) && Channel(3); }
  void showCaption(SystemOption option);
  void untick(int n);
  void choose(int n);
  void sendBacklight();

  SystemOptionCaptions captions_;
  int selected_ = 0;
  platform::device::Handle backlight_ = platform::device::kInvalidHandle;
  int backlightLevel_ = 10;
};
