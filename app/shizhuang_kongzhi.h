// The test-control dialog ShiZhuangKongZhi ("试桩控制"): the operator's panel for the test of the
// channel shown on the main window. It starts and ends the test, pauses and resumes it, takes a reading
// by hand, ends a pre-load, stops the pump, repeats or skips load levels, remembers the displacements
// while the gauges are re-set, and runs the instrument self-test.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/buzzer.h"
#include "app/monitor_dialogs.h"
#include "app/test_control.h"
#include "frontend/procedure.h"
#include "platform/device/device.h"
#include "platform/ui/controls.h"

// The self-test list: each row's text in the colour of its line's status.
class SelfTestList : public platform::ui::ListCtrl {
 public:
  explicit SelfTestList(const std::vector<testcontrol::SelfTestLine>& items) : items_(items) {}
  // Red for a failed line, black while running, dark green for a passed one.
  static platform::ui::Color StatusColor(int status);
  std::optional<platform::ui::Color> itemTextColor(int row, int col) const override;

 private:
  const std::vector<testcontrol::SelfTestLine>& items_;
};

class ShiZhuangKongZhi : public MonitorDialog {
 public:
  static constexpr int kTemplateBoard1 = 109;
  static constexpr int kTemplateBoard0 = 199;

  // Controls.
  static constexpr int kTitle = 1310;
  static constexpr int kStateText = 1010;
  static constexpr int kList = 1126;
  static constexpr int kVersion = 1011;
  static constexpr int kEdition = 1012;
  static constexpr int kMessage = 1205;
  static constexpr int kSelfTest = 1276;
  static constexpr int kPreload = 1277;
  static constexpr int kStartEnd = 1278;
  static constexpr int kPause = 1279;
  static constexpr int kPumpStop = 1273;
  static constexpr int kExit = 1125;
  static constexpr int kRedo = 1274;
  static constexpr int kManual = 1275;
  static constexpr int kLoadNext = 1271;
  static constexpr int kUnloadNext = 1272;

  // Timers.
  static constexpr unsigned kStartBeepTimer = 2;
  static constexpr unsigned kManualBeepTimer = 3;
  static constexpr unsigned kHideTimer = 4;
  static constexpr unsigned kSelfTestTimer = 5;
  static constexpr unsigned kStatusTimer = 6;

  ShiZhuangKongZhi();
  ~ShiZhuangKongZhi() override;
  const char* ClassName() const override { return "ShiZhuangKongZhi"; }

  bool onInitDialog() override;
  void onOK() override {}
  void onCancel() override { OnBnClickedExit(); }

  // Button handlers.
  void OnBnClickedExit();
  void OnBnClickedSelfTest();
  void OnBnClickedPreload();
  void OnBnClickedStartTest();
  void OnBnClickedPause();
  void OnBnClickedPumpStop();
  void OnBnClickedRedoLevel();
  void OnBnClickedManualRecord();
  void OnBnClickedLoadNext();
  void OnBnClickedUnloadNext();

  // The operations behind them.
  int StartTest();  // 1 started or already running, 0 refused
  void EndTest();
  void ManualRecord();
  void TogglePause();
  void TogglePreload();
  void DisplacementMemory();
  void RefreshOnActivate();
  void BuzzerOn();

  // The procedure of the three channels whose pause, resume, pump stop and level request the dialog
  // uses. The dialog keeps one of its own unless the main window hands over its own.
  void SetProcedure(frontend::ChannelProcedure* procedure) { procedure_ = procedure; }
  frontend::ChannelProcedure& procedure();

  // State the tests read.
  bool messageIsError() const { return messageIsError_; }
  const testcontrol::SelfTest& selfTest() const { return selfTest_; }
  testcontrol::SelfTest& selfTest() { return selfTest_; }
  SelfTestList& listView() { return list_; }
  const std::array<float, 8>& rememberedDisplacements() const { return rememberedDisplacements_; }
  platform::ui::Font fontOf(int id) const;

 private:
  class ProcedurePort;

  Parameter* channel() const { return CurrentChannel(); }
  float route() const;  // upload route: item 56 of channel 1
  int shownPage() const;
  bool ask(const std::string& question);
  void setMessage(const std::string& text, bool error);
  void showLinked(MonitorSlot slot);
  void enable(int id, bool on);
  void caption(int id, const std::string& text) { setDlgItemText(id, text); }
  void showStateText(const std::string& text);
  void setRunningButtons();
  void setIdleButtons();
  void applyLevelButtons(const Parameter& p);
  void syncList();
  void OnTimer(unsigned id);
  void BuzzerOff();

  testcontrol::SelfTest selfTest_;  // before the list, which shows its lines
  SelfTestList list_;
  Parameter* selfTestChannel_ = nullptr;
  std::array<float, 8> rememberedDisplacements_{};
  bool memoryPending_ = false;
  Parameter* memoryChannel_ = nullptr;
  bool messageIsError_ = false;
  ConfirmationBuzzer buzzer_;
  frontend::ChannelProcedure* procedure_ = nullptr;
  std::unique_ptr<ProcedurePort> ownPort_;
  std::unique_ptr<frontend::ChannelProcedure> ownProcedure_;
};
