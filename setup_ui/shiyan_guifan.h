// The standard selection dialog ShiYanGuiFan: the operator picks the test standard of the current
// channel from the standards offered for its test type (eight to a page), and sets its load programme
// (control load, refill lower limit, single-step and maximum loads), its stability criteria with the
// second set above the characteristic value, and its reading schedule. OK checks the typed values and
// commits them to the channel.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/settings_dialog.h"
#include "setup/timing.h"

class ShiYanGuiFan : public SettingsDialog {
 public:
  static constexpr int kTemplateBoard1 = 106;
  static constexpr int kTemplateBoard0 = 198;

  // Controls.
  static constexpr int kTitle = 1310;
  static constexpr int kStatus = 1205;
  static constexpr int kStandard1 = 1121;  // standard buttons 1121-1128
  static constexpr int kPrevious = 1260;
  static constexpr int kNext = 1261;
  static constexpr int kPageLabel = 1269;
  static constexpr int kControlLoadLabel = 1010;
  static constexpr int kRefillLabel = 1011;
  static constexpr int kSingleStepLabel = 1012;
  static constexpr int kMaxLoadLabel = 1013;
  static constexpr int kHoldLabel = 1016;
  static constexpr int kJudgeTimeLabel = 1017;
  static constexpr int kStableLabel = 1018;
  static constexpr int kJudgeCountLabel = 1019;
  static constexpr int kLoadIntervalLabel = 1020;
  static constexpr int kUnloadIntervalLabel = 1021;
  static constexpr int kUnloadStepsLabel = 1022;
  static constexpr int kNonZeroLabel = 1023;
  static constexpr int kZeroLabel = 1024;
  static constexpr int kCharacteristicLabel = 1025;
  static constexpr int kOverStableLabel = 1026;
  static constexpr int kJudgeModeLabel = 1027;
  static constexpr int kExtraLabel = 1028;  // "桩端土层", also the label of 1115
  static constexpr int kOverJudgeCountLabel = 1029;
  static constexpr int kOverHoldLabel = 1030;
  static constexpr int kOverJudgeTimeLabel = 1031;
  static constexpr int kOverJudgeModeLabel = 1032;
  static constexpr int kControlLoad = 1081;
  static constexpr int kRefillLower = 1083;
  static constexpr int kSingleStep = 1084;
  static constexpr int kMaxLoad = 1085;
  static constexpr int kHoldTime = 1088;
  static constexpr int kJudgeTime = 1089;
  static constexpr int kStableSettlement = 1091;
  static constexpr int kJudgeCount = 1092;
  static constexpr int kLoadInterval1 = 1093;    // 1093-1098, then 1109
  static constexpr int kUnloadInterval1 = 1099;  // 1099-1104, then 1110
  static constexpr int kUnloadSteps = 1105;
  static constexpr int kNonZeroTime = 1106;
  static constexpr int kZeroTime = 1107;
  static constexpr int kCharacteristic = 1108;
  static constexpr int kLoadInterval7 = 1109;
  static constexpr int kUnloadInterval7 = 1110;
  static constexpr int kOverStable = 1111;
  static constexpr int kOverHoldTime = 1112;
  static constexpr int kOverJudgeTime = 1113;
  static constexpr int kOverJudgeCount = 1114;
  static constexpr int kExtraValue = 1115;
  static constexpr int kCoefficientLabel = 1287;
  static constexpr int kCoefficient = 1264;
  static constexpr int kModeButton = 1265;
  static constexpr int kRefillUnit = 1266;
  static constexpr int kAutoLoading = 1267;
  static constexpr int kManualLoading = 1268;
  static constexpr int kOverModeButton = 1270;
  static constexpr int kCoarseSoil = 1316;
  static constexpr int kFineSoil = 1317;
  static constexpr int kCross = 1318;
  static constexpr int kNotCross = 1319;
  static constexpr int kOverCross = 1320;
  static constexpr int kOverNotCross = 1321;
  static constexpr int kSelectionGroup = 1322;
  static constexpr int kLoadGroup = 1323;
  static constexpr int kStabilityGroup = 1324;
  static constexpr int kTimingGroup = 1325;
  static constexpr int kOverGroup = 1327;
  static constexpr int kOk = 1243;
  static constexpr int kExit = 1244;

  static constexpr const char* kEmptyButton = "<<<<<>>>>>";
  static constexpr const char* kTestStarted = "测试已经开始，无法改变规范！";
  static constexpr const char* kSixGaugesNeeded =
      "该规范至少需要6个位移通道，1、2、3\r\n为下沉，4、5、6为上拔，请及时开启！";

  ShiYanGuiFan();
  const char* ClassName() const override { return "ShiYanGuiFan"; }
  bool onInitDialog() override;
  bool preTranslateMessage(platform::ui::Message& msg) override { return DigitOnlyPreTranslateMessage(msg); }
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }

  void RefreshFromParameter();
  void FillStandardButtons();
  void SelectStandard(int button);
  void ApplyStandard(int code);
  void DeriveLoadSteps();
  void OnBnClickedOk();
  void OnNextPage();
  void OnPreviousPage();
  void OnCycleMode(bool over);
  void OnToggleRefillUnit();
  void OnSoil(int soil);
  void OnCross(bool over, int flag);
  void OnToggleLoadingMode();
  void OnSetFocusEdit(int edit);

  // What the dialog holds.
  const std::vector<StandardEntry>& listed() const { return listed_; }
  int page() const { return page_; }
  int pageCount() const { return pageCount_; }
  int selectedCode() const { return selectedCode_; }
  int selectedButton() const { return selectedButton_; }
  int refillUnitMode() const { return refillUnitMode_; }
  const StandardForm& form() const { return form_; }
  bool dirty() const { return warning(); }

 protected:
  int RequesterCode() const override { return kRequesterStandard; }
  void OnRefresh() override { RefreshFromParameter(); }
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnCtlColor(platform::ui::CtlColor& c) override;

 private:
  Parameter* channel() const { return CurrentChannel(); }
  void show(int id, bool on);
  void enable(int id, bool on);
  void put(int id, const std::string& text);
  void changed();
  void showForm();
  void setPaging();
  void setModeCaptions(bool over, int mode);
  void setCrossCaptions(bool over);
  std::string captionOf(int edit) const;

  std::vector<StandardEntry> listed_;
  int page_ = 1;
  int pageCount_ = 1;
  int selectedCode_ = 0;
  int selectedButton_ = 0;
  int refillUnitMode_ = 0;
  float extraValue_ = 0.0f;  // the value of 1115 as the last OK read it
  StandardForm form_;
};
