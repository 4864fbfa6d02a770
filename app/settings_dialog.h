// The frame of the settings dialogs (test information, controller selection, standards, system
// settings, sensors, calibration, zeroing, preload, ...): modeless dialogs that live for the whole run
// and are shown and hidden over the main window. The frame gives each its status line with the warning
// flag (red while set, blue while clear), the keypad cycle (the request step that hands an edit's value
// to the keypad Key, and the return step that takes the result when the dialog is in front again), the
// exit that only hides, the hardware-key filter that lets only digits and the period through, and the
// empty paint handler.
#pragma once

#include <string>

#include "app/monitor_dialogs.h"

// Requester codes of the keypad request, one per requesting dialog (0: no request outstanding).
inline constexpr int kRequesterNone = 0;
inline constexpr int kRequesterTestInformation = 1;   // GongChengXinXi
inline constexpr int kRequesterSensors = 2;           // ChuanGanQi
inline constexpr int kRequesterStandard = 3;          // ShiYanGuiFan
inline constexpr int kRequesterSystemSettings = 4;    // XiTongBaoHu
inline constexpr int kRequesterZeroing = 5;           // ShuJuQingLing
inline constexpr int kRequesterPreload = 6;           // ShiZhuangYuYa
inline constexpr int kRequesterDateTime = 7;          // XiTongshijian
inline constexpr int kRequesterJackCalibration = 8;   // QianJinDingLvDing
inline constexpr int kRequesterSystemCalibration = 9; // XiTongBiaoDing
inline constexpr int kRequesterControllers = 10;      // CCeKongQi

// Texts of the status line shared by the settings dialogs.
inline constexpr const char* kParameterChanged = "参数已改变，按确定键输入有效！";
inline constexpr const char* kTestTypeLocked = "测试已经开始，无法改变检测类型！";
inline constexpr const char* kSaveFailed = "保存失败!";

// A keypad edit of a dialog: the edit, the label whose text is its keypad caption, the maximum length
// and the keypad's mode.
struct KeypadEdit {
  int edit;
  int label;
  int maxLength;
  int mode;
};

// True for a hardware key that the digit-only dialogs let through: '0'-'9' and the period.
bool IsDigitOnlyKey(unsigned virtualKey);

class SettingsDialog : public MonitorDialog {
 public:
  // `statusId` is the dialog's status line; a dialog without a warning flag (`alwaysRed`) shows every
  // status text in red.
  SettingsDialog(int templateId, int statusId, bool alwaysRed = false);

  // The status line.
  void SetStatus(const std::string& text, bool warning);
  std::string StatusText() const { return getDlgItemText(statusId_); }
  bool warning() const { return warning_; }
  int statusId() const { return statusId_; }

  // Exit (or cancel) button: hides the dialog and does nothing else.
  void HidePageOnExit();
  // PreTranslateMessage of the digit-only dialogs: a key other than '0'-'9' and the period is swallowed
  // (true); everything else goes on to the dialog.
  bool DigitOnlyPreTranslateMessage(platform::ui::Message& msg);
  // WM_PAINT that draws nothing of its own (the controls draw themselves).
  platform::ui::LRESULT EmptyOnPaint(platform::ui::Message& msg);

  // True while the dialog is hidden for a trip to the keypad (from its request step until it is in
  // front again).
  bool atKeypad() const { return atKeypad_; }

 protected:
  // The request step of a keypad edit: fills the keypad request (of the current channel, or of all
  // three channels), moves the focus to `focusId`, hides the dialog and shows Key.
  void RequestKeypad(const std::string& text, const std::string& caption, int maxLength, int mode, int focusId,
                     bool allChannels = false);
  // The request step of a keypad edit whose caption is its label's text.
  void RequestKeypadFor(const KeypadEdit& e, int focusId, bool allChannels = false);

  // The dialog's own requester code.
  virtual int RequesterCode() const = 0;
  // Code 0 on activation: the dialog refreshes itself from its channel(s).
  virtual void OnRefresh() {}
  // The dialog's own code on activation: the keypad's result (caption and text) for one of its edits.
  // The frame clears the code afterwards.
  virtual void OnKeypadResult(const KeypadRequest& result) { (void)result; }
  // Colours of the dialog's own controls, after the status line's.
  virtual void OnCtlColor(platform::ui::CtlColor& c) { (void)c; }
  // Any new activation state other than WA_ACTIVE (the dialog loses activation, or a tap activates it).
  virtual void OnOtherActivation(int state) { (void)state; }

  // The channel whose request the return step reads: the current channel, or channel 1 for dialogs
  // whose requests go to all three channels (`SetRequestsAllChannels`).
  Parameter* RequestChannel() const;
  void SetRequestsAllChannels(bool all) { requestAllChannels_ = all; }

 private:
  void OnActivate(platform::ui::Message& m);

  int statusId_;
  bool alwaysRed_;
  bool warning_ = false;
  bool atKeypad_ = false;
  bool requestAllChannels_ = false;
};
