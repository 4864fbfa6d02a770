#include "setup_ui/xitong_baohu.h"

#include "setup_ui/cekongqi.h"
#include "app/keypads.h"
#include "app/linked_dialog.h"
#include "app/queren.h"
#include "platform/process/process.h"
#include "setup/test_identity.h"

using namespace platform::ui;
using X = XiTongBaoHu;
using O = SystemOption;
namespace device = platform::device;

namespace {

// Group captions of the option buttons, in SystemOption order.
constexpr const char* kOptionGroupCaption[kSystemOptionCount] = {
    "主机与测控器通信方式", "远程传输模块选择", "远程数据发送间隔", "油路类型",   "加载方式",
    "测力通道传感器类型",   "位移传感器类型",   "测控器位移判稳通道", "零级卸载保护", "记录提示音"};

// Controllers in a row at the top; below, the settings group of twelve cells (ten options, the
// backlight, the standards check-list) with OK and exit.
DialogTemplate SettingsTemplate(int id, bool backlight) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  t.caption = "试桩参数-系统设置";
  auto add = [&t](int cid, ControlClass cls, const std::string& caption, Rect r, std::uint32_t style = 0,
                  bool visible = true) { t.controls.push_back({cid, cls, caption, r, style, visible, true}); };
  add(X::kTitle, ControlClass::Static, "系统保护参数", {10, 2, 1014, 34}, SS_CENTER | SS_CENTERIMAGE);
  add(X::kStatus, ControlClass::Static, "", {10, 36, 1014, 66}, SS_CENTER | SS_CENTERIMAGE);
  add(X::kControllerGroup, ControlClass::Button, "测控器", {10, 68, 1014, 276}, BS_GROUPBOX);
  for (int k = 0; k < 3; ++k) {
    const int x = 24 + k * 332;
    add(X::kController[k], ControlClass::Button, X::PlainCaption(k + 1), {x, 94, x + 316, 148});
    add(X::kNumberLabel[k], ControlClass::Static, "测控器编号：", {x, 156, x + 140, 206}, SS_CENTERIMAGE);
    add(X::kNumber[k], ControlClass::Edit, "", {x + 140, 156, x + 316, 206}, WS_BORDER | ES_CENTER);
    add(X::kBattery[k], ControlClass::Static, "", {x, 212, x + 316, 270}, SS_CENTER);
  }
  add(X::kSettingsGroup, ControlClass::Button, "系统设置", {10, 280, 1014, 764}, BS_GROUPBOX);
  auto cell = [](int i) {
    const int x = 22 + (i % 4) * 248;
    const int y = 306 + (i / 4) * 134;
    return Rect{x, y, x + 236, y + 122};
  };
  for (int i = 0; i < kSystemOptionCount; ++i) {
    const Rect r = cell(i);
    add(X::kOptionGroup[static_cast<std::size_t>(i)], ControlClass::Button, kOptionGroupCaption[i], r, BS_GROUPBOX);
    add(X::kOption[static_cast<std::size_t>(i)], ControlClass::Button, "", {r.left + 10, r.top + 34, r.right - 10, r.bottom - 10});
  }
  {
    const Rect r = cell(10);
    add(X::kBacklightGroup, ControlClass::Button, "背光设置", r, BS_GROUPBOX, backlight);
    add(X::kBacklightDown, ControlClass::Button, "-", {r.left + 10, r.top + 34, r.left + 111, r.bottom - 10}, 0, backlight);
    add(X::kBacklightUp, ControlClass::Button, "+", {r.right - 111, r.top + 34, r.right - 10, r.bottom - 10}, 0, backlight);
  }
  {
    const Rect r = cell(11);
    add(X::kStandardsGroup, ControlClass::Button, "试验规范", r, BS_GROUPBOX);
    add(X::kStandards, ControlClass::Button, "规范设置", {r.left + 10, r.top + 34, r.right - 10, r.bottom - 10});
  }
  add(X::kTouchCalibrate, ControlClass::Button, "触摸屏校准", {22, 708, 258, 756}, 0, false);
  add(X::kOk, ControlClass::Button, "确定", {616, 708, 808, 756});
  add(X::kExit, ControlClass::Button, "退出", {814, 708, 1006, 756});
  return t;
}

TemplateRegistration registrationA{SettingsTemplate(X::kTemplateBoard1, true)};
TemplateRegistration registrationB{SettingsTemplate(X::kTemplateBoard0, false)};

std::string trimmed(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  const std::size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

std::size_t at(O o) { return static_cast<std::size_t>(o); }

}  // namespace

std::string X::PlainCaption(int n) { return std::to_string(n) + "#前端测控器"; }
std::string X::TickedCaption(int n) { return "√ " + PlainCaption(n); }
std::string X::RunningCaption(int n) { return TickedCaption(n) + " 试验中"; }
std::string X::PausedCaption(int n) { return TickedCaption(n) + " 暂停"; }
std::string X::KeypadCaption(int n) { return PlainCaption(n) + "编号"; }

X::XiTongBaoHu() : SettingsDialog(kTemplateBoard1, kStatus) {
  SetRequestsAllChannels(true);
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
  on(WM_TIMER, [this](Message& m) {
    const LRESULT r = defWindowProc(m);
    if (m.wParam == static_cast<WPARAM>(kBatteryTimer)) OnTimer();
    return r;
  });
  for (int i = 0; i < kSystemOptionCount; ++i)
    onCommand(kOption[static_cast<std::size_t>(i)], BN_CLICKED,
              [this, i] { OnBnClickedOption(static_cast<O>(i)); });
  onCommand(kOk, BN_CLICKED, [this] { OnBnClickedOk(); });
  onCommand(kExit, BN_CLICKED, [this] { HidePageOnExit(); });
  onCommand(kTouchCalibrate, BN_CLICKED, [this] { OnBnClickedTouchCalibrate(); });
  onCommand(kBacklightDown, BN_CLICKED, [this] { OnBnClickedBacklightDown(); });
  onCommand(kBacklightUp, BN_CLICKED, [this] { OnBnClickedBacklightUp(); });
  onCommand(kStandards, BN_CLICKED, [this] { OnBnClickedStandards(); });
  for (int n = 1; n <= 3; ++n) {
    onCommand(kController[static_cast<std::size_t>(n - 1)], BN_CLICKED, [this, n] { OnBnClickedController(n); });
    onCommand(kNumber[static_cast<std::size_t>(n - 1)], EN_SETFOCUS, [this, n] { OnSetFocusControllerNumber(n); });
  }
}

X::~XiTongBaoHu() {
  if (backlight_ != device::kInvalidHandle) device::close(backlight_);
}

bool X::onInitDialog() {
  const Font title = Font::create(26);
  const Font groups = Font::create(21, 700);
  const Font options = Font::create(26, 700);
  const Font controllers = Font::create(28, 500);
  const Font numbers = Font::create(40, 700);
  const Font labels = Font::create(24);
  const Font battery = Font::create(21);
  const Font buttons = Font::create(30);
  auto set = [this](int id, const Font& f) {
    if (Window* w = getDlgItem(id)) w->setFont(f, false);
  };
  set(kTitle, title);
  set(kStatus, labels);
  for (int id : {kControllerGroup, kSettingsGroup, kBacklightGroup, kStandardsGroup}) set(id, groups);
  for (int id : kOptionGroup) set(id, groups);
  for (int id : kOption) set(id, options);
  for (int id : {kStandards, kTouchCalibrate}) set(id, options);
  for (int id : {kBacklightDown, kBacklightUp}) set(id, numbers);
  for (std::size_t k = 0; k < 3; ++k) {
    set(kController[k], controllers);
    set(kNumberLabel[k], labels);
    set(kNumber[k], numbers);
    set(kBattery[k], battery);
  }
  for (int id : {kOk, kExit}) set(id, buttons);

  captions_ = InitialOptionCaptions();
  for (int i = 0; i < kSystemOptionCount; ++i) showCaption(static_cast<O>(i));
  // The backlight device stays open until the dialog goes.
  backlightLevel_ = 10;
  if (backlight_ != device::kInvalidHandle) {
    device::close(backlight_);
    backlight_ = device::kInvalidHandle;
  }
  backlight_ = device::open("GCL1:");
  return true;
}

void X::showCaption(O option) { setDlgItemText(kOption[at(option)], captions_[option]); }

// ---- activation and refresh ---------------------------------------------------------------------------

void X::OnRefresh() {
  if (Window* w = getDlgItem(kOption[at(O::Link)])) w->setFocus();
  selected_ = 0;
  RefreshAll();
}

void X::OnKeypadResult(const KeypadRequest& result) {
  if (Window* w = getDlgItem(kOption[at(O::Link)])) w->setFocus();
  for (int n = 1; n <= 3; ++n)
    if (result.caption == KeypadCaption(n)) setDlgItemText(kNumber[static_cast<std::size_t>(n - 1)], result.text);
  SetStatus(kParameterChanged, true);
}

void X::RefreshAll() {
  for (int n = 1; n <= 3; ++n) {
    const Parameter* p = Channel(n);
    if (p == nullptr) continue;
    const std::size_t k = static_cast<std::size_t>(n - 1);
    std::string caption = p->testRunning.load() == 1 ? RunningCaption(n) : PlainCaption(n);
    if (p->paused.load() != 0) caption = PausedCaption(n);
    setDlgItemText(kController[k], caption);
    setDlgItemText(kNumber[k], p->controllerNumber.get());
    // A channel whose test runs or is paused keeps its controller.
    if (Window* w = getDlgItem(kNumber[k])) w->enableWindow(!KeepsControllerNumber(*p));
  }
  if (Parameter* p = CurrentChannel()) FillSettings(*p);
  selected_ = 0;
  setTimer(kBatteryTimer, kBatteryPeriodMs);
}

void X::FillSettings(Parameter& p) {
  const Parameter* c1 = Channel(1);
  if (c1 == nullptr) return;
  setDlgItemText(kTitle, SystemSettingsTitle(p));
  setDlgItemText(kSettingsGroup, SystemSettingsGroupCaption(p));
  const SystemOptionsView view = ViewOptions(p, *c1, captions_);
  captions_ = view.captions;
  for (int i = 0; i < kSystemOptionCount; ++i) {
    const O o = static_cast<O>(i);
    showCaption(o);
    if (Window* w = getDlgItem(kOption[at(o)])) w->enableWindow(view.isEnabled(o));
  }
  SetStatus("", warning());
}

// ---- option buttons -------------------------------------------------------------------------------

void X::OnBnClickedOption(O option) {
  const std::string shown = getDlgItemText(kOption[at(option)]);
  if (option == O::ForceSensor) {
    const Parameter* p = CurrentChannel();
    captions_[option] = NextForceSensorCaption(p ? p->ParameterList.item(11) : 3.0f, shown);
  } else {
    captions_[option] = NextOptionCaption(option, shown);
  }
  showCaption(option);
  if (option == O::Remote)
    if (Window* w = getDlgItem(kOption[at(O::SendInterval)])) w->enableWindow(captions_[option] != kRemoteDisabled);
  // The prompt tone asks for OK without turning the status line red.
  SetStatus(kParameterChanged, option == O::PromptTone ? warning() : true);
}

// ---- controllers ----------------------------------------------------------------------------------------

void X::untick(int n) {
  const int id = kController[static_cast<std::size_t>(n - 1)];
  if (trimmed(getDlgItemText(id)) == TickedCaption(n)) setDlgItemText(id, PlainCaption(n));
}

void X::choose(int n) {
  for (int j = 1; j <= 3; ++j)
    if (j != n) untick(j);
  Parameter* p = Channel(n);
  if (Parameter* c1 = Channel(1)) c1->selectedChannelText = std::to_string(n);
  SetCurrentChannel(p);
  selected_ = n;
  FillSettings(*p);
}

void X::OnBnClickedController(int n) {
  Parameter* p = Channel(n);
  if (p == nullptr) return;
  const int id = kController[static_cast<std::size_t>(n - 1)];
  if (p->testRunning.load() == 1 || p->paused.load() != 0) {
    choose(n);  // the button keeps its running or paused caption
  } else if (trimmed(getDlgItemText(id)) == TickedCaption(n)) {
    setDlgItemText(id, PlainCaption(n));
    selected_ = 0;
  } else {
    setDlgItemText(id, TickedCaption(n));
    choose(n);
  }
  for (int k : kController)
    if (Window* w = getDlgItem(k)) w->invalidate();
}

void X::OnSetFocusControllerNumber(int n) {
  const int id = kNumber[static_cast<std::size_t>(n - 1)];
  RequestKeypad(getDlgItemText(id), KeypadCaption(n), 6, kKeypadInteger, kOk, true);
}

// ---- OK -----------------------------------------------------------------------------------------------

void X::OnBnClickedOk() {
  if (!haveChannels()) return;
  const std::array<const Parameter*, 3> view = {Channel(1), Channel(2), Channel(3)};
  if (const std::string refusal = CheckLinkChoice(captions_[O::Link], view); !refusal.empty()) {
    SetStatus(refusal, true);
    return;
  }
  ApplySettings();
}

void X::ApplySettings() {
  Parameter* current = CurrentChannel();
  if (!haveChannels() || current == nullptr) return;
  Parameter& c1 = *Channel(1);
  SetStatus("", warning());
  // Every number is checked before any is stored; a busy channel keeps its own.
  if (const std::string refusal =
          TakeControllerNumbers(channels(), {getDlgItemText(kNumber[0]), getDlgItemText(kNumber[1]),
                                             getDlgItemText(kNumber[2])});
      !refusal.empty()) {
    SetStatus(refusal, true);
    return;
  }
  if (WriteSystemOptions(channels(), *current, captions_)) c1.linkReopenRequest = 1;
  if (!StoreControllerNumbers(channels())) {
    SetStatus(kSaveFailed, true);
    return;
  }
  if (selected_ >= 1 && selected_ <= 3) RepointSetupWindows(*this, Channel(selected_));

  const int named = SelectedChannelNumber(c1);
  const bool goOn = selected_ != 0 && Channel(named == 0 ? 1 : named)->testRunning.load() != 1;
  if (goOn)
    if (Window* w = focusWindow()) w->invalidate();
  showWindow(SW_HIDE);
  if (goOn)
    if (MonitorDialog* sensors = Linked(MonitorSlot::ChuanGanQi); sensors != nullptr && sensors->exists())
      sensors->showWindow(SW_SHOW);
}

// ---- backlight, touch calibration, standards, battery ------------------------------------------------

void X::sendBacklight() {
  device::control(backlight_, device::kGclBacklight, static_cast<std::uint32_t>(backlightLevel_));
}

void X::OnBnClickedBacklightDown() {
  backlightLevel_ = std::max(1, backlightLevel_ - 1);
  sendBacklight();
}

void X::OnBnClickedBacklightUp() {
  backlightLevel_ = std::min(10, backlightLevel_ + 1);
  sendBacklight();
}

void X::OnBnClickedTouchCalibrate() {
  const char* failure = nullptr;
  switch (platform::process::touchCalibrate()) {
    case platform::process::TouchCalibration::Done: break;
    case platform::process::TouchCalibration::CannotStart: failure = "instance == NULL"; break;
    case platform::process::TouchCalibration::NotConfigured: failure = "TouchCalibrate == NULL"; break;
  }
  if (failure != nullptr) {
    CMessageBox box(failure);
    box.doModal(this);
  }
}

void X::OnBnClickedStandards() { HideAndShowLinkedDialog(*this, Linked(MonitorSlot::GuiFanSheZhi)); }

void X::OnTimer() {
  for (int n = 1; n <= 3; ++n)
    if (const Parameter* p = Channel(n)) setDlgItemText(kBattery[static_cast<std::size_t>(n - 1)], BatteryText(*p));
}

void X::OnCtlColor(CtlColor& c) {
  if (c.control == nullptr) return;
  const int id = c.control->id();
  bool blue = id == kBacklightDown || id == kBacklightUp;
  for (int o : kOption) blue = blue || id == o;
  if (blue) c.dc->setTextColor(RGB(0, 0, 255));
}
