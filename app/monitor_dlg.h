// The main monitoring window: a full-screen dialog that lives for the whole run. It owns the three
// channel records and the front-end link, creates the secondary dialogs and report pages of the
// registry, shows them from its buttons, starts the main-loop timers and the watchdog program, and
// reacts to the loss of external power.
#pragma once

#include <array>
#include <deque>
#include <mutex>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_loop.h"
#include "app/monitor_dialogs.h"
#include "app/widgets.h"
#include "frontend/link.h"
#include "upload/upload_link.h"
#include "frontend/mainwindow_port.h"
#include "model/parameter.h"
#include "platform/device/device.h"
#include "platform/process/process.h"
#include "platform/ui/dialog.h"

class CMonitorDlg : public platform::ui::Dialog, public frontend::MainWindowPort {
 public:
  static constexpr int kTemplateBoard1 = 102;
  static constexpr int kTemplateBoard0 = 181;
  static constexpr std::uint32_t kPowerLostMessage = 0x501;
  static constexpr std::uint32_t kIdleUserMessage = 0x465;
  static constexpr std::uint32_t kMessageBoxMessage = platform::ui::WM_USER + 0x200;
  static constexpr int kStatusLine = 1040;
  static constexpr int kTab = 1240;
  static constexpr int kProgress = 1234;
  static constexpr unsigned kMainTimer = 1;
  static constexpr unsigned kGpsTimer = 2;
  static constexpr unsigned kPowerTimer = 3;

  explicit CMonitorDlg(int templateId);
  ~CMonitorDlg() override;

  Parameter& channel(int n) { return channels_[static_cast<std::size_t>(n - 1)]; }
  CColorButton& channelButton(int n) { return channelButtons_[static_cast<std::size_t>(n - 1)]; }
  frontend::FrontEndLink& link() { return link_; }
  upload::UploadLink& uploadLink() { return upload_; }
  MonitorDialog* page(int index) const { return pages_[static_cast<std::size_t>(index)]; }
  int currentPage() const { return currentPage_; }
  int boardFlag() { return channel(1).boardFlag.load(); }

  bool statusAlert() const { return statusAlert_; }
  bool statusHold(int n) const { return statusHold_[static_cast<std::size_t>(n - 1)]; }
  bool powerPaused(int n) const { return powerPaused_[static_cast<std::size_t>(n - 1)]; }
  bool sentryStarted() const { return sentryStarted_; }

  bool onInitDialog() override;
  void onOK() override {}      // the main window has no OK; it ends only when the program ends
  void onCancel() override {}

  // The power-loss notice (message 0x501): wParam 5 is the only event handled, lParam the
  // milliseconds since external power was lost.
  void OnPowerLost(platform::ui::WPARAM event, platform::ui::LPARAM msSinceLoss);

  // MainWindowPort.
  void showSignalLevel(int level) override;
  void showWiredState(int state) override;
  void setLinkLabel(const std::string& text) override;
  void messageBox(const std::string& text) override;
  int confirm(const std::string& question) override;
  void setControlText(int id, const std::string& text) override;
  void showControl(int id, bool visible) override;
  void hideSecondaryDialogs() override;
  int shownReportPage() const override;

  // Channel start-up, main loop, display of the selected channel, supervisor, upgrade and manual keys.
  void InitChannel(Parameter& p, const std::string& name);
  void OnMainTimer();
  void SuperviseChannels();
  void RefreshChannelView(Parameter& p);
  int ComputeHourSettlement(Parameter& p);
  void OnBnClickedChannel(int n);
  void OnTcnSelchangeTab();
  void OnStnClickedGauge8();
  void OnBnClickedUpgrade();
  void OnBnClickedPause();
  void OnPumpStopClicked();
  bool preTranslateMessage(platform::ui::Message& msg) override;
  // Stops the pump of a held manual key (its release was lost: a prompt, a deactivation).
  void ReleaseManualKeys();
  // A deliberate setting of the time: the clock-jump guard takes the new time.
  void ClockWasSet();
  // The status line 1040: a text in red (alert) or blue. A held text stays for `ms` (a failure that
  // must be read): until then neither the idle prompt nor the supervisor's rotation replaces it.
  static constexpr std::uint64_t kStatusHoldMs = 8000;
  void ShowStatusText(const std::string& text, bool alert);
  void HoldStatusText(const std::string& text, bool alert, std::uint64_t ms = kStatusHoldMs);
  // Whether the status line is held: by a held text, or (for channel n's view) by the power-loss
  // countdown.
  bool StatusLineHeld(int n = 1) const;
  // The selected channel (1..3), 0 when none is shown.
  int SelectedChannel();
  std::string VersionText();
  MainLoopState& loop() { return loop_; }

 private:
  void InitChannels();
  void ShowRegistryDialog(MonitorSlot slot);
  void OnPaint();
  void OnDestroy();
  void OnTimer(unsigned id);
  void OnPowerTimer();
  void ApplyFonts();
  void InitChannelsOfLoop();
  void InstallMainLoopHandlers();
  void ControlColor(platform::ui::CtlColor& c);
  void PressManualKey(int id);
  void SetStatusAlert(bool alert);

  std::array<Parameter, 3> channels_;
  std::array<CColorButton, 3> channelButtons_;
  frontend::FrontEndLink link_;
  upload::UploadLink upload_;  // the modules' ports, the upload thread and the readers
  std::vector<std::unique_ptr<platform::ui::Window>> icons_;
  std::array<MonitorDialog*, 6> pages_{};
  int currentPage_ = 0;
  bool statusAlert_ = false;
  std::array<bool, 3> statusHold_{};
  std::array<bool, 3> powerPaused_{};
  bool powerTimerArmed_ = true;
  int powerResumeCounter_ = 0;
  bool sentryStarted_ = false;
  platform::device::Handle udc_ = platform::device::kInvalidHandle;
  platform::process::NamedEvent syncEvent_;
  std::unique_ptr<platform::process::PowerMonitor> powerMonitor_;
  std::thread::id uiThread_;
  std::mutex messagesLock_;
  std::deque<std::string> pendingMessages_;
  MainLoopState loop_;
};
