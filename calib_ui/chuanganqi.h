// The sensor and jack parameter dialog ChuanGanQi: the force sensor, the jacks, the pressure
// calculation method and the protection limits of the current channel's test, with a live preview of
// the load coefficient they give. OK stores them in the channel (the parameter file takes them with the
// channel's next save) and goes on to the test information dialog when no test runs.
#pragma once

#include <map>
#include <string>

#include "app/settings_dialog.h"
#include "calib/load_coefficient.h"
#include "calib/sensor_jack_entry.h"

class ChuanGanQi : public SettingsDialog {
 public:
  static constexpr int kTemplateBoard1 = 105;
  static constexpr int kTemplateBoard0 = 197;

  // Controls.
  static constexpr int kTitle = 1310;
  static constexpr int kStatus = 1205;
  static constexpr int kMethodGroup = 1272;
  static constexpr int kComputed = 1123;
  static constexpr int kRegression = 1125;
  static constexpr int kSensorGroup = 1270;
  static constexpr int kSensorNumberLabel = 1014;
  static constexpr int kSensorNumber = 1084;
  static constexpr int kSelectSensor = 1247;
  static constexpr int kFullRangeLabel = 1015;
  static constexpr int kFullRange = 1085;
  static constexpr int kSensitivityLabel = 1023;
  static constexpr int kSensitivity = 1093;
  static constexpr int kJackGroup = 1271;
  static constexpr int kJackNumberLabel = 1018;
  static constexpr int kJackNumber = 1089;
  static constexpr int kSelectJack = 1246;
  static constexpr int kRatedOutputLabel = 1020;
  static constexpr int kRatedOutput = 1091;
  static constexpr int kRatedPressureLabel = 1021;
  static constexpr int kRatedPressure = 1092;
  static constexpr int kJackCountLabel = 1019;
  static constexpr int kJackCount = 1090;
  static constexpr int kRegressionGroup = 1274;
  static constexpr int kBLabel = 1013;
  static constexpr int kB = 1087;
  static constexpr int kALabel = 1012;
  static constexpr int kA = 1086;
  static constexpr int kEquation = 1024;
  static constexpr int kCoefficientGroup = 65535;
  static constexpr int kCoefficientLabel = 1025;
  static constexpr int kCoefficient = 1094;
  static constexpr int kProtectionGroup = 1273;
  static constexpr int kTimeLabel = 1017;
  static constexpr int kTime = 1081;
  static constexpr int kSettlementLabel = 1026;
  static constexpr int kSettlement = 1082;
  static constexpr int kUnevenLabel = 1027;
  static constexpr int kUneven = 1083;
  static constexpr int kRangeLabel = 1028;
  static constexpr int kRange = 1095;
  static constexpr int kUpliftLabel = 1288;
  static constexpr int kUplift = 1096;
  static constexpr int kExit = 1138;
  static constexpr int kOk = 1257;
  static constexpr int kHiddenEdit = 1088;

  ChuanGanQi();
  const char* ClassName() const override { return "ChuanGanQi"; }
  bool onInitDialog() override;
  bool preTranslateMessage(platform::ui::Message& msg) override { return DigitOnlyPreTranslateMessage(msg); }
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }

  void RefreshFromParameter();
  void UpdateFieldLayout();
  void OnSetFocusEdit(int edit);
  void OnBnClickedComputed();
  void OnBnClickedRegression();
  void OnBnClickedSelect(int mode);  // 1 sensor, 0 jack
  void OnBnClickedOk();
  int PreviewCoefficient(PreviewFocus focus);

  const std::string& mode() const { return mode_; }

 protected:
  int RequesterCode() const override { return kRequesterSensors; }
  void OnRefresh() override { RefreshFromParameter(); }
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnCtlColor(platform::ui::CtlColor& c) override;

 private:
  Parameter* channel() const { return CurrentChannel(); }
  SensorJackEntry Entry() const;
  ProtectionEntry Protection() const;
  void SetMethod(bool regression);
  void SetMethodCaptions(bool regression);
  void put(int id, const std::string& text);  // an edit and its member text
  std::string member(int id) const;
  void show(int id, bool on);
  void enable(int id, bool on);

  std::string mode_ = kModeComputed;
  std::map<int, std::string> members_;  // the member text of each edit
};
