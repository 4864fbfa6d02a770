#include "setup_ui/gongcheng_xinxi.h"

#include <initializer_list>

#include "app/keypads.h"
#include "app/test_control.h"
#include "model/datafiles.h"
#include "model/helpers.h"
#include "platform/text/text.h"
#include "setup/test_identity.h"

using namespace platform::ui;
using G = GongChengXinXi;

std::array<std::string, 8> g_strChannelState;

namespace {

constexpr const char* kOn = "开";
constexpr const char* kOff = "关";

// The layout with the external serial row shown; without it the rows move as UpdateTypeLabels says.
DialogTemplate InformationTemplate(int id, bool boardA) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  auto add = [&t](int cid, ControlClass cls, const std::string& caption, Rect r, std::uint32_t style = 0,
                  bool visible = true) { t.controls.push_back({cid, cls, caption, r, style, visible}); };
  const std::uint32_t label = SS_CENTERIMAGE;
  add(G::kTitle, ControlClass::Static, "", {20, 8, 1004, 48}, SS_CENTER | SS_CENTERIMAGE);
  add(G::kSerialLabel, ControlClass::Static, "内置流水号", {20, 56, 200, 120}, label);
  add(G::kSerial, ControlClass::Edit, "", {210, 56, 1004, 120}, WS_BORDER);
  add(G::kExternalLabel, ControlClass::Static, "外置流水号", {20, 128, 200, 192}, label);
  add(G::kExternal, ControlClass::Edit, "", {210, 128, 1004, 192}, WS_BORDER);
  add(G::kPileLabel, ControlClass::Static, "桩   号", {20, 200, 200, 264}, label);
  add(G::kPile, ControlClass::Edit, "", {210, 200, 600, 264}, WS_BORDER);
  if (boardA) {
    add(G::kAreaLabel, ControlClass::Static, "压板面积㎡", {620, 200, 790, 264}, label);
    add(G::kArea, ControlClass::Edit, "", {800, 200, 1004, 264}, WS_BORDER);
  } else {
    add(G::kAreaLabel, ControlClass::Static, "压板面积", {620, 200, 740, 264}, label);
    add(G::kArea, ControlClass::Edit, "", {750, 200, 940, 264}, WS_BORDER);
    add(G::kAreaUnit, ControlClass::Static, "m²", {944, 200, 1004, 264}, label);
  }
  add(G::kTypeLabel, ControlClass::Static, "检测类型", {20, 272, 400, 302}, label);
  for (std::size_t i = 0; i < 5; ++i) {
    const int x = 20 + static_cast<int>(i) * 198;
    add(G::kTypeButtons[i], ControlClass::Button, kTestTypeCaption[i], {x, 306, x + 192, 370});
  }
  for (std::size_t k = 0; k < 8; ++k) {
    const int x = 20 + static_cast<int>(k) * 124;
    add(G::kGaugeLabels[k], ControlClass::Static, "位移" + std::to_string(k + 1), {x, 380, x + 118, 410},
        SS_CENTER | SS_CENTERIMAGE);
    add(G::kGauge1 + static_cast<int>(k), ControlClass::Button, kOn, {x, 412, x + 118, 480});
  }
  add(G::kNotice1, ControlClass::Static,
      "测控器判稳位移通道选择的是:5至8号通道，请将位-移传感器连接到测控器5至8号位移通道!", {20, 488, 1004, 554}, 0,
      false);
  add(G::kNotice2, ControlClass::Static,
      "前端判稳位移通道当前选择的是:5-8号通道，请将前端位移5至8号通道接上位移", {20, 556, 1004, 622}, 0, false);
  add(G::kStatus, ControlClass::Static, "", {20, 626, 1004, 662}, SS_CENTERIMAGE);
  add(G::kOk, ControlClass::Button, "确定", {600, 670, 792, 754});
  add(G::kExit, ControlClass::Button, "退出", {812, 670, 1004, 754});
  add(G::kHiddenEdit, ControlClass::Edit, "", {0, 0, 10, 10}, 0, false);
  add(1129, ControlClass::Button, "", {0, 0, 10, 10}, 0, false);
  add(1130, ControlClass::Button, "", {0, 0, 10, 10}, 0, false);
  return t;
}

TemplateRegistration registrationA{InformationTemplate(G::kTemplateBoard1, true)};
TemplateRegistration registrationB{InformationTemplate(G::kTemplateBoard0, false)};

// The keypad edits: the edit, its label, maximum length and input mode.
constexpr KeypadEdit kKeypadEdits[] = {{G::kSerial, G::kSerialLabel, 20, kKeypadText},
                                       {G::kExternal, G::kExternalLabel, 20, kKeypadText},
                                       {G::kPile, G::kPileLabel, 10, kKeypadText},
                                       {G::kArea, G::kAreaLabel, 6, kKeypadDecimal}};

// Controls whose rectangles the layout starts from.
constexpr int kLaidOut[] = {G::kSerialLabel, G::kPileLabel, G::kTypeLabel, G::kAreaLabel, G::kExternalLabel,
                            G::kSerial,      G::kPile,      G::kArea,      G::kExternal,  G::kAreaUnit,
                            1246,            1247,          1248,          1249,          1250};

}  // namespace

GongChengXinXi::GongChengXinXi() : SettingsDialog(kTemplateBoard1, kStatus) {
  for (int k = 0; k < 8; ++k) {
    bindControl(kGauge1 + k, gauges_[static_cast<std::size_t>(k)]);
    onCommand(kGauge1 + k, BN_CLICKED, [this, k] { OnBnClickedChannel(k + 1); });
  }
  for (std::size_t i = 0; i < 5; ++i)
    onCommand(kTypeButtons[i], BN_CLICKED, [this, i] { OnBnClickedTestType(kTestTypeOfButton[i]); });
  for (const KeypadEdit& e : kKeypadEdits) onCommand(e.edit, EN_SETFOCUS, [this, id = e.edit] { OnSetFocusEdit(id); });
  onCommand(kOk, BN_CLICKED, [this] { OnBnClickedOk(); });
  onCommand(kExit, BN_CLICKED, [this] { HidePageOnExit(); });
  on(WM_PAINT, [this](Message& m) { return EmptyOnPaint(m); });
  on(WM_SHOWWINDOW, [this](Message& m) {
    OnShowWindow(m.wParam != 0);
    return LRESULT{0};
  });
}

bool GongChengXinXi::onInitDialog() {
  const Font big = Font::create(50, 700);
  const Font type = Font::create(38);
  const Font labels = Font::create(28);
  const Font title = Font::create(24);
  const Font status = Font::create(20, 700);
  const Font buttons = Font::create(32);
  for (int k = 0; k < 8; ++k) {
    gauges_[static_cast<std::size_t>(k)].setFont(big, false);
    if (Window* w = getDlgItem(kGaugeLabels[static_cast<std::size_t>(k)])) w->setFont(labels, false);
  }
  for (int id : {kSerial, kPile, kHiddenEdit, kArea, kExternal})
    if (Window* w = getDlgItem(id)) w->setFont(big, false);
  for (int id : kTypeButtons)
    if (Window* w = getDlgItem(id)) w->setFont(type, false);
  for (int id : {kSerialLabel, kPileLabel, kTypeLabel, kAreaLabel, kExternalLabel, kAreaUnit, kNotice1, kNotice2})
    if (Window* w = getDlgItem(id)) w->setFont(labels, false);
  if (Window* w = getDlgItem(kTitle)) w->setFont(title, false);
  if (Window* w = getDlgItem(kStatus)) w->setFont(status, false);
  for (int id : {kOk, kExit})
    if (Window* w = getDlgItem(id)) w->setFont(buttons, false);
  for (int id : kLaidOut)
    if (Window* w = getDlgItem(id)) recorded_[id] = w->windowRect();
  return true;
}

float GongChengXinXi::route() const {
  const Parameter* c1 = Channel(1) ? Channel(1) : channel();
  return c1 ? c1->ParameterList.item(56) : 0.0f;
}

void GongChengXinXi::show(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->showWindow(on ? SW_SHOWNA : SW_HIDE);
}

void GongChengXinXi::enable(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->enableWindow(on);
}

// Moves a control from its recorded place (never from where it stands, so that repeated refreshes do
// not move it again).
void GongChengXinXi::move(int id, int dx, int dy, int widen) {
  auto it = recorded_.find(id);
  Window* w = getDlgItem(id);
  if (it == recorded_.end() || w == nullptr) return;
  Rect r = it->second.offset(dx, dy);
  r.right += widen;
  w->moveWindow(r);
}

void GongChengXinXi::setGauge(int k, bool on) {
  CMyButton& b = gauges_[static_cast<std::size_t>(k - 1)];
  b.state = on ? 1 : 0;
  b.setWindowText(on ? kOn : kOff);
  g_strChannelState[static_cast<std::size_t>(k - 1)] = on ? kOn : kOff;
  b.invalidate();
}

// ---- keypad -----------------------------------------------------------------------------------------

void GongChengXinXi::OnSetFocusEdit(int edit) {
  for (const KeypadEdit& e : kKeypadEdits) {
    if (e.edit != edit) continue;
    RequestKeypadFor(e, kGauge1);
    return;
  }
}

void GongChengXinXi::OnKeypadResult(const KeypadRequest& result) {
  for (const KeypadEdit& e : kKeypadEdits)
    if (result.caption == getDlgItemText(e.label)) setDlgItemText(e.edit, result.text);
}

// ---- buttons ----------------------------------------------------------------------------------------

void GongChengXinXi::OnBnClickedTestType(int type) {
  Parameter* p = channel();
  if (p == nullptr) return;
  if (p->fileLoaded.load() != 0) {
    SetStatus(kParameterChanged, true);
    p->testType = type;
    UpdateTypeLabels();
  } else {
    SetStatus(kTestTypeLocked, true);
  }
}

void GongChengXinXi::OnBnClickedChannel(int k) {
  SetStatus(kParameterChanged, true);
  setGauge(k, getDlgItemText(kGauge1 + k - 1) != kOn);
}

void GongChengXinXi::OnBnClickedOk() {
  Parameter* p = channel();
  if (p == nullptr) return;
  const bool setUpOpen = p->fileLoaded.load() != 0;
  if (setUpOpen)
    for (int k = 1; k <= 8; ++k) g_strChannelState[static_cast<std::size_t>(k - 1)] = getDlgItemText(kGauge1 + k - 1);
  TestIdentityEntry e;
  e.serial = getDlgItemText(kSerial);
  e.externalSerial = getDlgItemText(kExternal);
  e.pile = getDlgItemText(kPile);
  e.plateArea = getDlgItemText(kArea);
  for (std::size_t k = 0; k < 8; ++k) e.gauges[k] = g_strChannelState[k] == kOn;
  const TestIdentityResult r = CommitTestIdentity(*p, e, route());
  SetStatus(r.message, r.warning);
  if (!r.accepted) return;
  committed_ = true;
  if (!r.parameterFileSaved) {
    SetStatus(kSaveFailed, true);
    return;
  }
  if (Window* w = focusWindow(); w != nullptr) w->invalidate();
  if (r.hide) showWindow(SW_HIDE);
  if (r.showStandardDialog)
    if (MonitorDialog* next = Linked(MonitorSlot::ShiYanGuiFan); next != nullptr && next->exists())
      next->showWindow(SW_SHOW);
}

// ---- refresh ----------------------------------------------------------------------------------------

void GongChengXinXi::UpdateTypeLabels() {
  Parameter* p = channel();
  if (p == nullptr) return;
  const int type = p->testType.load();
  const bool plate = type == 0;
  std::array<std::string, 8> labels;
  if (GaugeLabels(type, p->standardCode.load(), labels)) {
    // 1. Type buttons.
    for (std::size_t i = 0; i < 5; ++i) {
      setDlgItemText(kTypeButtons[i], TestTypeCaption(static_cast<int>(i), type));
      if (Window* w = getDlgItem(kTypeButtons[i])) w->invalidate();
    }
    // 2. Plate area and gauge labels.
    if (!plate) setDlgItemText(kArea, "");
    for (int id : {kArea, kAreaLabel, kAreaUnit}) {
      enable(id, plate);
      show(id, plate);
    }
    for (std::size_t k = 0; k < 8; ++k) setDlgItemText(kGaugeLabels[k], labels[k]);
  }
  // 3. Layout by the upload route.
  const int widen = plate ? 0 : 299;
  if (route() == 3.0f) {
    show(kExternalLabel, true);
    show(kExternal, true);
    setDlgItemText(kSerialLabel, "内置流水号");
    for (const auto& [id, rect] : recorded_) move(id, 0, 0);
    move(kPile, 0, 0, widen);
  } else {
    show(kExternalLabel, false);
    show(kExternal, false);
    setDlgItemText(kSerialLabel, "检测流水号");
    move(kSerialLabel, 0, 25);
    move(kSerial, 0, 25);
    move(kPileLabel, 0, -20);
    move(kPile, 0, -20, widen);
    move(kTypeLabel, 0, -15);
    for (int id : kTypeButtons) move(id, 0, -15);
    for (int id : {kAreaLabel, kArea, kAreaUnit}) move(id, 0, -20);
  }
  invalidate();
}

void GongChengXinXi::FillFromTest() {
  Parameter* p = channel();
  if (p == nullptr) return;
  // The type as it stands when the dialog comes up.
  typeChannel_ = p;
  typeOnEntry_ = p->testType.load();
  committed_ = false;

  setDlgItemText(kTitle, testcontrol::TitleText(*p));
  UpdateTypeLabels();
  setDlgItemText(kArea, ExactDecimalText(p->setupValue, 2));
  for (int k = 1; k <= 8; ++k) setGauge(k, p->displacementOn[static_cast<std::size_t>(k - 1)].load() == 1);
  gauges_[0].setFocus();
  const bool notices = p->ParameterList.item(98) == 1.0f;
  show(kNotice1, notices);
  show(kNotice2, notices);
  setDlgItemText(kSerial, JDQFile::HeaderText(p->testRecords, 7, 3));
  setDlgItemText(kExternal, JDQFile::HeaderText(p->testRecords, 8, 3));
  setDlgItemText(kPile, JDQFile::HeaderText(p->testRecords, 8, 1));
  const bool open = p->fileLoaded.load() != 0;
  for (int id : {kHiddenEdit, kSerial, kExternal, kPile}) enable(id, open);
  if (!open) enable(kArea, false);
  SetStatus("", false);
}

// A test type picked here stays only with a successful OK: leaving the dialog otherwise (exit, or
// another window taking its place) puts the type back. A trip to the keypad is not leaving.
void GongChengXinXi::OnShowWindow(bool shown) {
  if (shown || atKeypad()) return;
  if (!committed_ && typeChannel_ != nullptr && typeOnEntry_ >= 0 && typeChannel_->fileLoaded.load() != 0)
    typeChannel_->testType = typeOnEntry_;
  typeOnEntry_ = -1;
  typeChannel_ = nullptr;
}

void GongChengXinXi::OnCtlColor(CtlColor& c) {
  if (c.control == nullptr) return;
  const int id = c.control->id();
  if (id == kNotice1 || id == kNotice2) {
    c.dc->setTextColor(RGB(255, 0, 0));
    return;
  }
  const Parameter* p = channel();
  for (std::size_t i = 0; i < 5; ++i)
    if (id == kTypeButtons[i]) {
      const bool current = p != nullptr && kTestTypeOfButton[i] == p->testType.load();
      c.dc->setTextColor(current ? RGB(0, 0, 255) : RGB(0, 0, 0));
      return;
    }
  if (id >= kGauge1 && id < kGauge1 + 8)
    c.dc->setTextColor(gauges_[static_cast<std::size_t>(id - kGauge1)].state == 1 ? RGB(0, 0, 255) : RGB(255, 0, 0));
}
