// The main window's start-up of its channels, its timer-1 main loop, the supervisor pass and what the
// test procedure shows on it.
#include <algorithm>
#include <cstdio>

#include "app/channel_init.h"
#include "app/monitor_dlg.h"
#include "app/queren.h"
#include "model/helpers.h"
#include "platform/clock/clock.h"
#include "platform/ui/controls.h"

using namespace platform::ui;
namespace clk = platform::clock;

namespace {

std::string clockText(const clk::DateTime& t) {
  char s[32];
  std::snprintf(s, sizeof s, "%02d : %02d : %02d", t.hour, t.minute, t.second);
  return s;
}

std::string dateText(const clk::DateTime& t) {
  char s[32];
  std::snprintf(s, sizeof s, "%04d-%02d-%02d", t.year, t.month, t.day);
  return s;
}

}  // namespace

// ---- start-up ----------------------------------------------------------------------------------------

void CMonitorDlg::InitChannel(Parameter& p, const std::string& name) {
  ChannelFirstDisplay shown = InitChannelRecord(p, name, channel(1));
  // A test taken up again goes on with its level, counters and reading schedule.
  if (p.testRunning.load() == 1 && loop_.procedure) {
    loop_.procedure->ResumeFromRunningState(p);
    shown.level = FirstDisplayLevelText(p);
  }
  setDlgItemText(1030, shown.nextReading);
  setDlgItemText(1026, shown.level);
  setDlgItemText(1012, shown.controlLoad);
  setDlgItemText(1034, shown.serial);
  setDlgItemText(1036, shown.pile);
}

void CMonitorDlg::InitChannelsOfLoop() {
  InstallMainLoopHandlers();
  loop_.procedure = std::make_unique<frontend::ChannelProcedure>(channel(1), channel(2), channel(3), *this, &link_);
  for (int n = 1; n <= 3; ++n) InitChannel(channel(n), std::to_string(n));
  loop_.clock.Reseed();
}

// ---- prompts -------------------------------------------------------------------------------------------

int CMonitorDlg::confirm(const std::string& question) {
  // A held manual key must not keep the pump running while the prompt has the input.
  ReleaseManualKeys();
  const bool yes = AskConfirmation(question, this);
  // The time spent in the prompt is no clock jump.
  loop_.clock.Reseed();
  return yes ? 1 : 2;
}

void CMonitorDlg::ClockWasSet() { ClockGuard::NotifyClockSet(); }

// ---- what the test procedure shows ------------------------------------------------------------------

void CMonitorDlg::setControlText(int id, const std::string& text) {
  // These controls take their colour from their text, and a changed text repaints the control by
  // itself; an unchanged one is left alone. Only the pump-stop key's colour follows a flag of channel 1
  // that may change while its text stays.
  setDlgItemText(id, text);
  if (id == 1275)
    if (Window* w = getDlgItem(id)) w->invalidate();
}

void CMonitorDlg::showControl(int id, bool visible) {
  if (Window* w = getDlgItem(id)) w->showWindow(visible ? SW_SHOWNA : SW_HIDE);
}

void CMonitorDlg::hideSecondaryDialogs() {
  for (int i = 0; i < kMonitorSlotCount; ++i) {
    const auto slot = static_cast<MonitorSlot>(i);
    if (SlotInfo(slot).page) continue;
    if (MonitorDialog* d = g_pMonitorDialogs.at(slot); d && d->exists() && d->isVisible()) d->showWindow(SW_HIDE);
  }
}

int CMonitorDlg::shownReportPage() const { return currentPage_; }

// ---- timer 1 -----------------------------------------------------------------------------------------

int CMonitorDlg::SelectedChannel() {
  const std::string& s = channel(1).selectedChannelText;
  if (s == "1") return 1;
  if (s == "2") return 2;
  if (s == "3") return 3;
  return 0;
}

void CMonitorDlg::OnMainTimer() {
  // A run of timer 1 (and a prompt it opened) is never entered again from inside.
  if (loop_.inTimer1) return;
  loop_.inTimer1 = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{loop_.inTimer1};

  Parameter& c1 = channel(1);
  const int board = boardFlag();

  // 1. Link reopen, on the port of the link type.
  if (c1.linkReopenRequest.load() == 1) {
    link_.Reopen();
    c1.linkReopenRequest = 0;
  }

  // 2. Storage card, 12 ticks after start-up.
  if (c1.sdCheckRequest == 1 && ++c1.sdCheckTicks > 12) {
    c1.sdCheckRequest = 0;
    c1.sdCheckTicks = 0;
    if (!FileExists(GetSdCardDir(board))) confirm("未检测到SD卡但不影响本次试验，\r\n请尽快送修检查SD卡！");
    // Storage that is there but takes no writes is a fault of the storage (reported just below).
    if (!StorageTakesWrites(GetDataRoot(board))) c1.configCheck = 4;
  }

  // 3. A parameter file that failed its check.
  if (std::any_of(channels_.begin(), channels_.end(), [](const Parameter& p) { return p.configCheck.load() == 4; })) {
    for (Parameter& p : channels_) p.configCheck = 0;
    confirm("仪器存储出现故障，\r\n请将试验数据导出，及时送修！");
  }

  // 4. The buzzer sounds until the tick after it came on.
  if (const int on = c1.alarmOn.load(); on > 0) {
    if (on + 1 > 2) {
      for (Parameter& p : channels_) p.alarmOn = 0;
    } else {
      c1.alarmOn = on + 1;
      link_.BuzzerOff();
    }
  }

  // 5. Silence check of each controller.
  for (Parameter& p : channels_) SilenceCheck(p, c1.tickLimit);

  // 6. Channel lamps.
  const int selected = SelectedChannel();
  int active = 0;
  for (int n = 1; n <= 3; ++n) {
    Parameter& p = channel(n);
    const bool on = p.testRunning.load() == 1 || selected == n || p.pollWhenIdle.load() == 1;
    if (on) ++active;
    CColorButton& b = channelButton(n);
    // A lamp repaints only when its face changes: any repaint redraws the whole screen.
    const int face = NextLampState(b.state, on, p.controllerSilent.load() != 0);
    if (face != b.state) {
      b.state = face;
      b.invalidate(true);
    }
    b.enableWindow(on);
  }

  // 7. Poll period and silence-check interval.
  const PollSettings poll = PollSettingsFor(active);
  c1.pollPeriodMs = poll.periodMs;
  c1.tickLimit = poll.tickLimit;

  // 8-9. Clock-jump guard.
  loop_.clock.Tick();

  // 10. Test clocks.
  for (Parameter& p : channels_) {
    p.localTime = clk::localTime();
    const std::int64_t seconds = p.localTime.year >= 1900 ? clk::toSeconds(p.localTime) : 0;
    const clk::DateTime t = clk::fromSeconds(seconds + p.clockShift);
    if (clk::isValid(t)) p.testClock = t;
  }

  // 11. Control ticks and the supervisor. The controller time-out is checked for every channel (the
  // display checks the shown one, and its icons win).
  link_.RefreshFromUi();
  for (int n = 1; n <= 3; ++n)
    if (n != selected) link_.UpdateLinkQuality(n);
  if (loop_.procedure)
    for (int n = 1; n <= 3; ++n) loop_.procedure->ControlTick(channel(n), std::to_string(n));
  SuperviseChannels();

  // 12. The shown channel. A channel newly shown (by any road: its button, the controller selection,
  // the system settings) has the page in the tab drawn anew from its own test.
  if (selected != 0) {
    Parameter& p = channel(selected);
    if (selected != loop_.shownChannel) p.pageRedraw = currentPage_;
    loop_.shownChannel = selected;
    RefreshChannelView(p);
    for (int k = 1; k <= 3; ++k) setDlgItemText(1306 + k, std::to_string(k) + (k == selected ? "# 锁定" : "#"));
    setDlgItemText(1032, clockText(p.testClock));
    setDlgItemText(1041, dateText(p.testClock));
    setDlgItemText(1030, p.timeText);
    return;
  }

  // 13. Idle screen.
  loop_.shownChannel = 0;
  const bool radio = c1.ParameterList.item(57) == 0.0f;
  for (int id : {1224, 1226, 1228, 1229, 1230, 1241}) showControl(id, false);
  showControl(1225, radio);
  showControl(1242, !radio);
  setDlgItemText(1346, radio ? "信号强度" : "有线未连");
  setDlgItemText(1032, clockText(c1.localTime));
  setDlgItemText(1041, dateText(c1.localTime));
  // The idle prompt takes the line only when nothing else is to be shown there.
  if (!StatusLineHeld() && !loop_.supervisorShows) ShowStatusText("新试验从“系统设置”按钮开始！", false);
}

void CMonitorDlg::ShowStatusText(const std::string& text, bool alert) {
  setDlgItemText(kStatusLine, text);
  SetStatusAlert(alert);
}

void CMonitorDlg::HoldStatusText(const std::string& text, bool alert, std::uint64_t ms) {
  ShowStatusText(text, alert);
  loop_.statusHeldUntilMs = clk::monotonicMs() + ms;
}

bool CMonitorDlg::StatusLineHeld(int n) const {
  return statusHold_[static_cast<std::size_t>(n - 1)] || clk::monotonicMs() < loop_.statusHeldUntilMs;
}

void CMonitorDlg::SetStatusAlert(bool alert) {
  if (statusAlert_ == alert) return;
  statusAlert_ = alert;
  if (Window* w = getDlgItem(kStatusLine)) w->invalidate();
}

// ---- supervisor ----------------------------------------------------------------------------------------

void CMonitorDlg::SuperviseChannels() {
  const std::array<Parameter*, 3> ch = {&channel(1), &channel(2), &channel(3)};
  const TestSupervisor::Result r = loop_.supervisor.Supervise(ch, [this] { link_.AlarmOn(); });
  for (std::size_t i = 0; i < 3; ++i)
    if (r.alarmPaused[i]) powerPaused_[i] = false;  // an alarm pause is never taken back by timer 3
  loop_.supervisorShows = r.textShown;
  if (StatusLineHeld()) return;  // the power-loss countdown or a held text owns the status line
  if (r.faultSeen) SetStatusAlert(true);
  if (!r.textShown) return;
  ShowStatusText(r.text, r.alert);
}
