// The system calibration dialog XiTongBiaoDing ("系统标定及标定检测"): calibrates a load sensor, a jack
// with its oil-pressure sensor (the system) or an oil-pressure sensor against a reference, step by
// step: the type and its inputs, start (which also writes the sensor and jack data into the shown
// channel), zero, one record per standard value into an eleven-row table, end; a check of an existing
// calibration with the live force corrected through the table; and an estimate of the sensitivity or
// coefficient from the table. The whole state lives in "xtbd.ini" and is rebuilt at every activation,
// so a calibration survives a closed dialog and a power loss. A short beep confirms each step.
#pragma once

#include <array>

#include "app/buzzer.h"
#include "app/settings_dialog.h"
#include "calib/system_calibration_steps.h"

class XiTongBiaoDing : public SettingsDialog {
 public:
  static constexpr int kTemplateA = 111;
  static constexpr int kTemplateB = 202;
  // Type buttons.
  static constexpr int kOilSensor = 1321;
  static constexpr int kLoadSensor = 1122;
  static constexpr int kSystem = 1123;
  static constexpr int kTypeGroup = 1300;
  // Labels and edits of the inputs.
  static constexpr int kMaximumLabel = 1011;
  static constexpr int kMaximum = 1082;
  static constexpr int kPointsLabel = 1013;
  static constexpr int kPoints = 1083;
  static constexpr int kRangeLabel = 1010;
  static constexpr int kRange = 1084;
  static constexpr int kSensitivityLabel = 1221;
  static constexpr int kSensitivity = 1087;
  static constexpr int kRatedOutputLabel = 1012;
  static constexpr int kRatedOutput = 1085;
  static constexpr int kRatedPressureLabel = 1014;
  static constexpr int kRatedPressure = 1086;
  static constexpr int kHiddenEdit = 1081;
  // Table heads (left and right half) and cells.
  static constexpr int kStandardHead = 1016;
  static constexpr int kStandardHeadRight = 1020;
  static constexpr int kForceHead = 1017;
  static constexpr int kForceHeadRight = 1021;
  static constexpr int kPressureHead = 1018;
  static constexpr int kPressureHeadRight = 1022;
  static constexpr int kForceCell0 = 1033;     // rows 0-10: 1033-1043
  static constexpr int kPressureCell0 = 1044;  // rows 0-10: 1044-1054
  // The next standard value and the live readings.
  static constexpr int kNextStandard = 1063;
  static constexpr int kLiveForce = 1064;
  static constexpr int kLivePressure = 1065;
  static constexpr int kNextStandardLabel = 1071;
  static constexpr int kLiveForceLabel = 1072;
  static constexpr int kLivePressureLabel = 1073;
  // Buttons and the status line.
  static constexpr int kZero = 1124;
  static constexpr int kStart = 1125;
  static constexpr int kRecord = 1126;
  static constexpr int kEstimate = 1127;
  static constexpr int kExit = 1257;
  static constexpr int kStatus = 1205;

  static constexpr unsigned kLiveTimer = 1;
  static constexpr unsigned kBeepTimer = 2;
  static constexpr unsigned kLiveMs = 1000;
  static constexpr unsigned kBeepMs = 100;

  // The standard cell of a shown row 0..10.
  static int StandardCell(int row) { return row <= 8 ? 1024 + row : 1051 + row; }

  XiTongBiaoDing();
  const char* ClassName() const override { return "XiTongBiaoDing"; }
  bool onInitDialog() override;
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }
  bool preTranslateMessage(platform::ui::Message& msg) override { return DigitOnlyPreTranslateMessage(msg); }

  void RebuildTable();
  void OnBnClickedType(int type);
  void OnBnClickedStart();
  void OnBnClickedZero();
  void OnBnClickedRecord();
  void OnBnClickedEstimate();
  void ShowLiveValues();
  void BuzzerOn();
  void BuzzerOff();

  const SystemCalibration& calibration() const { return cal_; }
  int cursorRow() const { return cursorRow_; }

 protected:
  int RequesterCode() const override { return kRequesterSystemCalibration; }
  void OnRefresh() override;
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnCtlColor(platform::ui::CtlColor& c) override;
  void OnOtherActivation(int state) override;

 private:
  std::string CalibrationPath() const;
  void SaveCalibration();
  void ApplyTypeTexts();
  void WriteRows();
  void FocusHiddenEdit();
  void EnableEdits(std::initializer_list<int> ids, bool on);
  void SetForceHeads(bool check);
  int SensorType() const;

  SystemCalibration cal_;
  CalibrationTableTexts texts_{};
  int cursorRow_ = 0;
  ConfirmationBuzzer buzzer_;
};
