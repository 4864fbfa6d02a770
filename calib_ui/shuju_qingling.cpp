#include "calib_ui/shuju_qingling.h"

#include "app/keypads.h"
#include "app/queren.h"
#include "app/test_control.h"
#include "calib/zeroing.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "model/record_values.h"
#include "platform/text/text.h"
#include "platform/ui/gdi.h"

using namespace platform::ui;
using Q = ShuJuQingLing;

namespace {

constexpr const char* kMarked = "√";
constexpr const char* kForward = "正向";
constexpr const char* kReversed = "反向";
constexpr const char* kMemoryQuestion = "确定进行位移记忆？\r\n该操作将记忆所有位移。";
constexpr const char* kMemoryPendingText = "位移调整完成后按确定键完成操作！";

constexpr int kRowTop = 96;
constexpr int kRowHeight = 56;

DialogTemplate ZeroingTemplate(int id) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  t.caption = " 试桩参数-数据设置";
  auto add = [&t](int cid, ControlClass cls, const std::string& caption, Rect r, std::uint32_t style = 0,
                  bool visible = true) { t.controls.push_back({cid, cls, caption, r, style, visible}); };
  const std::uint32_t centred = SS_CENTER | SS_CENTERIMAGE;
  add(Q::kTitle, ControlClass::Static, " 试桩参数-数据设置", {20, 8, 1004, 48}, centred);
  add(0, ControlClass::Static, "清零", {210, 56, 300, 92}, centred);
  add(0, ControlClass::Static, "当前值", {310, 56, 540, 92}, centred);
  add(0, ControlClass::Static, "修正值", {550, 56, 780, 92}, centred);
  add(0, ControlClass::Static, "位移方向", {790, 56, 960, 92}, centred);
  for (int row = 0; row <= 8; ++row) {
    const int y = kRowTop + row * kRowHeight;
    const int h = kRowHeight - 6;
    const int labelId = row == 0 ? Q::kForceLabel : Q::kGaugeLabels[static_cast<std::size_t>(row - 1)];
    add(labelId, ControlClass::Static, row == 0 ? "荷载(kN)" : Q::GaugeLabel(row), {20, y, 200, y + h},
        SS_CENTERIMAGE);
    add(Q::kForceZero + row, ControlClass::Button, "", {210, y, 300, y + h});
    add(Q::kForceReading + row, ControlClass::Static, "", {310, y, 540, y + h}, centred | WS_BORDER);
    add(Q::kForceCorrection + row, ControlClass::Edit, "", {550, y, 780, y + h}, WS_BORDER | ES_CENTER, row != 0);
    if (row > 0) add(Q::kDirection1 + row - 1, ControlClass::Button, kForward, {790, y, 960, y + h});
  }
  add(Q::kStatus, ControlClass::Static, "", {20, 604, 1004, 644}, centred);
  add(Q::kStatusPlace, ControlClass::Static, "", {20, 604, 1004, 644}, centred, false);
  add(Q::kMemory, ControlClass::Button, "位移记忆", {20, 664, 280, 752});
  add(Q::kOk, ControlClass::Button, "确定", {524, 664, 754, 752});
  add(Q::kExit, ControlClass::Button, "退出", {774, 664, 1004, 752});
  return t;
}

TemplateRegistration registrationA{ZeroingTemplate(Q::kTemplateA)};
TemplateRegistration registrationB{ZeroingTemplate(Q::kTemplateB)};

}  // namespace

std::string ShuJuQingLing::GaugeLabel(int k) { return "位移" + std::to_string(k) + "(mm)"; }

ShuJuQingLing::ShuJuQingLing() : SettingsDialog(kTemplateA, kStatus) {
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
  on(WM_TIMER, [this](Message& m) {
    ShowReadings();
    return defWindowProc(m);
  });
  for (int k = 0; k <= 8; ++k) {
    onCommand(kForceZero + k, BN_CLICKED, [this, k] {
      const int id = kForceZero + k;
      setDlgItemText(id, getDlgItemText(id) == kMarked ? "" : kMarked);
    });
  }
  for (int k = 1; k <= 8; ++k) {
    onCommand(kDirection1 + k - 1, BN_CLICKED, [this, k] {
      const int id = kDirection1 + k - 1;
      setDlgItemText(id, getDlgItemText(id) == kForward ? kReversed : kForward);
      if (Window* w = getDlgItem(id)) w->invalidate();
    });
    onCommand(kCorrection1 + k - 1, EN_SETFOCUS, [this, k] { OnSetFocusCorrection(k); });
  }
  onCommand(kMemory, BN_CLICKED, [this] { OnBnClickedMemory(); });
  onCommand(kOk, BN_CLICKED, [this] { ApplySettings(); });
  onCommand(kExit, BN_CLICKED, [this] { OnBnClickedExit(); });
}

bool ShuJuQingLing::onInitDialog() {
  const Font readings = Font::create(40, 700);
  const Font labels = Font::create(24);
  const Font buttons = Font::create(32);
  const Font status = Font::create(20, 700);
  for (int k = 0; k <= 8; ++k) {
    for (int id : {kForceReading + k, kForceCorrection + k})
      if (Window* w = getDlgItem(id)) w->setFont(readings, false);
    if (Window* w = getDlgItem(kForceZero + k)) w->setFont(labels, false);
  }
  for (int k = 1; k <= 8; ++k)
    if (Window* w = getDlgItem(kDirection1 + k - 1)) w->setFont(labels, false);
  for (int id : kGaugeLabels)
    if (Window* w = getDlgItem(id)) w->setFont(labels, false);
  for (int id : {kForceLabel, kTitle, kMemory})
    if (Window* w = getDlgItem(id)) w->setFont(labels, false);
  for (int id : {kOk, kExit})
    if (Window* w = getDlgItem(id)) w->setFont(buttons, false);
  for (int id : {kStatus, kStatusPlace})
    if (Window* w = getDlgItem(id)) w->setFont(status, false);
  return true;
}

bool ShuJuQingLing::gaugeOn(const Parameter& p, int k) const {
  return p.displacementOn[static_cast<std::size_t>(k - 1)].load() != 0;
}

std::string ShuJuQingLing::gaugeText(const Parameter& p, float value) const {
  const char* fmt = record_values::isThousandths(p.standardCode.load()) ? "%.3f" : "%.2f";
  const std::string s = platform::text::format(fmt, static_cast<double>(value));
  return IsValidNumber(s) ? s : "0.00";
}

void ShuJuQingLing::enable(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->enableWindow(on);
}

void ShuJuQingLing::OnOtherActivation(int) { killTimer(kTimer); }

void ShuJuQingLing::OnRefresh() {
  if (!keepShown_) Refresh();
  setTimer(kTimer, 1000);
}

void ShuJuQingLing::OnKeypadResult(const KeypadRequest& result) {
  for (int k = 1; k <= 8; ++k)
    if (result.caption == GaugeLabel(k)) setDlgItemText(kCorrection1 + k - 1, result.text);
  setTimer(kTimer, 1000);
}

void ShuJuQingLing::Refresh() {
  Parameter* p = CurrentChannel();
  if (p == nullptr) return;
  setDlgItemText(kTitle, testcontrol::TitleText(*p));
  setDlgItemText(kForceLabel, p->testType.load() == 0 ? "荷载(kPa)" : "荷载(kN)");
  SetStatus("", false);
  memoryPending_ = false;
  const std::string force = platform::text::format("%.2f", static_cast<double>(p->link.measuredLoad.load()));
  setDlgItemText(kForceReading, IsValidNumber(force) ? force : "0.00");
  enable(kForceCorrection, false);
  setDlgItemText(kForceCorrection, "");
  setDlgItemText(kForceZero, "");
  const bool running = p->testRunning.load() == 1;
  for (int k = 1; k <= 8; ++k) {
    const bool on = gaugeOn(*p, k);
    const std::size_t i = static_cast<std::size_t>(k);
    setDlgItemText(kZero1 + k - 1, "");
    setDlgItemText(kReading1 + k - 1, on ? gaugeText(*p, p->link.displacement[i - 1].load()) : "--");
    enable(kCorrection1 + k - 1, on);
    setDlgItemText(kCorrection1 + k - 1, "");
    enable(kZero1 + k - 1, on && !running);
    enable(kDirection1 + k - 1, on);
    setDlgItemText(kDirection1 + k - 1, on ? (p->sensorTableC[i].load() == -1 ? kReversed : kForward) : "");
    if (on && !running) setDlgItemText(kZero1 + k - 1, kMarked);
  }
  enable(kForceZero, !running);
  if (!running) setDlgItemText(kForceZero, kMarked);
  invalidate();
}

void ShuJuQingLing::ShowReadings() {
  const Parameter* p = CurrentChannel();
  if (p == nullptr) return;
  const std::string force = platform::text::format("%.2f", static_cast<double>(p->link.measuredLoad.load()));
  setDlgItemText(kForceReading, IsValidNumber(force) ? force : "0.00");
  for (int k = 1; k <= 8; ++k)
    setDlgItemText(kReading1 + k - 1,
                   gaugeOn(*p, k) ? gaugeText(*p, p->link.displacement[static_cast<std::size_t>(k - 1)].load()) : "--");
}

void ShuJuQingLing::OnSetFocusCorrection(int k) {
  RequestKeypad(getDlgItemText(kCorrection1 + k - 1), GaugeLabel(k), 6, kKeypadDecimal, kMemory);
}

void ShuJuQingLing::OnBnClickedMemory() {
  Parameter* p = CurrentChannel();
  if (p == nullptr) return;
  // The prompt's activation stops the live readings, and its closing leaves the program's main window
  // active: the dialog takes the activation back, so the readings go on while the operator re-sets the
  // gauges and a tap on the dialog is no new activation. That activation keeps what the dialog shows
  // (the marks, directions and corrections not yet applied).
  keepShown_ = true;
  const bool yes = AskConfirmation(kMemoryQuestion, this);
  showWindow(SW_SHOW);
  keepShown_ = false;
  if (!yes) return;
  for (int k = 0; k <= 8; ++k) {
    enable(kForceCorrection + k, false);
    setDlgItemText(kForceCorrection + k, "");
  }
  for (std::size_t k = 0; k < 8; ++k) memory_[k] = p->link.displacement[k].load();
  SetStatus(kMemoryPendingText, true);
  if (Window* w = getDlgItem(kStatus)) w->showWindow(SW_SHOW);
  if (Window* w = getDlgItem(kStatusPlace)) w->showWindow(SW_HIDE);
  memoryPending_ = true;
  enable(kForceZero, false);
  for (int k = 1; k <= 8; ++k) {
    if (!gaugeOn(*p, k)) continue;
    for (int id : {kDirection1 + k - 1, kZero1 + k - 1, kCorrection1 + k - 1}) enable(id, false);
  }
}

void ShuJuQingLing::ApplySettings() {
  Parameter* p = CurrentChannel();
  if (p == nullptr) return;
  ZeroingEntry e;
  e.zeroForce = getDlgItemText(kForceZero) == kMarked;
  for (int k = 1; k <= 8; ++k) {
    const std::size_t i = static_cast<std::size_t>(k - 1);
    e.zeroGauge[i] = getDlgItemText(kZero1 + k - 1) == kMarked;
    e.reversed[i] = getDlgItemText(kDirection1 + k - 1) == kReversed;
    e.corrections[i] = getDlgItemText(kCorrection1 + k - 1);
  }
  e.memoryPending = memoryPending_;
  e.memory = memory_;
  const bool memory = memoryPending_;
  memoryPending_ = false;
  ApplyZeroing(*p, e);

  // What the screen shows until the next reading.
  if (e.zeroForce && p->testRunning.load() != 1) setDlgItemText(kForceReading, "0.00");
  for (int k = 1; k <= 8; ++k)
    if (e.zeroGauge[static_cast<std::size_t>(k - 1)] && p->testRunning.load() != 1)
      setDlgItemText(kReading1 + k - 1, gaugeText(*p, 0.0f));
  if (memory)
    for (int k = 1; k <= 8; ++k)
      if (gaugeOn(*p, k)) {
        enable(kDirection1 + k - 1, true);
        enable(kZero1 + k - 1, false);
        enable(kCorrection1 + k - 1, false);
      }

  testcontrol::WriteCorrectionHeaders(*p);
  if (!p->testFilePath.empty() && p->testRunning.load() == 1 && p->fileLoaded.load() == 0)
    JDQFile::UpdateAllHeaderTexts(p->testFilePath, 31, p->testRecords, *p);

  showWindow(SW_HIDE);
  if (p->testRunning.load() != 1) {
    if (MonitorDialog* d = Linked(MonitorSlot::ShiZhuangKongZhi); d != nullptr && d->exists()) d->showWindow(SW_SHOW);
    if (Window* w = getDlgItem(kStatus)) w->showWindow(SW_SHOW);
    if (Window* w = getDlgItem(kStatusPlace)) w->showWindow(SW_HIDE);
    SetStatus(StatusText(), false);
  }
}

void ShuJuQingLing::OnBnClickedExit() {
  if (memoryPending_) return;  // the operator finishes the memory with OK
  HidePageOnExit();
}

void ShuJuQingLing::OnCtlColor(CtlColor& c) {
  if (c.control == nullptr || c.kind == CTLCOLOR_DLG) return;
  const int id = c.control->id();
  if (id >= kDirection1 && id < kDirection1 + 8)
    c.dc->setTextColor(getDlgItemText(id) == kForward ? RGB(0, 0, 255) : RGB(200, 0, 0));
}
