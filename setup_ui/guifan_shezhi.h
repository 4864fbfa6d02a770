// The standards check-list GuiFanSheZhi: one row per catalogue standard with a check box that says
// whether the standard selection offers it. The choice is the whole system's: it lives in channel 1's
// parameter list and file whatever channel is current. A standard that a running test uses cannot be
// taken off the list. Opened from the system settings and goes back there.
#pragma once

#include <vector>

#include "app/settings_dialog.h"

class GuiFanSheZhi : public SettingsDialog {
 public:
  static constexpr int kTemplateBoard1 = 180;
  static constexpr int kTemplateBoard0 = 205;
  static constexpr int kList = 1126;
  static constexpr int kTitle = 1314;
  static constexpr int kOk = 1315;
  static constexpr int kExit = 1123;
  static constexpr int kStatus = 1205;

  GuiFanSheZhi();
  const char* ClassName() const override { return "GuiFanSheZhi"; }
  bool onInitDialog() override;
  void onOK() override {}
  void onCancel() override { OnBnClickedExit(); }

  void FillList();
  // A tap on a row (NM_CLICK or NM_DBLCLK): `onBox` when it hit the row's check box.
  void OnClickRow(int row, bool onBox);
  void OnBnClickedOk();
  void OnBnClickedExit();

  platform::ui::ListCtrl* list() const;

 protected:
  int RequesterCode() const override { return kRequesterNone; }
  void OnRefresh() override { FillList(); }

 private:
  bool inUse(int row) const;
  void backToSettings();
};
