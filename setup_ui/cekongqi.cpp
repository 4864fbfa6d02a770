#include "setup_ui/cekongqi.h"

#include <array>
#include <initializer_list>

#include "app/keypads.h"
#include "setup/test_identity.h"

using namespace platform::ui;

int g_nSelectedFrontEnd = 0;

namespace {

// Three columns, one per front-end: its button, the number label and the number edit.
DialogTemplate SelectionTemplate() {
  DialogTemplate t;
  t.id = CCeKongQi::kTemplate;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  for (int k = 0; k < 3; ++k) {
    const int x = 32 + k * 330;
    t.controls.push_back({CCeKongQi::kFrontEnd1 + k, ControlClass::Button, CCeKongQi::PlainCaption(k + 1),
                          {x, 96, x + 300, 236}});
    t.controls.push_back({CCeKongQi::kLabel1 + k, ControlClass::Static, "前端编号：", {x, 276, x + 300, 324},
                          SS_CENTERIMAGE});
    t.controls.push_back({CCeKongQi::kNumber1 + k, ControlClass::Edit, "", {x, 328, x + 300, 428},
                          WS_BORDER | ES_CENTER});
  }
  t.controls.push_back({CCeKongQi::kStatus, ControlClass::Static, "", {32, 470, 992, 560}, SS_CENTER | SS_CENTERIMAGE});
  t.controls.push_back({CCeKongQi::kOk, ControlClass::Button, "确定", {492, 640, 732, 740}});
  t.controls.push_back({CCeKongQi::kExit, ControlClass::Button, "退出", {752, 640, 992, 740}});
  return t;
}

TemplateRegistration registration{SelectionTemplate()};

std::string trimmed(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  const std::size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

// The dialogs and pages whose current channel follows the front-end picked here.
constexpr MonitorSlot kRepointed[] = {
    MonitorSlot::GongChengXinXi,   MonitorSlot::ShiZhuangShuJu, MonitorSlot::ChuanGanQi,
    MonitorSlot::ShiYanGuiFan,     MonitorSlot::ShuJuQingLing,  MonitorSlot::ShiZhuangKongZhi,
    MonitorSlot::XiTongBaoHu,      MonitorSlot::Key,            MonitorSlot::KeyABC,
    MonitorSlot::ShiZhuangYuYa,    MonitorSlot::SelCgq,         MonitorSlot::CPageJiLuBiao,
    MonitorSlot::CPageChenJiangBiao, MonitorSlot::CPageHuiZongBiao, MonitorSlot::CPageQ_s,
    MonitorSlot::CPages_lgQ,       MonitorSlot::CPages_lgt};

}  // namespace

void RepointSetupWindows(const MonitorDialog& from, Parameter* channel) {
  for (MonitorSlot s : kRepointed)
    if (MonitorDialog* d = from.Linked(s)) d->SetCurrentChannel(channel);
}

std::string CCeKongQi::PlainCaption(int k) { return std::to_string(k) + "#前端"; }
std::string CCeKongQi::PickedCaption(int k) { return "√ " + PlainCaption(k); }
std::string CCeKongQi::RunningCaption(int k) { return PickedCaption(k) + " 试验中"; }
std::string CCeKongQi::PausedCaption(int k) { return PickedCaption(k) + " 暂停"; }
std::string CCeKongQi::KeypadCaption(int k) { return std::to_string(k) + "#前端编号"; }

CCeKongQi::CCeKongQi() : SettingsDialog(kTemplate, kStatus, true) {
  SetRequestsAllChannels(true);
  for (int k = 1; k <= 3; ++k) {
    onCommand(kFrontEnd1 + k - 1, BN_CLICKED, [this, k] { OnBnClickedFrontEnd(k); });
    onCommand(kNumber1 + k - 1, EN_SETFOCUS, [this, k] { OnSetFocusNumber(k); });
  }
  onCommand(kOk, BN_CLICKED, [this] { OnBnClickedOk(); });
  onCommand(kExit, BN_CLICKED, [this] { HidePageOnExit(); });
}

bool CCeKongQi::onInitDialog() {
  const Font buttons = Font::create(32, 500);
  const Font numbers = Font::create(65, 500);
  const Font status = Font::create(28);
  for (int k = 0; k < 3; ++k) {
    if (Window* w = getDlgItem(kFrontEnd1 + k)) w->setFont(buttons, false);
    if (Window* w = getDlgItem(kLabel1 + k)) w->setFont(buttons, false);
    if (Window* w = getDlgItem(kNumber1 + k)) w->setFont(numbers, false);
  }
  for (int id : {kOk, kExit})
    if (Window* w = getDlgItem(id)) w->setFont(buttons, false);
  if (Window* w = getDlgItem(kStatus)) w->setFont(status, false);
  return true;
}

bool CCeKongQi::channelBusy(int k) const {
  const Parameter* p = Channel(k);
  return p != nullptr && KeepsControllerNumber(*p);
}

void CCeKongQi::RefreshView() {
  for (int k = 1; k <= 3; ++k) {
    const Parameter* p = Channel(k);
    if (p == nullptr) continue;
    std::string caption = p->testRunning.load() == 1 ? RunningCaption(k) : PlainCaption(k);
    if (p->paused.load() != 0) caption = PausedCaption(k);
    setDlgItemText(kFrontEnd1 + k - 1, caption);
    setDlgItemText(kNumber1 + k - 1, p->controllerNumber.get());
    // A channel whose test runs or is paused keeps its controller.
    if (Window* w = getDlgItem(kNumber1 + k - 1)) w->enableWindow(!channelBusy(k));
  }
}

void CCeKongQi::OnRefresh() {
  g_nSelectedFrontEnd = 0;
  SetStatus("", true);
  RefreshView();
}

void CCeKongQi::OnKeypadResult(const KeypadRequest& result) {
  for (int k = 1; k <= 3; ++k)
    if (result.caption == KeypadCaption(k)) setDlgItemText(kNumber1 + k - 1, result.text);
}

void CCeKongQi::OnSetFocusNumber(int k) {
  RequestKeypad(getDlgItemText(kNumber1 + k - 1), KeypadCaption(k), 6, kKeypadInteger, kOk, true);
}

void CCeKongQi::OnBnClickedFrontEnd(int k) {
  if (channelBusy(k)) return;
  const int id = kFrontEnd1 + k - 1;
  if (trimmed(getDlgItemText(id)) == PickedCaption(k)) {
    setDlgItemText(id, PlainCaption(k));
    g_nSelectedFrontEnd = 0;
  } else {
    setDlgItemText(id, PickedCaption(k));
    for (int j = 1; j <= 3; ++j)
      if (j != k && trimmed(getDlgItemText(kFrontEnd1 + j - 1)) == PickedCaption(j))
        setDlgItemText(kFrontEnd1 + j - 1, PlainCaption(j));
    g_nSelectedFrontEnd = k;
  }
  for (int j = 0; j < 3; ++j)
    if (Window* w = getDlgItem(kFrontEnd1 + j)) w->invalidate();
}

void CCeKongQi::OnBnClickedOk() { ApplySelection(); }

void CCeKongQi::ApplySelection() {
  Parameter* c1 = Channel(1);
  if (c1 == nullptr || Channel(2) == nullptr || Channel(3) == nullptr) return;
  SetStatus("", true);
  const std::array<Parameter*, 3> channels = {c1, Channel(2), Channel(3)};
  // Every number is checked before any is stored; a busy channel keeps its own.
  if (const std::string refusal = TakeControllerNumbers(
          channels, {getDlgItemText(kNumber1), getDlgItemText(kNumber1 + 1), getDlgItemText(kNumber1 + 2)});
      !refusal.empty()) {
    SetStatus(refusal, true);
    return;
  }

  for (int k = 1; k <= 3; ++k)
    if (trimmed(getDlgItemText(kFrontEnd1 + k - 1)) == PickedCaption(k)) c1->selectedChannelText = std::to_string(k);

  if (!StoreControllerNumbers(channels)) {
    SetStatus(kSaveFailed, true);
    return;
  }

  if (g_nSelectedFrontEnd >= 1 && g_nSelectedFrontEnd <= 3) RepointSetupWindows(*this, Channel(g_nSelectedFrontEnd));

  const std::string& sel = c1->selectedChannelText;
  const bool idle = (sel == "1" || sel == "2" || sel == "3") && Channel(sel[0] - '0')->testRunning.load() != 1;
  if (Window* w = focusWindow(); w != nullptr) w->invalidate();
  showWindow(SW_HIDE);
  if (idle)
    if (MonitorDialog* info = Linked(MonitorSlot::GongChengXinXi); info != nullptr && info->exists())
      info->showWindow(SW_SHOW);
}

void CCeKongQi::OnCtlColor(CtlColor& c) {
  if (c.control == nullptr) return;
  const int id = c.control->id();
  if (id >= kFrontEnd1 && id < kFrontEnd1 + 3) {
    const int k = id - kFrontEnd1 + 1;
    c.dc->setTextColor(getDlgItemText(id) == PickedCaption(k) ? RGB(0, 0, 255) : RGB(0, 0, 0));
  }
}
