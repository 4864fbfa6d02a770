// The test information dialog GongChengXinXi: the operator describes the next test of the current
// channel (serial number, external serial number, pile number, test type, plate area of a plate test and
// the displacement gauges that take part). OK commits the test identity to the channel; while the test
// runs, OK only takes the gauges again.
#pragma once

#include <array>
#include <map>
#include <string>

#include "app/settings_dialog.h"
#include "app/widgets.h"

// Captions "开" (on) or "关" (off) of the eight gauge buttons, as the last press or refill left them.
extern std::array<std::string, 8> g_strChannelState;

class GongChengXinXi : public SettingsDialog {
 public:
  static constexpr int kTemplateBoard1 = 101;
  static constexpr int kTemplateBoard0 = 196;

  // Controls.
  static constexpr int kTitle = 1310;
  static constexpr int kSerialLabel = 1011;
  static constexpr int kPileLabel = 1012;
  static constexpr int kTypeLabel = 1013;
  static constexpr int kAreaLabel = 1014;
  static constexpr int kExternalLabel = 1015;
  static constexpr int kAreaUnit = 1016;  // template set B only
  static constexpr int kSerial = 1081;
  static constexpr int kPile = 1082;
  static constexpr int kHiddenEdit = 1083;
  static constexpr int kArea = 1084;
  static constexpr int kExternal = 1085;
  static constexpr int kNotice1 = 1023;
  static constexpr int kNotice2 = 1028;
  static constexpr int kStatus = 1205;
  static constexpr int kOk = 1243;
  static constexpr int kExit = 1244;
  static constexpr int kGauge1 = 1121;  // gauge buttons 1121-1128
  // Type buttons in their order on screen, and gauge labels of gauges 1-8.
  static constexpr std::array<int, 5> kTypeButtons = {1246, 1250, 1247, 1248, 1249};
  static constexpr std::array<int, 8> kGaugeLabels = {1019, 1020, 1021, 1022, 1024, 1025, 1026, 1027};

  GongChengXinXi();
  const char* ClassName() const override { return "GongChengXinXi"; }
  bool onInitDialog() override;
  bool preTranslateMessage(platform::ui::Message& msg) override { return DigitOnlyPreTranslateMessage(msg); }
  void onOK() override {}
  void onCancel() override { HidePageOnExit(); }

  void OnSetFocusEdit(int edit);
  void OnBnClickedTestType(int type);
  void OnBnClickedChannel(int k);  // 1-8
  void OnBnClickedOk();
  void UpdateTypeLabels();
  void FillFromTest();

  int gaugeState(int k) const { return gauges_[static_cast<std::size_t>(k - 1)].state; }
  CMyButton& gaugeButton(int k) { return gauges_[static_cast<std::size_t>(k - 1)]; }

 protected:
  int RequesterCode() const override { return kRequesterTestInformation; }
  void OnRefresh() override { FillFromTest(); }
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnCtlColor(platform::ui::CtlColor& c) override;

 private:
  Parameter* channel() const { return CurrentChannel(); }
  float route() const;
  void show(int id, bool on);
  void enable(int id, bool on);
  void move(int id, int dx, int dy, int widen = 0);
  void setGauge(int k, bool on);
  void OnShowWindow(bool shown);

  std::array<CMyButton, 8> gauges_;
  std::map<int, platform::ui::Rect> recorded_;  // labels, edits and type buttons as laid out
  // The test type when the dialog came up; put back when it is left without a successful OK.
  Parameter* typeChannel_ = nullptr;
  int typeOnEntry_ = -1;
  bool committed_ = false;
};
