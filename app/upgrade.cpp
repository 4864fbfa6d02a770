// The software upgrade button, the manual load and unload keys (the pump runs only while one is held),
// the tap on the pump display (forced pump stop) and the pause button of the main window.
#include <cstdlib>

#include "app/channel_init.h"
#include "app/monitor_dlg.h"
#include "app/queren.h"
#include "model/helpers.h"
#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "platform/ui/controls.h"

using namespace platform::ui;

namespace {

// The edition code: the option switches of this build in letters and digits.
std::string editionCode(const Parameter& c1) {
  return std::string(c1.uploadOption.load() == 1 ? "U" : "S") + (c1.secondOption.load() == 1 ? "T" : "") +
         std::to_string(kOptionValue);
}

}  // namespace

std::string CMonitorDlg::VersionText() {
  Parameter& c1 = channel(1);
  const int board = boardFlag();
  std::string text = "当前版本718C-";
  if (FileExists(GetSdCardDir(board))) text += "C";
  text += c1.forceSensorType.load() == 2 ? "2" : "1";
  text += board == 1 ? "A" : "B";
  text += c1.versionText + " " + editionCode(c1);
  return text;
}

void CMonitorDlg::OnBnClickedUpgrade() {
  const int board = boardFlag();
  if (confirm(VersionText() + "\r\n确定要进行软件更新吗？\r\n按下确定前，请先将带有升级文件的U盘\r\n插入仪器的USB口。") != 1)
    return;
  // A running test is only stopped when the operator says so.
  bool running = false;
  for (Parameter& p : channels_) running = running || p.testRunning.load() == 1;
  if (running && confirm("有试验正在进行，软件更新将中止试验，\r\n确定要继续吗？") != 1) return;
  // The newest companion programs from the U-disk replace the old ones, which stay whole until the new
  // ones are completely in place (a power loss leaves the one or the other).
  const std::string usb = GetUsbDiskRoot(board);
  const std::string program = GetProgramRoot(board);
  for (const char* name : {"SentryC.exe", "RefitC.exe"}) {
    std::string bytes;
    if (FileExists(usb + name) && platform::fs::readFile(usb + name, bytes))
      platform::fs::replaceFile(program + name, bytes);
  }
  const std::string refit = program + "RefitC.exe";
  if (!FileExists(refit) || !platform::process::startProgram(refit)) {
    // The failure stays on the status line long enough to be read.
    HoldStatusText("启动升级程序失败，源文件丢失或不存在！", true);
    return;
  }
  if (loop_.exitProgram) {
    loop_.exitProgram();
    return;
  }
  std::_Exit(0);
}

// ---- manual keys ---------------------------------------------------------------------------------------

void CMonitorDlg::PressManualKey(int id) {
  const int selected = SelectedChannel();
  Parameter* p = selected ? &channel(selected) : nullptr;
  const bool automatic = p && (p->loadingMode.load() == 2 || p->loadingMode.load() == 3);
  if (id == 1277) {
    if (p) {
      p->link.manualOverride = 1;
      p->pumpCommand = 255;
    }
    loop_.lastKeyCaption = automatic ? "正在\r\n加载" : "正在\r\n控载";
  } else {
    if (p && automatic) {
      p->link.autoLoading = 1;
      p->pumpCommand = 255;
    }
    loop_.lastKeyCaption = "正在\r\n卸载";
  }
  setControlText(id, loop_.lastKeyCaption);
  loop_.manualKeys = false;
  loop_.keyDown = id;
}

void CMonitorDlg::ReleaseManualKeys() {
  if (loop_.keyDown == 0 && loop_.manualKeys) return;
  const int selected = SelectedChannel();
  if (selected) {
    Parameter& p = channel(selected);
    p.link.manualOverride = 0;
    p.link.autoLoading = 0;
    p.pumpCommand = 0;
    const bool automatic = p.loadingMode.load() == 2 || p.loadingMode.load() == 3;
    setControlText(1277, automatic ? "手动\r\n加载" : "手动\r\n控载");
  } else {
    setControlText(1277, "手动\r\n控载");
  }
  // A key held on another channel before the selection changed stops as well.
  for (Parameter& p : channels_) {
    if (p.link.manualOverride.load() || p.link.autoLoading.load()) {
      p.link.manualOverride = 0;
      p.link.autoLoading = 0;
      p.pumpCommand = 0;
    }
  }
  setControlText(1280, "手动\r\n卸载");
  loop_.manualKeys = true;
  loop_.keyDown = 0;
}

bool CMonitorDlg::preTranslateMessage(Message& msg) {
  if (msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONUP) {
    Window* target = fromHandle(msg.hwnd);
    int id = target && target->parent() == this ? target->id() : 0;
    if (target == this) {
      // A tap on a plain static reaches the dialog: find the pump display under the finger.
      const Point pt{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      for (int candidate : {1038, kProgress}) {
        Window* w = getDlgItem(candidate);
        const Rect r = w ? w->windowRect() : Rect{};
        if (w && w->isVisible() && pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom) id = candidate;
      }
    }
    const int selected = SelectedChannel();
    if (msg.message == WM_LBUTTONDOWN) {
      if (id == kProgress || id == 1038) {
        if (selected && loop_.procedure) loop_.procedure->TogglePumpStop(channel(selected));
      } else if ((id == 1277 || id == 1280) && target && target->isEnabled()) {
        PressManualKey(id);
      }
    } else if (id == 1277 || id == 1280 || loop_.keyDown != 0) {
      // The release of a held key, wherever the finger was lifted.
      ReleaseManualKeys();
    }
  }
  return Dialog::preTranslateMessage(msg);
}

void CMonitorDlg::OnBnClickedPause() {
  const int selected = SelectedChannel();
  if (selected == 0 || !loop_.procedure) return;
  Parameter& p = channel(selected);
  loop_.procedure->TogglePause(p);
  // An operator's pause or resume is never undone by the power-loss timer.
  powerPaused_[static_cast<std::size_t>(selected - 1)] = false;
}

void CMonitorDlg::OnPumpStopClicked() {
  const int selected = SelectedChannel();
  if (selected && loop_.procedure) loop_.procedure->TogglePumpStop(channel(selected));
}

// ---- handlers ------------------------------------------------------------------------------------------

void CMonitorDlg::InstallMainLoopHandlers() {
  on(WM_CTLCOLOR, [this](Message& m) {
    ControlColor(CtlColor::of(m));
    return LRESULT{0};
  });
  on(WM_CAPTURECHANGED, [this](Message& m) {
    ReleaseManualKeys();
    return defWindowProc(m);
  });
  on(WM_ACTIVATE, [this](Message& m) {
    if (LOWORD(m.wParam) == WA_INACTIVE) ReleaseManualKeys();
    return defWindowProc(m);
  });
  onCommand(1131, BN_CLICKED, [this] { OnBnClickedUpgrade(); });
  onCommand(1276, BN_CLICKED, [this] { OnBnClickedPause(); });
  for (int id : {1275, 1168, 1169, 1203}) onCommand(id, BN_CLICKED, [this] { OnPumpStopClicked(); });
  for (int n = 1; n <= 3; ++n) onCommand(1306 + n, BN_CLICKED, [this, n] { OnBnClickedChannel(n); });
  onNotify(kTab, TCN_SELCHANGE, [this](Notify&) {
    OnTcnSelchangeTab();
    return LRESULT{0};
  });
  onCommand(1049, STN_CLICKED, [this] { OnStnClickedGauge8(); });
}
