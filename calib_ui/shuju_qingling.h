// The sensor zeroing dialog ShuJuQingLing: for the shown channel the force and the eight displacement
// gauges with their live readings, zero marks, directions and typed corrections, and the displacement
// memory that carries the readings over while the gauges are re-set. OK applies them all at once to
// the channel, its header records and a running test's file.
#pragma once

#include <array>

#include "app/settings_dialog.h"

class ShuJuQingLing : public SettingsDialog {
 public:
  static constexpr int kTemplateA = 108;
  static constexpr int kTemplateB = 200;
  static constexpr int kTitle = 1310;
  static constexpr int kForceLabel = 1012;
  static constexpr int kForceReading = 1020;
  static constexpr int kReading1 = 1021;      // 1021-1028
  static constexpr int kForceCorrection = 1081;
  static constexpr int kCorrection1 = 1082;   // 1082-1089
  static constexpr int kForceZero = 1121;
  static constexpr int kZero1 = 1122;         // 1122-1129
  static constexpr int kDirection1 = 1140;    // 1140-1147
  static constexpr int kMemory = 1257;
  static constexpr int kOk = 1259;
  static constexpr int kExit = 1258;
  static constexpr int kStatus = 1205;
  static constexpr int kStatusPlace = 1206;
  static constexpr unsigned kTimer = 1;
  static constexpr std::array<int, 8> kGaugeLabels{1013, 1014, 1015, 1016, 1029, 1030, 1031, 1037};

  ShuJuQingLing();
  const char* ClassName() const override { return "ShuJuQingLing"; }
  bool onInitDialog() override;
  void onOK() override {}
  void onCancel() override { OnBnClickedExit(); }
  bool preTranslateMessage(platform::ui::Message& msg) override { return DigitOnlyPreTranslateMessage(msg); }

  static std::string GaugeLabel(int k);  // "位移k(mm)"

  void Refresh();
  void ShowReadings();
  void OnSetFocusCorrection(int k);
  void OnBnClickedMemory();
  void ApplySettings();
  void OnBnClickedExit();

  bool memoryPending() const { return memoryPending_; }
  const std::array<float, 8>& memory() const { return memory_; }

 protected:
  int RequesterCode() const override { return kRequesterZeroing; }
  void OnRefresh() override;
  void OnKeypadResult(const KeypadRequest& result) override;
  void OnCtlColor(platform::ui::CtlColor& c) override;
  void OnOtherActivation(int state) override;

 private:
  bool gaugeOn(const Parameter& p, int k) const;
  std::string gaugeText(const Parameter& p, float value) const;
  void enable(int id, bool on);

  bool memoryPending_ = false;
  bool keepShown_ = false;  // an activation that keeps what the dialog shows (the one after its prompt)
  std::array<float, 8> memory_{};
};
