// The sensor and jack selection SelCgq: the force sensor or the jacks of the current channel picked
// from the calibration database ("qjd.qjd", or "qjd.cgq" by the channel's option). In jack mode up to
// nine jacks of one rated output are chosen together. OK writes the choice into the channel and
// returns to the sensor and jack dialog, which shows it and stores it with its own OK.
#pragma once

#include <string>
#include <vector>

#include "app/settings_dialog.h"
#include "app/widgets.h"
#include "calib/jack_selection.h"

class SelCgq : public SettingsDialog {
 public:
  static constexpr int kTemplateBoard1 = 177;
  static constexpr int kTemplateBoard0 = 206;

  static constexpr int kTitle = 1323;
  static constexpr int kStatus = 1205;
  static constexpr int kList = 1126;
  static constexpr int kChosenLine = 1326;
  static constexpr int kRegressionLine = 1325;
  static constexpr int kOk = 1;
  static constexpr int kCancel = 2;

  SelCgq();
  const char* ClassName() const override { return "SelCgq"; }
  bool onInitDialog() override;
  void onOK() override { OnOK(); }
  void onCancel() override;

  void FillList();
  void OnClickList();
  void OnOK();

  CColorListCtrl& list() { return list_; }
  const std::vector<SelectionRow>& rows() const { return rows_; }
  int markedRow() const { return marked_; }

 protected:
  int RequesterCode() const override { return -1; }  // no keypad edits
  void OnCtlColor(platform::ui::CtlColor& c) override;

 private:
  Parameter* channel() const { return CurrentChannel(); }
  void Summarize();
  void TakeSensor(int row, const char* prefix);
  void SetChosen(int row, bool on);

  CColorListCtrl list_;
  std::vector<SelectionRow> rows_;
  int mode_ = 0;
  int marked_ = -1;
  std::string selection_;
  int count_ = 0;
  float a_ = 0.0f, b_ = 0.0f;
  float ratedPressure_ = 0.0f, ratedOutput_ = 0.0f;
  int sensorRange_ = 0;
  float sensorSensitivity_ = 0.0f;
  int sensorType_ = 0;
};
