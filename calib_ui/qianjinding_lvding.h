// The jack calibration dialog QianJinDingLvDing: the ten calibration groups of "QJDdat.dat" (channel 1's
// list), one shown at a time. The operator types the jack or sensor number, the maximum force and the
// number of points through the keypad, generates the standard forces, types the measured value of each
// point, saves the group, pages through the groups and deletes one. The rules live in
// calib/jack_calibration.h; this is the window.
#pragma once

#include <string>

#include "app/settings_dialog.h"
#include "calib/jack_calibration.h"

class QianJinDingLvDing : public SettingsDialog {
 public:
  static constexpr int kTemplate = 110;

  // Controls.
  static constexpr int kTitle = 1008;
  static constexpr int kStatus = 1205;
  static constexpr int kInfoGroup = 1293;
  static constexpr int kKindLabel = 1009;
  static constexpr int kJackKind = 1127;
  static constexpr int kSystemKind = 1128;
  static constexpr int kJackNumberLabel = 1011;
  static constexpr int kJackNumber = 1174;
  static constexpr int kSensorNumberLabel = 1041;
  static constexpr int kSensorNumber = 1173;
  static constexpr int kMaxForceLabel = 1042;
  static constexpr int kMaxForce = 1176;
  static constexpr int kPointsLabel = 1010;
  static constexpr int kPoints = 1177;
  static constexpr int kGenerate = 1290;
  static constexpr int kDataGroup = 1294;
  static constexpr int kNumberHeadLeft = 1012;
  static constexpr int kStandardHeadLeft = 1013;
  static constexpr int kMeasuredHeadLeft = 1014;
  static constexpr int kNumberHeadRight = 1015;
  static constexpr int kStandardHeadRight = 1016;
  static constexpr int kMeasuredHeadRight = 1017;
  static constexpr int PointLabel(int k) { return 1018 + 2 * k; }     // point number of point k (0..10)
  static constexpr int StandardLabel(int k) { return 1019 + 2 * k; }  // standard force of point k
  static constexpr int MeasuredEdit(int k) { return 1178 + k; }       // measured value of point k
  static constexpr int kPrevious = 1122;
  static constexpr int kNext = 1123;
  static constexpr int kSave = 1125;
  static constexpr int kDelete = 1126;
  static constexpr int kExit = 1257;
  static constexpr int kFocusSink = 1175;
  // Hidden labels; 1043-1047 give the places of the rule and the frames drawn around the buttons.
  static constexpr int kHiddenCaption = 1007;
  static constexpr int kHiddenTable = 1040;
  static constexpr int kSaveFrame = 1043;
  static constexpr int kPreviousFrame = 1044;
  static constexpr int kNextFrame = 1045;
  static constexpr int kDeleteFrame = 1046;
  static constexpr int kExitFrame = 1047;

  QianJinDingLvDing();
  const char* ClassName() const override { return "QianJinDingLvDing"; }
  bool onInitDialog() override;
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }

  void FillGroupTable();
  void OnSetFocusEdit(int edit);
  void OnBnClickedAutoFill();
  void OnBnClickedSaveGroup();
  void OnBnClickedPrevGroup();
  void OnBnClickedNextGroup();
  void OnBnClickedDeleteGroup();
  void OnBnClickedJackKind();
  void OnBnClickedSystemKind();

  int group() const { return group_; }
  bool jackKind() const { return jackKind_; }
  bool groupEditable() const { return groupEditable_; }

 protected:
  int RequesterCode() const override { return kRequesterJackCalibration; }
  void OnRefresh() override;
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnCtlColor(platform::ui::CtlColor& c) override;

 private:
  Parameter* channel1() const { return Channel(1); }
  void enable(int id, bool on);
  void SetKind(bool jack);
  void Show(const JackMessage& m) { SetStatus(m.text, m.warning); }
  platform::ui::LRESULT OnPaint(platform::ui::Message& m);
  bool DeleteAvailable() const;
  // While shown: the delete frame follows channel 1's test, which starts and ends without the dialog.
  void FollowDeleteAvailability();
  static constexpr unsigned kStateTimer = 1;

  int group_ = 1;
  bool deleteShown_ = true;     // the delete frame as the screen was last told to show it: available
  int activations_ = 0;
  bool jackKind_ = true;        // the kind buttons' choice: jack calibration, else system calibration
  std::string sensorNumber_;    // the shown group's sensor number
  bool groupEditable_ = true;   // the shown group is not saved yet
};
